#include "index/index_cache.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "index/content_hash.h"
#include "index/volume_identity.h"

namespace shelvo {

namespace {

constexpr std::string_view temporary_prefix = ".tmp-";
constexpr std::string_view segment_suffix = ".idx";
constexpr const char* catalog_note = "catalog"; // the catalog's path, for a person looking in
constexpr std::chrono::hours abandoned_after{1};

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

} // namespace

std::string index_cache_root() {
#ifdef _WIN32
  // The user's local application data, where a cache belongs on Windows;
  // XDG_CACHE_HOME still wins when it is set (the tests set it).
  std::string base = environment("XDG_CACHE_HOME");
  if (base.empty()) base = environment("LOCALAPPDATA");
  if (base.empty()) return {};
#else
  std::string base = environment("XDG_CACHE_HOME");
  if (base.empty() || base[0] != '/') { // a relative value is to be ignored
    const std::string home = environment("HOME");
    if (home.empty()) return {};
    base = home + "/.cache";
  }
#endif
  return base + "/shelvo";
}

bool IndexCache::locate(const std::string& catalog_host_path) {
  directory_.clear();
  const std::string root = index_cache_root();
  if (root.empty()) return false;
  catalog_ = host_real_path(catalog_host_path).value_or(catalog_host_path);
  std::array<char, 24> key{};
  std::snprintf(key.data(), key.size(), "%016" PRIx64, content_hash(catalog_));
  directory_ = root + "/index/" + key.data();
  return true;
}

bool IndexCache::exists() const {
  if (directory_.empty()) return false;
  std::vector<std::string> names;
  int error = 0;
  return host_directory_names(directory_, names, error);
}

std::string IndexCache::segment_path(const FileStatus& volume) const {
  return directory_ + "/" + segment_file_name(volume);
}

bool IndexCache::store(const FileStatus& volume, std::string_view segment, int& error) const {
  error = 0;
  if (directory_.empty()) {
    error = ENOENT;
    return false;
  }
  if (!create_host_directories(directory_)) {
    error = errno;
    return false;
  }
  const std::string note = directory_ + "/" + catalog_note;
  if (!host_file_status(note)) {
    File file = File::create_new_host(note);
    if (file) {
      file.write(catalog_ + "\n");
      file.close();
    }
  }
  static std::atomic<unsigned> counter{0};
  const std::string temporary = directory_ + "/" + std::string(temporary_prefix) + std::to_string(::getpid()) + "-" +
                                std::to_string(counter++);
  File file = File::create_new_host(temporary);
  bool stored = static_cast<bool>(file) && file.write(segment);
  stored = file.close() && stored;
  if (stored && rename_host(temporary, segment_path(volume), true)) return true;
  error = file.error() ? file.error() : errno;
  remove_host_file(temporary);
  return false;
}

void IndexCache::prune(const std::vector<FileStatus>& current) const {
  std::vector<std::string> names;
  int error = 0;
  if (directory_.empty() || !host_directory_names(directory_, names, error)) return;
  std::vector<std::string> kept;
  for (const FileStatus& volume : current) kept.push_back(segment_file_name(volume));
  std::sort(kept.begin(), kept.end());
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  for (const std::string& name : names) {
    const std::string path = directory_ + "/" + name;
    if (name.starts_with(temporary_prefix)) {
      const std::optional<FileStatus> status = host_file_status(path);
      const auto age = now - std::chrono::nanoseconds(status ? status->modified_ns : 0);
      if (status && age >= abandoned_after) remove_host_file(path);
    } else if (name.ends_with(segment_suffix) && !std::binary_search(kept.begin(), kept.end(), name)) {
      remove_host_file(path);
    }
  }
}

} // namespace shelvo
