#include "results/status_lines.h"

#include "results/run_state.h"
#include "results/status_view.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace shelvo {
namespace {

class StatusLinesTest : public ::testing::Test {
protected:
  void SetUp() override {
    reset_counters();
    counters.listed_volumes = 0;
    stop_flag = 0;
    known_volume_count = 0;
    last_shown_volume = -1;
    set_status_view(&view);
  }
  void TearDown() override {
    stop_flag = 0;
    set_status_view(nullptr);
  }
  testing::RecordingStatus view;
};

TEST_F(StatusLinesTest, StepValuesGrowByDecade) {
  const long steps[] = {10, 20, 90, 100, 200, 900, 1000, 2000, 9000, 10000, 20000, 30000, 2140000000};
  const long others[] = {0, 1, 9, 11, 95, 110, 150, 990, 1010, 1500, 9999, 10010, 15000, 25000};
  for (long n : steps) EXPECT_TRUE(is_step_count(n)) << n;
  for (long n : others) EXPECT_FALSE(is_step_count(n)) << n;
}

TEST_F(StatusLinesTest, SizeTextPicksUnitAndSingular) {
  EXPECT_EQ(format_size(0), "    0.00 byte  ");
  EXPECT_EQ(format_size(1), "    1.00 byte  ");
  EXPECT_EQ(format_size(2), "    2.00 bytes ");
  EXPECT_EQ(format_size(1023), " 1023.00 bytes ");
  EXPECT_EQ(format_size(1024), "    1.00 kb    ");
  EXPECT_EQ(format_size(1536), "    1.50 kb    ");
  EXPECT_EQ(format_size(1048576), "    1.00 Mb    ");
  EXPECT_EQ(format_size(3.0 * 1024 * 1024 * 1024), "    3.00 Gb    ");
  EXPECT_EQ(format_size(1024.0 * 1024 * 1024 * 1024 * 1024), " 1024.00 Tb    ");
}

TEST_F(StatusLinesTest, SearchLineLayout) {
  counters.found_files = 12;
  counters.found_bytes = 2048;
  counters.found_members = 3;
  counters.found_member_bytes = 1;
  counters.found_dirs = 4;
  counters.found_volumes = 2;
  counters.volume_number = 5;
  known_volume_count = 7;
  EXPECT_EQ(search_status_line(), "File:        12 (    2.00 kb    )  File in arc:         3 (    1.00 byte  )"
                                  "   Dir:      4   Vol:  2 [  5/  7]");
  counters.scanned_files = 100;
  counters.scanned_dirs = 7;
  counters.scanned_members = 2;
  EXPECT_EQ(scan_status_line(), "File:       100   Directory:       7   File in Archive:          2");
  counters.listed_volumes = 3;
  EXPECT_EQ(volume_count_line(), "3 volume(s)");
}

TEST_F(StatusLinesTest, NineFilesDrawOnlyOnVolumeChangeTenthDrawsEveryCall) {
  last_shown_volume = 0; // the first volume's line is already up
  counters.found_files = 9;
  refresh_search_status();
  refresh_search_status();
  EXPECT_EQ(view.captions.size(), 0u);
  counters.found_files = 10;
  refresh_search_status();
  refresh_search_status();
  EXPECT_EQ(view.captions.size(), 2u);
  EXPECT_EQ(view.events, 2);
  counters.found_files = 11;
  refresh_search_status();
  EXPECT_EQ(view.captions.size(), 2u);
  counters.volume_number = 1; // end of the volume
  refresh_search_status();
  EXPECT_EQ(view.captions.size(), 3u);
  EXPECT_EQ(last_shown_volume, 1);
  EXPECT_EQ(view.positions.back(), 1);
}

TEST_F(StatusLinesTest, FirstCallOfANewSearchDrawsAtOnce) {
  last_shown_volume = 4; // where the previous search ended
  refresh_search_status();
  ASSERT_EQ(view.captions.size(), 1u);
  EXPECT_EQ(last_shown_volume, 0);
}

TEST_F(StatusLinesTest, KnownCountGrowsToTheVolumesReached) {
  known_volume_count = 2;
  show_search_status();
  EXPECT_NE(view.captions.back().find("[  0/  2]"), std::string::npos);
  counters.volume_number = 3;
  finish_search_display();
  EXPECT_EQ(known_volume_count, 3);
  EXPECT_EQ(view.maximums, std::vector<int>{3});
  EXPECT_NE(view.captions.back().find("[  3/  3]"), std::string::npos);
}

TEST_F(StatusLinesTest, StoppedSearchKeepsKnownCountAndShowsTheNote) {
  known_volume_count = 10;
  counters.volume_number = 5;
  stop_flag = 1;
  finish_search_display();
  EXPECT_EQ(known_volume_count, 10);
  EXPECT_TRUE(view.maximums.empty());
  const std::string note = "   (stopped by the user)";
  ASSERT_GE(view.captions.back().size(), note.size());
  EXPECT_EQ(view.captions.back().substr(view.captions.back().size() - note.size()), note);
  // A stop that still got further than ever before raises the count.
  counters.volume_number = 12;
  finish_search_display();
  EXPECT_EQ(known_volume_count, 12);
}

TEST_F(StatusLinesTest, ScanLineDrawnOnStepCountsOnly) {
  for (int n = 1; n <= 250; ++n) {
    counters.scanned_files = n;
    scan_progress_tick();
  }
  // 10..90, 100, 200
  EXPECT_EQ(view.captions.size(), 11u);
  EXPECT_EQ(view.events, 11);
}

TEST_F(StatusLinesTest, NothingIsDrawnWithoutAView) {
  set_status_view(nullptr);
  counters.found_files = 10;
  refresh_search_status();
  show_volume_count();
  counters.scanned_files = 10;
  scan_progress_tick();
  finish_search_display();
  EXPECT_TRUE(view.captions.empty());
}

} // namespace
} // namespace shelvo
