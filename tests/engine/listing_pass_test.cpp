#include "engine/listing_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "results/run_state.h"
#include "results/status_view.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "support/volume_bytes.h"

namespace shelvo {
namespace {

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
    std::string records;
    encode_directory_record(records, "\\");
    testing::write_file(drive / ("CAT/" + volume_file_name(number)), testing::volume_bytes(label, records, format));
  }

  testing::TempDir drive;
  testing::DriveMapping mapping{{{'C', drive.path()}}};
  RunSettings settings;
  testing::RecordingSink sink;
  testing::RecordingStatus status;
  FrontEnd front;
};

using Calls = std::vector<std::string>;

TEST_F(ListingPass, ANewCatalogAfterOneAddShowsTheEmptyFileAndTheVolume) {
  write_header(1, "PHOTOS");
  listing_pass(settings, front);
  EXPECT_EQ(sink.calls, (Calls{"V [] 0 listing", "v2~0", "V [PHOTOS         ] 1 listing", "v2.2"}));
  EXPECT_EQ(counters.listed_volumes, 2);
  EXPECT_EQ(counters.volume_number, 2);
  EXPECT_EQ(status.captions, (std::vector<std::string>{"1 volume(s)", "2 volume(s)"}));
}

TEST_F(ListingPass, CompactListingKeepsTheNumbersDropsTheSuffixAndTheCountLines) {
  write_header(1, "PHOTOS");
  write_header(2, "MUSIC");
  settings.option_w5 = true;
  listing_pass(settings, front);
  EXPECT_EQ(sink.calls, (Calls{"V [] 0 listing", "V [PHOTOS         ] 1 listing", "V [MUSIC          ] 2 listing"}));
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
  EXPECT_EQ(sink.calls, (Calls{"V [] 0 listing", "v2~0", "V [ZERO           ] 1 listing", "v2~0",
                               "V [TWO            ] 2 listing", "v2~0", "V [ONE            ] 3 listing", "v2.-2",
                               "V [SHORT] 4 listing", "v2~0"}));
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
  EXPECT_EQ(sink.calls, (Calls{"V [DATA1          ] 1 listing", "v2.2", "V [DATA3          ] 3 listing", "v2.2"}));
  EXPECT_EQ(counters.listed_volumes, 2);
  EXPECT_EQ(counters.volume_number, 4);
  EXPECT_EQ(status.captions.size(), 4u); // one per volume file read
}

} // namespace
} // namespace shelvo
