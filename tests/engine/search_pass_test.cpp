#include "engine/search_pass.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/status_view.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "support/volume_bytes.h"

namespace shelvo {
namespace {

using testing::RecordingSink;
using testing::RecordingStatus;

constexpr std::uint16_t jan_2_2000 = 0x2822; // 2 January 2000
constexpr std::uint16_t at_03_04 = 0x1883;   // 03:04:06

std::string dir(std::string_view path) {
  std::string out;
  encode_directory_record(out, path);
  return out;
}

std::string file(std::string_view name, std::uint32_t size = 10) {
  std::string out;
  encode_file_record(out, name, size, jan_2_2000, at_03_04);
  return out;
}

std::string archive(const std::vector<std::string>& members) {
  std::string body;
  for (const auto& m : members) body += file(m, 7);
  std::string out = "\x01";
  encode_archive_block_counts(out, static_cast<std::uint32_t>(body.size()), static_cast<std::uint32_t>(members.size()));
  return out + body;
}

// An archive whose block claims far more than the file holds.
std::string bytes_of_block_running_past_the_end() {
  return file("X.ZIP") + testing::bytes_from_hex("01 FF FF FF 7F FF FF FF FF") + file("IN.TXT");
}

class SearchPass : public ::testing::Test {
protected:
  void SetUp() override {
    testing::make_directories(drive / "CAT");
    testing::write_file(drive / "CAT/00000000.KTL", ""); // as a new catalog has it
    settings.catalog_directory = "C:\\CAT";
    settings.volume_cursor = "C:\\CAT\\00000000.KTL";
    reset_counters();
    stop_flag = 0;
    front.results = &sink;
  }
  void TearDown() override {
    stop_flag = 0;
    set_status_view(nullptr);
  }

  void write_volume(long number, std::string_view label, const std::string& records, char format = 5) {
    testing::write_file(drive / ("CAT/" + volume_file_name(number)), testing::volume_bytes(label, records, format));
  }

  void search(std::initializer_list<const char*> masks) {
    for (const char* m : masks) ASSERT_TRUE(settings.search_masks.add(m));
    search_pass(settings, front);
  }

  testing::TempDir drive;
  testing::DriveMapping mapping{{{'C', drive.path()}}};
  RunSettings settings;
  RecordingSink sink;
  FrontEnd front;
};

using Calls = std::vector<std::string>;
const std::string label_a = "[VOLA           ]";
const char* const when = "02/01/00 03:04";

TEST_F(SearchPass, ReadmeWithArchivesAndDirectoriesFindsFilesMembersAndDirectories) {
  write_volume(1, "VOLA", dir("\\") + file("README") + dir("\\DOCS") + file("A.TXT") + dir("\\DOCS\\README") +
                              file("X") + dir("\\ARC") + file("BACKUP.ZIP") + archive({"README", "DOC.TXT"}));
  write_volume(2, "VOLB", dir("\\") + dir("\\X") + file("README", 99));
  settings.option_a = settings.option_d = true;
  search({"README"});
  EXPECT_EQ(sink.calls, (Calls{"V " + label_a + " 1 search", std::string("F \\ | README 10 ") + when,
                               "P \\DOCS\\README", std::string("F \\ARC\\BACKUP.ZIP | README 7 ") + when,
                               "V [VOLB           ] 2 search", std::string("F \\X | README 99 ") + when}));
  EXPECT_EQ(counters.found_files, 3);
  EXPECT_EQ(counters.found_members, 1);
  EXPECT_EQ(counters.found_bytes, 116.0);
  EXPECT_EQ(counters.found_member_bytes, 7.0);
  EXPECT_EQ(counters.found_dirs, 1);
  EXPECT_EQ(counters.found_volumes, 2);
  EXPECT_EQ(counters.volume_number, 3);
}

TEST_F(SearchPass, StarDotStarNeedsADotAndStarCountsEveryDirectoryRecordWithTheRoots) {
  const std::string records = dir("\\") + file("README") + file("A.TXT") + dir("\\NODOT") + file("B") +
                              dir("\\SUB.D") + dir("\\NODOT") + file("C.TXT");
  write_volume(1, "VOLA", records);
  write_volume(2, "VOLB", records);
  settings.option_d = true;
  search({"*.*"});
  EXPECT_EQ(counters.found_files, 4);
  EXPECT_EQ(counters.found_dirs, 2); // \SUB.D in each volume

  reset_counters();
  sink.calls.clear();
  settings.volume_cursor = "C:\\CAT\\00000000.KTL";
  settings.search_masks.clear();
  search({"*"});
  EXPECT_EQ(counters.found_dirs, 8); // 4 records a volume, roots and the repeated \NODOT included
  EXPECT_EQ(counters.found_files, 8);
  ASSERT_GE(sink.calls.size(), 2u);
  EXPECT_EQ(sink.calls[1], "P \\");
}

TEST_F(SearchPass, ADirectoryRecordOccurringTwiceIsReportedTwice) {
  write_volume(1, "VOLA", dir("\\") + dir("\\SUB") + file("X") + dir("\\SUB\\DEEP") + file("Y") + dir("\\SUB") +
                              file("Z"));
  settings.option_d = true;
  search({"SUB"});
  EXPECT_EQ(sink.calls, (Calls{"V " + label_a + " 1 search", "P \\SUB", "P \\SUB"}));
  EXPECT_EQ(counters.found_dirs, 2);
}

TEST_F(SearchPass, ArchiveBlocksLargerThanAReadAreSkippedOrEnteredWhole) {
  // 30,000 members of 12 bytes: the block runs over several reads of the file.
  std::vector<std::string> members(30000, "M.TXT");
  members[29999] = "LAST.DOC";
  write_volume(1, "VOLA", dir("\\") + file("BIG.ZIP") + archive(members) + file("AFTER.DOC"));
  search({"*.DOC"});
  EXPECT_EQ(counters.found_files, 1); // AFTER.DOC, found behind the skipped block
  ASSERT_FALSE(sink.calls.empty());
  EXPECT_EQ(sink.calls.back(), std::string("F \\ | AFTER.DOC 10 ") + when);

  reset_counters();
  sink.calls.clear();
  settings.volume_cursor = "C:\\CAT\\00000000.KTL";
  settings.option_a = true;
  search_pass(settings, front);
  EXPECT_EQ(counters.found_files, 2);
  EXPECT_EQ(counters.found_members, 1);
  ASSERT_GE(sink.calls.size(), 2u);
  EXPECT_EQ(sink.calls[1], std::string("F \\BIG.ZIP | LAST.DOC 7 ") + when);
}

TEST_F(SearchPass, OptionTChangesNothing) {
  write_volume(1, "VOLA", dir("\\") + dir("\\A") + file("A.TXT") + file("A.ZIP") + archive({"A.DOC"}));
  settings.option_a = settings.option_c = settings.option_d = true;
  search({"A*"});
  const Calls without_t = sink.calls;
  const EngineCounters counted = counters;
  reset_counters();
  sink.calls.clear();
  settings.volume_cursor = "C:\\CAT\\00000000.KTL";
  settings.option_t = true;
  search_pass(settings, front);
  EXPECT_EQ(sink.calls, without_t);
  EXPECT_EQ(counters.found_files, counted.found_files);
  EXPECT_EQ(counters.found_dirs, counted.found_dirs);
}

TEST_F(SearchPass, OnlyDirectoriesWithJAndTheirFilesOnlyWithC) {
  const std::string records = dir("\\") + file("SRC") + dir("\\SRC") + file("MAIN.C") + file("LIB.ZIP") +
                              archive({"SRC"}) + dir("\\SRC\\SRC") + dir("\\DOC") + file("SRC");
  write_volume(1, "VOLA", records);
  settings.option_j = settings.option_d = settings.option_a = true;
  search({"SRC"});
  EXPECT_FALSE(settings.option_a);
  EXPECT_EQ(sink.calls, (Calls{"V " + label_a + " 1 search", "P \\SRC", "P \\SRC\\SRC"}));
  EXPECT_EQ(counters.found_files, 0);

  reset_counters();
  sink.calls.clear();
  settings.volume_cursor = "C:\\CAT\\00000000.KTL";
  settings.option_c = true;
  search_pass(settings, front);
  EXPECT_EQ(sink.calls, (Calls{"V " + label_a + " 1 search", "P \\SRC", std::string("F \\SRC | MAIN.C 10 ") + when,
                               std::string("F \\SRC | LIB.ZIP 10 ") + when, "P \\SRC\\SRC"}));
  EXPECT_EQ(counters.found_members, 0); // J leaves archives closed
}

TEST_F(SearchPass, ListContentReportsTheMatchingDirectoryItsFilesAndTheNextChildOnly) {
  write_volume(1, "VOLA", dir("\\") + file("TOP.JPG") + dir("\\PHOTOS") + file("A.JPG") + file("B.TXT") +
                              dir("\\PHOTOS\\SUB") + file("X.JPG") + file("PHOTO1.JPG") + dir("\\PHOTOS\\SUB2") +
                              file("Y.JPG"));
  settings.option_c = settings.option_d = true;
  search({"PHOTO*"});
  EXPECT_EQ(sink.calls, (Calls{"V " + label_a + " 1 search", "P \\PHOTOS", std::string("F \\PHOTOS | A.JPG 10 ") + when,
                               std::string("F \\PHOTOS | B.TXT 10 ") + when, "P \\PHOTOS\\SUB",
                               std::string("F \\PHOTOS\\SUB | PHOTO1.JPG 10 ") + when}));
  EXPECT_EQ(counters.found_dirs, 2);
  EXPECT_EQ(counters.found_files, 3);
}

TEST_F(SearchPass, MembersShowUnderTheArchivePathOnlyWithA) {
  write_volume(1, "VOLA", dir("\\") + dir("\\ARC") + file("BACKUP.ZIP", 300) + archive({"DOC.TXT"}));
  settings.option_a = true;
  search({"DOC.TXT", "*.ZIP"});
  EXPECT_EQ(sink.calls, (Calls{"V " + label_a + " 1 search", std::string("F \\ARC | BACKUP.ZIP 300 ") + when,
                               std::string("F \\ARC\\BACKUP.ZIP | DOC.TXT 7 ") + when}));

  reset_counters();
  sink.calls.clear();
  settings.volume_cursor = "C:\\CAT\\00000000.KTL";
  settings.option_a = false;
  search_pass(settings, front);
  EXPECT_EQ(sink.calls, (Calls{"V " + label_a + " 1 search", std::string("F \\ARC | BACKUP.ZIP 300 ") + when}));
  EXPECT_EQ(counters.found_members, 0);
}

TEST_F(SearchPass, NoDisplayCountsWithoutTouchingTheTree) {
  write_volume(1, "VOLA", dir("\\") + file("A.TXT") + dir("\\A") + file("A.ZIP") + archive({"A.DOC"}));
  settings.option_a = settings.option_d = settings.no_display = true;
  search({"A*"});
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(counters.found_files, 3);
  EXPECT_EQ(counters.found_members, 1);
  EXPECT_EQ(counters.found_dirs, 1);
  EXPECT_EQ(counters.found_volumes, 1);
}

// Counting only, the reader counts the hits itself: every counter must be what
// the search that shows its hits reaches, whatever the options.
TEST_F(SearchPass, CountingOnlyReachesTheCountersOfTheSearchThatShowsItsHits) {
  std::mt19937 random(5);
  auto name = [&] { return std::string("AB*.Q").substr(random() % 3, 1 + random() % 3) + (random() % 2 ? ".TXT" : ""); };
  for (long v = 1; v <= 3; ++v) {
    std::string records = dir("\\");
    for (int r = 0; r < 300; ++r) {
      const auto kind = random() % 10;
      if (kind == 0) records += dir("\\" + name() + "\\" + name());
      else if (kind == 1) records += file(name() + ".ZIP") + archive({name(), name(), name()});
      else records += file(name(), static_cast<std::uint32_t>(random() % 5000));
    }
    write_volume(v, "VOL" + std::to_string(v), records);
  }
  for (const char* mask : {"*", "*.*", "A*", "*Q*", "B?"}) {
    for (int options = 0; options < 16; ++options) {
      auto run = [&](bool no_display) {
        reset_counters();
        settings = RunSettings();
        settings.volume_cursor = "C:\\CAT\\00000000.KTL";
        settings.option_a = options & 1;
        settings.option_c = options & 2;
        settings.option_d = (options & 4) || (options & 8);
        settings.option_j = options & 8;
        settings.no_display = no_display;
        settings.search_masks.add(mask);
        search_pass(settings, front);
        return counters;
      };
      const EngineCounters shown = run(false), counted = run(true);
      SCOPED_TRACE(std::string(mask) + " options " + std::to_string(options));
      EXPECT_EQ(counted.found_files, shown.found_files);
      EXPECT_EQ(counted.found_bytes, shown.found_bytes);
      EXPECT_EQ(counted.found_members, shown.found_members);
      EXPECT_EQ(counted.found_member_bytes, shown.found_member_bytes);
      EXPECT_EQ(counted.found_dirs, shown.found_dirs);
      EXPECT_EQ(counted.found_volumes, shown.found_volumes);
    }
  }
}

TEST_F(SearchPass, VolumeMasksSeeTheWholePaddedLabel) {
  const std::string records = dir("\\") + file("A.TXT");
  write_volume(1, "DATA", records);
  write_volume(2, "DATA2X", records);
  write_volume(3, "OTHER", records);
  write_volume(4, "DATA17", records);
  settings.volume_masks.add("DATA*");
  settings.volume_masks.add("\\DATA2*");
  search({"*"});
  EXPECT_EQ(sink.calls, (Calls{"V [DATA           ] 1 search", std::string("F \\ | A.TXT 10 ") + when,
                               "V [DATA17         ] 4 search", std::string("F \\ | A.TXT 10 ") + when}));
  EXPECT_EQ(counters.volume_number, 5);

  // Without the '*' the 11 trailing blanks make the label differ from the mask.
  reset_counters();
  sink.calls.clear();
  settings.volume_cursor = "C:\\CAT\\00000000.KTL";
  settings.volume_masks.clear();
  settings.volume_masks.add("DATA");
  search_pass(settings, front);
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(counters.volume_number, 5);
}

TEST_F(SearchPass, AStopDuringAVolumeEndsTheSearchAfterIt) {
  for (long n = 1; n < 10; ++n) write_volume(n, "V" + std::to_string(n), dir("\\") + file("A.TXT"));
  sink.on_volume = [](std::int32_t number) {
    if (number == 3) stop_flag = 1; // the Stop button, pressed while volume 3 is read
  };
  search({"*.TXT"});
  EXPECT_EQ(counters.volume_number, 4);
  EXPECT_EQ(counters.found_volumes, 3);
  ASSERT_FALSE(sink.calls.empty());
  EXPECT_EQ(sink.calls.back(), std::string("F \\ | A.TXT 10 ") + when);
}

TEST_F(SearchPass, StatusIsRefreshedOncePerVolumeRead) {
  RecordingStatus status;
  set_status_view(&status);
  last_shown_volume = -1;
  write_volume(1, "VOLA", dir("\\") + file("A.TXT"));
  write_volume(2, "SKIPPED", dir("\\") + file("A.TXT"));
  settings.volume_masks.add("VOLA*");
  search({"*"});
  EXPECT_EQ(status.positions, (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(status.captions.size(), 3u);
  EXPECT_NE(status.captions.back().find("[  3/"), std::string::npos) << status.captions.back();
}

TEST_F(SearchPass, TruncatedAndDamagedVolumesDoNotHideTheVolumesAfterThem) {
  const std::string good = dir("\\") + file("A.TXT");
  std::string cut = dir("\\") + file("A.TXT") + file("B.TXT");
  cut.resize(cut.size() - 4);
  write_volume(1, "CUT", cut);
  std::mt19937 random(3);
  std::string noise(100000, '\0');
  for (char& c : noise) c = static_cast<char>(random() % 7 == 0 ? random() % 2 : random() % 256);
  write_volume(2, "NOISE", noise);
  std::string overlong = dir("\\" + std::string(5000, 'P')) + file(std::string(9000, 'N') + ".TXT") +
                         archive({"M.TXT"}) + bytes_of_block_running_past_the_end();
  write_volume(3, "LONG", overlong);
  testing::write_file(drive / "CAT/00000004.KTL", "SHORT"); // shorter than a header
  write_volume(5, "GOOD", good);
  settings.option_a = settings.option_d = true;
  search({"*.TXT"});
  EXPECT_EQ(counters.volume_number, 6);
  ASSERT_GE(sink.calls.size(), 2u);
  EXPECT_EQ(sink.calls.back(), std::string("F \\ | A.TXT 10 ") + when);
  EXPECT_EQ(sink.calls[0], "V [CUT            ] 1 search");
  EXPECT_EQ(sink.calls[1], std::string("F \\ | A.TXT 10 ") + when); // B.TXT is cut and dropped
  for (const std::string& call : sink.calls) EXPECT_LE(call.size(), 600u);
}

TEST_F(SearchPass, AGapInTheNumberingEndsTheWalk) {
  write_volume(1, "VOLA", dir("\\") + file("A.TXT"));
  write_volume(3, "VOLC", dir("\\") + file("A.TXT"));
  search({"*"});
  EXPECT_EQ(counters.volume_number, 2);
  EXPECT_EQ(counters.found_volumes, 1);
}

TEST_F(SearchPass, OlderFormatFilesAreSearchedAndDatesDecoded) {
  // No format byte: the root record's first zero sits at offset 15.
  write_volume(1, "OLD", dir("\\").substr(1) + file("A.TXT"), '\0');
  // A size with bit 31 set (never written) is shown without it.
  write_volume(2, "NEW", dir("\\") + testing::bytes_from_hex("42 00 80 00 00 0A FF FF FF FF 00"));
  search({"*"});
  EXPECT_EQ(sink.calls, (Calls{"V [OLD            ] 1 search", std::string("F \\ | A.TXT 10 ") + when,
                               "V [NEW            ] 2 search", "F \\ | B 10 31/15/07 31:63"}));
}

TEST_F(SearchPass, ALabelWithAZeroByteIsShownUpToIt) {
  write_volume(1, std::string("AB\0CD", 5), dir("\\") + file("A.TXT"));
  search({"*"});
  ASSERT_FALSE(sink.calls.empty());
  EXPECT_EQ(sink.calls.front(), "V [AB] 1 search");
}

} // namespace
} // namespace shelvo
