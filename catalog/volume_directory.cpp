#include "catalog/volume_directory.h"

#include "catalog/catalog_store.h"

#include <algorithm>
#include <cerrno>

namespace shelvo {

namespace {

// The number of a volume file's name in any letter case ("00000007.ktl"), or -1.
long number_of_name(std::string_view name) {
  if (name.size() != 12 || name[8] != '.') return -1;
  const std::string_view extension = name.substr(9);
  const auto is = [](char c, char upper) { return c == upper || c == upper - 'A' + 'a'; };
  if (!is(extension[0], 'K') || !is(extension[1], 'T') || !is(extension[2], 'L')) return -1;
  long n = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

} // namespace

bool VolumeDirectory::open(std::string_view dos_directory) {
  dos_path_ = std::string(dos_directory);
  while (dos_path_.size() > 1 && (dos_path_.back() == '\\' || dos_path_.back() == '/')) dos_path_.pop_back();
  volumes_.clear();
  own_.clear();
  end_ = -1;
  unsynced_ = false;
  return handle_.open(dos_path_);
}

void VolumeDirectory::read_table() {
  volumes_.clear();
  own_.clear();
  end_ = -1;
  for (std::string& name : handle_.names()) {
    if (name.starts_with(catalog_own_file_prefix)) {
      own_.push_back(std::move(name));
      continue;
    }
    const long number = number_of_name(name);
    if (number < 0) continue;
    // Under two spellings, the usual one is the one a path finds first.
    const auto it = volumes_.find(number);
    if (it == volumes_.end() || name == volume_file_name(number)) volumes_[number] = std::move(name);
  }
  std::sort(own_.begin(), own_.end());
}

long VolumeDirectory::end() const {
  if (end_ < 0) {
    end_ = 0;
    while (has(end_)) ++end_;
  }
  return end_;
}

std::string VolumeDirectory::name_of(long number) const {
  const auto it = volumes_.find(number);
  return it != volumes_.end() ? it->second : volume_file_name(number);
}

std::string VolumeDirectory::path_of(long number) const {
  // One spelling per path: the separator the catalog's path already uses ("/"
  // in a host path such as /home/ann/cat, "\" in C:\CAT), the backslash when
  // it has none.
  const std::size_t last = dos_path_.find_last_of("/\\");
  const char separator = last == std::string::npos ? '\\' : dos_path_[last];
  return dos_path_ + (dos_path_.back() == separator ? "" : std::string(1, separator)) + name_of(number);
}

File VolumeDirectory::open(long number) const { return handle_.open_file(name_of(number), "rb"); }

DirectoryHandle::Identity VolumeDirectory::identity_of(long number) const {
  return handle_.identity(name_of(number)).value_or(DirectoryHandle::Identity{});
}

void VolumeDirectory::insert(long number, std::string name) {
  volumes_[number] = std::move(name);
  if (end_ == number) {
    while (has(end_)) ++end_;
  }
}

void VolumeDirectory::erase(long number) {
  volumes_.erase(number);
  if (end_ > number) end_ = number;
}

bool VolumeDirectory::move(long from, long to) {
  if (has(to)) {
    errno = EEXIST;
    return false;
  }
  if (!handle_.rename(name_of(from), volume_file_name(to), false)) return false;
  unsynced_ = true;
  erase(from);
  insert(to, volume_file_name(to));
  return true;
}

bool VolumeDirectory::move_out(long number, const std::string& name) {
  if (!handle_.rename(name_of(number), name, false)) return false;
  unsynced_ = true;
  erase(number);
  own_.push_back(name);
  return true;
}

bool VolumeDirectory::move_in(const std::string& name, long number, bool replace) {
  if (has(number) && !replace) {
    errno = EEXIST;
    return false;
  }
  // Over a file written in another letter case, the one name stays: a second
  // spelling beside it would make two volume files of one number.
  const std::string target = name_of(number);
  if (!handle_.rename(name, target, replace)) return false;
  unsynced_ = true;
  own_.erase(std::remove(own_.begin(), own_.end(), name), own_.end());
  insert(number, target);
  return true;
}

bool VolumeDirectory::remove_volume_name(long number) {
  if (!handle_.remove(name_of(number))) return false;
  unsynced_ = true;
  erase(number);
  return true;
}

bool VolumeDirectory::remove_own(const std::string& name) {
  if (!handle_.remove(name)) return false;
  unsynced_ = true;
  own_.erase(std::remove(own_.begin(), own_.end(), name), own_.end());
  return true;
}

bool VolumeDirectory::sync() {
  if (!unsynced_) return true;
  if (!handle_.sync()) return false;
  unsynced_ = false;
  return true;
}

} // namespace shelvo
