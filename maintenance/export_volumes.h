// Exporting the volumes a listing shows into another directory, as a catalog of
// their own numbered from 0 in the listing's order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/dialog_service.h"

namespace shelvo {

// A volume as a listing showed it: its number and the node's text ("LABEL v2.2").
struct ListedVolume {
  long number = 0;
  std::string text;
};

// Copies the volume files of current that volumes name, in that order, into
// target as 00000000.KTL, 00000001.KTL, ... A volume whose file no longer holds
// what the listing showed (the catalog changed since) is not copied, and said. A
// failed copy is told and takes no number, so the exported catalog has no gap.
// A missing target directory is created (its last level), and said; a target
// that already holds volume files is written only when the user agrees to
// replace them. Returns 1 when every volume was copied; 0 when nothing was done
// (told): target is the current catalog itself, another program holds one of
// them, or the user kept the volume files there; -1 when something failed
// (told) or the export was stopped (stop_flag) between two volumes.
int export_volumes(std::string_view current, std::string_view target, const std::vector<ListedVolume>& volumes,
                   DialogService& dialogs);

// "You must have some volume in the view before doing it..."
extern const std::string_view wrong_moment_message;
std::string export_end_message(int exported, std::string_view current, std::string_view target);
// Asked before an export writes into a directory that holds volume files.
std::string replace_target_question(std::string_view target, long held, long exported);

} // namespace shelvo
