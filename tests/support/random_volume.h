// Random volume files for tests of the search index: directories entered, left
// and written again, files, archives with members (some empty), names made of a
// few syllables so that runs of three bytes recur across names and blocks.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_store.h"

namespace shelvo::testing {

// Syllables of the names; a mask made of them finds some.
inline constexpr const char* name_syllables[] = {"AB", "CD", "ZLI", "B", ".", "_", "PDF", "TE", "ST", "9", "\xC9", "X"};

inline std::string random_name(std::mt19937& random) {
  std::string name;
  for (auto k = 1 + random() % 5; k > 0; --k) name += name_syllables[random() % std::size(name_syllables)];
  return name;
}

// A volume file of about `records` records after its label and format byte (a
// format byte of 0 writes the older format, whose root marker begins in its place).
inline std::string random_volume(std::uint32_t seed, int records, std::string_view label = "RANDOM",
                                 unsigned char format = volume_format_byte) {
  std::mt19937 random(seed);
  std::string out(label);
  out.resize(label_length, ' ');
  if (format != 0) out += static_cast<char>(format);
  std::vector<std::string> path;
  auto directory = [&] {
    std::string p;
    for (const std::string& c : path) p += "\\" + c;
    encode_directory_record(out, p.empty() ? "\\" : p);
  };
  directory();
  for (int r = 0; r < records; ++r) {
    const auto roll = random() % 100;
    if (roll < 6 && path.size() < 4) {
      path.push_back(random_name(random));
      directory();
    } else if (roll < 10 && !path.empty()) {
      path.pop_back();
      directory();
    } else if (roll < 16) {
      encode_file_record(out, random_name(random) + ".ZIP", random() % 5000, 0x2822, 0x1883);
      std::string members;
      const auto count = static_cast<std::uint32_t>(random() % 6);
      for (std::uint32_t m = 0; m < count; ++m)
        encode_file_record(members, random_name(random), random() % 900, 0x2822, 0x1883);
      out += '\x01';
      encode_archive_block_counts(out, static_cast<std::uint32_t>(members.size()), count);
      out += members;
    } else {
      encode_file_record(out, random_name(random), random() % 100000, 0x2822, 0x1883);
    }
  }
  return out;
}

} // namespace shelvo::testing
