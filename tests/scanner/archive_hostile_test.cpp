// Damaged and hostile archives: whatever the bytes, scan_archive returns, and the
// block it writes is consistent (its length is the sum of the member records
// that follow, its count their number).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "results/run_state.h"
#include "support/test_support.h"
#include "archive_builders.h"
#include "archive_scan_helpers.h"

namespace shelvo::testing {
namespace {

class HostileArchive : public ::testing::Test {
public:
  void SetUp() override { reset_counters(); }
  ScanOutcome scan(const std::string& bytes) {
    write_file(work / "HOSTILE", bytes);
    return scan_into_volume(work / "HOSTILE");
  }
  // Scans and asserts the outcome is one of the documented ones.
  ScanOutcome expect_consistent(const std::string& bytes) {
    const ScanOutcome out = scan(bytes);
    EXPECT_TRUE(out.result == 1 || out.result == -1) << out.result;
    if (out.result == 1) {
      EXPECT_EQ(out.problem, "") << hex_of(bytes.substr(0, 64));
    } else {
      EXPECT_EQ(out.written, "");
    }
    return out;
  }
  TempDir work;
  TempDir log_drive;
  DriveMapping drives{{{'C', log_drive.path()}}};
};

std::string small_zip() { return zip_local("a.txt", 3, 3, "aaa") + zip_local("dir/b.txt", 2, 2, "bb", 8); }
std::string small_rar() {
  return rar_archive(rar_file("a.txt", "aaa", 3) + rar_file("b.txt", "bb", 2, 0x8000 | 0x1000, "TTT") +
                     rar_block(0x7B, 7));
}
std::string small_arj() {
  // Main header, two stored members, end of archive (first-header size 30).
  auto header = [](std::uint8_t type, const std::string& name, const std::string& data) {
    std::string basic = std::string(1, '\x1E') + "\x0B\x01" + std::string(1, '\0') + std::string(2, '\0') +
                        static_cast<char>(type) + '\0' + le32(may_2001) +
                        le32(static_cast<std::uint32_t>(data.size())) + le32(static_cast<std::uint32_t>(data.size())) +
                        le32(0) + le16(0) + le16(0x20) + le16(0);
    basic += name + '\0' + '\0';
    return std::string("\x60\xEA", 2) + le16(static_cast<std::uint32_t>(basic.size())) + basic + le32(0) + le16(0) + data;
  };
  return header(2, "S.ARJ", "") + header(0, "a.txt", "aaa") + header(0, "b.txt", "bb") + std::string("\x60\xEA\0\0", 4);
}
std::string small_lzh() {
  auto level0 = [](const std::string& name, const std::string& data) {
    std::string body = "-lh0-" + le32(static_cast<std::uint32_t>(data.size())) +
                       le32(static_cast<std::uint32_t>(data.size())) + le32(may_2001) + "\x20" + std::string(1, '\0') +
                       static_cast<char>(name.size()) + name + le16(0);
    return static_cast<char>(body.size()) + std::string(1, '\0') + body + data;
  };
  return level0("a.txt", "aaa") + level0("b.txt", "bb") + std::string(1, '\0');
}

TEST_F(HostileArchive, EveryTruncationOfEveryFormatGivesAConsistentBlock) {
  for (const std::string& whole : {small_zip(), small_rar(), small_arj(), small_lzh()}) {
    SCOPED_TRACE(hex_of(whole.substr(0, 8)));
    const std::vector<MemberRecord> all = expect_consistent(whole).members;
    ASSERT_EQ(all.size(), 2u);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      const ScanOutcome out = expect_consistent(whole.substr(0, cut));
      EXPECT_LE(out.members.size(), 2u);
      // What is listed of a cut archive is what the whole one lists first: a
      // header cut short is dropped, never recorded from its remains.
      for (std::size_t k = 0; k < out.members.size() && k < all.size(); ++k) {
        const MemberRecord& m = out.members[k];
        EXPECT_EQ(m.name, all[k].name) << "cut at " << cut;
        EXPECT_EQ(m.size, all[k].size) << "cut at " << cut;
        EXPECT_EQ(dos_text(m.date, m.time), dos_text(all[k].date, all[k].time)) << "cut at " << cut;
      }
    }
  }
}

TEST_F(HostileArchive, HugeSizesEndTheListWithoutOverflow) {
  // ZIP: a compressed size far past the end, and Zip64 sizes near 2^64.
  const std::string near_max = le16(1) + le16(16) + le32(0xFFFFFFF0u) + le32(0xFFFFFFFFu) + le32(0xFFFFFFF0u) +
                               le32(0xFFFFFFFFu);
  ScanOutcome out = expect_consistent(zip_local("a.txt", 0xFFFFFFF0u, 5, "x") + zip_local("b.txt", 1, 1, "b"));
  EXPECT_EQ(out.members.size(), 1u);
  out = expect_consistent(zip_local("c.txt", 0xFFFFFFFF, 0xFFFFFFFF, "x", 0, 0, near_max) + zip_local("d.txt", 1, 1, "d"));
  EXPECT_EQ(out.members.size(), 1u);
  // RAR: the 64-bit packed size of a large file, all ones.
  out = expect_consistent(rar_archive(rar_file("e.iso", "", 1, 0x8000 | 0x100, {}, 29, '0', 0xFFFFFFFFu) +
                                      rar_file("f.txt", "f", 1)));
  EXPECT_EQ(out.members.size(), 1u);
  // RAR: a 64-bit packed size that wraps the step round to exactly 0.
  std::string wrap = rar_archive(rar_file("w.bin", "", 1, 0x8000 | 0x100, {}, 29, '0', 0xFFFFFFFFu));
  wrap.replace(20 + 7, 4, le32(0xFFFFFFFFu - 45 + 1)); // 2^64 - 45, and the header is 45 bytes
  out = expect_consistent(wrap + rar_file("h.txt", "h", 1));
  EXPECT_EQ(out.members.size(), 1u);
  // RAR: an unknown block whose ADD_SIZE runs past the end.
  std::string beyond = rar_block(0x79, 11, "", true);
  beyond.replace(7, 4, le32(0xFFFFFFFFu));
  out = expect_consistent(rar_archive(beyond + rar_file("g.txt", "g", 1)));
  EXPECT_TRUE(out.members.empty());
}

TEST_F(HostileArchive, NameWithoutTerminatorIsCutToTheHeader) {
  // An ARJ basic header whose name runs to its end with no zero byte.
  std::string arj = small_arj();
  const std::size_t first = arj.find("a.txt");
  arj[first + 5] = 'X';
  arj[first + 6] = 'Y';
  const ScanOutcome out = expect_consistent(arj);
  ASSERT_FALSE(out.members.empty());
  EXPECT_EQ(out.members[0].name, "A.TXTXY");

  // A ZIP name of 65535 bytes: the last component is cut to 300 characters.
  const ScanOutcome zip = expect_consistent(zip_local("d/" + std::string(65533, 'q'), 1, 1, "q"));
  ASSERT_EQ(zip.members.size(), 1u);
  EXPECT_EQ(zip.members[0].name, std::string(300, 'Q'));
}

TEST_F(HostileArchive, HeadersThatWouldLoopOrStandStillEndTheList) {
  // RAR: a block claiming a header size of 0, then of 3.
  for (std::uint32_t size : {0u, 3u}) {
    std::string block = rar_block(0x7A, 7);
    block.replace(5, 2, le16(size));
    const ScanOutcome out = expect_consistent(rar_archive(rar_file("a.txt", "a", 1) + block + rar_file("z.txt", "z", 1)));
    EXPECT_EQ(out.members.size(), 1u);
  }
  // LZH level 2: an extended header of size 0 and of size 1 in the chain.
  for (std::uint32_t size : {0u, 1u, 2u}) {
    std::string h = "-lh0-" + le32(1) + le32(1) + le32(990095400) + "\x20" + "\x02" + le16(0) + "U" + le16(8) + "\x01" +
                    "n.txt" + le16(size);
    const std::string header = le16(static_cast<std::uint32_t>(h.size() + 2)) + h + "n";
    const ScanOutcome out = expect_consistent(header + header + std::string(1, '\0'));
    EXPECT_EQ(out.members.size(), 2u);
  }
  // ARJ: an endless run of identifiers with empty extended headers.
  std::string arj = small_arj();
  arj.resize(arj.size() - 4);
  for (int i = 0; i < 2000; ++i) arj += std::string("\x60\xEA\x02\x00xx", 6);
  expect_consistent(arj);
  // ZIP: local headers that point back at themselves are impossible (steps are
  // forward only); thousands of empty ones in a row end at the end of the file.
  std::string zips;
  for (int i = 0; i < 3000; ++i) zips += zip_local("", 0, 0, "");
  EXPECT_TRUE(expect_consistent(zips).members.empty());
}

// Flips, zeroes and truncates bytes of an archive at random, many times over, and
// checks every outcome is a consistent block or nothing.
void corrupt_at_random(HostileArchive& test, const std::string& source, const std::string& original,
                       std::mt19937& random) {
  ASSERT_GT(original.size(), 8u) << source;
  for (int round = 0; round < 150; ++round) {
    std::string bytes = original;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int c = 0; c < changes; ++c) {
      // Keep the signature now and then, so the readers themselves are tested.
      const std::size_t at = (round % 2 == 0 ? 7 : 0) + random() % (bytes.size() - 7);
      switch (random() % 3) {
      case 0: bytes[at] = static_cast<char>(random()); break;
      case 1: bytes[at] = '\xFF'; break;
      default: bytes[at] = '\0'; break;
      }
    }
    if (round % 5 == 0) bytes.resize(random() % bytes.size());
    SCOPED_TRACE(source + " round " + std::to_string(round));
    test.expect_consistent(bytes);
  }
}

TEST_F(HostileArchive, RandomCorruptionOfArchivesMadeHereNeverBreaksTheBlock) {
  SKIP_ON_WINDOWS("the archivers here are Linux programs");
  make_directories(work / "tree/sub");
  write_file(work / "tree/a.txt", std::string(300, 'a'));
  write_file(work / "tree/sub/b.txt", "bb");
  write_file(work / "tree/sub/c.dat", std::string(5000, 'c'));
  const std::string in_work = "cd " + shell_quote(work / "tree") + " && ";
  const std::vector<std::pair<std::string, std::string>> makers = {
      {"MADE.ZIP", "zip -q -r ../MADE.ZIP ."},      {"MADE.ARJ", "arj a -y -2d -r ../MADE.ARJ . >/dev/null"},
      {"STREAMED.ZIP", "zip -q -r - . | cat > ../STREAMED.ZIP"}, // sizes after the data: the central directory is read
      {"MADE0.LZH", "lha aq0 ../MADE0.LZH a.txt sub/b.txt sub/c.dat"},
      {"MADE1.LZH", "lha aq1 ../MADE1.LZH a.txt sub/b.txt sub/c.dat"},
      {"MADE2.LZH", "lha aq2 ../MADE2.LZH a.txt sub/b.txt sub/c.dat"}};
  std::mt19937 random(20261207);
  for (const auto& [name, command] : makers) {
    const CommandResult made = run_command(in_work + "(" + command + ")");
    ASSERT_EQ(made.status, 0) << command << ": " << made.err;
    corrupt_at_random(*this, name, read_file(work / name), random);
  }
}

TEST_F(HostileArchive, RandomCorruptionOfRealSamplesNeverBreaksTheBlock) {
  SKIP_WITHOUT_SHARED_SAMPLES();
  const std::vector<std::string> sources = {
      "arj/arj_comment_m1.arj", "arj/arj_dos_tree.arj", "arj/arj_tree_stored.arj",
      "lzh/lhasa_lh2_222_eas.lzh", "lzh/test_read_format_lha_header2.lzh", "lzh/test_read_format_lha_oversize_header.lzh",
      "lzh/test_read_format_lha_header3.lzh", "rar/rar3-comment-plain.rar", "rar/test_read_format_rar_unicode.rar",
      "rar/test_read_format_rar4_solid_encrypted.rar", "rar/rar15-comment.rar", "zip/test_read_format_zip.zip",
      "zip/test_read_format_zip_zip64a.zip", "zip/test_compat_zip_2.zip"};
  std::mt19937 random(20240601);
  for (const std::string& source : sources) {
    const std::string original = read_file(testdata_path("archives/" + source));
    ASSERT_FALSE(original.empty()) << source;
    corrupt_at_random(*this, source, original, random);
  }
}

} // namespace
} // namespace shelvo::testing
