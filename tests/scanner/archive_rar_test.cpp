// The RAR reader on hand-made block sequences: the layouts of RAR 2.9 and later
// (comment and sub-blocks, data after the name, 64-bit sizes) that a fixed
// header size would misread.
#include <gtest/gtest.h>

#include <vector>

#include "results/run_state.h"
#include "support/test_support.h"
#include "archive_builders.h"
#include "archive_scan_helpers.h"

namespace shelvo::testing {
namespace {

class RarReader : public ::testing::Test {
protected:
  void SetUp() override { reset_counters(); }
  ScanOutcome scan(const std::string& bytes) {
    write_file(work / "HAND.RAR", bytes);
    return scan_into_volume(work / "HAND.RAR", "\\HAND.RAR");
  }
  std::vector<std::string> names(const ScanOutcome& out) {
    std::vector<std::string> n;
    for (const MemberRecord& m : out.members) n.push_back(m.name);
    return n;
  }
  TempDir work;
  TempDir log_drive;
  DriveMapping drives{{{'C', log_drive.path()}}};
};

const std::string end_block = rar_block(0x7B, 7);

TEST_F(RarReader, SimpleLayoutIsListedWithSizesAndDates) {
  const ScanOutcome out = scan(rar_archive(rar_file("dir\\a.txt", "aaaa", 4) + rar_file("b.txt", "bb", 2) + end_block));
  ASSERT_EQ(names(out), (std::vector<std::string>{"A.TXT", "B.TXT"})) << out.problem;
  EXPECT_EQ(out.members[0].size, 4u);
  EXPECT_EQ(dos_text(out.members[1].date, out.members[1].time), "2001-05-17 10:30:00");
}

TEST_F(RarReader, EveryMemberOfANewerArchiveIsFound) {
  // An archive comment block first, salt and extended time after each name, a
  // new-style sub-block (recovery record) between the files.
  const std::string after_name = std::string(8, 'S') + std::string(5, 'T');
  const std::string blocks = rar_block(0x75, 20) + rar_file("one.txt", "1111", 4, 0x8000 | 0x400 | 0x1000, after_name) +
                             rar_file("RR", std::string(50, 'r'), 0, 0x8000, {}, 29, '0').replace(2, 1, "\x7A") +
                             rar_file("two.txt", "22", 2, 0x8000 | 0x1000, "TTT") +
                             rar_block(0x77, 12, "old sub-block data", true) + end_block +
                             rar_file("after-end.txt", "x", 1);
  const ScanOutcome out = scan(rar_archive(blocks));
  EXPECT_EQ(names(out), (std::vector<std::string>{"ONE.TXT", "TWO.TXT"})) << out.problem;
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(RarReader, LargeFileFlagMovesTheNameAndWidensThePackedSize) {
  const ScanOutcome out = scan(rar_archive(rar_file("huge.iso", "", 0x10, 0x8000 | 0x100) + end_block));
  ASSERT_EQ(names(out), (std::vector<std::string>{"HUGE.ISO"})) << out.problem;
  // With the high half of the unpacked size, 4 GiB + 16 bytes: capped, not 16.
  const ScanOutcome big = scan(rar_archive(rar_file("huge.iso", "", 0x10, 0x8000 | 0x100, {}, 29, '0', 0, 1) + end_block));
  ASSERT_EQ(names(big), (std::vector<std::string>{"HUGE.ISO"})) << big.problem;
  EXPECT_EQ(big.members[0].size, 0x7FFFFFFFu);

  // The high half of the packed size takes the next block beyond the end.
  const ScanOutcome far = scan(rar_archive(rar_file("huge.iso", "", 0x10, 0x8000 | 0x100, {}, 29, '0', 1) +
                                           rar_file("never.txt", "n", 1) + end_block));
  EXPECT_EQ(names(far), (std::vector<std::string>{"HUGE.ISO"})) << far.problem;
}

TEST_F(RarReader, VersionOrMethodOutOfRangeEndsTheListSilently) {
  const ScanOutcome out = scan(rar_archive(rar_file("a.txt", "a", 1) + rar_file("b.txt", "b", 1, 0x8000, {}, 36) +
                                           rar_file("c.txt", "c", 1) + end_block));
  EXPECT_EQ(names(out), (std::vector<std::string>{"A.TXT"})) << out.problem;
  const ScanOutcome method = scan(rar_archive(rar_file("a.txt", "a", 1, 0x8000, {}, 20, '6') + end_block));
  EXPECT_TRUE(method.members.empty());
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(RarReader, EncryptedHeadersAndRar5ListNothing) {
  const ScanOutcome encrypted = scan(rar_archive(rar_file("secret.txt", "s", 1) + end_block, 0x80));
  EXPECT_EQ(encrypted.result, 1);
  EXPECT_EQ(hex_of(encrypted.written), hex_of(bytes_from_hex("01 00000000 00000000")));

  const ScanOutcome rar5 = scan(std::string("Rar!\x1A\x07\x01\x00", 8) + std::string(40, '\x05'));
  EXPECT_EQ(rar5.result, 1);
  EXPECT_EQ(hex_of(rar5.written), hex_of(bytes_from_hex("01 00000000 00000000")));
}

TEST_F(RarReader, UnicodeNameIsReadUpToItsZero) {
  const std::string name = std::string("caf\xE9.txt\0", 9) + "\x01\x02\x03";
  const ScanOutcome out = scan(rar_archive(rar_file(name, "c", 1, 0x8000 | 0x200) + end_block));
  ASSERT_EQ(names(out), (std::vector<std::string>{"CAFE.TXT"})) << out.problem;
}

TEST_F(RarReader, NameLongerThanTheRecordLimitIsCut) {
  const std::string long_leaf(400, 'n');
  const ScanOutcome out = scan(rar_archive(rar_file("deep\\" + long_leaf, "l", 1) + rar_file("z.txt", "z", 1)));
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, std::string(300, 'N'));
  EXPECT_EQ(out.members[1].name, "Z.TXT");
}

TEST_F(RarReader, ANameThatRunsPastItsHeaderEndsTheList) {
  // A name size of 64 in a header that holds 5 bytes of name: what would be
  // read as its name is the rest of the header, and the list ends there.
  std::string overrun = rar_file("b.txt", "bb", 2);
  overrun.replace(26, 2, le16(64));
  const ScanOutcome out = scan(rar_archive(rar_file("a.txt", "a", 1) + overrun + rar_file("c.txt", "c", 1) + end_block));
  EXPECT_EQ(names(out), (std::vector<std::string>{"A.TXT"})) << out.problem;
}

} // namespace
} // namespace shelvo::testing
