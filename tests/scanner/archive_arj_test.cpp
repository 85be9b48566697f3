// The ARJ reader, on archives made by arj at test time (with DOS date-times, and
// with the Unix times it writes by default) and on hand-made headers of the
// three first-header sizes ARJ versions write.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "results/run_state.h"
#include "support/test_support.h"
#include "archive_builders.h"
#include "archive_scan_helpers.h"

namespace shelvo::testing {
namespace {

struct ArjEntry {
  std::string name;
  std::string data;
  std::uint8_t host_os = 0;        // 0 MS-DOS, 2 UNIX
  std::uint16_t access_mode = 0x20;
  std::uint8_t first_size = 46;    // 30, 34 or 46
  std::string comment;
  std::uint32_t date_time = may_2001; // DOS form, or a Unix time from a Unix host
};

std::string arj_header(std::uint8_t file_type, const ArjEntry& e) {
  std::string basic;
  basic += static_cast<char>(e.first_size);
  basic += "\x0B\x01";
  basic += static_cast<char>(e.host_os);
  basic += std::string("\x00\x00", 2); // flags, method (stored)
  basic += static_cast<char>(file_type);
  basic += '\0';
  basic += le32(e.date_time) + le32(static_cast<std::uint32_t>(e.data.size())) +
           le32(static_cast<std::uint32_t>(e.data.size())) + le32(0) + le16(0) + le16(e.access_mode) + le16(0);
  basic.resize(e.first_size, '\0');
  basic += e.name + '\0' + e.comment + '\0';
  return std::string("\x60\xEA", 2) + le16(static_cast<std::uint32_t>(basic.size())) + basic + le32(0) + le16(0);
}

std::string arj_archive(const std::vector<ArjEntry>& entries) {
  std::string a = arj_header(2, ArjEntry{"HAND.ARJ", "", 0, 0, 34, ""});
  for (const ArjEntry& e : entries) a += arj_header(0, e) + e.data;
  return a + std::string("\x60\xEA\x00\x00", 4);
}

class ArjReader : public ::testing::Test {
protected:
  void SetUp() override { reset_counters(); }
  ScanOutcome scan(const std::vector<ArjEntry>& entries) {
    write_file(work / "HAND.ARJ", arj_archive(entries));
    return scan_into_volume(work / "HAND.ARJ", "\\HAND.ARJ");
  }
  TempDir work;
  TempDir log_drive;
  DriveMapping drives{{{'C', log_drive.path()}}};
};

TEST_F(ArjReader, ArchivesMadeByArjAreListedExactlyWithEitherKindOfTime) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  // arj writes DOS date-times with -2d (host OS MS-DOS), Unix times without it
  // (host OS UNIX); either way a member gets the local time of its file.
  const TimeZone zone("Europe/Berlin");
  make_directories(work / "tree/sub");
  write_file(work / "tree/alpha.txt", "alpha!");
  write_file(work / "tree/sub/data.bin", std::string(3000, '\x07'));
  write_file(work / "tree/sub/empty.txt", "");
  set_local_mtime(work / "tree/alpha.txt", 1998, 3, 5, 14, 7, 0);
  set_local_mtime(work / "tree/sub/data.bin", 2015, 5, 5, 10, 10, 10);
  set_local_mtime(work / "tree/sub/empty.txt", 2001, 5, 17, 10, 30, 0);
  for (const char* dos_option : {"-2d", ""}) {
    SCOPED_TRACE(dos_option);
    const std::string archive = std::string("made") + dos_option + ".arj";
    const CommandResult r =
        run_command("cd " + shell_quote(work.path()) + " && arj a -y " + dos_option + " -r " + archive + " tree");
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    const ScanOutcome out = scan_into_volume(work / archive);
    ASSERT_EQ(out.problem, "");
    // Directory entries and the empty file (both sizes 0) are not recorded.
    std::vector<std::string> seen;
    for (const MemberRecord& m : out.members) seen.push_back(m.name + " " + std::to_string(m.size) + " " + dos_text(m.date, m.time));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"ALPHA.TXT 6 1998-03-05 14:07:00", "DATA.BIN 3000 2015-05-05 10:10:10"}));
    EXPECT_EQ(counters.broken_archives, 0);
  }
}

TEST_F(ArjReader, DateTimesAreReadTheWayTheHostOsWroteThem) {
  // 2015-05-05 10:10:10 UTC as a Unix time, and as a DOS date-time.
  const std::uint32_t unix_time = 1430820610;
  const std::uint32_t dos = (((2015u - 1980) << 9 | 5 << 5 | 5) << 16) | (10u << 11 | 10 << 5 | 5);
  const TimeZone zone("CET-1"); // an hour east of UTC all year: the member's local time
  const ScanOutcome out = scan({{"unix.txt", "u", 2, 0x81A4, 46, "", unix_time},
                                {"next.txt", "n", 8, 0x81A4, 46, "", unix_time},
                                {"dos.txt", "d", 0, 0x20, 46, "", dos},
                                {"os2.txt", "o", 5, 0x20, 46, "", dos}});
  ASSERT_EQ(out.members.size(), 4u) << out.problem;
  EXPECT_EQ(dos_text(out.members[0].date, out.members[0].time), "2015-05-05 11:10:10");
  EXPECT_EQ(dos_text(out.members[1].date, out.members[1].time), "2015-05-05 11:10:10");
  EXPECT_EQ(dos_text(out.members[2].date, out.members[2].time), "2015-05-05 10:10:10");
  EXPECT_EQ(dos_text(out.members[3].date, out.members[3].time), "2015-05-05 10:10:10");
}

TEST_F(ArjReader, NameIsFoundAfterEveryFirstHeaderSize) {
  // 30: the first layout; 34: an extended file position before the name;
  // 46: ARJ 2.50 and later, with access and creation times.
  const ScanOutcome out = scan({{"old/first.txt", "one", 0, 0x20, 30, ""},
                                {"mid/second.txt", "two2", 0, 0x20, 34, ""},
                                {"new/third.txt", "three", 0, 0x20, 46, ""}});
  ASSERT_EQ(out.members.size(), 3u) << out.problem;
  EXPECT_EQ(out.members[0].name, "FIRST.TXT");
  EXPECT_EQ(out.members[1].name, "SECOND.TXT");
  EXPECT_EQ(out.members[2].name, "THIRD.TXT");
  EXPECT_EQ(out.members[2].size, 5u);
  EXPECT_EQ(dos_text(out.members[2].date, out.members[2].time), "2001-05-17 10:30:00");
}

TEST_F(ArjReader, AccessModeBeyondDosAttributesIsBrokenUnlessMadeOnUnix) {
  const ScanOutcome out = scan({{"dos.txt", "d", 0, 0x30, 46, ""},
                                {"unix.txt", "u", 2, 0x81A4, 46, ""},
                                {"fine.txt", "f", 0, 0x2F, 46, ""}});
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "UNIX.TXT");
  EXPECT_EQ(out.members[1].name, "FINE.TXT");
  EXPECT_EQ(counters.broken_archives, 1);
  EXPECT_EQ(read_file(log_drive / "KESTRA.ERR"), "BROKEN file: \\HAND.ARJ (or header looks like an Arj)\n");
}

TEST_F(ArjReader, AHeaderLongerThanAnyArjWritesIsNoHeader) {
  // A basic header holds at most 2,600 bytes: one of 5,150 (a comment of 5,000)
  // is data that happens to start like a header, and the search goes on past it.
  const ScanOutcome out = scan({{"long.txt", "x", 0, 0x20, 46, std::string(5000, 'c')},
                                {"after.txt", "after", 0, 0x20, 46, ""}});
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "AFTER.TXT");
  // A main header that long: no member at all.
  write_file(work / "MAIN.ARJ", arj_header(2, ArjEntry{"MAIN.ARJ", "", 0, 0, 34, std::string(5000, 'm')}) +
                                    arj_header(0, ArjEntry{"inside.txt", "i", 0, 0x20, 46, ""}) + "i" +
                                    std::string("\x60\xEA\x00\x00", 4));
  EXPECT_TRUE(scan_into_volume(work / "MAIN.ARJ", "\\MAIN.ARJ").members.empty());
}

TEST_F(ArjReader, CommentsAndDataThatLookLikeHeadersAreSteppedOver) {
  // The first member's data holds an identifier followed by a plausible header.
  const std::string fake = std::string("\x60\xEA", 2) + le16(40) + std::string(60, 'Z');
  const ScanOutcome out = scan({{"a.bin", fake, 0, 0x20, 46, "a comment that is not empty"},
                                {"b.txt", "bbb", 0, 0x20, 46, ""}});
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "A.BIN");
  EXPECT_EQ(out.members[1].name, "B.TXT");
}

} // namespace
} // namespace shelvo::testing
