// Exporting the volumes a listing shows into another directory, as a catalog of
// their own numbered from 0 in the listing's order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/dialog_service.h"

namespace shelvo {

// Copies the volume files of current with the given numbers, in that order,
// into target as 00000000.KTL, 00000001.KTL, ... A failed copy is told and
// takes no number, so the exported catalog has no gap. Returns 1, or 0 when
// nothing could be done (told): target is the current catalog itself, or
// another program is changing it.
int export_volumes(std::string_view current, std::string_view target, const std::vector<int>& volume_numbers,
                   DialogService& dialogs);

// "You must have some volume in the view before doing it..."
extern const std::string_view wrong_moment_message;
std::string export_end_message(int exported, std::string_view current, std::string_view target);

} // namespace shelvo
