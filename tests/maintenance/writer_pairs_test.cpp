// Two programs changing one catalog at once, for every pair of writers: each
// operation is done whole or refused with its message, and the catalog stays a
// run of readable volume files with no gap and no temporary file.
#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"

#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "engine/engine_main.h"
#include "results/run_state.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "support/volume_bytes.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace shelvo {
namespace {

using testing::volume_bytes;

class WriterPairs : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string cat = dir / "c/CAT";
  testing::DriveMapping map{{{'C', dir / "c"}, {'D', dir / "d"}}, {{'D', "ADDED"}}};

  void SetUp() override {
    for (const char* sub : {"c/CAT", "c/OTHER", "c/TARGET", "d"}) testing::make_directories(dir / sub);
    for (int i = 0; i < 300; ++i) testing::write_file(dir / ("d/f" + std::to_string(i)), "x");
    testing::write_file(dir / "c/OTHER/00000000.KTL", volume_bytes("IMPORTED", std::string(20000, 'i')));
  }
  void reset_catalog() {
    for (const std::string& name : testing::list_directory(cat)) std::remove((cat + "/" + name).c_str());
    testing::write_file(cat + "/00000000.KTL", "");
    for (int n = 1; n <= 3; ++n) {
      testing::write_file(cat + "/" + volume_file_name(n),
                          volume_bytes("V" + std::to_string(n), std::string(20000, 'v')));
    }
  }

  // The operations, each in a child: 0 done, 1 refused with its reason, 2 else.
  static int add() {
    ArgumentVector vector{"", "/l:C:\\CAT", "D:", "/Y"};
    const int code = engine_main(4, vector, FrontEnd{});
    return code == engine_ok ? 0 : run_report.failure.empty() ? 2 : 1;
  }
  static int remove_one() {
    std::string failure;
    if (delete_volume("C:\\CAT", 1, std::nullopt, nullptr, failure) == 1) return 0;
    return failure.empty() ? 2 : 1;
  }
  static int import() {
    testing::ScriptedDialogs quiet;
    return import_catalog("C:\\CAT", "C:\\OTHER", quiet, nullptr) == 1 ? 0 : told_why(quiet) ? 1 : 2;
  }
  static int export_two() {
    testing::ScriptedDialogs quiet;
    quiet.otherwise = DialogAnswer::yes; // a second round replaces the first one's files
    const std::vector<ListedVolume> volumes = {{1, "V1             v2.2"}, {2, "V2             v2.2"}};
    return export_volumes("C:\\CAT", "C:\\TARGET", volumes, quiet) == 1 ? 0 : told_why(quiet) ? 1 : 2;
  }
  // A refusal says why, in a box of its own.
  static bool told_why(const testing::ScriptedDialogs& boxes) {
    return !boxes.captioned("Failure").empty() || !boxes.captioned("Shelvo").empty();
  }
  static pid_t in_child(int (*operation)()) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(operation());
    return child;
  }
  static int outcome(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
  }
  // Every name a volume file, numbered from 0 without a gap, each readable.
  void catalog_is_whole(const std::string& host_dir) {
    const std::vector<std::string> names = testing::list_directory(host_dir);
    for (std::size_t n = 0; n < names.size(); ++n) {
      ASSERT_EQ(names[n], volume_file_name(static_cast<long>(n)));
      const std::string bytes = testing::read_file(host_dir + "/" + names[n]);
      EXPECT_TRUE(bytes.empty() || (bytes.size() > header_length && bytes[label_length] == '\x05')) << names[n];
    }
  }
};

TEST_F(WriterPairs, EveryPairOfWritersAtOnce) {
  const struct {
    const char* name;
    int (*first)();
    int (*second)();
  } pairs[] = {{"add + delete", add, remove_one},     {"delete + delete", remove_one, remove_one},
               {"import + export", import, export_two}, {"add + import", add, import},
               {"export + delete", export_two, remove_one}};
  for (const auto& pair : pairs) {
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE(std::string(pair.name) + ", round " + std::to_string(round));
      reset_catalog();
      const pid_t a = in_child(pair.first);
      const pid_t b = in_child(pair.second);
      EXPECT_LE(outcome(a), 1);
      EXPECT_LE(outcome(b), 1);
      catalog_is_whole(cat);
      catalog_is_whole(dir / "c/TARGET");
    }
  }
}

} // namespace
} // namespace shelvo
