// Two programs changing one catalog at the same time: each change is done whole
// or refused with its message, and every volume file stays readable. A program
// that reads the catalog meanwhile sees it before or after a change, never half.
#include "catalog/catalog_read_lock.h"
#include "catalog/catalog_writer.h"
#include "engine/engine_main.h"
#include "results/run_state.h"
#include "results/status_view.h"
#include "support/fakes.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace shelvo {
namespace {

class TwoWriters : public ::testing::Test {
protected:
  testing::TempDir dir;
  void SetUp() override {
    for (const char* volume : {"d", "e"}) {
      testing::make_directories(dir / volume);
      for (int i = 0; i < 1000; ++i) testing::write_file(dir / (std::string(volume) + "/f" + std::to_string(i)), "x");
    }
    testing::make_directories(dir / "c");
  }
  testing::DriveMapping map{{{'C', dir / "c"}, {'D', dir / "d"}, {'E', dir / "e"}}, {{'D', "FIRST"}, {'E', "SECOND"}}};

  static int add(const std::string& catalog, const std::string& drive) {
    ArgumentVector vector{"shelvo", "/l:C:\\" + catalog, drive, "/Y"};
    return engine_main(4, vector, FrontEnd{});
  }
  // Runs an add in a child process: 0 done, 1 refused because the catalog was
  // busy, 2 anything else.
  static pid_t add_in_child(const std::string& catalog, const std::string& drive) {
    const pid_t child = ::fork();
    if (child == 0) {
      const int code = add(catalog, drive);
      const bool busy = code == -1 && run_report.failure.find("being changed by another program") != std::string::npos;
      ::_exit(code == 1 ? 0 : busy ? 1 : 2);
    }
    return child;
  }
  static int outcome(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
  }
};

TEST_F(TwoWriters, AddsStartedTogetherBothLandWhole) {
  // Each volume written alone is the reference for what the catalog must hold.
  ASSERT_EQ(add("ALONE", "D:"), 1);
  ASSERT_EQ(add("ALONE", "E:"), 1);
  const std::string first = testing::read_file(dir / "c/ALONE/00000001.KTL");
  const std::string second = testing::read_file(dir / "c/ALONE/00000002.KTL");

  // Into a new catalog each round, so that both writers want the same number.
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string catalog = "CAT" + std::to_string(round);
    ASSERT_EQ(add(catalog, "/W"), 1);
    const pid_t a = add_in_child(catalog, "E:");
    const pid_t b = add_in_child(catalog, "D:");
    EXPECT_EQ(outcome(a), 0);
    EXPECT_EQ(outcome(b), 0);
    const std::string folder = dir / ("c/" + catalog);
    ASSERT_EQ(testing::list_directory(folder),
              (std::vector<std::string>{"00000000.KTL", "00000001.KTL", "00000002.KTL"}));
    const std::string one = testing::read_file(folder + "/00000001.KTL");
    const std::string two = testing::read_file(folder + "/00000002.KTL");
    EXPECT_TRUE((one == first && two == second) || (one == second && two == first));
  }
}

TEST_F(TwoWriters, ASecondWriterWaitsAMomentThenRefuses) {
  ASSERT_EQ(add("CAT", "D:"), 1);
  const std::string before = testing::read_file(dir / "c/CAT/00000001.KTL");
  const auto saved = CatalogWriter::lock_wait;
  CatalogWriter::lock_wait = std::chrono::milliseconds(200);
  {
    CatalogWriter holder("C:\\CAT");
    std::string failure;
    ASSERT_TRUE(holder.lock(failure)) << failure;
    EXPECT_EQ(outcome(add_in_child("CAT", "D:")), 1);
  }
  CatalogWriter::lock_wait = saved;
  EXPECT_EQ(testing::read_file(dir / "c/CAT/00000001.KTL"), before);
  EXPECT_EQ(testing::list_directory(dir / "c/CAT"), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
}

TEST_F(TwoWriters, AReaderWaitsForAChangeAndSeesTheCatalogAfterIt) {
  for (const char* drive : {"D:", "E:"}) ASSERT_EQ(add("CAT", drive), 1);
  CatalogWriter writer("C:\\CAT");
  std::string failure;
  ASSERT_TRUE(writer.lock(failure)) << failure;
  int notices[2], counts[2];
  ASSERT_EQ(::pipe(notices), 0);
  ASSERT_EQ(::pipe(counts), 0);
  const pid_t reader = ::fork();
  if (reader == 0) {
    testing::RecordingStatus view; // tells the test, through a pipe, when the reader starts to wait
    view.on_notice = [&](std::string_view text) { (void)!::write(notices[1], text.data(), text.size()); };
    set_status_view(&view);
    ArgumentVector vector{"", "/l:C:\\CAT", "*", "/nd"};
    engine_main(4, vector, FrontEnd{});
    const std::int32_t read = counters.volume_number;
    (void)!::write(counts[1], &read, sizeof read);
    ::_exit(0);
  }
  char said[200] = {};
  ASSERT_GT(::read(notices[0], said, sizeof said - 1), 0); // it waits, and says so
  EXPECT_NE(std::string(said).find("waiting for another program to finish changing the catalog C:\\CAT"),
            std::string::npos) << said;
  ASSERT_TRUE(writer.remove_volume(1, failure)) << failure;
  writer.volumes().handle().unlock();
  std::int32_t read = 0;
  ASSERT_EQ(::read(counts[0], &read, sizeof read), static_cast<ssize_t>(sizeof read));
  EXPECT_EQ(read, 2); // files 0 and 1: the catalog after the delete, whole
  EXPECT_EQ(outcome(reader), 0);
}

TEST_F(TwoWriters, AWriterTurnedAwayByReadersSaysSo) {
  ASSERT_EQ(add("CAT", "D:"), 1);
  const auto saved = CatalogWriter::lock_wait;
  CatalogWriter::lock_wait = std::chrono::milliseconds(100);
  CatalogReadLock reading;
  std::string failure;
  ASSERT_EQ(reading.acquire("C:\\CAT", std::chrono::milliseconds(0), nullptr, nullptr, failure),
            CatalogReadLock::Outcome::held);
  CatalogWriter writer("C:\\CAT");
  EXPECT_FALSE(writer.lock(failure));
  EXPECT_NE(failure.find("is being read by another program (a search or a listing)"), std::string::npos) << failure;
  reading.release();
  EXPECT_TRUE(writer.lock(failure)) << failure;
  CatalogWriter::lock_wait = saved;
}

} // namespace
} // namespace shelvo
