// Every real archive sample of the shared test data, read by scan_archive and
// compared member by member with the listing an independent tool gave for it
// (the lsar section of the .listing.txt beside each sample).
//
// What the readers leave out by design, and so is missing from the records:
// directory entries; files with both sizes 0 (empty files); ZIP members whose
// sizes follow their data when no central directory holds them; RAR archives
// with encrypted headers and RAR5; self-extracting archives (no signature at
// offset 0, so not recognised). Dates that differ from the listing by design are
// marked per member below.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/name_matching.h"
#include "results/run_state.h"
#include "support/test_support.h"
#include "archive_scan_helpers.h"

namespace shelvo::testing {
namespace {

enum class DateCheck {
  as_listed,         // the listing shows the same wall-clock minute
  zip_unix_extra,    // the tools show the Unix time of the ZIP extra field, in UTC
  lzh_unix_extension,// level 1: the tools show the Unix time of an extension header
  lzh_clamped,       // level 2: a 1970 Unix time, clamped to the first DOS date
  listing_nonsense,  // the listing's date is garbage (its tool misreads the header)
};

struct Expected {
  std::string name; // empty: a name in a multi-byte code page, not compared
  std::uint32_t size;
  std::string date; // as recorded, "YYYY-MM-DD HH:MM:SS"
  DateCheck check = DateCheck::as_listed;
  bool name_as_listed = true; // false: the listing shows characters a catalog cannot hold
};

struct Sample {
  std::string path;
  int result;
  std::vector<Expected> members;
  int broken = 0;
};

const DateCheck zip_extra = DateCheck::zip_unix_extra;
// ARJ made on UNIX stores a Unix time: the files' 12:00 UTC, in the UTC of the test.
const std::string arj_unix_date = "2024-06-01 12:00:00";

const std::vector<Sample>& samples() {
  static const std::vector<Sample> all = {
      // ARJ made on Linux: Unix times and Unix access modes (never "broken").
      {"arj/arj_comment_m1.arj", 1, {{"README.TXT", 70, arj_unix_date}, {"NOTES.TXT", 3000, arj_unix_date}}},
      {"arj/arj_dos_tree.arj", 1,
       {{"ZETA.DOC", 5, "2010-01-01 00:00:02"}, {"DATA.BIN", 3000, "2001-05-17 10:30:00"}, {"ALPHA.TXT", 6, "1998-03-05 14:07:00"}}},
      {"arj/arj_multivol.arj", 1, {{"BIG.BIN", 9269, arj_unix_date}}},
      {"arj/arj_multivol.a01", 1, {{"BIG.BIN", 9269, arj_unix_date}}},
      {"arj/arj_multivol.a02", 1, {{"BIG.BIN", 7462, arj_unix_date}, {"NOTES.TXT", 3000, arj_unix_date}}},
      // Three directory entries left out.
      {"arj/arj_tree_stored.arj", 1,
       {{"DATA.BIN", 1500, arj_unix_date}, {"DEEP.TXT", 800, arj_unix_date},
        {"GUIDE.TXT", 2000, arj_unix_date}, {"TOP.TXT", 500, arj_unix_date}}},

      // RAR: the comment archives put the first file header elsewhere than 20.
      {"rar/rar15-comment.rar", 1, {{"FILE1.TXT", 7, "2010-11-03 19:49:32"}, {"FILE2.TXT", 8, "2010-11-03 19:49:38"}}},
      {"rar/rar202-comment-nopsw.rar", 1, {{"FILE1.TXT", 7, "2010-11-03 00:27:28"}, {"FILE2.TXT", 7, "2010-11-03 00:27:34"}}},
      {"rar/rar2-unix-owner.rar", 1, {{"FILE.TXT", 4, "2026-07-15 22:00:22"}}},
      // Empty but solid: the packed size is not 0, so they are recorded.
      {"rar/rar3-comment-plain.rar", 1, {{"FILE1.TXT", 0, "2010-11-02 10:03:24"}, {"FILE2.TXT", 0, "2010-11-02 10:03:24"}}},
      // Two directories left out; the symbolic link is a member like any other.
      {"rar/test_read_format_rar.rar", 1,
       {{"TEST.TXT", 20, "2011-06-26 14:53:46"}, {"TESTLINK", 8, "2011-06-24 09:38:34"}, {"TEST.TXT", 20, "2011-06-26 14:59:06"}}},
      {"rar/test_read_format_rar_windows.rar", 1,
       {{"TEST.TXT", 16, "2011-08-18 12:11:24"}, {"TEST.TXT", 16, "2011-08-18 12:11:24"}, {"TESTSHORTCUT.LNK", 441, "2011-08-18 12:14:14"}}},
      // An empty file and two directories left out. The first name is cp932,
      // kept as stored; the UTF-8 ones are converted to Windows-1252, which has
      // no Japanese characters ('?'), while the listing shows them decoded.
      {"rar/test_read_format_rar_unicode.rar", 1,
       {{"", 5, "2011-03-20 10:37:44"}, {"\x8F\x8F\x8F\x8F", 54, "2011-08-11 10:34:48", DateCheck::as_listed, false},
        {"ABCDEFGHIJKLMNOPQRS\x8F\x8F\x8F.TXT", 16, "2012-03-07 16:38:58", DateCheck::as_listed, false}}},
      {"rar/test_read_format_rar4_solid_encrypted.rar", 1,
       {{"A.TXT", 18, "2024-03-22 10:59:08"}, {"B.TXT", 18, "2024-03-22 10:59:14"},
        {"C.TXT", 18, "2024-03-22 10:59:28"}, {"D.TXT", 18, "2024-03-22 12:34:26"}}},
      {"rar/test_read_format_rar_encryption_header.rar", 1, {}},
      {"rar/test_read_format_rar5_stored.rar", 1, {}},
      {"rar/test_read_format_rar_noeof.rar", 1, {{"TEST.TXT", 20, "2011-06-26 14:53:46"}}},
      {"rar/test_read_format_rar_sfx.exe", -1, {}},
      {"rar/test_rar_multivolume_single_file.part1.rar", 1, {{"LIBARCHIVEADDINGTEST.HTML", 20111, "2012-01-01 12:31:38"}}},
      {"rar/test_rar_multivolume_single_file.part2.rar", 1, {{"LIBARCHIVEADDINGTEST.HTML", 20111, "2012-01-01 12:31:38"}}},
      {"rar/test_rar_multivolume_single_file.part3.rar", 1, {{"LIBARCHIVEADDINGTEST.HTML", 20111, "2012-01-01 12:31:38"}}},

      // LZH, with the local time zone set to UTC for the Unix times of level 2.
      {"lzh/lhasa_larc333_lz5.lzs", 1, {{"GPL-2", 18092, "2010-05-06 23:17:54"}}},
      {"lzh/lhasa_larc333_subdir.lzs", 1, {{"HELLO.TXT", 12, "2010-05-06 23:17:54"}}},
      {"lzh/lhasa_lh2_222_eas.lzh", 1,
       {{"HELLO.TXT", 420, "2025-06-28 12:12:42"}, {"HELLO.TXT", 14, "2025-06-28 12:06:42"}, {"APPLY-EA.CMD", 505, "2025-06-28 12:12:42"}}},
      {"lzh/lhasa_lha213_sfx.exe", -1, {}},
      {"lzh/lhasa_morphos_lha_2717_h0_metadata.lzh", 1, {{"METADATA.TXT", 29, "2025-07-03 00:33:32"}}},
      // The data runs past the end: the member is kept, the list ends there.
      {"lzh/lhasa_regression_truncated.lzh", 1, {{"GPL-2", 18092, "2010-01-01 00:00:00"}}},
      // Level 2 with cp932 names ('_' where cp932 has no character) and UTF-16
      // names in other headers; the listing shows the UTF-16 ones.
      {"lzh/test_read_format_lha_filename_utf16.lzh", 1,
       {{"", 12, "2019-08-18 06:52:32", DateCheck::listing_nonsense}, {"", 25, "2019-11-07 14:13:10", DateCheck::listing_nonsense},
        {"", 12, "2019-08-18 06:52:32", DateCheck::listing_nonsense}, {"", 12, "2019-08-18 06:52:32", DateCheck::listing_nonsense}}},
      // Four directory entries (two are symbolic links) left out in each.
      {"lzh/test_read_format_lha_header0.lzh", 1, {{"FILE1", 60, "2098-01-02 09:00:00"}, {"FILE2", 78, "2098-01-02 09:00:00"}}},
      {"lzh/test_read_format_lha_header1.lzh", 1,
       {{"FILE1", 60, "2098-01-02 09:00:00", DateCheck::lzh_unix_extension},
        {"FILE2", 78, "2098-01-02 09:00:00", DateCheck::lzh_unix_extension}}},
      {"lzh/test_read_format_lha_header2.lzh", 1,
       {{"FILE1", 60, "1980-01-01 00:00:00", DateCheck::lzh_clamped}, {"FILE2", 78, "1980-01-01 00:00:00", DateCheck::lzh_clamped}}},
      // Level 3: both files reported as broken, the directories left out.
      {"lzh/test_read_format_lha_header3.lzh", 1, {}, 2},
      {"lzh/test_read_format_lha_oversize_header.lzh", 1,
       {{"FILE1", 60, "2098-01-02 09:00:00"}, {"FILE2", 78, "2098-01-02 09:00:00"},
        {"FILE1", 60, "2098-01-02 09:00:00", DateCheck::lzh_unix_extension},
        {"FILE2", 78, "2098-01-02 09:00:00", DateCheck::lzh_unix_extension},
        {"FILE1", 60, "1980-01-01 00:00:00", DateCheck::lzh_clamped}, {"FILE2", 78, "1980-01-01 00:00:00", DateCheck::lzh_clamped}}},

      // ZIP. The DOS date-time of the local header is the maker's wall clock.
      {"zip/test_compat_zip_2.zip", 1, {{"FILE2", 6, "2010-11-06 18:44:02"}}},
      {"zip/test_compat_zip_6.zip", 1, {{"NEW TEXT DOCUMENT.TXT", 11, "2012-01-23 02:27:56"}}},
      {"zip/test_read_format_zip.zip", 1,
       {{"FILE1", 18, "2007-05-19 12:51:30", zip_extra}, {"FILE2", 18, "2007-05-19 13:18:52", zip_extra}}},
      {"zip/test_read_format_zip_comment_stored_1.zip", 1, {{"BUILD.SH", 23, "2012-11-06 15:29:56", zip_extra}}},
      // One garbage header (method 0x3030): broken.
      {"zip/test_read_format_zip_malformed1.zip", 1, {}, 1},
      {"zip/test_read_format_zip_sfx", -1, {}},
      {"zip/test_read_format_zip_traditional_encryption_data.zip", 1,
       {{"BAR.TXT", 495, "2014-08-16 06:38:20", zip_extra}, {"FOO.TXT", 495, "2014-08-16 06:38:48", zip_extra}}},
      // Two empty files with Zip64 sizes of 0.
      {"zip/test_read_format_zip_with_invalid_traditional_eocd.zip", 1, {}},
      // One streamed member: Zip64 sizes 0 in the local header, the real ones in
      // the central directory.
      {"zip/test_read_format_zip_zip64a.zip", 1, {{"-", 6, "2013-11-24 15:10:30"}}},
  };
  return all;
}

struct ListedRow {
  std::uint32_t size;
  std::string minute; // "YYYY-MM-DD HH:MM"
  std::string leaf;   // folded last component, link target removed
};

// The rows of the lsar section of a listing.
std::vector<ListedRow> lsar_rows(const std::string& listing) {
  std::vector<ListedRow> rows;
  static const std::regex row(R"(^\s*\d+\.\s+\S{5}\s+(\d+)\s+\S+\s+\S+\s+(\S+ \d\d:\d\d)  (.*)$)");
  std::istringstream in(listing);
  std::string line;
  bool in_lsar = false;
  while (std::getline(in, line)) {
    if (line.find("lsar -l") != std::string::npos) in_lsar = true;
    if (line.find("exit status") != std::string::npos) in_lsar = false;
    std::smatch m;
    if (!in_lsar || !std::regex_match(line, m, row)) continue;
    std::string path = m[3];
    if (const std::size_t arrow = path.find(" -> "); arrow != std::string::npos) path.resize(arrow);
    std::string leaf = path.substr(leaf_of(path));
    fold_name(leaf);
    rows.push_back({static_cast<std::uint32_t>(std::stoul(m[1])), m[2], leaf});
  }
  return rows;
}

class ArchiveSamples : public ::testing::Test {
protected:
  void SetUp() override { reset_counters(); }
  testing::TimeZone utc{"UTC"}; // Unix times in headers become DOS times in UTC
  TempDir log_drive;
  DriveMapping drives{{{'C', log_drive.path()}}};
};

TEST_F(ArchiveSamples, RecordsMatchTheIndependentListings) {
  SKIP_WITHOUT_SHARED_SAMPLES();
  for (const Sample& sample : samples()) {
    SCOPED_TRACE(sample.path);
    reset_counters();
    const ScanOutcome out = scan_into_volume(testdata_path("archives/" + sample.path));
    ASSERT_EQ(out.result, sample.result);
    if (sample.result != 1) {
      EXPECT_EQ(out.written, "");
      continue;
    }
    ASSERT_EQ(out.problem, "");
    EXPECT_EQ(counters.broken_archives, sample.broken);
    ASSERT_EQ(out.members.size(), sample.members.size());
    const std::vector<ListedRow> rows = lsar_rows(read_file(testdata_path("archives/" + sample.path + ".listing.txt")));
    if (!sample.members.empty()) {
      ASSERT_FALSE(rows.empty()) << "no lsar rows in the listing";
    }
    for (std::size_t i = 0; i < sample.members.size(); ++i) {
      const Expected& want = sample.members[i];
      const MemberRecord& got = out.members[i];
      SCOPED_TRACE("member " + std::to_string(i));
      if (!want.name.empty()) {
        EXPECT_EQ(got.name, want.name);
      } else {
        EXPECT_FALSE(got.name.empty());
      }
      EXPECT_EQ(got.size, want.size);
      EXPECT_EQ(dos_text(got.date, got.time), want.date);
      // The same member in the independent listing: same size and, where the
      // names are comparable, same last component; same minute unless noted.
      bool listed = false;
      for (const ListedRow& row : rows) {
        if (row.size != got.size || (!want.name.empty() && want.name_as_listed && row.leaf != got.name)) continue;
        if (want.check == DateCheck::as_listed && row.minute != want.date.substr(0, 16)) continue;
        listed = true;
      }
      EXPECT_TRUE(listed) << "not in the listing: " << got.name << " " << got.size << " " << want.date;
    }
  }
}

TEST_F(ArchiveSamples, EverySampleIsInTheTable) {
  SKIP_WITHOUT_SHARED_SAMPLES();
  // A sample added to the shared data without an entry here would go unchecked.
  std::size_t archives = 0;
  for (const char* folder : {"arj", "lzh", "rar", "zip"})
    for (const std::string& name : list_directory(testdata_path(std::string("archives/") + folder)))
      if (name.find(".listing.txt") == std::string::npos) ++archives;
  EXPECT_EQ(archives, samples().size());
}

} // namespace
} // namespace shelvo::testing
