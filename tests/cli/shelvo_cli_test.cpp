// End-to-end tests of the built shelvo-cli on volume trees made here.
#include "catalog/catalog_store.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace shelvo {
namespace {

using testing::shell_quote;

class ShelvoCli : public ::testing::Test {
protected:
  testing::TempDir dir;
  std::string drives;

  void SetUp() override {
    testing::make_directories(dir / "c");
    testing::make_directories(dir / "d");
    drives = "C:=" + (dir / "c") + ";D:=" + (dir / "d") + "|DISK;E:=" + (dir / "missing");
  }
  testing::CommandResult cli(const std::string& arguments, const std::string& env = "") {
    return testing::run_command("env SHELVO_DRIVES=" + shell_quote(env.empty() ? drives : env) +
                                " XDG_CONFIG_HOME=" + shell_quote(dir / "config") + " " + SHELVO_CLI_PATH + " " +
                                arguments);
  }
  void file(const std::string& rel, std::string_view content = "0123456789") {
    testing::write_file(dir / ("d/" + rel), content);
    testing::set_local_mtime(dir / ("d/" + rel), 1998, 3, 5, 14, 7, 0);
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
};

TEST_F(ShelvoCli, NoArgumentCreatesTheDefaultCatalogAndChangesNothingAgain) {
  auto r = cli("", "C:=" + (dir / "c"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "c/VOLDEPOT"), std::vector<std::string>{"00000000.KTL"});
  EXPECT_EQ(testing::read_file(dir / "c/VOLDEPOT/00000000.KTL"), "");
  r = cli("", "C:=" + (dir / "c"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(testing::list_directory(dir / "c"), std::vector<std::string>{"VOLDEPOT"});
  EXPECT_EQ(r.out, "");
}

TEST_F(ShelvoCli, UsageErrorsNameTheProblem) {
  auto r = cli(std::string(64, 'x'));
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("longer than 63"), std::string::npos);
  std::string masks;
  for (int i = 0; i < 32; ++i) masks += " M" + std::to_string(i);
  r = cli(masks);
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("31 search masks"), std::string::npos);
  r = cli("--frobnicate");
  EXPECT_EQ(r.status, 64);
  r = cli("/W", "C:=/ok;X=/bad");
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("X=/bad"), std::string::npos);
  EXPECT_EQ(cli("--help").status, 0);
}

TEST_F(ShelvoCli, DrivesShowsDirectoriesAndLabels) {
  const auto r = cli("--drives");
  EXPECT_EQ(r.status, 0);
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[1], "D:  " + (dir / "d") + "  [DISK]");
  EXPECT_NE(l[2].find("(not readable)"), std::string::npos);
}

TEST_F(ShelvoCli, AddRefuseAppendAndFail) {
  file("a.txt");
  EXPECT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  auto r = cli("'/l:C:\\CAT' D: /N");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("already in the base"), std::string::npos);
  EXPECT_EQ(cli("'/l:C:\\CAT' D:").status, 1); // no terminal to confirm on
  EXPECT_EQ(cli("'/l:C:\\CAT' D: /SLE").status, 0);
  r = cli("'/l:C:\\CAT' E:");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no readable volume"), std::string::npos);
  EXPECT_EQ(testing::list_directory(dir / "c/CAT"),
            (std::vector<std::string>{"00000000.KTL", "00000001.KTL", "00000002.KTL"}));
}

TEST_F(ShelvoCli, ListingOfANewCatalogAfterOneAdd) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  auto r = cli("'/l:C:\\CAT' /W --numbers");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "v2~0\t0\nDISK           v2.2\t1\n");
  EXPECT_EQ(r.err, "2 volume(s)\n"); // not a terminal: the final line only
  r = cli("'/l:C:\\CAT' /w5 --numbers");
  EXPECT_EQ(r.out, "\t0\nDISK           \t1\n");
}

TEST_F(ShelvoCli, SearchTreeAndCountOnly) {
  file("readme.txt");
  testing::make_directories(dir / "d/docs");
  file("docs/a.txt");
  file("docs/b.doc");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  auto r = cli("'/l:C:\\CAT' '*.TXT' --numbers");
  EXPECT_EQ(r.status, 0);
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 4u) << r.out;
  EXPECT_EQ(l[0], "DISK           \t1");
  EXPECT_EQ(l[1].substr(0, 12), "  README.TXT");
  EXPECT_EQ(l[1].substr(l[1].size() - 28), "        10 05/03/98 14:07\t10");
  const std::string counts = r.err;
  EXPECT_NE(counts.find("File:         2"), std::string::npos) << counts;

  r = cli("'/l:C:\\CAT' '*.TXT' /nd");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, counts); // the same final line
}

TEST_F(ShelvoCli, HandMadeVolumeFilesOlderFormatTruncatedAndAGap) {
  testing::make_directories(dir / "c/CAT");
  testing::write_file(dir / "c/CAT/00000000.KTL", "");
  // Older format: no format byte, the root's record starts right after the label.
  std::string older = "OLD            ";
  encode_directory_record(older, "\\");
  encode_file_record(older, "A.TXT", 10, 0x2822, 0x1883);
  testing::write_file(dir / "c/CAT/00000001.KTL", older);
  // Cut inside its second file record: the first is found, the cut one dropped.
  std::string cut = "CUT            \x05";
  encode_directory_record(cut, "\\");
  encode_file_record(cut, "B.TXT", 11, 0x2822, 0x1883);
  cut += "C.TX";
  testing::write_file(dir / "c/CAT/00000002.KTL", cut);
  testing::write_file(dir / "c/CAT/00000004.KTL", older); // behind a gap: never read

  auto r = cli("'/l:C:\\CAT' '*.TXT' --numbers");
  EXPECT_EQ(r.status, 0);
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 4u) << r.out;
  EXPECT_EQ(l[0], "OLD            \t1");
  EXPECT_EQ(l[1].substr(0, 7), "  A.TXT");
  EXPECT_EQ(l[2], "CUT            \t2");
  EXPECT_EQ(l[3].substr(0, 7), "  B.TXT");
  EXPECT_NE(r.err.find("Vol:  2 [  3/"), std::string::npos) << r.err;
  r = cli("'/l:C:\\CAT' /W");
  EXPECT_EQ(r.out, "v2~0\nOLD            v2~0\nCUT            v2.2\n");
}

TEST_F(ShelvoCli, FileLinesHaveTheirWidthAtEveryDepth) {
  const std::size_t width[] = {82, 79, 76, 73, 70, 67, 64, 60, 57, 54, 51};
  std::string rel;
  for (int depth = 0; depth <= 27; ++depth) {
    if (depth > 0) rel += "/D" + std::to_string(depth);
    testing::make_directories(dir / ("d" + rel));
    file(rel.substr(rel.empty() ? 0 : 1) + (rel.empty() ? "" : "/") + "F" + std::to_string(depth) + ".TXT");
  }
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  const auto r = cli("'/l:C:\\CAT' 'F*.TXT'");
  int checked = 0;
  for (const std::string& line : lines(r.out)) {
    const std::size_t indent = line.find_first_not_of(' ');
    if (line.compare(indent, 1, "F") != 0) continue;
    const int depth = std::stoi(line.substr(indent + 1));
    EXPECT_EQ(indent, static_cast<std::size_t>(2 * (depth + 1))) << line;
    const std::size_t text = line.size() - indent;
    if (depth <= 10) {
      EXPECT_EQ(text, width[depth] + 25) << line;
    }
    if (depth == 27) {
      EXPECT_EQ(text, std::string("F27.TXT").size() + 25) << line;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 28);
}

TEST_F(ShelvoCli, ControlCharactersInNamesNeverReachTheTerminal) {
  file("evil\x1b[2Jname.txt");
  file("two\nlines.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  const auto r = cli("'/l:C:\\CAT' '*'");
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 3u) << r.out;
  EXPECT_TRUE(r.out.find("EVIL?[2JNAME.TXT") != std::string::npos);
  EXPECT_TRUE(r.out.find("TWO?LINES.TXT") != std::string::npos);
}

TEST_F(ShelvoCli, VerboseAnnouncesArchivesOutsideTheTree) {
  testing::make_directories(dir / "d/docs");
  file("docs/readme.txt", std::string(1234, 'r'));
  ASSERT_EQ(testing::run_command("cd " + shell_quote(dir / "d") + " && zip -q pack.zip docs/readme.txt").status, 0);
  auto r = cli("'/l:C:\\CAT' D: --verbose");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Scanning Zip File \\PACK.ZIP"), std::string::npos);
  r = cli("'/l:C:\\CAT' D: /Y README.TXT /a --verbose");
  EXPECT_EQ(r.out.find("Scanning"), std::string::npos); // announcements left the tree alone
  EXPECT_NE(r.err.find("Scanning Zip File"), std::string::npos);
  EXPECT_NE(r.out.find("  PACK.ZIP\n    README.TXT"), std::string::npos) << r.out;
}

} // namespace
} // namespace shelvo
