#include "catalog/catalog_writer.h"

#include "platform/deferred_signals.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

namespace shelvo {

namespace {

// The catalogs that this process's writers hold, by directory identity. A child
// forked from this process inherits the list but not the locks: it is kept with
// the process that filled it, and is empty to any other.
std::vector<DirectoryHandle::Identity>& held_catalogs() {
  static std::vector<DirectoryHandle::Identity> held;
  static pid_t owner = ::getpid();
  if (owner != ::getpid()) {
    held.clear();
    owner = ::getpid();
  }
  return held;
}

std::string system_failure(std::string_view what, std::string_view path, int error) {
  return std::string(what) + " " + std::string(path) + ": " + error_text(error);
}

using Taken = DirectoryHandle::LockOutcome;

// Who holds the catalog that this writer cannot lock: readers when a shared
// lock can still be had.
CatalogHolder holder_of(DirectoryHandle& directory) {
  const bool read = directory.lock(DirectoryHandle::Lock::shared, std::chrono::milliseconds(0)) == Taken::locked;
  directory.unlock();
  return read ? CatalogHolder::readers : CatalogHolder::writer;
}

} // namespace

std::string catalog_wait_notice(std::string_view catalog_directory, CatalogHolder holder) {
  return std::string("waiting for another program to finish ") +
         (holder == CatalogHolder::readers ? "reading" : "changing") + " the catalog " + std::string(catalog_directory);
}

std::string catalog_busy_refusal(std::string_view catalog_directory, CatalogHolder holder) {
  return "the catalog " + std::string(catalog_directory) +
         (holder == CatalogHolder::readers
              ? " is being read by another program (a search or a listing)"
              : " is being changed by another program (an add, a delete, an import or an export)") +
         "; try again when it has finished";
}

CatalogWriter::CatalogWriter(std::string_view catalog_directory) : directory_(catalog_directory) {
  while (directory_.size() > 1 && directory_.back() == '\\') directory_.pop_back();
}

CatalogWriter::~CatalogWriter() {
  discard();
  // A change that failed half-way, or was put back, is flushed too: the
  // catalog must not come back after a power cut as a state no one saw.
  volumes_.sync();
  forget_held();
}

void CatalogWriter::forget_held() {
  if (!held_) return;
  auto& held = held_catalogs();
  if (const auto it = std::find(held.begin(), held.end(), *held_); it != held.end()) held.erase(it);
  held_.reset();
}

bool CatalogWriter::held_here(const DirectoryHandle& directory) {
  const auto identity = directory.own_identity();
  const auto& held = held_catalogs();
  return identity && std::find(held.begin(), held.end(), *identity) != held.end();
}

bool CatalogWriter::lock(std::string& failure, const CatalogWait& wait) {
  busy_ = false;
  if (!volumes_.open(directory_)) {
    failure = system_failure("cannot open the catalog", directory_, errno);
    return false;
  }
  DirectoryHandle& handle = volumes_.handle();
  Taken got = handle.lock(DirectoryHandle::Lock::exclusive, std::chrono::milliseconds(0));
  if (got == Taken::busy) {
    // Said at once: the wait is the user's to see, and to end.
    if (wait.on_wait) wait.on_wait(holder_of(handle));
    got = handle.lock(DirectoryHandle::Lock::exclusive, lock_wait, wait.keep_waiting);
  }
  switch (got) {
  case Taken::locked:
  case Taken::unsupported: break;
  case Taken::busy:
    busy_ = true;
    failure = catalog_busy_refusal(directory_, holder_of(handle));
    return false;
  case Taken::failed:
    failure = system_failure("cannot lock the catalog", directory_, errno);
    return false;
  }
  forget_held();
  held_ = volumes_.handle().own_identity();
  if (held_) held_catalogs().push_back(*held_);
  volumes_.read_table();
  const Repair repair = finish_interrupted_changes(volumes_);
  repaired_ = repair.done;
  if (!repair.failure.empty()) {
    failure = "the catalog " + directory_ + " holds a change that a stopped program left half done, and it " +
              "cannot be finished: " + repair.failure;
    return false;
  }
  return true;
}

std::string CatalogWriter::temporary_name() {
  static std::atomic<unsigned> serial{0};
  return std::string(catalog_temporary_prefix) + std::to_string(::getpid()) + "-" + std::to_string(serial++);
}

File CatalogWriter::create_temporary(std::string& failure) {
  discard();
  const std::string name = temporary_name();
  File file = volumes_.handle().create_new(name);
  if (!file) {
    failure = system_failure("cannot write in the catalog", directory_, file.error());
    return file;
  }
  temporary_ = name;
  return file;
}

bool CatalogWriter::install(File& temporary, long number, bool replace, std::string& failure) {
  if (temporary_.empty()) {
    failure = "nothing to install as " + volumes_.path_of(number);
    return false;
  }
  // Every byte on the disk before the name: a rename that outlives a power cut
  // must never bring in an empty or short file.
  const bool stored = temporary.sync();
  if (!temporary.close() || !stored) {
    failure = "cannot write the volume file " + volumes_.path_of(number) + ": " + error_text(temporary.error()) +
              "; the catalog is unchanged";
    discard();
    return false;
  }
  if (!volumes_.move_in(temporary_, number, replace)) {
    failure = system_failure("cannot store the volume as", volumes_.path_of(number), errno);
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

void CatalogWriter::discard() {
  if (temporary_.empty()) return;
  volumes_.remove_own(temporary_);
  temporary_.clear();
}

bool CatalogWriter::remove_volume(long number, std::string& failure) {
  const std::string doomed = volumes_.path_of(number);
  const std::string aside = deletion_file_name(number);
  const DeferredSignals hold;
  if (!volumes_.move_out(number, aside)) {
    failure = system_failure("cannot delete", doomed, errno);
    return false;
  }
  long moved_up_to = number; // files number+1 .. moved_up_to have moved down by one
  for (long k = number + 1; volumes_.has(k); ++k) {
    if (!volumes_.move(k, k - 1)) {
      failure = system_failure("cannot move", volumes_.path_of(k), errno) + "; the catalog was put back as it was";
      for (long j = moved_up_to; j > number; --j) volumes_.move(j - 1, j);
      volumes_.move_in(aside, number, false);
      return false;
    }
    moved_up_to = k;
  }
  // Should this fail, the deletion stands: the next writer removes the file.
  volumes_.remove_own(aside);
  return true;
}

bool CatalogWriter::commit(std::string& failure) {
  if (volumes_.sync()) return true;
  failure = "cannot flush the catalog " + directory_ + " to the disk: " + error_text(errno) +
            "; what was just changed may not outlive a power cut";
  return false;
}

} // namespace shelvo
