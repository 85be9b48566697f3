#include "engine/listing_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "results/run_state.h"
#include "results/status_view.h"
#include "support/test_support.h"

namespace shelvo {
namespace {

class ListingSink final : public ResultSink {
public:
  NodeId add_volume_node(std::string_view label, std::int32_t number, VolumeNodeMode mode) override {
    calls.push_back("[" + std::string(label) + "] " + std::to_string(number) +
                    (mode == VolumeNodeMode::listing ? "" : " search"));
    return 1;
  }
  void append_volume_version(char marker, int number) override {
    calls.back() += std::string(" v2") + marker + std::to_string(number);
  }
  NodeId add_directory_path(std::string_view) override { return 0; }
  NodeId add_file_line(std::string_view, std::string_view, std::int32_t, unsigned, unsigned, unsigned, unsigned,
                       unsigned) override {
    return 0;
  }
  void clear_result_tree() override {}
  std::vector<std::string> calls;
};

class CaptionCount final : public StatusView {
public:
  void set_status_caption(std::string_view text) override { captions.emplace_back(text); }
  void set_progress_position(int) override {}
  void set_progress_maximum(int) override {}
  void process_pending_events() override {}
  std::vector<std::string> captions;
};

class ListingPass : public ::testing::Test {
protected:
  void SetUp() override {
    testing::make_directories(drive / "CAT");
    testing::write_file(drive / "CAT/00000000.KTL", "");
    settings.volume_cursor = "C:\\CAT\\00000000.KTL";
    reset_counters();
    counters.listed_volumes = 99; // the pass resets it itself
    front.results = &sink;
    set_status_view(&status);
  }
  void TearDown() override { set_status_view(nullptr); }

  void write_header(long number, std::string_view label, char format = 5) {
    std::string bytes(label);
    bytes.resize(label_length, ' ');
    bytes += format;
    std::string records;
    encode_directory_record(records, "\\");
    testing::write_file(drive / ("CAT/" + volume_file_name(number)), bytes + records);
  }

  testing::TempDir drive;
  testing::DriveMapping mapping{{{'C', drive.path()}}};
  RunSettings settings;
  ListingSink sink;
  CaptionCount status;
  FrontEnd front;
};

using Calls = std::vector<std::string>;

TEST_F(ListingPass, ANewCatalogAfterOneAddShowsTheEmptyFileAndTheVolume) {
  write_header(1, "PHOTOS");
  listing_pass(settings, front);
  EXPECT_EQ(sink.calls, (Calls{"[] 0 v2~0", "[PHOTOS         ] 1 v2.2"}));
  EXPECT_EQ(counters.listed_volumes, 2);
  EXPECT_EQ(counters.volume_number, 2);
  EXPECT_EQ(status.captions, (std::vector<std::string>{"1 volume(s)", "2 volume(s)"}));
}

TEST_F(ListingPass, CompactListingKeepsTheNumbersDropsTheSuffixAndTheCountLines) {
  write_header(1, "PHOTOS");
  write_header(2, "MUSIC");
  settings.option_w5 = true;
  listing_pass(settings, front);
  EXPECT_EQ(sink.calls, (Calls{"[] 0", "[PHOTOS         ] 1", "[MUSIC          ] 2"}));
  EXPECT_EQ(counters.listed_volumes, 3);
  EXPECT_TRUE(status.captions.empty()); // drawn only inside add_volume_node
}

TEST_F(ListingPass, OnlyTotalCountsWithoutNodes) {
  write_header(1, "PHOTOS");
  front.only_total = true;
  listing_pass(settings, front);
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(counters.listed_volumes, 2);
  EXPECT_EQ(status.captions.back(), "2 volume(s)");
}

TEST_F(ListingPass, VersionSuffixFollowsTheFormatByte) {
  write_header(1, "ZERO", '\0');
  write_header(2, "TWO", 2);
  write_header(3, "ONE", 1);
  testing::write_file(drive / "CAT/00000004.KTL", "SHORT");
  listing_pass(settings, front);
  EXPECT_EQ(sink.calls, (Calls{"[] 0 v2~0", "[ZERO           ] 1 v2~0", "[TWO            ] 2 v2~0",
                               "[ONE            ] 3 v2.-2", "[SHORT] 4 v2~0"}));
}

TEST_F(ListingPass, VolumeMasksSkipVolumesButKeepTheirNumbersAndAGapEndsTheListing) {
  write_header(1, "DATA1");
  write_header(2, "OTHER");
  write_header(3, "DATA3");
  write_header(5, "DATA5");
  settings.volume_masks.add("DATA*");
  stop_flag = 1; // a listing does not stop
  listing_pass(settings, front);
  stop_flag = 0;
  EXPECT_EQ(sink.calls, (Calls{"[DATA1          ] 1 v2.2", "[DATA3          ] 3 v2.2"}));
  EXPECT_EQ(counters.listed_volumes, 2);
  EXPECT_EQ(counters.volume_number, 4);
  EXPECT_EQ(status.captions.size(), 4u); // one per volume file read
}

} // namespace
} // namespace shelvo
