// A deterministic directory tree on the host, for benchmarks that walk a volume
// (the add pass) or compare a catalog search with walking the files themselves.
#pragma once

#include <cstdint>
#include <string>

namespace shelvo::bench {

struct GeneratedTree {
  long directories = 0; // created below the root (the root itself not counted)
  long files = 0;
  bool ok = false;      // false when something could not be created
};

// Writes `entries` entries (about one directory in twenty, up to 6 levels deep,
// the rest regular files) under host_dir, which is created when missing. The same
// seed gives the same names, sizes and times. Files are sparse (their sizes, up
// to 1 MB, cost no disk blocks) and dated between 1995 and 2024.
GeneratedTree generate_tree(const std::string& host_dir, long entries, std::uint32_t seed = 1);

} // namespace shelvo::bench
