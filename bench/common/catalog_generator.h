// A deterministic catalog of volume files, written with the catalog's own record
// encoders, for benchmarks of the search and listing passes.
#pragma once

#include <cstdint>
#include <string>

namespace shelvo::bench {

// Names look like those of a real disk: one to four words of a vocabulary joined
// by '_', ' ' or '-', often a year or a counter, then an extension, about 28
// bytes in all. The vocabulary has no Q and no Z; a few rare words bring them in,
// so that masks on them hit a known small share of the names:
// - one name in a hundred ends in rare_extension;
// - about one name in 170 holds rare_word ("QZ", "QZ" + word, word + "QZ"),
//   and about one in 700 starts with it;
// - about one name in 200 holds 'Q', a vowel, 'Z' ("QUZ", "QAZ" + word...);
// - about one name in 300 holds "ZQ", and as many "ZZ", "QQ" and "QW" each.
inline constexpr const char* rare_extension = ".PDF";
inline constexpr const char* rare_word = "QZ";
// A two-letter word that occurs nowhere in the files: no name holds it, and no
// tail holds its first byte (sizes, dates and times are drawn again until none
// does), although both letters are in names.
inline constexpr const char* absent_word = "QX";

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
