// Deleting a volume from a catalog: its file goes, and every following volume
// file moves one number down, so the sequence keeps no gap (readers stop at the
// first missing number).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/catalog_writer.h"

namespace shelvo {

// The text a listing shows for the volume file at path ("LABEL     v2.2"), or
// nothing when the file cannot be read.
std::optional<std::string> listed_text_of(std::string_view volume_file);
// The same of a volume file open from its start.
std::optional<std::string> listed_text_of(File& volume_file);

// Deletes volume number of the catalog. expected: the text the listing showed
// for it; when the file no longer carries it (another program changed the
// catalog since the listing), nothing is deleted. Should a move fail half-way,
// the files already moved go back and the volume returns to its number, so the
// catalog stays readable to its end; should the process be killed, the next
// program finishes the deletion. Then runs refresh (the new listing). 1, or -1
// with failure set and the catalog as it was. repaired, when given, receives
// what was finished first for a program that was stopped (empty when nothing).
int delete_volume(std::string_view catalog_directory, long number, std::optional<std::string_view> expected,
                  const std::function<void()>& refresh, std::string& failure, std::string* repaired = nullptr);

// The same inside a change that already holds the catalog's lock (the import).
int delete_volume_locked(CatalogWriter& catalog, long number, std::optional<std::string_view> expected,
                         std::string& failure);

} // namespace shelvo
