// The ZIP reader, on archives made by Info-ZIP at test time and on hand-made
// headers for what zip never writes.
#include <gtest/gtest.h>

#include "results/run_state.h"
#include "support/test_support.h"
#include "archive_builders.h"
#include "archive_scan_helpers.h"

namespace shelvo::testing {
namespace {

class ZipReader : public ::testing::Test {
protected:
  void SetUp() override { reset_counters(); }

  // Runs zip in the work directory; the archive is work/name.
  std::string zip(const std::string& name, const std::string& arguments) {
    const CommandResult r = run_command("cd " + shell_quote(work.path()) + " && zip -q -X " + name + " " + arguments);
    EXPECT_EQ(r.status, 0) << r.err;
    return work / name;
  }
  std::string log_text() { return read_file(log_drive / "KESTRA.ERR"); }

  TempDir work;
  TempDir log_drive;
  DriveMapping drives{{{'C', log_drive.path()}}};
};

TEST_F(ZipReader, SingleMemberGivesTheDocumentedBlockBytes) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  make_directories(work / "docs");
  write_file(work / "docs/readme.txt", std::string(1234, 'r'));
  set_local_mtime(work / "docs/readme.txt", 2001, 5, 17, 10, 30, 0);
  const ScanOutcome out = scan_into_volume(zip("one.zip", "docs/readme.txt"));
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(hex_of(out.written), hex_of(bytes_from_hex("01 14000000 01000000 "
                                                       "52 45 41 44 4D 45 2E 54 58 54 00 000004D2 2AB1 53C0 00")));
  EXPECT_EQ(counters.scanned_members, 1);
}

TEST_F(ZipReader, SameLeafInTwoFoldersGivesTwoRecords) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  make_directories(work / "a");
  make_directories(work / "b");
  write_file(work / "a/x.txt", "one");
  write_file(work / "b/x.txt", "two!");
  const ScanOutcome out = scan_into_volume(zip("two.zip", "a/x.txt b/x.txt"));
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "X.TXT");
  EXPECT_EQ(out.members[1].name, "X.TXT");
  EXPECT_EQ(out.members[0].size, 3u);
  EXPECT_EQ(out.members[1].size, 4u);
}

TEST_F(ZipReader, TextFileNamedLikeAnArchiveIsNotRecognised) {
  write_file(work / "NOTES.ZIP", "Notes for Tuesday: bring the floppies.\n");
  const ScanOutcome out = scan_into_volume(work / "NOTES.ZIP");
  EXPECT_EQ(out.result, -1);
  EXPECT_EQ(out.written, "");
}

TEST_F(ZipReader, MissingArchiveWritesNothing) {
  const ScanOutcome out = scan_into_volume(work / "GONE.ZIP");
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.written, "");
}

TEST_F(ZipReader, DirectoriesOnlyGiveAnEmptyBlock) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  make_directories(work / "d/e/f");
  const ScanOutcome out = scan_into_volume(zip("dirs.zip", "-r d"));
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(hex_of(out.written), hex_of(bytes_from_hex("01 00000000 00000000")));
}

TEST_F(ZipReader, UnknownMethodIsLoggedOnceAndNotRecorded) {
  const std::string archive = zip_local("good.txt", 4, 4, "good") + zip_local("odd.bin", 3, 9, "abc", 21) +
                              zip_local("late.txt", 2, 2, "ok", 8);
  write_file(work / "M9.ZIP", archive);
  const ScanOutcome out = scan_into_volume(work / "M9.ZIP", "\\DOWNLOAD\\M9.ZIP");
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "GOOD.TXT");
  EXPECT_EQ(out.members[1].name, "LATE.TXT");
  EXPECT_EQ(counters.broken_archives, 1);
  EXPECT_EQ(log_text(), "BROKEN file: \\DOWNLOAD\\M9.ZIP (or header looks like an Zip)\n");
}

TEST_F(ZipReader, NamesWithCharactersNoFileNameHoldsAreBroken) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  write_file(work / "what?.txt", "q");
  write_file(work / "plain.txt", "p");
  const ScanOutcome out = scan_into_volume(zip("q.zip", "plain.txt 'what?.txt'"));
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "PLAIN.TXT");
  EXPECT_EQ(counters.broken_archives, 1);

  // The log is appended to, never truncated: a second broken name adds a line.
  write_file(work / "C.ZIP", zip_local("c:evil.txt", 1, 1, "e"));
  scan_into_volume(work / "C.ZIP", "\\C.ZIP");
  EXPECT_EQ(counters.broken_archives, 2);
  EXPECT_EQ(log_text(), "BROKEN file: \\PACK.ARC (or header looks like an Zip)\n"
                        "BROKEN file: \\C.ZIP (or header looks like an Zip)\n");
}

TEST_F(ZipReader, EveryRegisteredMethodIsRecorded) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  // Deflate64, bzip2, LZMA, the last registered one, zstd, xz, AES: current tools write them.
  std::string archive;
  for (const int method : {9, 12, 14, 20, 93, 95, 99})
    archive += zip_local("m" + std::to_string(method) + ".bin", 1, 1, "x", static_cast<std::uint16_t>(method));
  write_file(work / "METHODS.ZIP", archive);
  EXPECT_EQ(scan_into_volume(work / "METHODS.ZIP").members.size(), 7u);
  EXPECT_EQ(counters.broken_archives, 0);
  // And one made by zip itself with bzip2.
  write_file(work / "big.txt", std::string(5000, 'b'));
  const ScanOutcome out = scan_into_volume(zip("bz.zip", "-Z bzip2 big.txt"));
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].size, 5000u);
}

TEST_F(ZipReader, SizesAfterTheDataComeFromTheCentralDirectory) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  // Python's zipfile writing to a pipe: both sizes 0 in every local header, the
  // data, a descriptor, then the central directory with the real sizes.
  const CommandResult r = run_command(
      "cd " + shell_quote(work.path()) +
      " && (python3 -c \"import sys, zipfile\n"
      "with zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.writestr('docs/readme.txt', 'hello' * 300)\n"
      "    z.writestr('b.txt', 'bee')\n"
      "\" | cat > py.zip)");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(read_file(work / "py.zip").substr(6, 1), "\x08"); // flag bit 3 set
  const ScanOutcome out = scan_into_volume(work / "py.zip");
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "README.TXT");
  EXPECT_EQ(out.members[0].size, 1500u);
  EXPECT_EQ(out.members[1].name, "B.TXT");
  EXPECT_EQ(out.members[1].size, 3u);
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(ZipReader, DataDescriptorMemberIsSkippedAndTheSearchFindsTheNext) {
  // Sizes 0 in the local header, the data, then the descriptor "PK" 7 8.
  const std::string streamed = zip_local("streamed.txt", 0, 0, "compressed bytes PK", 8, 0x0008) +
                               std::string("PK\x07\x08", 4) + le32(0) + le32(19) + le32(30);
  const std::string archive = streamed + zip_local("after.txt", 5, 5, "after");
  write_file(work / "DD.ZIP", archive);
  const ScanOutcome out = scan_into_volume(work / "DD.ZIP");
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "AFTER.TXT");
  EXPECT_EQ(counters.broken_archives, 0);
}

TEST_F(ZipReader, StreamedArchiveFromZipIsListedThroughItsData) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  // zip writing to a pipe cannot go back to fill in the compressed sizes: they
  // are 0 in the local headers, so the search runs through each member's data.
  write_file(work / "a.txt", std::string(700, 'a'));
  write_file(work / "b.txt", "bee\n");
  const CommandResult r =
      run_command("cd " + shell_quote(work.path()) + " && sh -c 'zip -q - a.txt b.txt | cat > s.zip'");
  ASSERT_EQ(r.status, 0) << r.err;
  const ScanOutcome out = scan_into_volume(work / "s.zip");
  EXPECT_EQ(out.result, 1);
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "A.TXT");
  EXPECT_EQ(out.members[0].size, 700u);
  EXPECT_EQ(out.members[1].name, "B.TXT");
  EXPECT_EQ(out.members[1].size, 4u);
}

TEST_F(ZipReader, Zip64SizesComeFromTheExtraField) {
  const std::string extra = le16(1) + le16(16) + le32(1234) + le32(0) + le32(6) + le32(0);
  write_file(work / "Z64.ZIP", zip_local("big.dat", 0xFFFFFFFF, 0xFFFFFFFF, "sixsix", 8, 0, extra) +
                                   zip_local("next.txt", 2, 2, "nx"));
  const ScanOutcome out = scan_into_volume(work / "Z64.ZIP");
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].name, "BIG.DAT");
  EXPECT_EQ(out.members[0].size, 1234u);
  EXPECT_EQ(out.members[1].name, "NEXT.TXT");
}

TEST_F(ZipReader, AZip64BlockThatLacksAMarkedSizeLendsNoBytesOfTheNextBlock) {
  // Both sizes marked, but the Zip64 block holds the uncompressed one only: the
  // compressed size is not there (0), and never read from the block after it.
  const std::string extra = le16(1) + le16(8) + le32(1234) + le32(0) + le16(0x5455) + le16(5) + "\x03" + le32(0x7FFFFFFF);
  write_file(work / "SHORT64.ZIP", zip_local("big.dat", 0xFFFFFFFF, 0xFFFFFFFF, "sixsix", 8, 0, extra) +
                                       zip_local("next.txt", 2, 2, "nx"));
  const ScanOutcome out = scan_into_volume(work / "SHORT64.ZIP");
  ASSERT_EQ(out.members.size(), 2u) << out.problem;
  EXPECT_EQ(out.members[0].size, 1234u);
  EXPECT_EQ(out.members[1].name, "NEXT.TXT");
}

TEST_F(ZipReader, HeaderRightAfterStrayPKIsFound) {
  // The search runs through the streamed member's data, which ends in "PK".
  write_file(work / "PK.ZIP", zip_local("first.txt", 0, 0, "dataPK", 8, 0x0008) + zip_local("second.txt", 1, 1, "s"));
  const ScanOutcome out = scan_into_volume(work / "PK.ZIP");
  ASSERT_EQ(out.members.size(), 1u) << out.problem;
  EXPECT_EQ(out.members[0].name, "SECOND.TXT");
}

TEST_F(ZipReader, AnnouncementGoesToTheStreamOnlyWhenSet) {
  write_file(work / "A.ZIP", zip_local("a.txt", 1, 1, "a"));
  std::FILE* sink = std::tmpfile();
  ASSERT_NE(sink, nullptr);
  set_announcement_stream(sink);
  scan_into_volume(work / "A.ZIP", "\\DIR\\A.ZIP");
  set_announcement_stream(nullptr);
  std::rewind(sink);
  char line[200] = {};
  ASSERT_NE(std::fgets(line, sizeof line, sink), nullptr);
  std::fclose(sink);
  EXPECT_EQ(std::string(line), "Scanning Zip File " + std::string("\\DIR\\A.ZIP") + std::string(61 - 10, ' ') + "\n");
}

} // namespace
} // namespace shelvo::testing
