// The frame shared by the readers: the signature search, field reads, the block
// around the members, and what happens when the log or the volume cannot be
// written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>

#include "results/run_state.h"
#include "scanner/archive_frame.h"
#include "scanner/broken_archive_log.h"
#include "support/test_support.h"
#include "archive_builders.h"
#include "archive_scan_helpers.h"

namespace shelvo::testing {
namespace {

ArchiveStream stream_of(const TempDir& dir, std::string_view bytes) {
  write_file(dir / "stream.bin", bytes);
  return ArchiveStream(WindowedFile::open_host(dir / "stream.bin"));
}

TEST(FindSignature, MatchStartingInsideAPartialMatchIsFound) {
  TempDir dir;
  struct Case {
    std::string bytes, signature;
    int found;
    std::uint64_t after;
  };
  const std::vector<Case> cases = {
      {std::string("xxPKPK\x03\x04yy", 10), std::string("PK\x03\x04", 4), 1, 8},
      {std::string("PPK\x03\x04", 5), std::string("PK\x03\x04", 4), 1, 5},
      {"ab--lh5-", "-l", 1, 5},
      {std::string(40, 'P') + "PK", std::string("PK\x03\x04", 4), 0, 0},
      {"", "-l", 0, 0},
      // Across the 16-byte blocks of the search.
      {std::string(15, '.') + "`\xEA", "`\xEA", 1, 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(hex_of(c.bytes));
    ArchiveStream s = stream_of(dir, c.bytes);
    EXPECT_EQ(find_signature(c.signature, s), c.found);
    if (c.found) {
      EXPECT_EQ(s.position(), c.after);
    }
  }
}

TEST(FindSignature, FindsSuccessiveMatchesFromWhereItStopped) {
  TempDir dir;
  ArchiveStream s = stream_of(dir, "..-l..-l..");
  ASSERT_EQ(find_signature("-l", s), 1);
  EXPECT_EQ(s.position(), 4u);
  ASSERT_EQ(find_signature("-l", s), 1);
  EXPECT_EQ(s.position(), 8u);
  EXPECT_EQ(find_signature("-l", s), 0);
}

TEST(ReadField, LongFieldIsCutMarkedAndSkipped) {
  TempDir dir;
  ArchiveStream s = stream_of(dir, "0123456789AFTER");
  std::FILE* sink = std::tmpfile();
  set_announcement_stream(sink);
  std::array<char, 4> buffer{};
  EXPECT_EQ(read_field(buffer, 2, 5, s, 4), 4u);
  set_announcement_stream(nullptr);
  EXPECT_EQ(std::string(buffer.data(), 4), "0123");
  EXPECT_EQ(s.position(), 10u); // the rest of the field is skipped
  std::rewind(sink);
  EXPECT_EQ(std::fgetc(sink), '*');
  std::fclose(sink);

  // A field within the limit is read whole, silently.
  ArchiveStream t = stream_of(dir, "abc");
  EXPECT_EQ(read_field(buffer, 1, 3, t, 4), 3u);
  EXPECT_EQ(std::string(buffer.data(), 3), "abc");
}

class ArchiveBlock : public ::testing::Test {
protected:
  void SetUp() override { reset_counters(); }
  TempDir work;
};

TEST_F(ArchiveBlock, BrokenHeaderIsCountedEvenWhenTheLogCannotBeOpened) {
  DriveMapping no_drive_c{{{'D', work.path()}}};
  write_file(work / "B.ZIP", zip_local("bad?.txt", 1, 1, "b") + zip_local("bad2?.txt", 1, 1, "b"));
  const ScanOutcome out = scan_into_volume(work / "B.ZIP");
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(counters.broken_archives, 2);
  EXPECT_FALSE(log_broken_archive("\\X.ZIP", "Zip"));
}

TEST_F(ArchiveBlock, LogLineCarriesTheCatalogPathAsUtf8) {
  DriveMapping drives{{{'C', work.path()}}};
  ASSERT_TRUE(log_broken_archive("\\CAF\xC9\\P.LZH", "Lha"));
  EXPECT_EQ(read_file(work / "KESTRA.ERR"), "BROKEN file: \\CAF\xC3\x89\\P.LZH (or header looks like an Lha)\n");
}

TEST_F(ArchiveBlock, TheLogIsNeverWrittenThroughALinkAndShowsNoControlCharacter) {
#ifdef _WIN32
  SKIP_ON_WINDOWS("symbolic links need a privilege there");
#else
  DriveMapping drives{{{'C', work.path()}}};
  // The path in a line comes from the volume: a planted link would carry it into
  // another file, or create the file a dangling link names.
  write_file(work / "victim", "mine\n");
  ASSERT_EQ(::symlink((work / "victim").c_str(), (work / "KESTRA.ERR").c_str()), 0);
  EXPECT_FALSE(log_broken_archive("\\X.ZIP", "Zip"));
  EXPECT_EQ(read_file(work / "victim"), "mine\n");
  EXPECT_NE(run_report.log_failure.find("cannot write the log C:\\KESTRA.ERR"), std::string::npos);
  ASSERT_EQ(::unlink((work / "KESTRA.ERR").c_str()), 0);
  ASSERT_EQ(::symlink((work / "planted").c_str(), (work / "KESTRA.ERR").c_str()), 0);
  EXPECT_FALSE(log_broken_archive("\\X.ZIP", "Zip"));
  EXPECT_FALSE(shelvo::testing::path_exists(work / "planted"));
  // A character the catalog could not hold (0x8F) shows as '?', as in the tree.
  ASSERT_EQ(::unlink((work / "KESTRA.ERR").c_str()), 0);
  ASSERT_TRUE(log_broken_archive("\\A\x8F\x1B.ZIP", "Zip"));
  EXPECT_EQ(read_file(work / "KESTRA.ERR"), "BROKEN file: \\A??.ZIP (or header looks like an Zip)\n");
#endif
}

TEST_F(ArchiveBlock, MemberNamesThatCannotBeStoredAreNeverRecorded) {
  DriveMapping drives{{{'C', work.path()}}};
  // An empty last component is skipped silently; 0x01 would start an archive
  // block when the catalog is read back, so it is reported.
  write_file(work / "N.ZIP", zip_local("folder/", 3, 3, "abc") + zip_local("\x01hidden", 1, 1, "h") +
                                 zip_local(std::string("ok.txt\0junk", 11), 1, 1, "o"));
  const ScanOutcome out = scan_into_volume(work / "N.ZIP");
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "OK.TXT");
  EXPECT_EQ(counters.broken_archives, 1);
  EXPECT_EQ(counters.scanned_members, 1);
}

TEST_F(ArchiveBlock, AccentedNamesAreFolded) {
  write_file(work / "F.ZIP", zip_local("r\xE9sum\xE9.doc", 1, 1, "r"));
  const ScanOutcome out = scan_into_volume(work / "F.ZIP");
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "RESUME.DOC");
}

TEST_F(ArchiveBlock, Utf8NamesAreConvertedLikeHostNames) {
  DriveMapping drives{{{'C', work.path()}}};
  // "café.txt" and "テスト.txt" in UTF-8, as current systems write them; then a
  // Windows-1252 name, which is not valid UTF-8 and is kept as it is.
  write_file(work / "U.ZIP", zip_local("caf\xC3\xA9.txt", 1, 1, "c") +
                                 zip_local("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt", 1, 1, "t") +
                                 zip_local("na\xC6ve.txt", 1, 1, "n"));
  const ScanOutcome out = scan_into_volume(work / "U.ZIP");
  ASSERT_EQ(out.members.size(), 3u) << out.problem;
  EXPECT_EQ(out.members[0].name, "CAFE.TXT");
  EXPECT_EQ(out.members[1].name, "\x8F\x8F\x8F.TXT"); // no Windows-1252 form, as in the walk: never '?'

  EXPECT_EQ(out.members[2].name, "NA\xC6VE.TXT");
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(ArchiveBlock, SizeOfTwoGibibytesOrMoreIsCapped) {
  const std::string extra = le16(1) + le16(16) + le32(0xB2D05E00u) + le32(0) + le32(1) + le32(0); // 3,000,000,000
  write_file(work / "S.ZIP", zip_local("big.iso", 0xFFFFFFFF, 0xFFFFFFFF, "b", 0, 0, extra));
  const ScanOutcome out = scan_into_volume(work / "S.ZIP");
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].size, 0x7FFFFFFFu); // not its low 31 bits, 852,516,352
}

// A block is held until it is closed, so that it goes out in one piece; one too
// large to hold goes out as it grows and gets its counts afterwards: the same
// bytes either way.
TEST_F(ArchiveBlock, ALargeBlockIsWrittenAsItGrowsWithTheSameLayout) {
  for (const int members : {3, 70000}) {
    std::string zip;
    for (int m = 0; m < members; ++m) zip += zip_local("member_" + std::to_string(m) + ".txt", 1, 1, "x");
    write_file(work / "L.ZIP", zip);
    const ScanOutcome out = scan_into_volume(work / "L.ZIP");
    ASSERT_TRUE(out.problem.empty()) << out.problem;
    ASSERT_EQ(out.members.size(), static_cast<std::size_t>(members));
    EXPECT_EQ(out.members.back().name, "MEMBER_" + std::to_string(members - 1) + ".TXT");
  }
}

TEST_F(ArchiveBlock, WriteFailureOnTheVolumeIsVisibleToTheCaller) {
  write_file(work / "A.ZIP", zip_local("a.txt", 1, 1, "a"));
  write_file(work / "VOLUME", "header");
  File read_only = File::open_host(work / "VOLUME", "rb");
  ASSERT_TRUE(read_only.is_open());
  scan_archive(read_only, work / "A.ZIP", "\\A.ZIP");
  EXPECT_TRUE(read_only.failed());
}

} // namespace
} // namespace shelvo::testing
