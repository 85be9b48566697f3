// The window's run builders without a window: vectors from plain control
// structs, and the messages of a run through fake dialogs and launcher.
#include "engine/command_vectors.h"

#include "engine/engine_main.h"
#include "results/result_tree.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/status_view.h"
#include "support/fakes.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace shelvo {
namespace {

TEST(CommandVectors, TheSearchOfTheExampleHasCountSix) {
  SearchControls c;
  c.catalog_path = "c:\\voldepot\\";
  c.masks[0] = "*.*";
  c.archive = c.directory = true;
  c.volume_masks[0] = "*";
  const BuiltVector b = search_vector(c);
  EXPECT_EQ(b.refusal, "");
  EXPECT_EQ(b.vector, (ArgumentVector{"", "/l:c:\\voldepot\\", "*.*", "/a", "/d", "[*]"}));
}

TEST(CommandVectors, EveryControlInItsPlaceAndTextsInTheCatalogsCodePage) {
  SearchControls c;
  c.catalog_path = "D:\\CAT\\";
  c.masks = {"\xC3\xA9t\xC3\xA9*", "", "b", "", "", "\\*.tmp"};
  c.option = "/t";
  c.contains_dir = c.only_directory = c.only_total = true;
  c.volume_masks = {"", "DATA*", "", "Caf\xC3\xA9"};
  EXPECT_EQ(search_vector(c).vector, (ArgumentVector{"", "/l:D:\\CAT\\", "\xE9t\xE9*", "b", "\\*.tmp", "/t", "/cd", "/jd",
                                                     "/nd", "[DATA*]", "[Caf\xE9]"}));
  ListControls l{"D:\\CAT\\", {"A*", "", "", ""}, false};
  EXPECT_EQ(list_vector(l).vector, (ArgumentVector{"", "/W", "/l:D:\\CAT\\", "[A*]"}));
  AddControls a{"D:\\CAT\\", "E:", false, false, false};
  EXPECT_EQ(add_vector(a).vector, (ArgumentVector{"", "E:", "/l:D:\\CAT\\", "/N"}));
  a.add_again = a.overwrite = true;
  EXPECT_EQ(add_vector(a).vector, (ArgumentVector{"", "E:", "/l:D:\\CAT\\", "/SLE", "/Y"}));
}

TEST(CommandVectors, TextsThatDoNotFitOrWouldChangeMeaningAreRefusedNeverCut) {
  SearchControls c;
  c.catalog_path = "C:\\" + std::string(57, 'x'); // 60 characters: fits
  c.masks[0] = "*";
  EXPECT_EQ(search_vector(c).refusal, "");
  c.catalog_path += "y"; // 61
  EXPECT_NE(search_vector(c).refusal.find("at most 60 characters"), std::string::npos);
  c.catalog_path = "C:\\CAT";
  c.masks[1] = std::string(64, 'a');
  EXPECT_NE(search_vector(c).refusal.find("Search mask 2"), std::string::npos);
  c.masks[1] = "c:*"; // would add drive C
  EXPECT_NE(search_vector(c).refusal.find("Search mask 2"), std::string::npos);
  c.masks[1] = "-draft";
  EXPECT_NE(search_vector(c).refusal.find("Search mask 2"), std::string::npos);
  c.masks[1] = "";
  c.volume_masks[2] = "SIXTEEN-LETTERS!";
  EXPECT_NE(search_vector(c).refusal.find("Volume mask 3"), std::string::npos);
}

TEST(CommandVectors, AddStarsKeepsAnExclusionAnExclusion) {
  EXPECT_EQ(add_stars("abc"), "*abc*");
  EXPECT_EQ(add_stars("*abc"), "*abc*");
  EXPECT_EQ(add_stars("abc*"), "*abc*");
  EXPECT_EQ(add_stars("*"), "*");
  EXPECT_EQ(add_stars(""), "");
  EXPECT_EQ(add_stars("\\TMP"), "\\*TMP*");
  EXPECT_EQ(add_stars("\\"), "\\");
}

class Runs : public ::testing::Test {
protected:
  testing::TempDir dir;
  void SetUp() override {
    testing::make_directories(dir / "c");
    testing::make_directories(dir / "d");
    testing::write_file(dir / "d/\xC3\xA9t\xC3\xA9.txt", "summer");
    testing::write_file(dir / "d/\xC3\x89t\xC3\xA9.doc", "Summer");
    set_status_view(&caption);
  }
  void TearDown() override { set_status_view(nullptr); }
  testing::DriveMapping map{{{'C', dir / "c"}, {'D', dir / "d"}}, {{'D', "DISK"}}};
  testing::RecordingStatus caption;
  testing::ScriptedDialogs dialogs;
  testing::RecordingLauncher launcher;
  ResultTree tree;
  RunServices services{&tree, &dialogs, &launcher};

  // A ZIP whose one member has a name no file may have: one broken header, and
  // its question answered Yes.
  void add_a_broken_archive() {
    testing::write_file(dir / "d/bad.zip", "PK\x03\x04" + std::string(4, '\0') + std::string(1, '\x15') +
                                               std::string(9, '\0') +
                                               std::string("\x01\0\0\0\x01\0\0\0\x05\0\0\0", 12) + "a?txt" + "x");
    dialogs.otherwise = DialogAnswer::yes;
    ASSERT_EQ(build_add_vector({"C:\\CAT\\", "D:", false, true, false}, services), 1);
    ASSERT_EQ(counters.broken_archives, 1);
  }
};

TEST_F(Runs, AccentedMasksFindTheirNamesAndTheTreeShowsThem) {
  ASSERT_EQ(build_add_vector({"C:\\CAT\\", "D:", false, true, false}, services), 1);
  SearchControls c;
  c.catalog_path = "C:\\CAT\\";
  c.masks[0] = "\xC3\xA9*"; // é*: folded to E*, it finds été.txt
  c.masks[1] = "\xC3\x89*"; // É* is not folded and finds Été.doc
  ASSERT_EQ(build_search_vector(c, services), 1);
  EXPECT_EQ(counters.found_files, 2);
  ASSERT_EQ(tree.top_level_count(), 1u);
  // In the order the walk met them, which is the host's.
#ifdef _WIN32
  EXPECT_EQ(tree.text(tree.child(tree.top_level(0), 1)).substr(0, 7), "ETE.TXT");
  EXPECT_EQ(tree.text(tree.child(tree.top_level(0), 0)).substr(0, 7), "\xC9TE.DOC");
#else
  EXPECT_EQ(tree.text(tree.child(tree.top_level(0), 0)).substr(0, 7), "ETE.TXT");
  EXPECT_EQ(tree.text(tree.child(tree.top_level(0), 1)).substr(0, 7), "\xC9TE.DOC");
#endif
  EXPECT_EQ(caption.last_caption().substr(0, 5), "File:");
}

TEST_F(Runs, ADuplicateDriveIsToldInTheStatusAndInSimpleModeInABox) {
  ASSERT_EQ(build_add_vector({"C:\\CAT\\", "D:", false, true, false}, services), 1);
  EXPECT_EQ(build_add_vector({"C:\\CAT\\", "D:", false, false, true}, services), engine_already_known);
  EXPECT_EQ(caption.last_caption(), "This drive is already in the base...");
  EXPECT_TRUE(dialogs.shown.empty()); // advanced mode: the status line only
  EXPECT_EQ(build_add_vector({"C:\\CAT\\", "D:", false, false, false}, services), engine_already_known);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0], "Message: This drive is already in the base...\n\nIf you want to refresh it,\nchange to "
                              "Advanced Mode (Preferences/Advanced Mode) \nand uncheck \"Don't overwrite disk if already "
                              "in the base\"");
}

TEST_F(Runs, BrokenArchivesAreOfferedAndTheLogOpensThroughTheLauncher) {
  add_a_broken_archive();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0], "WARNING:          1 file(s) in archive seems to be broken.\n\n"
                              "Do you want to see last error(s) logging file ?");
  EXPECT_EQ(launcher.opened, std::vector<std::string>{"text " + dir / "c/KESTRA.ERR"});
}

TEST_F(Runs, AStoppedAddSaysSoAndThatNothingWasAdded) {
  for (int i = 0; i < 30; ++i) testing::write_file(dir / ("d/f" + std::to_string(i)), "x");
  caption.stop_at_event = 1; // at the scan line of the 10th file
  stop_flag = 0;
  EXPECT_EQ(build_add_vector({"C:\\CAT\\", "D:", false, true, false}, services), engine_failed);
  stop_flag = 0;
  EXPECT_EQ(caption.last_caption(), scan_status_line() + "   (stopped by the user)   Nothing was added.");
  EXPECT_EQ(testing::list_directory(dir / "c/CAT"), std::vector<std::string>{"00000000.KTL"});
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Runs, ALogThatNoProgramCanOpenIsSaidToBeSo) {
  class NoOpener final : public Launcher {
  public:
    bool open_text_file(const std::string&) override { return false; }
    bool open_with_desktop(const std::string&) override { return false; }
  } no_opener;
  services.launcher = &no_opener;
  add_a_broken_archive();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1], "Shelvo: No program could be started to show the log C:\\KESTRA.ERR (" +
                                  dir / "c/KESTRA.ERR" + "). Open it with a text editor.");
}

TEST_F(Runs, ARefusedVectorRunsNothingAndSaysWhy) {
  SearchControls c;
  c.catalog_path = "C:\\" + std::string(70, 'x');
  c.masks[0] = "*";
  EXPECT_EQ(build_search_vector(c, services), run_refused);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].find("at most 60"), std::string::npos);
  EXPECT_EQ(testing::list_directory(dir / "c"), std::vector<std::string>{}); // no catalog created
}

TEST_F(Runs, ASearchWithoutAnyMaskIsRefusedAndKeepsTheCounts) {
  SearchControls c;
  c.catalog_path = "C:\\CAT\\";
  c.archive = true;
  c.volume_masks[0] = "*";
  c.option = "/t"; // an option, no mask
  known_volume_count = 7;
  EXPECT_EQ(build_search_vector(c, services), run_refused);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0], "Shelvo: " + std::string(no_search_mask_message));
  EXPECT_EQ(known_volume_count, 7);
  EXPECT_TRUE(caption.captions.empty());
  c.option = "*.txt"; // the hidden option box may hold the mask
  EXPECT_EQ(search_vector(c).refusal, "");
}

TEST_F(Runs, VolumeMasksThatLetNoVolumeThroughAreSaid) {
  ASSERT_EQ(build_add_vector({"C:\\CAT\\", "D:", false, true, false}, services), 1);
  SearchControls c;
  c.catalog_path = "C:\\CAT\\";
  c.masks[0] = "*";
  c.volume_masks = {"MUS*", "", "disk*", ""};
  EXPECT_EQ(build_search_vector(c, services), 1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].rfind("Shelvo: No volume label matched [MUS*] [disk*], so nothing was searched.", 0), 0u)
      << dialogs.shown[0];
  c.volume_masks[2] = "DISK*";
  EXPECT_EQ(build_search_vector(c, services), 1);
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

} // namespace
} // namespace shelvo
