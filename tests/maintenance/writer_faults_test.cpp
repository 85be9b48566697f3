// Every writer of a catalog under every failure of file access it can meet: each
// open, read, write, close, rename, remove and flush to the disk of a small case
// fails in turn. The catalog stays readable: every volume there before is there
// after, byte for byte, unless the operation completed; a failure is told with
// its cause; a failed flush is a failure of the writer, never a success; no
// temporary file is left behind.
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

#include <cerrno>
#include <functional>
#include <map>
#include <vector>

namespace shelvo {
namespace {

using Files = std::map<std::string, std::string>; // name -> bytes

constexpr FileOperation all_operations[] = {FileOperation::open,   FileOperation::read,   FileOperation::write,
                                            FileOperation::close,  FileOperation::rename, FileOperation::remove,
                                            FileOperation::sync,   FileOperation::sync_directory};

using testing::volume_bytes;

class WriterFaults : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string cat = dir / "c/CAT";
  std::string other = dir / "c/OTHER";
  testing::DriveMapping map{{{'C', dir / "c"}, {'D', dir / "d"}}, {{'D', "NEW"}}};
  int points = 0;

  void SetUp() override {
    SKIP_ON_WINDOWS("zip, a Linux program here, makes the volume's archive");
    testing::make_directories(dir / "d/sub");
    testing::write_file(dir / "d/a.txt", "alpha");
    testing::write_file(dir / "d/sub/b.txt", "beta");
    const testing::CommandResult zipped = testing::run_command("cd " + testing::shell_quote(dir / "d") + " && zip -q p.zip a.txt");
    ASSERT_EQ(zipped.status, 0);
  }
  void TearDown() override { clear_faults(); }

  static Files read_all(const std::string& host_dir) {
    Files files;
    for (const std::string& name : testing::list_directory(host_dir)) files[name] = testing::read_file(host_dir + "/" + name);
    return files;
  }
  static void write_all(const std::string& host_dir, const Files& files) {
    testing::make_directories(host_dir);
    for (const std::string& name : testing::list_directory(host_dir)) std::remove((host_dir + "/" + name).c_str());
    for (const auto& [name, bytes] : files) testing::write_file(host_dir + "/" + name, bytes);
  }
  // No temporary file is left, unless removing it is what failed (the next
  // writer removes it, under the lock).
  void no_temporary_file(const Files& files) const {
    if (failing == FileOperation::remove) return;
    for (const auto& [name, bytes] : files) EXPECT_NE(name.rfind(catalog_temporary_prefix, 0), 0u) << name;
  }

  // Runs the writer once to count its operations, then once per failure point.
  // check(ok, failure) judges one faulty run after it.
  FileOperation failing = FileOperation::open;
  void under_every_fault(const std::function<void()>& setup, const std::function<bool(std::string&)>& writer,
                         const std::function<void(bool, const std::string&)>& check) {
    setup();
    clear_faults();
    std::string failure;
    ASSERT_TRUE(writer(failure)) << failure;
    std::map<FileOperation, int> seen;
    for (const FileOperation op : all_operations) seen[op] = operations_seen(op);
    for (const FileOperation op : all_operations) {
      for (int nth = 1; nth <= seen[op]; ++nth) {
        SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + " #" + std::to_string(nth));
        setup();
        clear_faults();
        inject_fault(op, nth, EIO);
        failing = op;
        failure.clear();
        const bool ok = writer(failure);
        clear_faults();
        // What the disk did not confirm is never reported done.
        if (op == FileOperation::sync || op == FileOperation::sync_directory) {
          EXPECT_FALSE(ok);
        }
        check(ok, failure);
        ++points;
      }
    }
  }
};

TEST_F(WriterFaults, AddingAVolume) {
  const Files before = {{"00000000.KTL", ""}, {"00000001.KTL", volume_bytes("OLD", std::string(3000, 'o'))}};
  const auto add = [&](std::string& failure) {
    ArgumentVector vector{"", "/l:C:\\CAT", "D:", "/N"};
    const int code = engine_main(4, vector, FrontEnd{});
    failure = run_report.failure;
    return code == engine_ok;
  };
  // An add that says it succeeded leaves the volume files that an add without
  // a fault leaves, byte for byte: never one that lost a write on the way.
  const auto volume_files = [](Files files) {
    std::erase_if(files, [](const auto& entry) { return !entry.first.ends_with(".KTL"); });
    return files;
  };
  write_all(cat, before);
  std::string clean_failure;
  ASSERT_TRUE(add(clean_failure)) << clean_failure;
  const Files added = volume_files(read_all(cat));
  ASSERT_EQ(added.size(), 3u);
  under_every_fault([&] { write_all(cat, before); }, add,
                    [&](bool ok, const std::string& failure) {
                      const Files after = read_all(cat);
                      no_temporary_file(after);
                      EXPECT_EQ(after.at("00000001.KTL"), before.at("00000001.KTL"));
                      if (ok) {
                        EXPECT_EQ(after.at("00000002.KTL").substr(0, header_length), volume_bytes("NEW", ""));
                        // A fault in opening or reading may leave the drive's archive
                        // unlisted, as an unreadable archive is; no other fault that
                        // the add survives changes a byte.
                        if (failing != FileOperation::open && failing != FileOperation::read) {
                          EXPECT_EQ(volume_files(after), added);
                        }
                      } else {
                        // The directory's flush comes after the rename: the volume is
                        // there, but the add said it may not outlive a power cut.
                        if (failing == FileOperation::sync_directory) {
                          EXPECT_EQ(volume_files(after), added);
                        } else {
                          EXPECT_EQ(after, before);
                        }
                        EXPECT_NE(failure.find("Input/output error"), std::string::npos) << failure;
                      }
                    });
  std::printf("add: %d failure points\n", points);
}

TEST_F(WriterFaults, DeletingAVolume) {
  const Files before = {{"00000000.KTL", ""},
                        {"00000001.KTL", volume_bytes("A", "a")},
                        {"00000002.KTL", volume_bytes("B", "b")},
                        {"00000003.KTL", volume_bytes("C", "c")}};
  const Files deleted = {
      {"00000000.KTL", ""}, {"00000001.KTL", volume_bytes("B", "b")}, {"00000002.KTL", volume_bytes("C", "c")}};
  under_every_fault([&] { write_all(cat, before); },
                    [&](std::string& failure) { return delete_volume("C:\\CAT", 1, std::nullopt, nullptr, failure) == 1; },
                    [&](bool ok, const std::string& failure) {
                      const Files after = read_all(cat);
                      no_temporary_file(after);
                      Files volumes = after;
                      std::erase_if(volumes, [](const auto& entry) { return entry.first.front() == '.'; });
                      EXPECT_EQ(volumes, ok || failing == FileOperation::sync_directory ? deleted : before);
                      if (!ok) {
                        EXPECT_NE(failure.find("Input/output error"), std::string::npos) << failure;
                      }
                    });
  std::printf("delete: %d failure points\n", points);
}

TEST_F(WriterFaults, ImportingAndExporting) {
  const Files current = {{"00000000.KTL", ""}, {"00000001.KTL", volume_bytes("SAME", "old")}};
  const Files sources = {{"00000000.KTL", volume_bytes("SAME", "new")}, {"00000001.KTL", volume_bytes("MORE", "more")}};
  testing::ScriptedDialogs told;
  told.otherwise = DialogAnswer::yes;
  under_every_fault(
      [&] {
        write_all(cat, current);
        write_all(other, sources);
        told.shown.clear();
      },
      [&](std::string&) { return import_catalog("C:\\CAT", "C:\\OTHER", told, nullptr) == 1; },
      [&](bool, const std::string&) {
        Files after = read_all(cat);
        no_temporary_file(after);
        std::erase_if(after, [](const auto& entry) { return entry.first.front() == '.'; });
        EXPECT_EQ(read_all(other), sources); // the source is only read
        // Each file is one of the catalog's own or a source, whole; what did not
        // come over was told as a failure. Done whole, the empty file 0 went (the
        // questions are answered Yes), SAME was replaced and MORE appended.
        const Files done = {{"00000000.KTL", volume_bytes("SAME", "new")},
                            {"00000001.KTL", volume_bytes("MORE", "more")}};
        for (const auto& [name, bytes] : after) {
          const bool known = bytes.empty() || bytes == volume_bytes("SAME", "old") ||
                             bytes == volume_bytes("SAME", "new") || bytes == volume_bytes("MORE", "more");
          EXPECT_TRUE(known) << name;
        }
        if (after != done) {
          EXPECT_FALSE(told.captioned("Failure").empty());
        }
      });
  const int import_points = points;
  std::printf("import: %d failure points\n", import_points);

  points = 0;
  const std::string target = dir / "c/TARGET";
  const Files listed = {
      {"00000000.KTL", ""}, {"00000001.KTL", volume_bytes("A", "a")}, {"00000002.KTL", volume_bytes("B", "b")}};
  under_every_fault(
      [&] {
        write_all(cat, listed);
        write_all(target, {});
        told.shown.clear();
      },
      [&](std::string&) {
        const std::vector<ListedVolume> volumes = {{2, "B              v2.2"}, {1, "A              v2.2"}};
        return export_volumes("C:\\CAT", "C:\\TARGET", volumes, told) == 1;
      },
      [&](bool, const std::string&) {
        const Files after = read_all(target);
        no_temporary_file(after);
        EXPECT_EQ(read_all(cat), listed);
        // Numbered from 0 without a gap, in the order given, minus what failed (told).
        const std::vector<std::string> expected = {volume_bytes("B", "b"), volume_bytes("A", "a")};
        std::size_t next = 0; // the next expected volume a file may hold
        long number = 0;
        for (const auto& [name, bytes] : after) {
          EXPECT_EQ(name, volume_file_name(number++));
          while (next < expected.size() && bytes != expected[next]) ++next; // a skipped one failed
          EXPECT_LT(next, expected.size()) << name;
          ++next;
        }
        if (after.size() < 2) {
          EXPECT_FALSE(told.captioned("Failure").empty());
        }
      });
  std::printf("export: %d failure points\n", points);
}

// A full disk fails every copy after the first too: the import and the export
// stop at the first, with one failure, as when no file can be created.
TEST_F(WriterFaults, AFullDiskStopsAnImportOrAnExportAtTheFirstFailure) {
  const Files sources = {{"00000000.KTL", volume_bytes("ONE", "1")},
                         {"00000001.KTL", volume_bytes("TWO", "2")},
                         {"00000002.KTL", volume_bytes("THREE", "3")}};
  const Files current = {{"00000000.KTL", volume_bytes("OLD", "old")}};
  const std::string target = dir / "c/TARGET";
  testing::ScriptedDialogs told;
  told.otherwise = DialogAnswer::yes;
  const std::vector<ListedVolume> listed = {
      {0, "ONE            v2.2"}, {1, "TWO            v2.2"}, {2, "THREE          v2.2"}};
  const std::vector<std::pair<std::string, std::function<int()>>> writers = {
      {cat, [&] { return import_catalog("C:\\CAT", "C:\\OTHER", told, nullptr); }},
      {target, [&] { return export_volumes("C:\\OTHER", "C:\\TARGET", listed, told); }}};
  for (const auto& [written, writer] : writers) {
    SCOPED_TRACE(written);
    write_all(cat, current);
    write_all(other, sources);
    write_all(target, {});
    const Files before = read_all(written);
    told.shown.clear();
    inject_fault(FileOperation::write, 1, ENOSPC); // the disk is full from the first write on
    EXPECT_EQ(writer(), -1);
    clear_faults();
    const std::vector<std::string> failures = told.captioned("Failure");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("No space left on device"), std::string::npos) << failures[0];
    EXPECT_EQ(read_all(written), before); // and nothing after it was written
  }
}

} // namespace
} // namespace shelvo
