// Delete, import and export on real catalogs, through fake dialogs, with the
// platform's faults injected where a writer must survive them.
#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"
#include "maintenance/volume_copy.h"

#include "catalog/catalog_store.h"
#include "platform/fault_injection.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "support/volume_bytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>

namespace shelvo {
namespace {

using testing::read_file;
using testing::write_file;

using testing::volume_bytes;

class Maintenance : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string cat = dir / "c/CAT";
  std::string other = dir / "c/OTHER";
  testing::DriveMapping map{{{'C', dir / "c"}, {'D', dir / "c"}}};
  testing::ScriptedDialogs dialogs;
  int refreshes = 0;
  std::function<void()> refresh = [this] { ++refreshes; };

  void SetUp() override {
    testing::make_directories(cat);
    testing::make_directories(other);
    clear_faults();
  }
  void TearDown() override { clear_faults(); }
  // Writes volume files 0, 1, ... of a catalog.
  void fill(const std::string& host_dir, const std::vector<std::string>& files) {
    for (std::size_t n = 0; n < files.size(); ++n) write_file(host_dir + "/" + volume_file_name(static_cast<long>(n)), files[n]);
  }
  std::vector<std::string> files(const std::string& host_dir) { return testing::list_directory(host_dir); }
  std::string at(const std::string& host_dir, long n) { return read_file(host_dir + "/" + volume_file_name(n)); }
  // Volumes of C:\CAT as a listing shows them (a missing one with no text).
  static std::vector<ListedVolume> listed(std::initializer_list<long> numbers) {
    std::vector<ListedVolume> volumes;
    for (const long n : numbers)
      volumes.push_back({n, listed_text_of(volume_file_path("C:\\CAT", n)).value_or("")});
    return volumes;
  }
};

TEST_F(Maintenance, DeleteMovesTheFollowingVolumesDownAndChecksTheLabelFirst) {
  fill(cat, {"", volume_bytes("A"), volume_bytes("B"), volume_bytes("C"), volume_bytes("D")});
  std::string failure;
  EXPECT_EQ(delete_volume("C:\\CAT\\", 2, "B              v2.2", refresh, failure), 1) << failure;
  EXPECT_EQ(files(cat).size(), 4u);
  EXPECT_EQ(at(cat, 2), volume_bytes("C"));
  EXPECT_EQ(at(cat, 3), volume_bytes("D"));
  EXPECT_EQ(refreshes, 1);
  // The listing the user saw is out of date: file 2 now holds C, not B.
  EXPECT_EQ(delete_volume("C:\\CAT\\", 2, "B              v2.2", refresh, failure), -1);
  EXPECT_NE(failure.find("has changed"), std::string::npos) << failure;
  EXPECT_EQ(at(cat, 2), volume_bytes("C"));
  EXPECT_EQ(delete_volume("C:\\CAT\\", 9, std::nullopt, refresh, failure), -1); // no such file
  EXPECT_EQ(delete_volume("C:\\CAT\\", 3, std::nullopt, refresh, failure), 1);  // the last: nothing moves
  EXPECT_EQ(delete_volume("C:\\CAT\\", 0, "v2~0", refresh, failure), 1);        // the empty file 0 goes too
  EXPECT_EQ(at(cat, 0), volume_bytes("A"));
  EXPECT_EQ(files(cat), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
}

TEST_F(Maintenance, AMoveThatFailsHalfWayPutsTheCatalogBack) {
  const std::vector<std::string> before = {"", volume_bytes("A"), volume_bytes("B"), volume_bytes("C"),
                                           volume_bytes("D")};
  fill(cat, before);
  for (int nth = 1; nth <= 4; ++nth) { // aside, then the moves of 2, 3, 4
    SCOPED_TRACE(nth);
    inject_fault(FileOperation::rename, nth, EIO);
    std::string failure;
    EXPECT_EQ(delete_volume("C:\\CAT\\", 1, std::nullopt, refresh, failure), -1);
    EXPECT_NE(failure.find("Input/output error"), std::string::npos) << failure;
    clear_faults();
    ASSERT_EQ(files(cat).size(), before.size());
    for (std::size_t n = 0; n < before.size(); ++n) EXPECT_EQ(at(cat, static_cast<long>(n)), before[n]);
  }
  EXPECT_EQ(refreshes, 0);
}

TEST_F(Maintenance, AQuestionSpellsAHostPathAsTheHostDoes) {
  fill(cat, {"", volume_bytes("A")});
  fill(other, {volume_bytes("B")});
  EXPECT_EQ(import_catalog(cat + "/", other, dialogs, refresh), 1);
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_NE(dialogs.shown[0].find("'" + cat + "/00000000.KTL'"), std::string::npos) << dialogs.shown[0];
}

TEST_F(Maintenance, ImportAsksAboutEmptyFilesAndEqualLabelsThenAppends) {
  fill(cat, {"", volume_bytes("SAME", "old1"), volume_bytes("SAME", "old2")});
  fill(other, {"", volume_bytes("SAME", "new"), volume_bytes("Same", "case")});
  // Volume SAME: the empty file 0 (No), the first SAME (No), the second (No):
  // appended. Volume Same: the empty file 0 again (No), no label equal: appended.
  EXPECT_EQ(import_catalog("C:\\CAT\\", "C:\\OTHER\\", dialogs, refresh), 1);
  ASSERT_EQ(dialogs.shown.size(), 5u);
  EXPECT_EQ(dialogs.shown[0], "Confirmation: While browsing your current database,\nit appears than the file "
                              "'C:\\CAT\\00000000.KTL' has a null size.\n\nDo you want to destroy it?");
  EXPECT_EQ(dialogs.shown[1], "Confirmation: Do you want to replace\n\ndata link to [SAME           ] v2.2\n"
                              "(located in C:\\CAT\\00000001.KTL)\n\nby\n\ndata link to [SAME           ] v2.2\n"
                              "(located in C:\\OTHER\\00000001.KTL) ?");
  EXPECT_NE(dialogs.shown[2].find("C:\\CAT\\00000002.KTL"), std::string::npos);
  EXPECT_EQ(dialogs.shown[3], dialogs.shown[0]);
  EXPECT_EQ(dialogs.shown[4], "GOOD Job: 2 file(s) added to the current database with success.");
  EXPECT_EQ(at(cat, 3), volume_bytes("SAME", "new"));
  EXPECT_EQ(at(cat, 4), volume_bytes("Same", "case"));
  EXPECT_EQ(refreshes, 1);

  // Yes to the empty file (it goes, the volumes move down), Yes to replace.
  dialogs.shown.clear();
  dialogs.answers = {DialogAnswer::yes, DialogAnswer::yes};
  fill(other, {volume_bytes("SAME", "newest")});
  EXPECT_EQ(import_catalog("C:\\CAT\\", "C:\\OTHER\\", dialogs, refresh), 1);
  EXPECT_EQ(at(cat, 0), volume_bytes("SAME", "newest"));
  EXPECT_EQ(at(cat, 1), volume_bytes("SAME", "old2"));

  // A volume appended by this import is offered for replacement by a later one.
  dialogs.shown.clear();
  const std::size_t before = files(cat).size();
  for (const std::string& name : files(other)) std::remove((other + "/" + name).c_str());
  fill(other, {volume_bytes("LATE", "first"), volume_bytes("LATE", "second")});
  dialogs.answers = {DialogAnswer::yes};
  EXPECT_EQ(import_catalog("C:\\CAT\\", "C:\\OTHER\\", dialogs, refresh), 1);
  ASSERT_EQ(files(cat).size(), before + 1);
  EXPECT_EQ(at(cat, static_cast<long>(before)), volume_bytes("LATE", "second"));
}

TEST_F(Maintenance, ALabelFromAnotherCatalogNeverCarriesControlsIntoAQuestion) {
  const std::string hostile = "\x1B]0;PWND\x07\x1B[2J\x8F\xE9";
  fill(cat, {volume_bytes(hostile, "mine")});
  fill(other, {volume_bytes(hostile, "theirs")});
  import_catalog("C:\\CAT\\", "C:\\OTHER\\", dialogs, refresh);
  ASSERT_FALSE(dialogs.shown.empty());
  for (const std::string& box : dialogs.shown) {
    EXPECT_EQ(box.find_first_of(std::string("\x1B\x07\x8F", 3)), std::string::npos) << box;
  }
  EXPECT_NE(dialogs.shown[0].find("[?]0;PWND??[2J?\xC3\xA9]"), std::string::npos) << dialogs.shown[0]; // é in UTF-8
}

TEST_F(Maintenance, AGapInTheOtherCatalogEndsTheImport) {
  fill(cat, {volume_bytes("A")});
  write_file(other + "/00000000.KTL", volume_bytes("B"));
  write_file(other + "/00000002.KTL", volume_bytes("C")); // behind the gap: no reader sees it
  EXPECT_EQ(import_catalog("C:\\CAT\\", "C:\\OTHER\\", dialogs, refresh), 1);
  EXPECT_EQ(files(cat), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
  EXPECT_EQ(dialogs.shown.back(), "GOOD Job: 1 file(s) added to the current database with success.");
}

TEST_F(Maintenance, ADeleteThatFailsDuringImportIsToldOnceNotAskedForEver) {
  fill(cat, {"", volume_bytes("A")});
  fill(other, {"", volume_bytes("B")});
  dialogs.answers = {DialogAnswer::yes, DialogAnswer::yes, DialogAnswer::yes};
  inject_fault(FileOperation::rename, 1, EACCES);
  EXPECT_EQ(import_catalog("C:\\CAT\\", "C:\\OTHER\\", dialogs, refresh), 1);
  ASSERT_EQ(dialogs.shown.size(), 3u); // the question, the failure, the end
  EXPECT_NE(dialogs.shown[1].find("Permission denied"), std::string::npos) << dialogs.shown[1];
  EXPECT_EQ(at(cat, 2), volume_bytes("B"));
}

TEST_F(Maintenance, ACatalogThatTakesNoNewFileStopsTheImportAtOnce) {
  fill(cat, {volume_bytes("A")});
  fill(other, {volume_bytes("B"), volume_bytes("C"), volume_bytes("D")});
  // The fourth open is the first temporary file: the header of B, the header
  // of A, the source B, then the copy's temporary file.
  inject_fault(FileOperation::open, 4, EROFS);
  EXPECT_EQ(import_catalog("C:\\CAT\\", "C:\\OTHER\\", dialogs, refresh), -1);
  ASSERT_EQ(dialogs.captioned("Failure").size(), 1u); // not one box per volume
  EXPECT_NE(dialogs.shown[0].find("cannot write in the catalog C:\\CAT: Read-only file system"), std::string::npos)
      << dialogs.shown[0];
  EXPECT_EQ(dialogs.shown.back(), "BAD Job: 0 file(s) added to the current database with success.");
  EXPECT_EQ(files(cat), std::vector<std::string>{"00000000.KTL"});
}

TEST_F(Maintenance, OneCatalogUnderTwoSpellingsIsRefusedForImportAndExport) {
  fill(cat, {"", volume_bytes("A")});
  for (const char* spelling : {"C:\\CAT\\", "c:\\cat", "D:\\CAT\\"}) {
    EXPECT_EQ(import_catalog("C:\\CAT\\", spelling, dialogs, refresh), 0) << spelling;
    EXPECT_EQ(export_volumes("C:\\CAT\\", spelling, listed({1}), dialogs), 0) << spelling;
  }
  EXPECT_EQ(import_catalog("C:\\CAT\\", cat + "/", dialogs, refresh), 0); // the host path
  EXPECT_EQ(files(cat).size(), 2u);
  EXPECT_EQ(at(cat, 1), volume_bytes("A"));
  EXPECT_NE(dialogs.shown.back().find("current catalog itself"), std::string::npos);
}

TEST_F(Maintenance, ExportNumbersFromZeroInTheGivenOrderWithoutGaps) {
  fill(cat, {"", volume_bytes("A"), volume_bytes("B"), volume_bytes("C")});
  // Volume 9 vanished since the listing: told with the number 2, and no gap;
  // the export then counts as failed.
  EXPECT_EQ(export_volumes("C:\\CAT\\", "C:\\OTHER\\", listed({3, 9, 1}), dialogs), -1);
  EXPECT_EQ(files(other), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
  EXPECT_EQ(at(other, 0), volume_bytes("C"));
  EXPECT_EQ(at(other, 1), volume_bytes("A"));
  ASSERT_EQ(dialogs.shown.size(), 2u);
  // The export names the source first, then the target, then the source again.
  EXPECT_EQ(dialogs.shown[0].rfind("Failure: An Error of type 0xf1310f2x occurs:\n\nFile 'C:\\CAT\\00000009.KTL' is "
                                   "read-only\nor\nFile 'C:\\OTHER\\00000001.KTL' was instantly destroy\nor\nThere's "
                                   "a lack of free space for 'C:\\CAT\\00000009.KTL'.\n\nPlease retry later...",
                                   0),
            0u);
  EXPECT_EQ(dialogs.shown[1], "GOOD Job: 2 file(s) were exported from 'C:\\CAT\\' to 'C:\\OTHER\\'.");
  EXPECT_EQ(copy_failure_message(-3, "T", "S"),
            "An Error of type 0xf1310f3x occurs:\n\nFile 'T' is read-only\nor\nFile 'S' was instantly destroy\nor\n"
            "There's a lack of free space for 'T'.\n\nPlease retry later...");
}

TEST_F(Maintenance, AFailedCopyLeavesTheTargetWholeAndNoTemporaryFile) {
  fill(cat, {"", volume_bytes("NEW", std::string(200000, 'n'))});
  fill(other, {volume_bytes("OLD", "precious")});
  CatalogWriter target("C:\\OTHER");
  std::string failure;
  ASSERT_TRUE(target.lock(failure));
  CatalogReadLock source;
  ASSERT_EQ(source.acquire("C:\\CAT", CatalogWriter::lock_wait, nullptr, nullptr, failure), CatalogReadLock::Outcome::held);
  const struct {
    FileOperation operation;
    int nth;
    int expected;
  } faults[] = {{FileOperation::open, 2, copy_target_not_created}, // the temporary file
                {FileOperation::read, 2, copy_source_unreadable},   // a read error is no end of file
                {FileOperation::write, 1, copy_write_failed},       // a full target
                {FileOperation::close, 1, copy_write_failed},
                {FileOperation::rename, 1, copy_write_failed},
                {FileOperation::open, 1, copy_source_unreadable}};  // a vanished source
  for (const auto& f : faults) {
    SCOPED_TRACE(static_cast<int>(f.operation) * 10 + f.nth);
    inject_fault(f.operation, f.nth, ENOSPC);
    EXPECT_EQ(copy_volume_file(target, 0, source.volumes(), 1, true, failure), f.expected);
    clear_faults();
    EXPECT_EQ(files(other), std::vector<std::string>{"00000000.KTL"});
    EXPECT_TRUE(at(other, 0) == volume_bytes("OLD", "precious"));
  }
  EXPECT_EQ(copy_volume_file(target, 0, source.volumes(), 1, true, failure), copy_done);
  EXPECT_TRUE(at(other, 0) == at(cat, 1));
}

TEST(VersionText, OfTheImportQuestion) {
  EXPECT_EQ(version_text(5), "2.2");
  EXPECT_EQ(version_text(4), "2~2");
  EXPECT_EQ(version_text(7), "2.4");
  EXPECT_EQ(version_text(0), "1~8");
}

} // namespace
} // namespace shelvo
