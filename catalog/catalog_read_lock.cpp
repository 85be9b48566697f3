#include "catalog/catalog_read_lock.h"

#include "catalog/catalog_writer.h"
#include "catalog/interrupted_changes.h"

#include <cerrno>

namespace shelvo {

namespace {

using Taken = DirectoryHandle::LockOutcome;

} // namespace

CatalogReadLock::Outcome CatalogReadLock::acquire(std::string_view catalog_directory, std::chrono::milliseconds wait,
                                                  const std::function<void()>& on_wait,
                                                  const std::function<bool()>& keep_waiting, std::string& failure) {
  repaired_.clear();
  warning_.clear();
  if (!volumes_.open(catalog_directory)) {
    failure = "cannot open the catalog " + volumes_.dos_path() + ": " + error_text(errno);
    return Outcome::failed;
  }
  DirectoryHandle& handle = volumes_.handle();
  if (CatalogWriter::held_here(handle)) { // a writer of this process holds it: read under its lock
    volumes_.read_table();
    return Outcome::held;
  }
  const auto take_shared = [&](std::chrono::milliseconds patience) {
    Taken got = handle.lock(DirectoryHandle::Lock::shared, std::chrono::milliseconds(0));
    if (got != Taken::busy) return got;
    if (on_wait) on_wait();
    return handle.lock(DirectoryHandle::Lock::shared, patience, keep_waiting);
  };
  switch (take_shared(wait)) {
  case Taken::locked: break;
  case Taken::unsupported:
    // Without locks a writer at work cannot be told from a dead one: what is
    // left in the directory is a live writer's business.
    volumes_.read_table();
    return Outcome::held;
  case Taken::busy: return Outcome::stopped;
  case Taken::failed:
    failure = "cannot lock the catalog " + volumes_.dos_path() + ": " + error_text(errno);
    return Outcome::failed;
  }
  volumes_.read_table();
  if (volumes_.own_files().empty()) return Outcome::held;

  // A writer at work would hold the exclusive lock: these are a dead writer's.
  // Putting them right takes the exclusive lock for a moment.
  if (handle.lock(DirectoryHandle::Lock::exclusive, CatalogWriter::lock_wait) == Taken::locked) {
    volumes_.read_table();
    const Repair repair = finish_interrupted_changes(volumes_);
    repaired_ = repair.done;
    warning_ = repair.failure;
  }
  // Back to sharing (another reader may have put things right meanwhile).
  if (take_shared(wait) != Taken::locked) return Outcome::stopped;
  volumes_.read_table();
  for (const std::string& name : volumes_.own_files()) {
    if (!name.starts_with(catalog_deletion_prefix) || !warning_.empty()) continue;
    warning_ = "a deletion that a stopped program began in the catalog " + volumes_.dos_path() +
               " is not finished, and this program cannot finish it; the volumes after the gap are not read";
  }
  return Outcome::held;
}

} // namespace shelvo
