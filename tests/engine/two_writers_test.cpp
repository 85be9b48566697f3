// Two programs changing one catalog at the same time: each change is done whole
// or refused with its message, and every volume file stays readable.
#include "catalog/catalog_writer.h"
#include "engine/engine_main.h"
#include "results/run_state.h"
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

} // namespace
} // namespace shelvo
