// Shared by the archive reader tests: run scan_archive into a fresh volume file
// and take the archive block it wrote apart again.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "scanner/archive_scan.h"
#include "support/test_support.h"

namespace shelvo::testing {

struct MemberRecord {
  std::string name;
  std::uint32_t size = 0;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
};

// "2001-05-17 10:30:00" of a DOS date and time.
inline std::string dos_text(std::uint16_t date, std::uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980u + (date >> 9), (date >> 5) & 15u,
                date & 31u, time >> 11, (time >> 5) & 63u, (time & 31u) * 2);
  return text;
}

struct ScanOutcome {
  int result = 0;
  std::string written;                // every byte scan_archive appended
  std::vector<MemberRecord> members;  // the records of the block, in order
  std::string problem;                // empty when the block is consistent
};

// Takes an archive block apart; problem says what is inconsistent about it.
inline void parse_block(ScanOutcome& out) {
  const std::string& b = out.written;
  auto le32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
  };
  if (b.size() < 9 || b[0] != '\x01') {
    out.problem = "no block opening";
    return;
  }
  const std::uint32_t length = le32(1), count = le32(5);
  if (b.size() != 9 + std::size_t{length}) {
    out.problem = "block length " + std::to_string(length) + " but " + std::to_string(b.size() - 9) + " bytes follow";
    return;
  }
  std::size_t at = 9;
  while (at < b.size()) {
    const std::size_t zero = b.find('\0', at);
    if (zero == std::string::npos || zero == at || b[at] == '\x01' || zero + 10 > b.size() || b[zero + 9] != '\0') {
      out.problem = "bad member record at " + std::to_string(at);
      return;
    }
    MemberRecord m;
    m.name = b.substr(at, zero - at);
    auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(b[i])); };
    m.size = (byte(zero + 1) << 24) | (byte(zero + 2) << 16) | (byte(zero + 3) << 8) | byte(zero + 4);
    m.date = static_cast<std::uint16_t>((byte(zero + 5) << 8) | byte(zero + 6));
    m.time = static_cast<std::uint16_t>((byte(zero + 7) << 8) | byte(zero + 8));
    if (m.size & 0x80000000u) out.problem = "size with bit 31 set";
    out.members.push_back(m);
    at = zero + 10;
  }
  if (out.members.size() != count) out.problem = "count " + std::to_string(count) + " but " +
                                                 std::to_string(out.members.size()) + " records";
}

// Scans archive_path into a volume file that already holds a few bytes (as after
// the archive's file record) and returns what was appended, taken apart.
inline ScanOutcome scan_into_volume(const std::string& archive_path, std::string_view logged_path = "\\PACK.ARC") {
  TempDir dir;
  const std::string volume_path = dir / "00000001.KTL";
  const std::string before = "VOLUME-HEADER\x05";
  ScanOutcome out;
  {
    File volume = File::open_host(volume_path, "w+b");
    EXPECT_TRUE(volume.is_open());
    volume.write(before);
    out.result = scan_archive(volume, archive_path, logged_path);
    // Whatever comes next in the walk must land after the block.
    volume.write("NEXT");
    EXPECT_FALSE(volume.failed());
    volume.close();
  }
  const std::string all = read_file(volume_path);
  EXPECT_EQ(all.substr(0, before.size()), before);
  EXPECT_GE(all.size(), before.size() + 4);
  EXPECT_EQ(all.substr(all.size() - 4), "NEXT");
  out.written = all.substr(before.size(), all.size() - before.size() - 4);
  if (out.result == 1) parse_block(out);
  return out;
}

} // namespace shelvo::testing
