// Writers that die. Each writer runs in a child process that is killed
// (SIGKILL) just before its nth file operation, for every n it makes (its
// flushes to the disk included: between a file's flush and its rename, and
// between the rename and the directory's flush); then the
// next program that opens the catalog, a listing here, must find it whole: the
// volumes of the state before or the state after (or, for imports and exports,
// of a state between two whole volumes), numbered without a gap, and nothing
// else in the directory. A Ctrl-C or a kill that can be held back (SIGTERM) at
// any point must leave a whole catalog even before anyone repairs it.
#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"

#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "engine/engine_main.h"
#include "platform/fault_injection.h"
#include "results/run_state.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "support/volume_bytes.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <set>

namespace shelvo {
namespace {

using testing::volume_bytes;

using Contents = std::vector<std::string>; // volume file n holds Contents[n]

class InterruptedWriters : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string cat = dir / "c/CAT";
  testing::DriveMapping map{{{'C', dir / "c"}, {'D', dir / "d"}}, {{'D', "NEW"}}};

  void SetUp() override {
    testing::make_directories(dir / "d/sub");
    for (int i = 0; i < 6; ++i) testing::write_file(dir / ("d/sub/f" + std::to_string(i) + ".txt"), "file");
    clear_faults();
  }
  void TearDown() override { clear_faults(); }

  static void write_catalog(const std::string& host_dir, const Contents& volumes) {
    testing::make_directories(host_dir);
    for (const std::string& name : testing::list_directory(host_dir)) std::remove((host_dir + "/" + name).c_str());
    for (std::size_t n = 0; n < volumes.size(); ++n)
      testing::write_file(host_dir + "/" + volume_file_name(static_cast<long>(n)), volumes[n]);
  }
  // The catalog's files in order; fails the test on a gap or on any other name.
  static Contents read_catalog(const std::string& host_dir) {
    Contents volumes;
    for (const std::string& name : testing::list_directory(host_dir)) {
      EXPECT_EQ(name, volume_file_name(static_cast<long>(volumes.size()))) << "in " << host_dir;
      volumes.push_back(testing::read_file(host_dir + "/" + name));
    }
    return volumes;
  }

  // The file operations writer makes, counted in a child; flushes: how many of
  // them flush a file or a directory to the disk.
  static int points_of(const std::function<void()>& writer, int* flushes = nullptr) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return 0;
    const pid_t child = ::fork();
    if (child == 0) {
      clear_faults();
      writer();
      const int seen[2] = {all_operations_seen(),
                           operations_seen(FileOperation::sync) + operations_seen(FileOperation::sync_directory)};
      (void)!::write(pipe_ends[1], seen, sizeof seen);
      ::_exit(0);
    }
    ::close(pipe_ends[1]);
    int seen[2] = {0, 0};
    (void)!::read(pipe_ends[0], seen, sizeof seen);
    ::close(pipe_ends[0]);
    ::waitpid(child, nullptr, 0);
    if (flushes) *flushes = seen[1];
    return seen[0];
  }
  // Runs writer in a child that gets signal_number before its nth file operation.
  static void signalled_at(const std::function<void()>& writer, int nth, int signal_number) {
    const pid_t child = ::fork();
    if (child == 0) {
      std::signal(signal_number, SIG_DFL);
      clear_faults();
      inject_kill(nth, signal_number);
      writer();
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "point " << nth;
    EXPECT_EQ(WTERMSIG(status), signal_number);
  }
  // The next program: a listing, which finishes what the dead writer left.
  static void next_program(const std::string& catalog = "C:\\CAT") {
    ArgumentVector vector{"", "/l:" + catalog, "/W"};
    EXPECT_EQ(engine_main(3, vector, FrontEnd{}), engine_ok) << run_report.failure;
  }

  // Kills writer at each of its points; check judges the catalog after the next program.
  void at_every_point(const std::function<void()>& setup, const std::function<void()>& writer,
                      const std::function<void(int)>& check, const std::string& written = "C:\\CAT") {
    setup();
    int flushes = 0;
    const int points = points_of(writer, &flushes);
    ASSERT_GT(points, 3);
    EXPECT_GT(flushes, 0); // the writer flushes, and is killed around each flush
    for (int nth = 1; nth <= points; ++nth) {
      SCOPED_TRACE("killed before file operation " + std::to_string(nth) + " of " + std::to_string(points));
      setup();
      signalled_at(writer, nth, SIGKILL);
      next_program(written);
      check(nth);
    }
  }
};

TEST_F(InterruptedWriters, ADeleteIsFinishedByTheNextProgramAndSaidOnce) {
  Contents before{""};
  for (int n = 1; n <= 30; ++n) before.push_back(volume_bytes("V" + std::to_string(n)));
  Contents after = before;
  after.erase(after.begin() + 3);
  int finished = 0;
  at_every_point([&] { write_catalog(cat, before); },
                 [] {
                   std::string failure;
                   delete_volume("C:\\CAT", 3, std::nullopt, nullptr, failure);
                 },
                 [&](int) {
                   const Contents now = read_catalog(cat);
                   EXPECT_TRUE(now == before || now == after) << now.size() << " volume files";
                   if (!run_report.repaired.empty()) {
                     ++finished;
                     EXPECT_NE(run_report.repaired.find("finished deleting volume 3"), std::string::npos);
                     next_program(); // said once
                     EXPECT_EQ(run_report.repaired, "");
                   }
                 });
  EXPECT_GT(finished, 20); // nearly every point is between the first and last move
}

TEST_F(InterruptedWriters, AWriterFinishesADeleteBeforeItsOwnChange) {
  Contents before{""};
  for (int n = 1; n <= 5; ++n) before.push_back(volume_bytes("V" + std::to_string(n)));
  write_catalog(cat, before);
  const int points = points_of([] {
    std::string failure;
    delete_volume("C:\\CAT", 1, std::nullopt, nullptr, failure);
  });
  write_catalog(cat, before);
  signalled_at([] {
    std::string failure;
    delete_volume("C:\\CAT", 1, std::nullopt, nullptr, failure);
  }, points - 2, SIGKILL); // before the last move (then the set-aside file goes, and the directory is flushed)
  // Another delete: it finishes the first, then deletes what is volume 1 now.
  std::string failure;
  std::string repaired;
  ASSERT_EQ(delete_volume("C:\\CAT", 1, std::nullopt, nullptr, failure, &repaired), 1) << failure;
  EXPECT_NE(repaired.find("finished deleting volume 1"), std::string::npos) << repaired;
  EXPECT_EQ(read_catalog(cat), (Contents{"", volume_bytes("V3"), volume_bytes("V4"), volume_bytes("V5")}));
}

TEST_F(InterruptedWriters, AnAddIsThereWholeOrNotAtAll) {
  const Contents before{"", volume_bytes("OLD", std::string(5000, 'o'))};
  write_catalog(cat, before);
  ArgumentVector vector{"", "/l:C:\\CAT", "D:", "/Y"};
  ASSERT_EQ(engine_main(4, vector, FrontEnd{}), engine_ok);
  const std::string added = testing::read_file(cat + "/00000002.KTL");
  at_every_point([&] { write_catalog(cat, before); },
                 [&] { engine_main(4, vector, FrontEnd{}); },
                 [&](int) {
                   const Contents now = read_catalog(cat);
                   EXPECT_TRUE(now == before || now == (Contents{before[0], before[1], added})) << now.size();
                 });
}

TEST_F(InterruptedWriters, AnImportLeavesWholeVolumesOnly) {
  // Into a catalog that starts with the empty file 0, which the import deletes.
  const Contents current{"", volume_bytes("SAME", "old"), volume_bytes("KEEP", "keep")};
  Contents source;
  for (int n = 0; n < 6; ++n) source.push_back(volume_bytes("NEW" + std::to_string(n), std::string(3000, 'n')));
  source[2] = volume_bytes("SAME", "new");
  write_catalog(dir / "c/OTHER", source);
  std::set<std::string> known(current.begin(), current.end());
  known.insert(source.begin(), source.end());
  at_every_point([&] { write_catalog(cat, current); },
                 [] {
                   testing::ScriptedDialogs yes;
                   yes.otherwise = DialogAnswer::yes;
                   import_catalog("C:\\CAT", "C:\\OTHER", yes, nullptr);
                 },
                 [&](int) {
                   for (const std::string& bytes : read_catalog(cat)) EXPECT_TRUE(known.count(bytes)) << bytes.size();
                   EXPECT_EQ(read_catalog(dir / "c/OTHER"), source);
                 });
}

TEST_F(InterruptedWriters, AnExportLeavesWholeVolumesOnly) {
  Contents current{""};
  for (int n = 1; n <= 8; ++n) current.push_back(volume_bytes("V" + std::to_string(n), std::string(2000, 'v')));
  write_catalog(cat, current);
  const Contents old_target{volume_bytes("OLD0"), volume_bytes("OLD1"), volume_bytes("OLD2")};
  std::set<std::string> known(current.begin(), current.end());
  known.insert(old_target.begin(), old_target.end());
  std::vector<ListedVolume> listed;
  for (long n = 8; n >= 1; --n) listed.push_back({n, "V" + std::to_string(n) + std::string(14 - std::to_string(n).size(), ' ') + "v2.2"});
  at_every_point([&] { write_catalog(dir / "c/TARGET", old_target); },
                 [&] {
                   testing::ScriptedDialogs yes;
                   yes.otherwise = DialogAnswer::yes;
                   export_volumes("C:\\CAT", "C:\\TARGET", listed, yes);
                 },
                 [&](int) {
                   const Contents now = read_catalog(dir / "c/TARGET");
                   EXPECT_GE(now.size(), old_target.size());
                   for (const std::string& bytes : now) EXPECT_TRUE(known.count(bytes)) << bytes.size();
                   EXPECT_EQ(read_catalog(cat), current);
                 },
                 "C:\\TARGET");
}

TEST_F(InterruptedWriters, ACtrlCOrAKillDuringADeleteWaitsForAWholeCatalog) {
  Contents before{""};
  for (int n = 1; n <= 12; ++n) before.push_back(volume_bytes("V" + std::to_string(n)));
  Contents after = before;
  after.erase(after.begin() + 2);
  const auto writer = [] {
    std::string failure;
    delete_volume("C:\\CAT", 2, std::nullopt, nullptr, failure);
  };
  write_catalog(cat, before);
  const int points = points_of(writer);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    for (int nth = 1; nth <= points; ++nth) {
      SCOPED_TRACE("signal " + std::to_string(signal_number) + " before file operation " + std::to_string(nth));
      write_catalog(cat, before);
      signalled_at(writer, nth, signal_number);
      // Whole before anything was put right: the signal waited for the moves.
      const Contents now = read_catalog(cat);
      EXPECT_TRUE(now == before || now == after) << now.size();
    }
  }
}

} // namespace
} // namespace shelvo
