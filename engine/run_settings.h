// The settings of one engine call, filled from the argument vector and cleared at
// the start of every call.
#pragma once

#include <string>

#include "catalog/name_matching.h"

namespace shelvo {

struct RunSettings {
  bool option_a = false;     // search archive members
  bool option_c = false;     // list content of matching directories
  bool option_d = false;     // report matching directories
  bool option_i = false;     // add: duplicate test only
  bool option_j = false;     // only directories (sets D, clears A)
  bool option_s = false;     // add: a duplicate label gets a new number
  bool option_t = false;     // accepted, no effect
  bool option_w = false;     // listing
  bool option_w5 = false;    // compact listing
  bool option_y = false;     // add: overwrite a duplicate without asking
  bool no_overwrite = false; // add: a duplicate returns -421
  bool no_display = false;   // search: count only

  bool drive_given = false;
  int drive_index = 0; // 0 = A

  MaskList search_masks{MaskList::search_mask_limit}; // folded and upper-cased
  MaskList volume_masks{MaskList::volume_mask_limit}; // as given, case kept

  std::string catalog_directory = "C:\\VOLDEPOT";
  // Not a setting but a position: the volume file a pass stands on, which the
  // passes move along the catalog with next_volume_file.
  std::string volume_cursor = "C:\\VOLDEPOT\\00000000.KTL";
};

} // namespace shelvo
