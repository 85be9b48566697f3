// Importing another catalog into the current one: every volume of the other
// catalog, in its order, either replaces (after a question) the current volume
// with the same label, or is appended after the last one.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "results/dialog_service.h"

namespace shelvo {

// Imports the catalog at other into the catalog at current, asking through
// dialogs. refresh shows the current catalog's listing again (after a volume
// was deleted, and at the end when something was added). Returns 0 when nothing
// could be done (told to the user): the two are one catalog, or another program
// is changing one of them; -1 when something failed (told): other holds no
// catalog, a volume could not be read or copied, or the import was stopped
// (stop_flag) between two volumes; else 1.
int import_catalog(std::string_view current, std::string_view other, DialogService& dialogs,
                   const std::function<void()>& refresh);

// The texts of the import.
std::string null_size_question(std::string_view path);
std::string replace_question(std::string_view current_label, std::string_view current_version,
                             std::string_view current_path, std::string_view other_label,
                             std::string_view other_version, std::string_view other_path);
// "An Error of type 0xf1310f%dx occurs: ..." for a copy that returned code.
std::string copy_failure_message(int code, std::string_view first, std::string_view second);
std::string import_end_message(int added);
// Told when both names are one catalog, for import and export alike.
std::string same_catalog_message(std::string_view current, std::string_view other);

} // namespace shelvo
