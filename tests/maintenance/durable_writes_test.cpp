// What a power cut asks of every writer, checked on the order of its file
// operations as the platform records them: a file the writer made is flushed to
// the disk after its last write and before the rename that puts it in place
// (else the new name may come back after the cut on an empty or short file),
// and every directory whose names the writer changed is flushed after the last
// change, before the writer reports success (else a rename may be lost).
#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"

#include "catalog/catalog_store.h"
#include "catalog/interrupted_changes.h"
#include "engine/engine_main.h"
#include "platform/fault_injection.h"
#include "results/run_state.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "support/volume_bytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace shelvo {
namespace {

using Kind = RecordedOperation::Kind;
using testing::volume_bytes;

// The directories whose names an operation changed.
std::vector<FileIdentity> directories_changed(const RecordedOperation& op) {
  switch (op.kind) {
  case Kind::create:
  case Kind::remove:
  case Kind::make_directory: return {op.directory};
  case Kind::rename:
    if (op.from_directory == op.directory) return {op.directory};
    return {op.directory, op.from_directory};
  case Kind::write:
  case Kind::sync:
  case Kind::sync_directory: return {};
  }
  return {};
}

// Checks one writer's record; what does not hold is told with the operation.
// Returns how many renames moved a file the writer wrote.
int expect_durable(const std::vector<RecordedOperation>& record) {
  int installed = 0;
  for (std::size_t i = 0; i < record.size(); ++i) {
    const RecordedOperation& op = record[i];
    if (op.kind != Kind::rename) continue;
    // Back from the rename to the last write of the file moved: a flush must
    // come first. A file the writer did not write (a delete's moves) has none.
    bool written = false, flushed = false;
    for (std::size_t k = i; k-- > 0 && !written && !flushed;) {
      if (!(record[k].file == op.file)) continue;
      written = record[k].kind == Kind::write || record[k].kind == Kind::create;
      flushed = record[k].kind == Kind::sync;
    }
    EXPECT_FALSE(written) << "operation " << i << ": renamed to " << op.name << " before its bytes were flushed";
    installed += written || flushed;
  }
#ifndef _WIN32 // where a directory's names can be flushed at all
  for (std::size_t i = 0; i < record.size(); ++i) {
    for (const FileIdentity& directory : directories_changed(record[i])) {
      bool flushed = false;
      for (std::size_t k = i + 1; k < record.size() && !flushed; ++k)
        flushed = record[k].kind == Kind::sync_directory && record[k].file == directory;
      EXPECT_TRUE(flushed) << "operation " << i << " (" << record[i].name << ") changed directory "
                           << directory.device << ":" << directory.index << ", which was not flushed after it";
    }
  }
#endif
  return installed;
}

class DurableWrites : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string cat = dir / "c/CAT";
  testing::DriveMapping map{{{'C', dir / "c"}, {'D', dir / "d"}}, {{'D', "NEW"}}};
  testing::ScriptedDialogs yes;

  void SetUp() override {
    testing::make_directories(dir / "c");
    testing::make_directories(dir / "d/sub");
    testing::write_file(dir / "d/a.txt", "alpha");
    testing::write_file(dir / "d/sub/b.txt", "beta");
    yes.otherwise = DialogAnswer::yes;
  }
  void TearDown() override { record_operations(false); }

  static void write_catalog(const std::string& host_dir, const std::vector<std::string>& volumes) {
    testing::make_directories(host_dir);
    for (std::size_t n = 0; n < volumes.size(); ++n)
      testing::write_file(host_dir + "/" + volume_file_name(static_cast<long>(n)), volumes[n]);
  }
  // Runs a writer under the record, which must see it change names and, when
  // it writes volume files, rename them (the case is then not empty), and find
  // every rule kept; the writer reports success.
  static void check(const std::function<bool()>& writer, bool installs = true) {
    record_operations(true);
    const bool succeeded = writer();
    const std::vector<RecordedOperation> record = recorded_operations();
    record_operations(false);
    EXPECT_TRUE(succeeded);
    bool changed = false;
    for (const RecordedOperation& op : record) changed = changed || !directories_changed(op).empty();
    EXPECT_TRUE(changed) << "the writer changed nothing";
    const int installed = expect_durable(record);
    if (installs) {
      EXPECT_GT(installed, 0) << "no file written was renamed into place";
    }
  }
  static bool add(const std::string& catalog, const char* option) {
    ArgumentVector vector{"", "/l:" + catalog, "D:", option};
    const bool done = engine_main(4, vector, FrontEnd{}) == engine_ok;
    EXPECT_EQ(run_report.failure, "");
    return done;
  }
};

TEST_F(DurableWrites, AnAddInANewCatalogAnotherAndOneInPlace) {
  SCOPED_TRACE("a new catalog: its directory and file 0 too");
  check([] { return add("C:\\CAT", "/N"); });
  ASSERT_EQ(testing::list_directory(cat), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
  SCOPED_TRACE("appended");
  check([] { return add("C:\\CAT", "/S"); });
  SCOPED_TRACE("in place of the volume of the same label");
  check([] { return add("C:\\CAT", "/Y"); });
  EXPECT_EQ(testing::list_directory(cat).size(), 3u);
}

TEST_F(DurableWrites, ADelete) {
  write_catalog(cat, {"", volume_bytes("A"), volume_bytes("B"), volume_bytes("C")});
  check([] {
    std::string failure;
    return delete_volume("C:\\CAT", 1, std::nullopt, nullptr, failure) == 1;
  }, false);
  EXPECT_EQ(testing::read_file(cat + "/00000001.KTL"), volume_bytes("B"));
}

TEST_F(DurableWrites, AnImportThatDeletesReplacesAndAppends) {
  write_catalog(cat, {"", volume_bytes("SAME", "old"), volume_bytes("KEEP")});
  write_catalog(dir / "c/OTHER", {volume_bytes("SAME", "new"), volume_bytes("MORE")});
  check([&] { return import_catalog("C:\\CAT", "C:\\OTHER", yes, nullptr) == 1; });
  EXPECT_EQ(testing::read_file(cat + "/00000000.KTL"), volume_bytes("SAME", "new"));
  EXPECT_EQ(testing::read_file(cat + "/00000002.KTL"), volume_bytes("MORE"));
}

TEST_F(DurableWrites, AnExportIntoANewDirectoryAndOverVolumeFiles) {
  write_catalog(cat, {"", volume_bytes("A"), volume_bytes("B")});
  const std::vector<ListedVolume> listed = {{1, "A              v2.2"}, {2, "B              v2.2"}};
  SCOPED_TRACE("a new directory");
  check([&] { return export_volumes("C:\\CAT", "C:\\TARGET", listed, yes) == 1; });
  SCOPED_TRACE("over its volume files");
  check([&] { return export_volumes("C:\\CAT", "C:\\TARGET", listed, yes) == 1; });
  EXPECT_EQ(testing::read_file(dir / "c/TARGET/00000001.KTL"), volume_bytes("B"));
}

TEST_F(DurableWrites, WhatAStoppedWriterLeftIsFinishedByAReaderOrAWriter) {
  // Volume 2 of 0..5 was being deleted: set aside, 3 moved down, then a kill;
  // an add was killed too, before its rename.
  const auto interrupted = [&] {
    for (const std::string& name : testing::list_directory(cat)) std::remove((cat + "/" + name).c_str());
    write_catalog(cat, {"", volume_bytes("V1"), volume_bytes("V3")});
    testing::write_file(cat + "/00000004.KTL", volume_bytes("V4"));
    testing::write_file(cat + "/00000005.KTL", volume_bytes("V5"));
    testing::write_file(cat + "/" + deletion_file_name(2), volume_bytes("V2"));
    testing::write_file(cat + "/" + std::string(catalog_temporary_prefix) + "1-0", volume_bytes("HALF"));
  };
  const std::vector<std::string> whole = {"00000000.KTL", "00000001.KTL", "00000002.KTL", "00000003.KTL",
                                          "00000004.KTL"};
  SCOPED_TRACE("a listing");
  interrupted();
  check([] {
    ArgumentVector vector{"", "/l:C:\\CAT", "/W"};
    return engine_main(3, vector, FrontEnd{}) == engine_ok && !run_report.repaired.empty();
  }, false);
  EXPECT_EQ(testing::list_directory(cat), whole);
  SCOPED_TRACE("a delete");
  interrupted();
  check([] {
    std::string failure, repaired;
    return delete_volume("C:\\CAT", 4, std::nullopt, nullptr, failure, &repaired) == 1 && !repaired.empty();
  }, false);
  EXPECT_EQ(testing::list_directory(cat).size(), whole.size() - 1);
}

} // namespace
} // namespace shelvo
