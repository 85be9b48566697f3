// Searches through the catalog's search index give the answers of searches
// without it, whatever the catalog, the masks and the options; an index that
// no longer fits its volumes, or is damaged, is never believed, and is built
// again.
#include "engine/engine_main.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "engine/index_building.h"
#include "engine/search_index.h"
#include "index/index_segment.h"
#include "results/run_state.h"
#include "support/fakes.h"
#include "support/random_volume.h"
#include "support/test_support.h"

namespace shelvo {
namespace {

using testing::RecordingSink;
using testing::TempDir;

struct Answer {
  std::vector<std::string> calls;
  EngineCounters counters;
  int code = 0;
  RunReport report;
};

bool operator==(const Answer& a, const Answer& b) {
  const EngineCounters& x = a.counters;
  const EngineCounters& y = b.counters;
  return a.code == b.code && a.calls == b.calls && x.found_files == y.found_files && x.found_bytes == y.found_bytes &&
         x.found_members == y.found_members && x.found_member_bytes == y.found_member_bytes &&
         x.found_dirs == y.found_dirs && x.found_volumes == y.found_volumes && x.volume_number == y.volume_number;
}

std::ostream& operator<<(std::ostream& out, const Answer& a) {
  out << a.calls.size() << " calls, " << a.counters.found_files << " files, " << a.counters.found_dirs << " dirs";
  for (std::size_t k = 0; k < a.calls.size() && k < 12; ++k) out << "\n  " << a.calls[k];
  return out;
}

// A mask made of the volumes' syllables, in one of the shapes users type.
std::string random_mask(std::mt19937& random) {
  auto piece = [&] {
    std::string p;
    for (auto k = 1 + random() % 3; k > 0; --k)
      p += testing::name_syllables[random() % std::size(testing::name_syllables)];
    return p;
  };
  switch (random() % 9) {
  case 0: return "*" + piece() + "*";
  case 1: return piece() + "*";
  case 2: return "*" + piece();
  case 3: return "*" + piece() + "*" + piece() + "*";
  case 4: return "*" + piece() + "?" + piece() + "*";
  case 5: return "?" + piece() + "*";
  case 6: return piece() + piece();
  case 7: return "*" + piece() + "*.ZIP";
  default: return "*ZLI*";
  }
}

class IndexedSearch : public ::testing::Test {
protected:
  void SetUp() override {
    testing::make_directories(drive / "CAT");
    ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    IndexPolicy::min_volume_bytes = 0;
    IndexPolicy::block_bytes = 256;
    IndexPolicy::automatic_catalog_bytes = std::uint64_t{1} << 40;
    SearchIndex::read_share = 1; // through the index whenever it can, to be checked
    stop_flag = 0;
  }
  void TearDown() override {
    IndexPolicy::min_volume_bytes = saved.min_volume_bytes;
    IndexPolicy::block_bytes = saved.block_bytes;
    IndexPolicy::automatic_catalog_bytes = saved.automatic_catalog_bytes;
    SearchIndex::read_share = saved_share;
  }

  std::string volume_path(long number) { return drive / ("CAT/" + volume_file_name(number)); }

  // Volume 0 empty, as a new catalog has it, then random volumes, some in the
  // older format; with damaged, some with bytes changed or cut short.
  void write_catalog(std::uint32_t seed, int volumes, bool damaged = false) {
    testing::write_file(volume_path(0), "");
    std::mt19937 random(seed);
    for (int v = 1; v <= volumes; ++v) {
      std::string bytes = testing::random_volume(seed * 100 + v, 2500 + static_cast<int>(random() % 2500),
                                                 "VOL" + std::to_string(v), random() % 5 == 0 ? 0 : volume_format_byte);
      if (damaged && random() % 3 == 0) {
        for (int k = 0; k < 3; ++k) bytes[20 + random() % (bytes.size() - 20)] = static_cast<char>(random() % 4);
        if (random() % 2) bytes.resize(bytes.size() - random() % 40);
      }
      testing::write_file(volume_path(v), bytes);
    }
  }

  Answer run(const std::vector<std::string>& elements, IndexUse use) {
    ArgumentVector vector{"", "/l:C:\\CAT"};
    for (const std::string& element : elements) vector.push_back(element);
    RecordingSink sink;
    FrontEnd front;
    front.results = &sink;
    front.index = use;
    Answer answer;
    answer.code = engine_main(static_cast<int>(vector.size()), vector, front);
    answer.calls = sink.calls;
    answer.counters = counters;
    answer.report = run_report;
    return answer;
  }

  void build_index() {
    ASSERT_EQ(run({}, IndexUse::build).code, engine_ok);
    ASSERT_TRUE(run_report.failure.empty()) << run_report.failure;
  }

  // The search with the index, checked against the same search without it.
  Answer search(const std::vector<std::string>& elements) {
    const Answer with = run(elements, IndexUse::automatic);
    EXPECT_EQ(with, run(elements, IndexUse::off)) << ::testing::PrintToString(elements);
    return with;
  }

  std::vector<std::string> segment_files() {
    std::vector<std::string> names;
    for (const auto& root : std::filesystem::recursive_directory_iterator(cache.path()))
      if (root.path().extension() == ".idx") names.push_back(root.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir drive;
  TempDir cache;
  testing::DriveMapping mapping{{{'C', drive.path()}}};
  IndexPolicy saved;
  double saved_share = SearchIndex::read_share;
};

TEST_F(IndexedSearch, AnswersThroughTheIndexAreTheAnswersWithout) {
  static const char* const options[] = {"/a", "/d", "/cd", "/jd", "/nd", "[VOL1*]", "[\\VOL2*]"};
  for (const std::uint32_t seed : {1u, 2u, 3u}) {
    write_catalog(seed, 6, true);
    build_index();
    std::mt19937 random(seed);
    std::int32_t through_index = 0;
    for (int query = 0; query < 100; ++query) {
      std::vector<std::string> elements;
      for (auto k = 1 + random() % 3; k > 0; --k) elements.push_back(random_mask(random));
      if (random() % 4 == 0) elements.push_back("\\" + random_mask(random));
      for (const char* option : options)
        if (random() % 3 == 0) elements.push_back(option);
      through_index += search(elements).report.volumes_through_index;
    }
    EXPECT_GT(through_index, 60) << "the index was hardly used: the test would prove nothing";
  }
}

// The identity of a volume file and the sample of its bytes tell a segment
// that no longer fits: a volume rewritten in place with the same size and time.
TEST_F(IndexedSearch, AVolumeChangedSinceItsSegmentIsReadWholeAndIndexedAgain) {
  write_catalog(4, 3);
  build_index();
  const std::vector<std::string> before = segment_files();
  struct stat old {};
  ASSERT_EQ(::stat(volume_path(2).c_str(), &old), 0);
  std::string bytes = testing::read_file(volume_path(2));
  const std::size_t at = bytes.rfind("ZLI");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 3, "QQQ");
  testing::write_file(volume_path(2), bytes);
  const struct timespec times[2] = {old.st_atim, old.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, volume_path(2).c_str(), times, 0), 0);

  const RunReport changed = search({"*QQQ*", "/a", "/d"}).report;
  EXPECT_EQ(changed.volumes_through_index, 2);
  EXPECT_EQ(changed.indexed_volumes, 1); // the changed one, read whole, indexed again
  EXPECT_EQ(search({"*QQQ*", "/a", "/d"}).report.volumes_through_index, 3);
  EXPECT_EQ(segment_files(), before) << "same identity, new segment under the same name";

  // A volume added behind the others, and one replaced by a new file.
  testing::write_file(volume_path(4), testing::random_volume(44, 3000, "VOL4"));
  testing::write_file(volume_path(1) + ".new", testing::random_volume(45, 3000, "VOL1"));
  std::filesystem::rename(volume_path(1) + ".new", volume_path(1));
  const RunReport grown = search({"*ZLI*", "/a"}).report;
  EXPECT_EQ(grown.volumes_through_index, 2);
  EXPECT_EQ(grown.indexed_volumes, 2);
  EXPECT_EQ(search({"*ZLI*", "/a"}).report.volumes_through_index, 4);
  EXPECT_EQ(segment_files().size(), 4u) << "the replaced volume's segment is gone";
}

// A delete renumbers the volumes after it by renaming their files: each keeps
// its segment, since the segment belongs to the file.
TEST_F(IndexedSearch, ARenumberedVolumeKeepsItsSegment) {
  write_catalog(5, 4);
  build_index();
  std::filesystem::remove(volume_path(1));
  for (long v = 2; v <= 4; ++v) std::filesystem::rename(volume_path(v), volume_path(v - 1));
  const RunReport renumbered = search({"*ZLI*", "/a", "/d"}).report;
  EXPECT_EQ(renumbered.volumes_through_index, 3);
  EXPECT_EQ(renumbered.indexed_volumes, 0);
}

TEST_F(IndexedSearch, ADamagedSegmentIsNotBelievedAndIsBuiltAgain) {
  write_catalog(6, 2);
  build_index();
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cache.path()))
    if (entry.path().extension() == ".idx") files.push_back(entry.path());
  ASSERT_EQ(files.size(), 2u);
  const std::string whole = testing::read_file(files[0]);
  const std::string damaged[] = {
      whole.substr(0, 300) + static_cast<char>(whole[300] ^ 0x40) + whole.substr(301), // near the start
      whole.substr(0, whole.size() - 5) + "xxxxx",                                      // a page of the body
      whole.substr(0, whole.size() / 2),                                                // torn
      std::string(whole.size(), '\0'),
  };
  for (const std::string& bytes : damaged) {
    testing::write_file(files[0], bytes);
    EXPECT_EQ(search({"*ZLI*", "*PDF*", "/a", "/d"}).report.indexed_volumes, 1);
    EXPECT_TRUE(testing::read_file(files[0]) == whole);
  }
}

TEST_F(IndexedSearch, AFirstSearchOfALargeCatalogBuildsItsIndex) {
  write_catalog(7, 3);
  std::uintmax_t bytes = 0;
  for (long v = 0; v <= 3; ++v) bytes += std::filesystem::file_size(volume_path(v));
  IndexPolicy::automatic_catalog_bytes = bytes + 1;
  search({"*ZLI*"});
  EXPECT_TRUE(segment_files().empty()) << "a smaller catalog gets no index unasked";
  IndexPolicy::automatic_catalog_bytes = bytes;
  const RunReport first = search({"*A?B*"}).report; // read whole, indexed on the way
  EXPECT_EQ(first.volumes_through_index, 0);
  EXPECT_EQ(first.indexed_volumes, 3);
  EXPECT_EQ(search({"*ZLI*", "*PDF*"}).report.volumes_through_index, 3);
  EXPECT_EQ(search({"*A?B*"}).report.volumes_through_index, 0) << "no three literal bytes in a row";
  EXPECT_EQ(search({"*ZLI*", "/cd"}).report.volumes_through_index, 0) << "list content reads volumes whole";
}

TEST_F(IndexedSearch, WithoutTheIndexNothingIsWrittenToTheCache) {
  write_catalog(8, 2);
  IndexPolicy::automatic_catalog_bytes = 0;
  const Answer answer = run({"*ZLI*"}, IndexUse::off);
  EXPECT_EQ(answer.code, engine_ok);
  EXPECT_TRUE(testing::list_directory(cache.path()).empty());
}

// A cache that cannot be written costs the speed, never the answer, and is said
// once.
TEST_F(IndexedSearch, ACacheThatCannotBeWrittenIsSaidOnceAndTheSearchGoesOn) {
  write_catalog(9, 3);
  testing::write_file(cache / "shelvo", "a file where the cache's directory should be");
  IndexPolicy::automatic_catalog_bytes = 0;
  const RunReport report = search({"*ZLI*", "/a"}).report;
  EXPECT_NE(report.index_warning.find("cannot write the search index"), std::string::npos);
  EXPECT_EQ(report.indexed_volumes, 0);
  EXPECT_EQ(run({}, IndexUse::build).code, engine_failed);
  EXPECT_NE(run_report.failure.find("Not a directory"), std::string::npos) << run_report.failure;
}

TEST_F(IndexedSearch, AnAddIndexesTheVolumeItWroteWhenTheCatalogKeepsAnIndex) {
  write_catalog(10, 1);
  build_index();
  testing::make_directories(drive / "tree/ZLIB");
  testing::write_file(drive / "tree/ZLIB/ZLIB.H", "x");
  testing::DriveMapping with_tree({{'C', drive.path()}, {'E', drive / "tree"}}, {{'E', "TREE"}});
  const Answer added = run({"E:"}, IndexUse::automatic);
  ASSERT_EQ(added.code, engine_ok);
  EXPECT_EQ(added.report.indexed_volumes, 1);
  EXPECT_EQ(segment_files().size(), 2u);
  search({"ZLIB*", "/d"});
}

} // namespace
} // namespace shelvo
