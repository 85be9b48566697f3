// A search, a listing, or the reading side of an import or an export holds a
// shared lock on the catalog directory while it reads the numbered files. Writers
// hold the exclusive lock for the whole of a change, so a reader sees the catalog
// as it was before a change or after it, never part of one.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "catalog/volume_directory.h"

namespace shelvo {

class CatalogReadLock {
public:
  enum class Outcome { held, stopped, failed };

  // Takes the shared lock. While a writer holds the catalog, on_wait is called
  // once and the lock is tried again until it is had, wait has passed, or
  // keep_waiting (asked between tries) says no: stopped. failed: the directory
  // cannot be opened (failure set). A catalog on a file system without locks is
  // read without one. What a killed writer left is put right first, when this
  // program may write the directory; otherwise warning says what could not be.
  Outcome acquire(std::string_view catalog_directory, std::chrono::milliseconds wait,
                  const std::function<void()>& on_wait, const std::function<bool()>& keep_waiting,
                  std::string& failure);

  // The catalog's volume files, as they were when the lock was taken.
  VolumeDirectory& volumes() { return volumes_; }
  // What was finished for a writer that was stopped, in words; empty when nothing.
  const std::string& repaired() const { return repaired_; }
  // What was left and could not be finished; empty when nothing.
  const std::string& warning() const { return warning_; }

  void release() { volumes_.handle().unlock(); }

private:
  VolumeDirectory volumes_;
  std::string repaired_;
  std::string warning_;
};

} // namespace shelvo
