// A deterministic tree of ZIP archives, for the benchmark of adding a volume
// whose archives the add lists member by member.
#pragma once

#include <cstdint>
#include <string>

namespace shelvo::bench {

struct GeneratedZipTree {
  long archives = 0;
  long members = 0;
  bool ok = false; // false when something could not be written
};

// Writes `archives` ZIP files in directories of 50 under host_dir (created when
// missing), each with 50 to 150 stored members of 100 bytes to 256 KiB, about
// as many small as large ones (sizes spread evenly on a log scale), a central
// directory and its end record. The members' data are holes of sparse files:
// the tree costs little disk, and the archive readers step over the data as
// they do over any. The same seed gives the same tree.
GeneratedZipTree generate_zip_tree(const std::string& host_dir, long archives, std::uint32_t seed = 1);

} // namespace shelvo::bench
