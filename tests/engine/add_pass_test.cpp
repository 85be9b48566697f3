#include "engine/add_pass.h"

#include "catalog/catalog_writer.h"
#include "engine/engine_main.h"
#include "results/host_paths.h"
#include "results/run_state.h"
#include "results/status_view.h"
#include "support/fakes.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <unistd.h>

#include <csignal>

namespace shelvo {
namespace {

using testing::bytes_from_hex;
using testing::hex_of;

class AddPass : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string c = dir / "c";
  std::string d = dir / "d";
  std::string catalog = dir / "c/CAT";
  std::unique_ptr<testing::DriveMapping> map;

  void SetUp() override {
    testing::make_directories(c);
    testing::make_directories(d);
    label("TEST");
  }
  void label(const std::string& l) {
    map.reset();
    map = std::make_unique<testing::DriveMapping>(
        std::vector<std::pair<char, std::string>>{{'C', c}, {'D', d}, {'E', dir / "none"}},
        std::vector<std::pair<char, std::string>>{{'D', l}});
  }
  int add(std::vector<std::string> options = {}, const FrontEnd& front = FrontEnd{}) {
    ArgumentVector vector{"shelvo", "/l:C:\\CAT", "D:"};
    vector.insert(vector.end(), options.begin(), options.end());
    return engine_main(static_cast<int>(vector.size()), vector, front);
  }
  std::string volume(int n) { return testing::read_file(catalog + "/0000000" + std::to_string(n) + ".KTL"); }
  std::vector<std::string> files() { return testing::list_directory(catalog); }
};

TEST_F(AddPass, TestVolumeWithATxtIsTheFortyOneBytes) {
  testing::write_file(d + "/a.txt", "0123456789");
  testing::set_local_mtime(d + "/a.txt", 2000, 1, 2, 3, 4, 6);
  EXPECT_EQ(add(), 1);
  EXPECT_EQ(hex_of(volume(1)), hex_of(bytes_from_hex("54 45 53 54 20 20 20 20 20 20 20 20 20 20 20 05"
                                                     "00 00 00 00 00 00 00 00 5C 00"
                                                     "41 2E 54 58 54 00 00 00 00 0A 28 22 18 83 00")));
  EXPECT_EQ(volume(0), ""); // the empty file 0 never matches: the first volume is 1
  EXPECT_EQ(counters.scanned_files, 1);
  EXPECT_EQ(counters.scanned_dirs, 1);
}

TEST_F(AddPass, AZipGetsItsArchiveBlockRightAfterItsFileRecord) {
  SKIP_ON_WINDOWS("zip makes the archive");
  testing::make_directories(d + "/docs");
  testing::write_file(d + "/docs/readme.txt", std::string(1234, 'r'));
  testing::set_local_mtime(d + "/docs/readme.txt", 2001, 5, 17, 10, 30, 0);
  ASSERT_EQ(testing::run_command("cd " + testing::shell_quote(d) + " && zip -q -X x.zip docs/readme.txt && rm -r docs")
                .status,
            0);
  testing::set_local_mtime(d + "/x.zip", 2000, 1, 2, 3, 4, 6);
  const std::size_t zip_size = testing::read_file(d + "/x.zip").size();
  ASSERT_EQ(add(), 1);
  std::string expected = "TEST           \x05" + std::string(8, '\0') + "\\" + std::string(1, '\0');
  expected += "X.ZIP" + std::string(1, '\0') + bytes_from_hex("00 00") +
              std::string(1, static_cast<char>(zip_size >> 8)) + std::string(1, static_cast<char>(zip_size & 0xFF)) +
              bytes_from_hex("28 22 18 83 00");
  expected += bytes_from_hex("01 14 00 00 00 01 00 00 00 52 45 41 44 4D 45 2E 54 58 54 00 00 00 04 D2 2A B1 53 C0 00");
  EXPECT_EQ(hex_of(volume(1)), hex_of(expected));
  EXPECT_EQ(counters.scanned_members, 1);
}

TEST_F(AddPass, LabelsLoseDotsAndAreCutToFifteen) {
  label("A.B.C");
  EXPECT_EQ(add(), 1);
  EXPECT_EQ(volume(1).substr(0, 16), std::string("ABC            \x05"));
  label("A label far longer than fifteen");
  EXPECT_EQ(add(), 1);
  EXPECT_EQ(volume(2).substr(0, 15), "A label far lon");
  label("");
  EXPECT_EQ(add(), 1);
  EXPECT_EQ(volume(3).substr(0, 15), std::string(15, ' '));
}

TEST_F(AddPass, DuplicateLabelsFollowTheOptions) {
  testing::write_file(d + "/one.txt", "1");
  ASSERT_EQ(add(), 1);
  const std::string first = volume(1);

  EXPECT_EQ(add({"/N"}), -421); // refused, catalog as it was
  EXPECT_EQ(files(), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));

  EXPECT_EQ(add(), -1); // no one to confirm: refused
  EXPECT_EQ(add({"/I"}), 1);
  EXPECT_EQ(files().size(), 2u);

  testing::write_file(d + "/two.txt", "22");
  EXPECT_EQ(add({"/Y"}), 1); // overwritten in place
  EXPECT_EQ(files().size(), 2u);
  EXPECT_GT(volume(1).size(), first.size());

  EXPECT_EQ(add({"/SLE"}), 1); // added again at the end
  EXPECT_EQ(files(), (std::vector<std::string>{"00000000.KTL", "00000001.KTL", "00000002.KTL"}));
  EXPECT_EQ(volume(2), volume(1));

  label("Test"); // case matters: another volume
  EXPECT_EQ(add({"/N"}), 1);
  EXPECT_EQ(files().size(), 4u);
}

TEST_F(AddPass, ConfirmationKeysOverwrite) {
  ASSERT_EQ(add(), 1);
  for (int key : {'Y', 'y', 'O', 'o'}) {
    FrontEnd front;
    front.read_confirmation_key = [key] { return key; };
    EXPECT_EQ(add({}, front), 1) << static_cast<char>(key);
  }
  FrontEnd no;
  no.read_confirmation_key = [] { return 'n'; };
  EXPECT_EQ(add({}, no), -1);
  EXPECT_EQ(files().size(), 2u);
}

TEST_F(AddPass, ADriveWithoutReadableRootWritesNothing) {
  ArgumentVector vector{"shelvo", "/l:C:\\CAT", "E:"};
  EXPECT_EQ(engine_main(3, vector, FrontEnd{}), -1);
  ArgumentVector unknown{"shelvo", "/l:C:\\CAT", "Q:"};
  EXPECT_EQ(engine_main(3, unknown, FrontEnd{}), -1);
  EXPECT_EQ(files(), std::vector<std::string>{"00000000.KTL"});
}

TEST_F(AddPass, AFullDiskKeepsTheOldVolumeAndReportsMinusTwo) {
#ifdef _WIN32
  SKIP_ON_WINDOWS("no file-size limit to make a disk full");
#else
  for (int i = 0; i < 200; ++i) testing::write_file(d + "/file" + std::to_string(i) + ".txt", "x");
  ASSERT_EQ(add(), 1);
  const std::string before = volume(1);
  testing::write_file(d + "/more.txt", "x");

  // A file-size limit below the new volume's size makes its writes fail as a
  // full disk would.
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const int code = add({"/Y"});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(code, -2);
  EXPECT_EQ(volume(1), before);
  EXPECT_EQ(files(), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
  EXPECT_NE(run_report.failure.find("File too large"), std::string::npos) << run_report.failure; // the system's words
#endif
}

TEST_F(AddPass, AddAndSearchInOneCallStartsTheSearchAtFileZero) {
  testing::write_file(d + "/a.txt", "0123456789");
  ASSERT_EQ(add(), 1);
  label("SECOND");
  ArgumentVector vector{"shelvo", "/l:C:\\CAT", "D:", "A.TXT"};
  EXPECT_EQ(engine_main(4, vector, FrontEnd{}), 1);
  EXPECT_EQ(counters.found_files, 2);
  EXPECT_EQ(counters.found_volumes, 2);
  EXPECT_EQ(counters.volume_number, 3); // files 0, 1 and the new 2 were read
}

TEST_F(AddPass, HostileHostNamesNeverInventOrHideRecords) {
  SKIP_ON_WINDOWS("names with '\\', control characters, or differing only in letter case cannot exist there");
  for (int i = 1; i <= 200; ++i) testing::write_file(d + "/f" + std::to_string(i) + ".txt", "x");
  testing::write_file(d + "/\x01odd.txt", "x"); // once read back as an archive block of 1.10 Gb
  testing::write_file(d + "/a*b.txt", "x");
  ASSERT_EQ(add(), 1);
  ArgumentVector all{"shelvo", "/l:C:\\CAT", "*", "/a"};
  EXPECT_EQ(engine_main(4, all, FrontEnd{}), 1);
  EXPECT_EQ(counters.found_files, 202);
  EXPECT_EQ(counters.found_members, 0);
  ArgumentVector star{"shelvo", "/l:C:\\CAT", "A*"};
  EXPECT_EQ(engine_main(3, star, FrontEnd{}), 1);
  EXPECT_EQ(counters.found_files, 1); // A\x8FB.TXT, found like any other name
}

TEST_F(AddPass, UnlabelledDrivesAreKnownByTheirDirectoryNames) {
  testing::make_directories(dir / "stick/1234-ABCD");
  testing::make_directories(dir / "stick/5678-EF01");
  testing::DriveMapping two({{'C', c}, {'D', dir / "stick/1234-ABCD"}, {'E', dir / "stick/5678-EF01"}});
  ArgumentVector first{"shelvo", "/l:C:\\CAT", "D:", "/Y"};
  ArgumentVector second{"shelvo", "/l:C:\\CAT", "E:", "/Y"};
  EXPECT_EQ(engine_main(4, first, FrontEnd{}), 1);
  EXPECT_EQ(engine_main(4, second, FrontEnd{}), 1); // not taken for the first and overwriting it
  EXPECT_EQ(volume(1).substr(0, 16), "1234-ABCD      \x05");
  EXPECT_EQ(volume(2).substr(0, 16), "5678-EF01      \x05");
}

TEST_F(AddPass, AnUnreadableVolumeFileIsNeverReplaced) {
  ASSERT_EQ(add(), 1);
  // A volume file that cannot be read (a directory stands in for one without
  // permissions, which would not stop root) is there: its number is not free.
  testing::make_directories(catalog + "/00000002.KTL");
  testing::write_file(catalog + "/00000003.KTL", "KEPT           \x05");
  label("OTHER");
  EXPECT_EQ(add({"/N"}), -2);
  EXPECT_NE(run_report.failure.find("00000002.KTL"), std::string::npos) << run_report.failure;
  label("TEST");
  EXPECT_EQ(add({"/S"}), -2); // nor is a number behind it taken for the end
  EXPECT_EQ(files(), (std::vector<std::string>{"00000000.KTL", "00000001.KTL", "00000002.KTL", "00000003.KTL"}));
  EXPECT_EQ(volume(3), "KEPT           \x05");
}

TEST_F(AddPass, DirectoriesUpToTheLongestPathASearchHoldsAreFoundAgain) {
  // "\" + 120 + "\" + 120 is 242 characters; below it, directories whose paths
  // are 258, 259 (the longest a search holds) and 260 characters long.
  const std::string base = std::string(120, 'a') + "/" + std::string(120, 'b');
  const std::string stored_base = "\\" + std::string(120, 'A') + "\\" + std::string(120, 'B');
  const std::vector<std::string> names = {"below" + std::string(10, 'x'), "at" + std::string(14, 'x'),
                                          "above" + std::string(12, 'x')};
  for (const std::string& name : names) {
    testing::make_directories(d + "/" + base + "/" + name);
    testing::write_file(d + "/" + base + "/" + name + "/in.txt", "in");
  }
  ASSERT_EQ(add(), 1);
  EXPECT_EQ(run_report.skipped.too_long, 1);
  EXPECT_EQ(run_report.skipped.first.substr(0, 3), "\\AA");
  EXPECT_NE(run_report.skipped.first.find("longer than 259"), std::string::npos) << run_report.skipped.first;

  // Each directory the add recorded is found by its name, with its whole path,
  // and its file is found again on the host through it; the one it left out is
  // not found at all, rather than under a path cut short.
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size());
    testing::RecordingSink sink;
    FrontEnd front;
    front.results = &sink;
    ArgumentVector search{"shelvo", "/l:C:\\CAT", name.substr(0, 3) + "*", "/d"};
    ASSERT_EQ(engine_main(4, search, front), 1);
    std::string stored_name = name;
    for (char& ch : stored_name) ch = static_cast<char>(ch - 'a' + 'A');
    const std::string path = stored_base + "\\" + stored_name;
    const bool held = path.size() <= 259;
    EXPECT_EQ(counters.found_dirs, held ? 1 : 0);
    if (!held) continue;
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_EQ(sink.calls.back(), "P " + path);
    HostPathFinder finder;
    std::string host;
    EXPECT_EQ(finder.find(d, path, "IN.TXT", host), HostPathFinder::Outcome::found);
  }
}

TEST_F(AddPass, AStopDuringTheWalkLeavesTheCatalogAsItWas) {
  for (int i = 0; i < 50; ++i) testing::write_file(d + "/f" + std::to_string(i) + ".txt", "x");
  ASSERT_EQ(add(), 1);
  const std::string before = volume(1);
  testing::write_file(d + "/new.txt", "x");
  testing::RecordingStatus stopper; // stops the walk the first time it lets the window handle input
  stopper.stop_at_event = 1;
  set_status_view(&stopper);
  stop_flag = 0;
  const int code = add({"/Y"});
  set_status_view(nullptr);
  EXPECT_EQ(stop_flag, 1);
  stop_flag = 0;
  EXPECT_EQ(code, -1);
  EXPECT_TRUE(run_report.stopped);
  EXPECT_EQ(volume(1), before);
  EXPECT_EQ(files(), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"})); // no temporary file left
}

TEST_F(AddPass, APlantedLinkOrLeftoverInTheCatalogIsNeverWrittenThrough) {
#ifdef _WIN32
  SKIP_ON_WINDOWS("symbolic links need a privilege there");
#else
  ASSERT_EQ(add(), 1);
  const std::string outside = dir / "outside.txt";
  testing::write_file(outside, "precious");
  // Where an older writer put its temporary file, and a leftover of a killed one.
  ASSERT_EQ(::symlink(outside.c_str(), (catalog + "/00000002.NEW").c_str()), 0);
  ASSERT_EQ(::symlink(outside.c_str(), (catalog + "/" + std::string(catalog_temporary_prefix) + "1-0").c_str()), 0);
  label("OTHER");
  EXPECT_EQ(add(), 1);
  EXPECT_EQ(testing::read_file(outside), "precious");
  EXPECT_EQ(volume(2).substr(0, 5), "OTHER");
  EXPECT_EQ(files(), (std::vector<std::string>{"00000000.KTL", "00000001.KTL", "00000002.KTL", "00000002.NEW"}));
#endif
}

} // namespace
} // namespace shelvo
