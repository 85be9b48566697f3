// What a writer killed half-way leaves in a catalog directory, and how the next
// program puts it right before it does anything else:
//
// - a temporary file (".shelvo-new-..."): a volume that was never installed; it
//   is removed, and the catalog is as it was before that writer;
// - a set-aside file (".shelvo-delete-NNNNNNNN"): volume N was being deleted,
//   and some of the volume files after it may not have moved down yet; the
//   moves are finished, so the numbering has no gap, and the file goes.
//
// Only a program that holds the catalog's exclusive lock may do this: a writer
// still at work holds it, so what is found then is a dead writer's.
#pragma once

#include <string>

#include "catalog/volume_directory.h"

namespace shelvo {

constexpr std::string_view catalog_temporary_prefix = ".shelvo-new-";
constexpr std::string_view catalog_deletion_prefix = ".shelvo-delete-";

// ".shelvo-delete-00000007" for 7.
std::string deletion_file_name(long number);

struct Repair {
  std::string done;    // what was finished, in words for the user; empty when nothing
  std::string failure; // why something could not be finished; empty when all is well
};

// Finishes or undoes what killed writers left in the directory whose table
// volumes holds (read under the exclusive lock), and flushes the directory.
// SIGINT, SIGTERM and SIGHUP wait until it is done.
Repair finish_interrupted_changes(VolumeDirectory& volumes);

} // namespace shelvo
