// A deterministic catalog of volume files, written with the catalog's own record
// encoders, for benchmarks of the search and listing passes.
#pragma once

#include <cstdint>
#include <string>

namespace shelvo::bench {

// One name in a hundred (file or member) carries this extension, so the mask
// "*.PDF" hits about 1% of the names.
inline constexpr const char* rare_extension = ".PDF";

struct GeneratedCatalog {
  long volumes = 0;           // volume files written after the empty file 0
  long directory_records = 0; // repeated directory records included
  long file_records = 0;      // files, archives among them
  long member_records = 0;    // archive members
  long archives = 0;          // archive blocks
  long rare_names = 0;        // files and members named *.PDF
  long rare_file_names = 0;   // the files alone (what a search without archives finds)
  std::uint64_t bytes = 0;    // size of all volume files
  bool ok = false;            // false when a file could not be written
};

// Writes 00000000.KTL empty (as a new catalog has it) and volumes 1..volumes into
// host_dir, holding `records` file and member records in all, spread evenly over
// the volumes. About one file in fifty is a ZIP archive with 5 to 20 members.
GeneratedCatalog generate_catalog(const std::string& host_dir, int volumes, long records, std::uint32_t seed = 1);

} // namespace shelvo::bench
