#include "scanner/volume_walk.h"

#include "catalog/catalog_store.h"
#include "results/run_state.h"
#include "platform/drive_table.h"
#include "platform/fault_injection.h"
#include "support/test_support.h"
#include "archive_builders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#endif

namespace shelvo {
namespace {

class VolumeWalk : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string root = dir / "vol";
  std::unique_ptr<testing::DriveMapping> map;

  std::vector<std::string> told; // what the walk told of each entry it left out

  void SetUp() override {
    testing::make_directories(root);
    map = std::make_unique<testing::DriveMapping>(std::vector<std::pair<char, std::string>>{{'D', root}});
    set_current_drive(3);
    reset_counters();
    set_left_out_listener([this](std::string_view entry) { told.emplace_back(entry); });
  }
  void TearDown() override { set_left_out_listener(nullptr); }
  std::string walk() {
    const std::string out = dir / "volume.bin";
    {
      File f = File::open_host(out, "w+b");
      scan_directory("\\", f);
      EXPECT_TRUE(f.close());
    }
    return testing::read_file(out);
  }
  static std::string dir_record(std::string_view path) {
    std::string r;
    encode_directory_record(r, path);
    return r;
  }
  static std::string file_record(std::string_view name, std::uint32_t size) {
    std::string r;
    encode_file_record(r, name, size, 0x2822, 0x1883);
    return r;
  }
  void file(const std::string& rel, std::string_view content = "0123456789") {
    testing::write_file(root + "/" + rel, content);
    testing::set_local_mtime(root + "/" + rel, 2000, 1, 2, 3, 4, 6);
  }
  // The order in which the host lists a directory; the walk does not sort.
  std::vector<std::string> host_order(const std::string& rel) {
    std::vector<std::string> names;
    DIR* d = ::opendir((root + "/" + rel).c_str());
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
    return names;
  }
};

TEST_F(VolumeWalk, ParentRecordIsRepeatedAfterASubdirectory) {
  file("a.txt");
  file("b.txt");
  testing::make_directories(root + "/sub");
  file("sub/c.txt");
  std::string expected = dir_record("\\");
  bool owed = false;
  for (const std::string& name : host_order("")) {
    if (name == "sub") {
      expected += dir_record("\\SUB") + file_record("C.TXT", 10);
      owed = true;
      continue;
    }
    if (owed) expected += dir_record("\\");
    owed = false;
    expected += file_record(name == "a.txt" ? "A.TXT" : "B.TXT", 10);
  }
  EXPECT_EQ(testing::hex_of(walk()), testing::hex_of(expected));
  EXPECT_EQ(counters.scanned_dirs, 2);
  EXPECT_EQ(counters.scanned_files, 3);
}

TEST_F(VolumeWalk, EmptyDirectoriesAndDirectoriesOnlyGetNoRepeatedRecord) {
  testing::make_directories(root + "/x/y");
  testing::make_directories(root + "/z");
  const std::string bytes = walk();
  EXPECT_EQ(bytes.find(dir_record("\\"), 1), std::string::npos);
  EXPECT_NE(bytes.find(dir_record("\\X\\Y")), std::string::npos);
  EXPECT_EQ(counters.scanned_dirs, 4);
}

TEST_F(VolumeWalk, NamesAreConvertedFoldedAndFiltered) {
  file("\xC3\xA9t\xC3\xA9.txt");   // été.txt in UTF-8
  file("\xC3\x89" "cole.txt");     // École: É is not folded
  file("..NOTES");
  file(".hidden");
  file("\xE6\x97\xA5.txt");        // no Windows-1252 form
  const std::string bytes = walk();
  EXPECT_NE(bytes.find(file_record("ETE.TXT", 10)), std::string::npos);
  EXPECT_NE(bytes.find(file_record("\xC9" "COLE.TXT", 10)), std::string::npos);
  EXPECT_NE(bytes.find(file_record(".HIDDEN", 10)), std::string::npos);
  EXPECT_NE(bytes.find(file_record("\x8F.TXT", 10)), std::string::npos); // not the wildcard '?'

  EXPECT_EQ(bytes.find("NOTES"), std::string::npos);
  EXPECT_EQ(counters.scanned_files, 4);
}

TEST_F(VolumeWalk, HostNamesAWindowsNameCannotHoldAreStoredAsUnstorable) {
  SKIP_ON_WINDOWS("names with '\\', control characters, or differing only in letter case cannot exist there");
  file("\x01odd.txt");  // would read back as the start of an archive block
  file("a*b.txt");       // a '*' in a name no mask would find
  file("tab\there.txt"); // control characters
  testing::make_directories(root + "/sub\\dir"); // would become two directories
  file("sub\\dir/in.txt");
  const std::string bytes = walk();
  EXPECT_NE(bytes.find(file_record("\x8FODD.TXT", 10)), std::string::npos);
  EXPECT_NE(bytes.find(file_record("A\x8F" "B.TXT", 10)), std::string::npos);
  EXPECT_NE(bytes.find(file_record("TAB\x8FHERE.TXT", 10)), std::string::npos);
  // The walk still descends under the real name.
  EXPECT_NE(bytes.find(dir_record("\\SUB\x8F" "DIR") + file_record("IN.TXT", 10)), std::string::npos);
  EXPECT_EQ(bytes.find('\x01'), std::string::npos);
  EXPECT_EQ(bytes.find('*'), std::string::npos);
}

TEST_F(VolumeWalk, LinksDevicesAndFifosAreNotFollowed) {
#ifdef _WIN32
  SKIP_ON_WINDOWS("symbolic links need a privilege there, and there are no FIFOs");
#else
  file("real.txt");
  testing::make_directories(root + "/dir");
  ASSERT_EQ(::symlink((root + "/real.txt").c_str(), (root + "/link.txt").c_str()), 0);
  ASSERT_EQ(::symlink(root.c_str(), (root + "/loop").c_str()), 0);
  ASSERT_EQ(::symlink("/nonexistent", (root + "/dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/null", (root + "/null").c_str()), 0);
  const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = root + "/sock";
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const std::string bytes = walk();
  ::close(listening);
  EXPECT_NE(bytes.find(file_record("LINK.TXT", 10)), std::string::npos); // a link to a file is that file
  EXPECT_EQ(bytes.find("LOOP"), std::string::npos);
  EXPECT_EQ(bytes.find("DANGLING"), std::string::npos);
  EXPECT_EQ(bytes.find("PIPE"), std::string::npos);
  EXPECT_EQ(bytes.find("NULL"), std::string::npos);
  EXPECT_EQ(bytes.find("SOCK"), std::string::npos);
  EXPECT_EQ(counters.scanned_dirs, 2);
  // What may hold data is left out with the reason, and counted; links that
  // are not followed (to a directory, to nothing) are not.
  EXPECT_EQ(run_report.skipped.special, 3);
  EXPECT_EQ(run_report.skipped.total(), 3);
  std::sort(told.begin(), told.end());
  EXPECT_EQ(told, (std::vector<std::string>{"\\NULL: a link to a device, never opened", "\\PIPE: a FIFO, never opened",
                                            "\\SOCK: a socket, never opened"}));
#endif
}

TEST_F(VolumeWalk, SizeOfTwoGibibytesOrMoreIsCapped) {
  const std::string big = root + "/big.iso";
  testing::write_file(big, "");
  std::filesystem::resize_file(big, 3000000000LL); // sparse
  const std::string bytes = walk();
  const std::size_t at = bytes.find(std::string("BIG.ISO\0", 8));
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(testing::hex_of(bytes.substr(at + 8, 4)), "7F FF FF FF"); // not the low 31 bits, 32 D0 5E 00
}

TEST_F(VolumeWalk, ArchiveCandidates) {
  for (const char* yes : {"GAMES.ARJ", "DISK1.A01", "PACK.ZIP", "PACK.Z01", "DATA.001", "OLD.LZH", "OLD.LHA",
                          "SET.RAR", "SET.R00", "CLIP.AVI", "LETTER.RTF"})
    EXPECT_TRUE(is_archive_candidate(yes)) << yes;
  for (const char* no : {"MAIN.ASM", "SCAN.RAW", "README.TXT", "ARC.A1", "pack.zip"})
    EXPECT_FALSE(is_archive_candidate(no)) << no;
}

TEST_F(VolumeWalk, ANonArchiveCandidateGetsNoBlock) {
  file("clip.avi", "RIFF....AVI LIST");
  const std::string bytes = walk();
  EXPECT_EQ(bytes, dir_record("\\") + file_record("CLIP.AVI", 16));
}

TEST_F(VolumeWalk, UnreadableDirectoryKeepsItsRecordOnly) {
#ifdef _WIN32
  SKIP_ON_WINDOWS("permissions are ACLs there, and there is no fork");
#else
  testing::make_directories(root + "/locked");
  file("locked/secret.txt");
  file("open.txt");
  ::chmod((root + "/locked").c_str(), 0);
  std::string bytes;
  if (::geteuid() != 0) {
    bytes = walk();
  } else {
    // Permissions do not stop root: walk as an unprivileged user in a child.
    ::chmod(dir.path().c_str(), 0777);
    ::chmod(root.c_str(), 0755);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
      File f = File::open_host(dir / "volume.bin", "w+b");
      scan_directory("\\", f);
      ::_exit(f.close() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    bytes = testing::read_file(dir / "volume.bin");
  }
  EXPECT_NE(bytes.find(dir_record("\\LOCKED")), std::string::npos);
  EXPECT_NE(bytes.find("OPEN.TXT"), std::string::npos); // the walk goes on after it
  EXPECT_EQ(bytes.find("SECRET"), std::string::npos);
#endif
}

TEST_F(VolumeWalk, OverLongPathsAreSkippedNotCut) {
  std::string rel;
  for (int i = 0; i < 30; ++i) rel += (rel.empty() ? "" : "/") + std::string(120, static_cast<char>('a' + i % 26));
  std::error_code ec;
  testing::make_directories(root + "/" + rel);
  const std::string bytes = walk();
  std::size_t longest = 0, start = 0;
  while ((start = bytes.find(std::string(8, '\0') + "\\", start)) != std::string::npos) {
    const std::size_t end = bytes.find('\0', start + 8);
    longest = std::max(longest, end - start - 8);
    start = end;
  }
  EXPECT_LE(longest, walk_path_limit);
  EXPECT_GT(longest, walk_path_limit - 130);
}

TEST_F(VolumeWalk, WhatIsLeftOutIsCountedByReasonWithTheFirstOne) {
  // Directories two characters a level: the 130th level's path is 260 long.
  std::string deep;
  for (int level = 0; level < 140; ++level) deep += "/d";
  testing::make_directories(root + deep);
  std::string too_long;
  for (int i = 0; i < 30; ++i) too_long += "/" + std::string(120, 'x');
  testing::make_directories(root + "/long" + too_long);
  file("pack.zip", "PK\x03\x04");
  // The archive's open is the second open (the volume file is the first; the
  // walk lists directories without File): it fails as a file that cannot be
  // read would.
  inject_fault(FileOperation::open, 2, EACCES);
  const std::string bytes = walk();
  clear_faults();
  const SkippedEntries& skipped = run_report.skipped;
  EXPECT_EQ(skipped.too_long, 2);
  EXPECT_EQ(skipped.unreadable, 1);
  EXPECT_EQ(skipped.total(), 3);
  // Each one is told, the first as the summary names it.
  ASSERT_EQ(told.size(), 3u);
  EXPECT_EQ(told.front(), skipped.first);
  // The deepest directory a search holds is recorded; the next is not.
  std::string deepest;
  for (int level = 0; level < 129; ++level) deepest += "\\D";
  EXPECT_NE(bytes.find(dir_record(deepest)), std::string::npos);
  EXPECT_EQ(bytes.find(dir_record(deepest + "\\D")), std::string::npos);
}

TEST_F(VolumeWalk, ArchivesAreListedUpToTheLongestArchivePathASearchHolds) {
  // \ + 120 + \ + 120 = 242 characters of directory, then "\" and the name.
  const std::string rel = std::string(120, 'a') + "/" + std::string(120, 'b');
  testing::make_directories(root + "/" + rel);
  const std::string zip = testing::zip_local("m.txt", 1, 1, "m");
  for (const std::size_t length : {254u, 255u, 256u})
    file(rel + "/" + std::string(length - 243 - 4, static_cast<char>('p' + length - 254)) + ".zip", zip);
  file(rel + "/" + std::string(256 - 243 - 4, 'c') + ".avi", "RIFF"); // a candidate that is no archive
  const std::string bytes = walk();
  std::size_t blocks = 0;
  for (std::size_t at = 0; (at = bytes.find("M.TXT", at)) != std::string::npos; ++at) ++blocks;
  EXPECT_EQ(blocks, 2u); // the archives at 254 and 255
  EXPECT_EQ(counters.scanned_files, 4);
  EXPECT_EQ(run_report.skipped.too_long, 1);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("its members are not listed"), std::string::npos) << told[0];
}

} // namespace
} // namespace shelvo
