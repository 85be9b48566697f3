// Whole volume files copied from one catalog into another, as import and export
// do; and the short version text the import's question shows.
#pragma once

#include <string>
#include <string_view>

#include "catalog/catalog_read_lock.h"
#include "catalog/catalog_writer.h"
#include "results/dialog_service.h"

namespace shelvo {

// Result codes of copy_volume_file.
constexpr int copy_done = 1;
constexpr int copy_source_unreadable = -2; // the source cannot be opened, or a read failed
constexpr int copy_target_not_created = -3;
constexpr int copy_write_failed = -4; // a write, the close or the final rename failed

// Copies volume source of the source catalog to volume target of the catalog
// that target_catalog holds locked; over an existing target only with replace.
// The bytes go into a temporary file first, every read and the close are
// checked, the copy is flushed to the disk, and the target is written only when
// all is well (the writer commits the directory): a failed copy
// leaves the target as it was and no temporary file behind (replacing a volume
// by a half copy would destroy it). failure says why, in the system's words,
// and error, when given, is the system's error number of it.
int copy_volume_file(CatalogWriter& target_catalog, long target, const VolumeDirectory& source_catalog, long source,
                     bool replace, std::string& failure, int* error = nullptr);

// True for the error of a target that has no room left (a full disk, a quota
// reached): the volumes after one take none either, so an import or an export
// stops there, with one failure, instead of one for every volume left.
bool no_room_left(int error);

// The two catalogs of an import or an export: written holds the one written
// (its exclusive lock), read the one read (its shared lock, so its volumes do
// not move while they are copied). Each waits for another program as every
// writer does (at most CatalogWriter::lock_wait, with the notice on the status
// line), then gives up with the words every writer uses. What a stopped program
// left in either is put right first, and said. False when one cannot be had
// (told through dialogs).
bool lock_catalogs_for_copy(CatalogWriter& written, CatalogReadLock& read, std::string_view read_directory,
                            DialogService& dialogs);

// A label or a listing's text from a catalog as a message shows it: up to its
// first 0x00, in UTF-8, a control character or a byte the catalog could not hold
// as '?' (a label read from another catalog may carry anything, escape
// sequences for a terminal included).
std::string shown_in_message(std::string_view catalog_text);

// Tells a failure in a box with the caption "Failure".
void tell_failure(DialogService& dialogs, const std::string& text);

// "2.2" for the format byte 5, "2~2" for 4, "1~8" for 0 (the older format).
std::string version_text(unsigned char format);

} // namespace shelvo
