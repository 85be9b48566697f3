// Whole volume files copied from one catalog into another, as import and export
// do; and the short version text the import's question shows.
#pragma once

#include <string>
#include <string_view>

#include "catalog/catalog_writer.h"

namespace shelvo {

// Result codes of copy_volume_file.
constexpr int copy_done = 1;
constexpr int copy_source_unreadable = -2; // the source cannot be opened, or a read failed
constexpr int copy_target_not_created = -3;
constexpr int copy_write_failed = -4; // a write, the close or the final rename failed

// Copies the volume file source to target, which lies in the catalog that
// target_catalog holds locked; over an existing target only with replace. The
// bytes go into a temporary file first, every read and the close are checked,
// and the target is written only when all is well: a failed copy leaves the
// target as it was and no temporary file behind (replacing a volume by a half
// copy would destroy it). failure says why, in the system's words.
int copy_volume_file(CatalogWriter& target_catalog, std::string_view target, std::string_view source, bool replace,
                     std::string& failure);

// "2.2" for the format byte 5, "2~2" for 4, "1~8" for 0 (the older format).
std::string version_text(unsigned char format);

} // namespace shelvo
