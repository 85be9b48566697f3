#include "common/tree_generator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <random>
#include <vector>

namespace shelvo::bench {

namespace {

struct Directory {
  std::string path;
  int depth = 0;
};

constexpr std::array<const char*, 8> extensions = {"jpg", "txt", "doc", "mp3", "c", "h", "pdf", "dat"};

// A file with the given apparent size and modification time, holding no data.
bool make_sparse_file(const std::string& path, std::uint32_t size, std::int64_t mtime) {
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  if (fd < 0) return false;
  bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  const struct timespec times[2] = {{static_cast<time_t>(mtime), 0}, {static_cast<time_t>(mtime), 0}};
  ok = ::futimens(fd, times) == 0 && ok;
  return ::close(fd) == 0 && ok;
}

} // namespace

GeneratedTree generate_tree(const std::string& host_dir, long entries, std::uint32_t seed) {
  GeneratedTree tree;
  ::mkdir(host_dir.c_str(), 0755);
  std::mt19937 random(seed); // fully specified, so every host builds the same tree
  std::vector<Directory> directories{{host_dir, 0}};
  constexpr std::int64_t from_1995 = 788918400, span_30_years = 946080000;
  std::array<char, 64> name{};
  for (long i = 0; i < entries; ++i) {
    const Directory& parent = directories[random() % directories.size()];
    if (random() % 20 == 0 && parent.depth < 6) {
      std::snprintf(name.data(), name.size(), "/Folder %ld", i);
      Directory child{parent.path + name.data(), parent.depth + 1};
      if (::mkdir(child.path.c_str(), 0755) != 0) return tree;
      directories.push_back(std::move(child));
      ++tree.directories;
      continue;
    }
    std::snprintf(name.data(), name.size(), "/file_%06ld.%s", i, extensions[random() % extensions.size()]);
    const auto size = static_cast<std::uint32_t>(random() % (1u << 20));
    const auto mtime = from_1995 + static_cast<std::int64_t>(random() % span_30_years);
    if (!make_sparse_file(parent.path + name.data(), size, mtime)) return tree;
    ++tree.files;
  }
  tree.ok = true;
  return tree;
}

} // namespace shelvo::bench
