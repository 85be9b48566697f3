// Every change to a catalog goes through a CatalogWriter, so that two writers
// (two terminals, a script and the window) never interleave and a reader never
// meets a half-written volume:
//
// - an exclusive lock on the catalog directory is held from the choice of a
//   volume number to the final rename; a second writer waits a moment, then
//   gives up with a message, and nothing is lost either way;
// - a volume is written into a temporary file created exclusively (never
//   through a planted link) under a name no reader takes for a volume, and moved
//   to its number only when complete;
// - temporary files that a killed writer left behind are removed by the next
//   writer, under the lock.
// Readers (search, listing) take no lock: a rename shows them the old volume or
// the new one, never a mix.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/file_access.h"
#include "platform/directory_lock.h"

namespace shelvo {

// The one kind of name in a catalog directory that is not a volume file, and only
// while a volume is being written.
constexpr std::string_view catalog_temporary_prefix = ".shelvo-new-";

class CatalogWriter {
public:
  // How long a second writer waits for the first before it gives up (tests
  // shorten it).
  static inline std::chrono::milliseconds lock_wait{3000};

  explicit CatalogWriter(std::string_view catalog_directory);
  CatalogWriter(const CatalogWriter&) = delete;
  CatalogWriter& operator=(const CatalogWriter&) = delete;
  // Removes a temporary file that was not installed.
  ~CatalogWriter();

  // Takes the catalog's lock and removes the leftovers of killed writers. False
  // with failure set (in words for the user) when another writer holds the lock
  // past the wait or the directory cannot be opened. A file system without locks
  // is written without one.
  bool lock(std::string& failure);

  // Creates the temporary file for a new volume. An unopened File, with failure
  // set, when the catalog directory does not take it.
  File create_temporary(std::string& failure);

  // Moves the closed temporary file to volume_file: over an existing file only
  // when replace is set (the volume being overwritten), never otherwise. On
  // failure the temporary file is removed.
  bool install(std::string_view volume_file, bool replace, std::string& failure);

  // Removes the temporary file, if any.
  void discard();

  // Moves a volume file out of the sequence under a temporary name (aside), so
  // that a deletion can still be undone; false, with failure set, when it cannot.
  bool set_aside(std::string_view volume_file, std::string& aside, std::string& failure);
  // Removes a file set aside, once the deletion is complete.
  void discard_aside(const std::string& aside);

private:
  std::string temporary_name();
  std::string directory_; // as the engine names it, without a trailing '\'
  std::string temporary_; // DOS path of the temporary file; empty when none
  DirectoryLock lock_;
};

} // namespace shelvo
