// shelvo-cli and the catalog's search index: --index, --no-index, and the words
// the tool says of the index.
#include "catalog/catalog_store.h"
#include "support/random_volume.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace shelvo {
namespace {

using testing::shell_quote;

class IndexCommands : public ::testing::Test {
protected:
  void SetUp() override {
    testing::make_directories(dir / "c/CAT");
    testing::make_directories(dir / "tree");
    testing::write_file(dir / "c/CAT/00000000.KTL", "");
    // Large enough to be indexed (a volume file of 64 KiB or more).
    testing::write_file(dir / "c/CAT/00000001.KTL", testing::random_volume(1, 6000, "ONE"));
  }
  testing::CommandResult cli(const std::string& arguments, const std::string& cache = "") {
    return testing::run_command("env SHELVO_DRIVES=" + shell_quote("C:=" + (dir / "c")) + " XDG_CACHE_HOME=" +
                                shell_quote(cache.empty() ? dir / "cache" : cache) + " " + SHELVO_CLI_PATH +
                                " '/l:C:\\CAT' " + arguments);
  }
  std::vector<std::string> segments() {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "cache", error))
      if (entry.path().extension() == ".idx") found.push_back(entry.path());
    return found;
  }
  testing::TempDir dir;
};

TEST_F(IndexCommands, IndexMakesTheIndexCurrentAndSearchesAnswerAsWithout) {
  auto r = cli("--index");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("shelvo-cli: the search index of C:\\CAT is up to date: 1 volume ("), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("it lives in " + (dir / "cache/shelvo/index/")), std::string::npos) << r.err;
  ASSERT_EQ(segments().size(), 1u);
  r = cli("--index");
  EXPECT_NE(r.err.find("is up to date: 1 volume up to date already"), std::string::npos) << r.err;

  for (const char* search : {"'*ZLI*' /a --paths", "'*PDF*' '*TEST*' /a /d", "'*ZLI*' '\\*.ZIP' /jd --paths"}) {
    const auto with = cli(search);
    const auto without = cli(std::string(search) + " --no-index");
    EXPECT_EQ(with.status, 0) << search;
    EXPECT_FALSE(with.out.empty()) << search;
    EXPECT_TRUE(with.out == without.out) << search;
  }
}

// A damaged segment is built again by the next search through it; a search
// with --no-index neither reads the cache nor writes it.
TEST_F(IndexCommands, NoIndexLeavesTheCacheAloneAndADamagedSegmentIsBuiltAgain) {
  ASSERT_EQ(cli("--index").status, 0);
  const std::string segment = segments().at(0);
  const std::string whole = testing::read_file(segment);
  std::string damaged = whole;
  damaged[damaged.size() - 1] ^= 0x55;
  testing::write_file(segment, damaged);
  const auto without = cli("'*ZLI*' /a --paths --no-index");
  EXPECT_TRUE(testing::read_file(segment) == damaged);
  const auto with = cli("'*ZLI*' /a --paths");
  EXPECT_TRUE(with.out == without.out);
  EXPECT_TRUE(testing::read_file(segment) == whole);
}

TEST_F(IndexCommands, IndexTakesOnlyTheCatalogAndSaysWhyItCannotBeMade) {
  for (const char* wrong : {"--index '*.TXT'", "--index --no-index", "--index --delete 1", "--index --paths",
                            "--index D:"}) {
    const auto r = cli(wrong);
    EXPECT_EQ(r.status, 64) << wrong;
    EXPECT_NE(r.err.find("--index"), std::string::npos) << r.err;
  }
  auto r = testing::run_command("env SHELVO_DRIVES=" + shell_quote("C:=" + (dir / "c")) + " " + SHELVO_CLI_PATH +
                                " '/l:C:\\NONE' --index");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no catalog at C:\\NONE"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "c/NONE"));
  testing::write_file(dir / "plain", "");
  r = cli("--index", dir / "plain");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot write the search index in " + (dir / "plain/shelvo/index/")), std::string::npos)
      << r.err;
}

// A catalog that keeps an index gets the added volume's segment with the add,
// and the tool says so when it is watched.
TEST_F(IndexCommands, AnAddKeepsTheIndexCurrentAndSaysSo) {
  ASSERT_EQ(cli("--index").status, 0);
  for (int k = 0; k < 2500; ++k) testing::write_file(dir / ("tree/FILE_WITH_A_LONG_NAME_" + std::to_string(k)), "");
  const auto r = cli("--add " + shell_quote(dir / "tree") + " --verbose");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("shelvo-cli: indexed 1 volume ("), std::string::npos) << r.err;
  EXPECT_EQ(segments().size(), 2u);
}

// A delete cut short by a kill: volume 1 set aside, volume 2 moved down, volume
// 3 not yet. --index finishes it before it reads, and says so once, as every
// other call does.
TEST_F(IndexCommands, IndexFinishesADeleteLeftByAStoppedProgramAndSaysSo) {
  const std::string cat = dir / "c/CAT";
  testing::write_file(cat + "/00000003.KTL", "THREE          \x05");
  ASSERT_EQ(std::rename((cat + "/00000001.KTL").c_str(), (cat + "/.shelvo-delete-00000001").c_str()), 0);
  testing::write_file(cat + "/00000001.KTL", "TWO            \x05");
  auto r = cli("--index");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("shelvo-cli: finished deleting volume 1 from the catalog C:\\CAT"), std::string::npos)
      << r.err;
  EXPECT_EQ(testing::list_directory(cat), (std::vector<std::string>{"00000000.KTL", "00000001.KTL", "00000002.KTL"}));
  EXPECT_EQ(testing::read_file(cat + "/00000002.KTL"), "THREE          \x05");
  r = cli("--index");
  EXPECT_EQ(r.err.find("finished deleting"), std::string::npos) << r.err;
}

} // namespace
} // namespace shelvo
