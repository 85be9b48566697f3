#include "catalog/interrupted_changes.h"

#include "catalog/catalog_store.h"
#include "platform/deferred_signals.h"

#include <array>
#include <cerrno>
#include <cstdio>

namespace shelvo {

namespace {

// N of ".shelvo-delete-NNNNNNNN", or -1.
long deleted_number(std::string_view name) {
  if (!name.starts_with(catalog_deletion_prefix)) return -1;
  const std::string_view digits = name.substr(catalog_deletion_prefix.size());
  if (digits.size() != 8) return -1;
  long n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// Finishes the deletion of volume number, whose file was set aside as aside.
// The volume files from number on moved down one at a time, so there is one gap
// at most, where the moves stopped; the files after it move down too.
Repair finish_deletion(VolumeDirectory& volumes, long number, const std::string& aside) {
  Repair repair;
  const std::string catalog = volumes.dos_path();
  const auto aside_identity = volumes.handle().identity(aside);
  if (volumes.has(number) && aside_identity && volumes.identity_of(number) == *aside_identity) {
    // The file was linked aside and the process died before its first name
    // went: nothing had moved, so the deletion had not begun.
    if (!volumes.remove_own(aside))
      repair.failure = "cannot remove " + catalog + "\\" + aside + ": " + error_text(errno);
    return repair;
  }
  // A move through a link cut short leaves one file under two numbers.
  for (long k = number; volumes.has(k) && volumes.has(k + 1); ++k) {
    if (volumes.identity_of(k) == volumes.identity_of(k + 1)) {
      if (!volumes.remove_volume_name(k + 1)) {
        repair.failure = "cannot remove " + volumes.path_of(k + 1) + ": " + error_text(errno);
        return repair;
      }
      break;
    }
  }
  long gap = number;
  while (volumes.has(gap)) ++gap;
  for (long k = gap + 1; volumes.has(k); ++k) {
    if (!volumes.move(k, k - 1)) {
      repair.failure = "cannot move " + volumes.path_of(k) + ": " + error_text(errno);
      return repair;
    }
  }
  if (!volumes.remove_own(aside)) {
    repair.failure = "cannot remove " + catalog + "\\" + aside + ": " + error_text(errno);
    return repair;
  }
  repair.done = "finished deleting volume " + std::to_string(number) + " from the catalog " + catalog +
                ", which a program that was stopped had begun";
  return repair;
}

} // namespace

std::string deletion_file_name(long number) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%s%08ld", std::string(catalog_deletion_prefix).c_str(), number);
  return text.data();
}

Repair finish_interrupted_changes(VolumeDirectory& volumes) {
  Repair all;
  if (volumes.own_files().empty()) return all;
  const DeferredSignals hold;
  const std::vector<std::string> own = volumes.own_files(); // the calls below change the list
  for (const std::string& name : own) {
    Repair one;
    if (const long number = deleted_number(name); number >= 0) {
      one = finish_deletion(volumes, number, name);
    } else if (name.starts_with(catalog_temporary_prefix)) {
      // A volume that was never installed: the catalog is as it was without it.
      if (!volumes.remove_own(name))
        one.failure = "cannot remove " + volumes.dos_path() + "\\" + name + ": " + error_text(errno);
    }
    if (!one.done.empty()) all.done += (all.done.empty() ? "" : "; ") + one.done;
    if (!one.failure.empty() && all.failure.empty()) all.failure = one.failure;
  }
  // What was finished is said, and built upon, only once it is on the disk.
  if (!volumes.sync() && all.failure.empty())
    all.failure = "cannot flush " + volumes.dos_path() + " to the disk: " + error_text(errno);
  return all;
}

} // namespace shelvo
