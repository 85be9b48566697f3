#include "engine/engine_main.h"

#include "results/run_state.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

namespace shelvo {
namespace {

RunSettings classify(std::vector<std::string> elements) {
  ArgumentVector vector{"shelvo"};
  vector.insert(vector.end(), elements.begin(), elements.end());
  int count = static_cast<int>(vector.size());
  RunSettings settings;
  classify_elements(count, vector, settings);
  return settings;
}

TEST(Classification, OptionsByTheirSecondCharacter) {
  EXPECT_TRUE(classify({"/nd"}).no_display);
  EXPECT_FALSE(classify({"/nd"}).no_overwrite);
  EXPECT_TRUE(classify({"/n"}).no_overwrite);
  EXPECT_TRUE(classify({"/N"}).no_overwrite);
  const RunSettings cd = classify({"/cd"});
  EXPECT_TRUE(cd.option_c);
  EXPECT_FALSE(cd.option_d);
  const RunSettings w5 = classify({"/w5"});
  EXPECT_TRUE(w5.option_w && w5.option_w5);
  EXPECT_TRUE(classify({"/W"}).option_w);
  EXPECT_FALSE(classify({"/w"}).option_w5);
  const RunSettings jd = classify({"/jd", "/a"});
  EXPECT_TRUE(jd.option_j && jd.option_d);
  EXPECT_TRUE(classify({"-c"}).option_c); // an option, not a mask
  EXPECT_TRUE(classify({"-c"}).search_masks.empty());
  EXPECT_TRUE(classify({"/SLE"}).option_s);
  const RunSettings ignored = classify({"/q", "/", "-"});
  EXPECT_TRUE(ignored.search_masks.empty());
}

TEST(Classification, VolumeMasksDrivesAndSearchMasks) {
  const RunSettings long_mask = classify({"[ABCDEFGHIJKLMNOPQRS]"});
  ASSERT_EQ(long_mask.volume_masks.size(), 1u);
  EXPECT_EQ(long_mask.volume_masks.masks()[0], "ABCDEFGHIJKLMNO");
  EXPECT_EQ(classify({"[abc"}).volume_masks.masks()[0], "abc"); // case kept, no bracket needed
  EXPECT_TRUE(classify({"[]"}).volume_masks.empty());

  const RunSettings drive = classify({"c:\\"});
  EXPECT_TRUE(drive.drive_given);
  EXPECT_EQ(drive.drive_index, 2);
  EXPECT_EQ(classify({"D:", "e:"}).drive_index, 4); // the last one counts
  EXPECT_FALSE(classify({"1:"}).drive_given);       // not a letter: no drive
  EXPECT_TRUE(classify({"1:"}).search_masks.empty());

  const RunSettings mask = classify({"\xE9*.doc"});
  ASSERT_EQ(mask.search_masks.size(), 1u);
  EXPECT_EQ(mask.search_masks.masks()[0], "E*.DOC");
  // Past the index the front end names, every element is a mask.
  ArgumentVector vector{"shelvo", "/a", "-x*", "[b]", "c:d", "/l:E"};
  int count = static_cast<int>(vector.size());
  RunSettings operands;
  classify_elements(count, vector, operands, 2);
  EXPECT_TRUE(operands.option_a);
  EXPECT_EQ(operands.search_masks.masks(), (std::vector<std::string>{"-X*", "[B]", "C:D", "/L:E"}));
  EXPECT_FALSE(operands.drive_given);
  EXPECT_TRUE(operands.volume_masks.empty());
}

TEST(Classification, TablesKeepTheFirstThirtyOneMasks) {
  std::vector<std::string> many;
  for (int i = 0; i < 40; ++i) many.push_back("M" + std::to_string(i));
  for (int i = 0; i < 40; ++i) many.push_back("[V" + std::to_string(i) + "]");
  const RunSettings s = classify(many);
  EXPECT_EQ(s.search_masks.size(), 31u);
  EXPECT_EQ(s.search_masks.masks().back(), "M30");
  EXPECT_EQ(s.volume_masks.size(), 31u);
}

TEST(Classification, CatalogLocation) {
  const RunSettings a = classify({"-L:D:\\CAT"});
  const RunSettings b = classify({"-L:D:\\CAT\\"});
  EXPECT_EQ(a.volume_cursor, "D:\\CAT\\00000000.KTL");
  EXPECT_EQ(a.catalog_directory, "D:\\CAT");
  EXPECT_EQ(b.volume_cursor, a.volume_cursor);
  EXPECT_EQ(b.catalog_directory, a.catalog_directory);
  EXPECT_EQ(classify({"/l:"}).catalog_directory, "C:\\VOLDEPOT");
  EXPECT_EQ(classify({"/l:"}).volume_cursor, "C:\\VOLDEPOT\\00000000.KTL");

  ArgumentVector only{"shelvo", "/l:D:\\CAT"};
  int count = 2;
  RunSettings s;
  classify_elements(count, only, s);
  EXPECT_EQ(count, 1); // the call ends once the catalog is opened
}

class EngineEntry : public ::testing::Test {
protected:
  testing::TempDir dir;
  int run(std::vector<std::string> elements) {
    ArgumentVector vector{"shelvo"};
    vector.insert(vector.end(), elements.begin(), elements.end());
    return engine_main(static_cast<int>(vector.size()), vector, FrontEnd{});
  }
};

TEST_F(EngineEntry, CountOneCreatesTheDefaultCatalogOnce) {
  testing::make_directories(dir / "c");
  testing::DriveMapping map({{'C', dir / "c"}});
  EXPECT_EQ(run({}), 0);
  EXPECT_EQ(testing::list_directory(dir / "c/VOLDEPOT"), std::vector<std::string>{"00000000.KTL"});
  EXPECT_EQ(testing::read_file(dir / "c/VOLDEPOT/00000000.KTL"), "");
  testing::write_file(dir / "c/VOLDEPOT/00000000.KTL", "kept");
  EXPECT_EQ(run({}), 0);
  EXPECT_EQ(testing::read_file(dir / "c/VOLDEPOT/00000000.KTL"), "kept");
}

TEST_F(EngineEntry, AnExistingLowerCaseCatalogIsUsed) {
  testing::make_directories(dir / "c/voldepot");
  testing::DriveMapping map({{'C', dir / "c"}});
  EXPECT_EQ(run({"/l:c:\\voldepot\\"}), 0);
  EXPECT_EQ(run({"/l:C:\\VOLDEPOT"}), 0);
  EXPECT_EQ(testing::list_directory(dir / "c"), std::vector<std::string>{"voldepot"});
  EXPECT_EQ(testing::list_directory(dir / "c/voldepot"), std::vector<std::string>{"00000000.KTL"});
}

TEST_F(EngineEntry, ACatalogIsCreatedOnlyWhereAskedAndFoundOnAFollowingLetter) {
  testing::make_directories(dir / "d");
  testing::DriveMapping map({{'C', dir / "no/such/parent"}, {'D', dir / "d"}});
  // Nothing is written into D: a catalog that C: cannot hold is not made there.
  EXPECT_EQ(run({"/l:C:\\CAT"}), -1);
  EXPECT_EQ(testing::list_directory(dir / "d"), std::vector<std::string>{});
  EXPECT_NE(run_report.failure.find("C:\\CAT"), std::string::npos) << run_report.failure;
  // A catalog that is there already (a disk whose letter changed) is used.
  testing::make_directories(dir / "d/CAT");
  testing::write_file(dir / "d/CAT/00000000.KTL", "");
  EXPECT_EQ(run({"/l:C:\\CAT"}), 0);
  EXPECT_TRUE(run_report.catalog_moved);
  EXPECT_FALSE(run_report.catalog_created);
  EXPECT_EQ(run({"/l:C:\\CAT", "/W"}), 1);
  EXPECT_EQ(run_report.catalog_directory, "D:\\CAT");
}

TEST_F(EngineEntry, TheCatalogNeverLandsOnTheDriveBeingAdded) {
  testing::make_directories(dir / "e");
  testing::DriveMapping map({{'C', dir / "no/such/parent"}, {'E', dir / "e"}}, {{'E', "USRSHARE"}});
  // C: cannot hold it, D: does not exist, E: is the volume: nowhere to go.
  EXPECT_EQ(run({"/l:C:\\CAT", "E:"}), -1);
  EXPECT_EQ(run({"/l:E:\\CAT", "E:"}), -1);
  EXPECT_EQ(run({"/l:e:\\cat", "e:"}), -1);
  EXPECT_EQ(testing::list_directory(dir / "e"), std::vector<std::string>{});
  EXPECT_NE(run_report.failure.find("drive being added"), std::string::npos) << run_report.failure;
  // Without an add, a catalog that is on E: is used from there, and says so;
  // none is created on E: for a call that asked for C:.
  EXPECT_EQ(run({"/l:C:\\CAT", "/W"}), -1);
  EXPECT_EQ(testing::list_directory(dir / "e"), std::vector<std::string>{});
  EXPECT_EQ(run({"/l:E:\\CAT", "/W"}), 1);
  EXPECT_FALSE(run_report.catalog_moved);
  EXPECT_TRUE(run_report.catalog_created);
  EXPECT_EQ(run({"/l:C:\\CAT", "/W"}), 1);
  EXPECT_TRUE(run_report.catalog_moved);
  EXPECT_EQ(run_report.catalog_directory, "E:\\CAT");
  EXPECT_NE(run_report.move_reason.find("C:\\CAT"), std::string::npos) << run_report.move_reason;
  EXPECT_FALSE(run_report.catalog_created);
}

TEST_F(EngineEntry, AHomeThatHoldsTheCatalogIsAddedWithoutShelvosOwnFolders) {
  SKIP_ON_WINDOWS("the built table's C: in the home directory is a POSIX layout");
  // The built table: C: lies in the home directory, which is D:, and so does the
  // index cache.
  const std::string home = dir / "home";
  const std::string c = home + "/.local/share/shelvo/drive_c";
  testing::make_directories(c);
  testing::make_directories(home + "/.cache/shelvo/index");
  testing::make_directories(home + "/.cache/other");
  testing::write_file(home + "/.cache/other/kept.txt", "k");
  testing::write_file(home + "/notes.txt", "n");
  const testing::Environment cache("XDG_CACHE_HOME", home + "/.cache");
  testing::DriveMapping map({{'C', c}, {'D', home}});
  // The catalog is created on its own drive, C:, and the add succeeds.
  EXPECT_EQ(run({"/l:C:\\VOLDEPOT", "D:", "/Y"}), 1) << run_report.failure;
  EXPECT_TRUE(run_report.catalog_created);
  std::vector<std::string> left_out = run_report.left_out;
  std::sort(left_out.begin(), left_out.end());
  EXPECT_EQ(left_out, (std::vector<std::string>{home + "/.cache/shelvo", c}));
  const std::string volume = testing::read_file(c + "/VOLDEPOT/00000001.KTL");
  EXPECT_NE(volume.find("NOTES.TXT"), std::string::npos);
  EXPECT_NE(volume.find("KEPT.TXT"), std::string::npos);
  for (const char* own : {"DRIVE_C", "VOLDEPOT", "\\.CACHE\\SHELVO", "KESTRA"})
    EXPECT_EQ(volume.find(own), std::string::npos) << own;
  // Added again, the same records: nothing of the first add's own writing came in.
  EXPECT_EQ(run({"/l:C:\\VOLDEPOT", "D:", "/Y"}), 1);
  EXPECT_EQ(testing::read_file(c + "/VOLDEPOT/00000001.KTL"), volume);

  // A drive whose directory is the catalog itself is refused, and nothing is written.
  testing::DriveMapping same({{'C', c}, {'E', c + "/VOLDEPOT"}});
  EXPECT_EQ(run({"/l:C:\\VOLDEPOT", "E:"}), -1);
  EXPECT_NE(run_report.failure.find("C:\\VOLDEPOT is inside the drive being added"), std::string::npos)
      << run_report.failure;
  EXPECT_EQ(testing::list_directory(c + "/VOLDEPOT"), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
}

TEST_F(EngineEntry, AnExistingFileZeroIsNeverReplacedAndAFileIsNoCatalog) {
  testing::make_directories(dir / "c/CAT/00000000.KTL"); // there, but not readable as a file
  testing::write_file(dir / "c/FILE", "not a catalog");
  testing::DriveMapping map({{'C', dir / "c"}});
  EXPECT_EQ(run({"/l:C:\\CAT", "/W"}), -1);
  EXPECT_NE(run_report.failure.find("00000000.KTL: Is a directory"), std::string::npos) << run_report.failure;
  EXPECT_EQ(run({"/l:C:\\FILE", "/W"}), -1);
#ifdef _WIN32
  // Windows says of a path through a file that it is not found.
  EXPECT_NE(run_report.failure.find("No such file or directory"), std::string::npos) << run_report.failure;
#else
  EXPECT_NE(run_report.failure.find("Not a directory"), std::string::npos) << run_report.failure;
#endif
  EXPECT_EQ(testing::read_file(dir / "c/FILE"), "not a catalog");
}

TEST_F(EngineEntry, NoDriveLetterWorksAndNativePathsAreTriedOnce) {
  testing::DriveMapping map({});
  EXPECT_EQ(run({}), -1); // no drive C to Z exists
  const std::string native = dir / "missing/cat";
  EXPECT_EQ(run({"/l:" + native}), -1);
  // Nothing was created under a stepped first character.
  EXPECT_EQ(testing::list_directory(dir.path()), std::vector<std::string>{});
  const std::string ok = dir / "cat";
  EXPECT_EQ(run({"/l:" + ok}), 0);
  EXPECT_EQ(testing::read_file(ok + "/00000000.KTL"), "");
}

TEST_F(EngineEntry, CountersAreResetByEveryCall) {
  testing::make_directories(dir / "c");
  testing::DriveMapping map({{'C', dir / "c"}});
  counters.found_files = 12;
  counters.scanned_dirs = 40;
  stop_flag = 1;
  EXPECT_EQ(run({"/l:C:\\CAT", "/W"}), 1);
  EXPECT_EQ(counters.found_files, 0);
  EXPECT_EQ(counters.scanned_dirs, 1);
  EXPECT_EQ(stop_flag, 1); // the front end's to clear
  stop_flag = 0;
}

} // namespace
} // namespace shelvo
