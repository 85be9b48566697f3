// The LZH reader on archives made by lha (jlha-utils) at test time, at header
// levels 0, 1 and 2, and on hand-made headers for what it never writes (the
// real samples are checked in archive_samples_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "results/run_state.h"
#include "support/test_support.h"
#include "archive_builders.h"
#include "archive_scan_helpers.h"

namespace shelvo::testing {
namespace {

std::string lzh_level0(std::string_view method, std::string_view name, std::string_view data, std::uint32_t original) {
  std::string body = std::string(method) + le32(static_cast<std::uint32_t>(data.size())) + le32(original) +
                     le32(may_2001) + "\x20" + std::string(1, '\0') + static_cast<char>(name.size()) +
                     std::string(name) + le16(0);
  return static_cast<char>(body.size()) + std::string(1, '\0') + body + std::string(data);
}

std::string lzh_level1(std::string_view name, std::string_view data, std::uint32_t original) {
  const std::string extension = std::string(1, '\x40') + le16(0x20) + le16(0); // attribute header, then none
  const std::uint32_t packed = static_cast<std::uint32_t>(extension.size() + data.size());
  std::string body = std::string("-lh0-") + le32(packed) + le32(original) + le32(may_2001) + "\x20" + "\x01" +
                     static_cast<char>(name.size()) + std::string(name) + le16(0) + "M" +
                     le16(static_cast<std::uint32_t>(extension.size()));
  return static_cast<char>(body.size()) + std::string(1, '\0') + body + extension + std::string(data);
}

// os is the operating-system byte at offset 23; LHA for OS-9/68k ('K') states a
// total two bytes short of its extended headers, which stated_short_by imitates.
std::string lzh_level2(std::string_view method, std::string_view name, std::string_view directory,
                       std::string_view data, std::uint32_t original, std::uint32_t unix_time, char os = 'U',
                       std::uint32_t stated_short_by = 0) {
  std::string extensions;
  auto add = [&](char type, std::string_view payload) {
    extensions += le16(static_cast<std::uint32_t>(payload.size() + 3)); // size of the header that follows
    extensions += type;
    extensions += payload;
  };
  if (!name.empty()) add('\x01', name);
  if (!directory.empty()) add('\x02', directory);
  extensions += le16(0);
  std::string h = std::string(method) + le32(static_cast<std::uint32_t>(data.size())) + le32(original) +
                  le32(unix_time) + "\x20" + "\x02" + le16(0) + os;
  // The size of the first extended header sits at offset 24: it is the first
  // two bytes of the chain built above.
  const std::uint32_t total = static_cast<std::uint32_t>(2 + h.size() + extensions.size());
  return le16(total - stated_short_by) + h + extensions + std::string(data);
}

std::string lzh_level3(std::string_view name, std::string_view data) {
  std::string ext = le32(static_cast<std::uint32_t>(name.size() + 5)) + "\x01" + std::string(name) + le32(0);
  std::string h = std::string("-lh0-") + le32(static_cast<std::uint32_t>(data.size())) +
                  le32(static_cast<std::uint32_t>(data.size())) + le32(0) + "\x20" + "\x03" + le16(0) + "M";
  const std::uint32_t total = static_cast<std::uint32_t>(2 + h.size() + 4 + ext.size());
  return le16(4) + h + le32(total) + ext + std::string(data);
}

class LzhReader : public ::testing::Test {
protected:
  void SetUp() override { reset_counters(); }
  testing::TimeZone utc{"UTC"}; // Unix times in headers become DOS times in UTC
  ScanOutcome scan(const std::string& bytes) {
    write_file(work / "HAND.LZH", bytes + std::string(1, '\0'));
    return scan_into_volume(work / "HAND.LZH", "\\HAND.LZH");
  }
  TempDir work;
  TempDir log_drive;
  DriveMapping drives{{{'C', log_drive.path()}}};
};

TEST_F(LzhReader, ArchivesMadeByLhaAtEveryHeaderLevel) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  make_directories(work / "tree/sub");
  write_file(work / "tree/a.txt", std::string(300, 'a'));
  write_file(work / "tree/sub/b.txt", "bb");
  for (const char* level : {"0", "1", "2"}) {
    SCOPED_TRACE(std::string("level ") + level);
    const std::string archive = work / (std::string("L") + level + ".LZH");
    const CommandResult made = run_command("cd " + shell_quote(work / "tree") + " && lha aq" + level + " " +
                                           shell_quote(archive) + " a.txt sub/b.txt");
    ASSERT_EQ(made.status, 0) << made.err;
    const ScanOutcome out = scan_into_volume(archive);
    ASSERT_EQ(out.members.size(), 2u) << out.problem;
    EXPECT_EQ(out.members[0].name, "A.TXT");
    EXPECT_EQ(out.members[0].size, 300u);
    EXPECT_EQ(out.members[1].name, "B.TXT");
    EXPECT_EQ(out.members[1].size, 2u);
  }
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(LzhReader, Os9LevelTwoHeadersAreTwoBytesLongerThanTheyState) {
  const ScanOutcome out = scan(lzh_level2("-lh0-", "os9.txt", "", "nine", 4, 990095400, 'K', 2) +
                               lzh_level2("-lh0-", "next.txt", "", "n", 1, 990095400));
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "OS9.TXT");
  EXPECT_EQ(out.members[1].name, "NEXT.TXT");
}

TEST_F(LzhReader, LevelsZeroOneAndTwoMixedInOneArchive) {
  // 2001-05-17 10:30:00 UTC as a Unix time.
  const ScanOutcome out = scan(lzh_level0("-lh0-", "dos\\zero.txt", "zero", 4) + lzh_level1("one.txt", "one!1", 5) +
                               lzh_level2("-lh0-", "two.txt", "sub\xFF", "two", 3, 990095400) +
                               lzh_level0("-lz4-", "larc.txt", "L", 1));
  ASSERT_EQ(out.members.size(), 4u) << out.problem;
  EXPECT_EQ(out.members[0].name, "ZERO.TXT");
  EXPECT_EQ(out.members[1].name, "ONE.TXT");
  EXPECT_EQ(out.members[1].size, 5u);
  EXPECT_EQ(out.members[2].name, "TWO.TXT");
  EXPECT_EQ(dos_text(out.members[2].date, out.members[2].time), "2001-05-17 10:30:00");
  EXPECT_EQ(dos_text(out.members[0].date, out.members[0].time), "2001-05-17 10:30:00");
  EXPECT_EQ(out.members[3].name, "LARC.TXT");
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(LzhReader, DirectoryEntriesAreSkippedSilently) {
  // A level-1 directory has a packed size (its extended headers); a level-2 one
  // has no file-name header; a name ending in a separator has no last component.
  const ScanOutcome out = scan(lzh_level2("-lhd-", "", "dir\xFF", "", 0, 990095400) +
                               lzh_level0("-lh0-", "folder\\", "xx", 2) + lzh_level0("-lh0-", "kept.txt", "k", 1));
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "KEPT.TXT");
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(LzhReader, LevelThreeIsReportedNotGuessedAt) {
  const ScanOutcome out = scan(lzh_level3("three.txt", "333") + lzh_level0("-lh0-", "after.txt", "a", 1));
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "AFTER.TXT");
  EXPECT_EQ(counters.broken_archives, 1);
  EXPECT_EQ(read_file(log_drive / "KESTRA.ERR"), "BROKEN file: \\HAND.LZH (or header looks like an Lha)\n");
}

TEST_F(LzhReader, NameEndsAtItsFirstZeroByte) {
  // LHA on some systems stores a file comment after a zero in the name field.
  const ScanOutcome out = scan(lzh_level0("-lh0-", std::string("meta.txt\0a comment", 18), "m", 1));
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "META.TXT");
}

TEST_F(LzhReader, ANameLongerThanItsLevelZeroOrOneHeaderIsNoHeader) {
  // Name lengths of 40 in headers that hold 5 bytes of name: read as stated,
  // the name would run into the CRC and the data after it.
  std::string zero = lzh_level0("-lh0-", "a.txt", "aaa", 3);
  zero[21] = 40;
  std::string one = lzh_level1("b.txt", "bbb", 3);
  one[21] = 40;
  const ScanOutcome out = scan(zero + one + lzh_level0("-lh0-", "c.txt", "c", 1));
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "C.TXT");
}

TEST_F(LzhReader, ALevelTwoNameHeaderThatDoesNotFitItsHeaderNamesNothing) {
  // The file-name extension claims 200 bytes of a header that ends after 8;
  // another claims 2, less than its own type and size take.
  std::string overrun = lzh_level2("-lh0-", "a.txt", "", "a", 1, 990095400);
  overrun.replace(24, 2, le16(200));
  std::string undersized = lzh_level2("-lh0-", "b.txt", "", "b", 1, 990095400);
  undersized.replace(24, 2, le16(2));
  const ScanOutcome out = scan(overrun + undersized + lzh_level2("-lh0-", "c.txt", "", "c", 1, 990095400));
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "C.TXT");
}

} // namespace
} // namespace shelvo::testing
