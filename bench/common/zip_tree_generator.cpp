#include "common/zip_tree_generator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace shelvo::bench {

namespace {

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

constexpr std::array<const char*, 12> words = {"report", "photo", "notes", "track", "invoice", "scan",
                                               "backup", "letter", "draft", "summary", "data", "readme"};
constexpr std::array<const char*, 6> extensions = {".txt", ".jpg", ".doc", ".pdf", ".c", ".dat"};

// One archive: local headers with their data left as holes, the central
// directory, the end record.
bool write_zip(const std::string& path, std::mt19937& random, long& members) {
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  if (fd < 0) return false;
  std::string central;
  std::uint64_t offset = 0;
  bool ok = true;
  const auto write_at = [&](const std::string& bytes) {
    ok = ok && ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) == static_cast<ssize_t>(bytes.size());
    offset += bytes.size();
  };
  const int count = 50 + static_cast<int>(random() % 101);
  for (int m = 0; m < count && ok; ++m) {
    const std::string name = std::string("dir") + std::to_string(m % 7) + "/" + words[random() % words.size()] + "_" +
                             std::to_string(random() % 100000) + extensions[random() % extensions.size()];
    // 100 bytes to 256 KiB, evenly on a log scale.
    const double fraction = static_cast<double>(random() % 10000) / 10000.0;
    const auto size = static_cast<std::uint32_t>(std::exp(std::log(100.0) + (std::log(262144.0) - std::log(100.0)) * fraction));
    const auto date = static_cast<std::uint32_t>((20 + random() % 20) << 9 | (1 + random() % 12) << 5 | (1 + random() % 28));
    const auto time = static_cast<std::uint32_t>((random() % 24) << 11 | (random() % 60) << 5 | random() % 30);
    const std::uint32_t date_time = date << 16 | time;
    std::string header = "PK\x03\x04";
    put16(header, 20);
    put16(header, 0);
    put16(header, 0); // stored
    put32(header, date_time);
    put32(header, 0); // CRC, never checked by a lister
    put32(header, size);
    put32(header, size);
    put16(header, static_cast<std::uint32_t>(name.size()));
    put16(header, 0);
    header += name;
    std::string entry = "PK\x01\x02";
    put16(entry, 20);
    put16(entry, 20);
    put16(entry, 0);
    put16(entry, 0);
    put32(entry, date_time);
    put32(entry, 0);
    put32(entry, size);
    put32(entry, size);
    put16(entry, static_cast<std::uint32_t>(name.size()));
    put16(entry, 0);
    put16(entry, 0);
    put16(entry, 0);
    put16(entry, 0);
    put32(entry, 0);
    put32(entry, static_cast<std::uint32_t>(offset));
    entry += name;
    central += entry;
    write_at(header);
    offset += size; // the data: a hole
    ++members;
  }
  const auto central_offset = static_cast<std::uint32_t>(offset);
  std::string end = central + "PK\x05\x06";
  put16(end, 0);
  put16(end, 0);
  put16(end, static_cast<std::uint32_t>(count));
  put16(end, static_cast<std::uint32_t>(count));
  put32(end, static_cast<std::uint32_t>(central.size()));
  put32(end, central_offset);
  put16(end, 0);
  write_at(end);
  return ::close(fd) == 0 && ok;
}

} // namespace

GeneratedZipTree generate_zip_tree(const std::string& host_dir, long archives, std::uint32_t seed) {
  GeneratedZipTree tree;
  ::mkdir(host_dir.c_str(), 0755);
  std::mt19937 random(seed);
  for (long a = 0; a < archives; ++a) {
    const std::string dir = host_dir + "/set" + std::to_string(a / 50);
    if (a % 50 == 0 && ::mkdir(dir.c_str(), 0755) != 0) return tree;
    if (!write_zip(dir + "/archive" + std::to_string(a) + ".zip", random, tree.members)) return tree;
    ++tree.archives;
  }
  tree.ok = true;
  return tree;
}

} // namespace shelvo::bench
