// End-to-end tests of the built shelvo-cli on volume trees made here.
#include "catalog/catalog_store.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <regex>
#include <map>
#include <sstream>
#include <thread>

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
  std::string cli_command(const std::string& arguments, const std::string& env = "") {
    return "env SHELVO_DRIVES=" + shell_quote(env.empty() ? drives : env) + " XDG_CONFIG_HOME=" +
           shell_quote(dir / "config") + " " + SHELVO_CLI_PATH + " " + arguments;
  }
  testing::CommandResult cli(const std::string& arguments, const std::string& env = "") {
    return testing::run_command(cli_command(arguments, env));
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

TEST_F(ShelvoCli, NoArgumentShowsTheUsageAndANamedDefaultCatalogIsCreatedOnce) {
  auto r = cli("", "C:=" + (dir / "c"));
  EXPECT_EQ(r.status, 64);
  EXPECT_EQ(r.err.rfind("usage: shelvo-cli", 0), 0u) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "c"), std::vector<std::string>{});

  // The default catalog, named: opened or created, nothing else.
  r = cli("'/l:C:\\VOLDEPOT'", "C:=" + (dir / "c"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "c/VOLDEPOT"), std::vector<std::string>{"00000000.KTL"});
  EXPECT_EQ(testing::read_file(dir / "c/VOLDEPOT/00000000.KTL"), "");
  r = cli("'/l:C:\\VOLDEPOT'", "C:=" + (dir / "c"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(testing::list_directory(dir / "c"), std::vector<std::string>{"VOLDEPOT"});
  EXPECT_EQ(r.out, "");
}

TEST_F(ShelvoCli, UsageErrorsNameTheProblem) {
  auto r = cli(std::string(64, 'x'));
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("longer than 63"), std::string::npos);
  r = cli(std::string(100000, 'y'));
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("'" + std::string(60, 'y') + "...' (100000 characters) is longer than 63"), std::string::npos);
  EXPECT_LT(r.err.size(), 200u);
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
  r = cli("-h");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("SHELVO_DRIVES"), std::string::npos); // how letters map to directories
  r = cli("--paths /W");
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("give a search mask"), std::string::npos);
}

TEST_F(ShelvoCli, DrivesShowsDirectoriesAndLabels) {
  const auto r = cli("--drives");
  EXPECT_EQ(r.status, 0);
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[1], "D:  " + (dir / "d") + "  [DISK]");
  EXPECT_NE(l[2].find("(missing)"), std::string::npos);
  testing::write_file(dir / "plain", "");
  const auto f = cli("--drives", "C:=" + (dir / "c") + ";F:=" + (dir / "plain"));
  EXPECT_NE(f.out.find("F:  " + (dir / "plain") + "  (not readable)"), std::string::npos) << f.out;
}

TEST_F(ShelvoCli, TheDrivesFileKnowsHomeAndNamesEveryBadLine) {
  testing::make_directories(dir / "config/shelvo");
  testing::write_file(dir / "config/shelvo/drives", "C:=~/c\nE:=relative\nD:=~/d|DISK\nF:\n");
  const std::string drives_call = "env -u SHELVO_DRIVES HOME=" + shell_quote(dir.path()) + " XDG_CONFIG_HOME=" +
                                  shell_quote(dir / "config") + " " + SHELVO_CLI_PATH + " --drives";
  auto r = testing::run_command(drives_call);
  EXPECT_EQ(r.status, 64);
  const auto l = lines(r.err);
  ASSERT_EQ(l.size(), 2u) << r.err;
  EXPECT_EQ(l[0].rfind("shelvo-cli: " + (dir / "config/shelvo/drives") + ": line 2: bad drive entry 'E:=relative'", 0),
            0u) << r.err;
  EXPECT_NE(l[1].find("drives: line 4: bad drive entry 'F:'"), std::string::npos) << r.err;
  testing::write_file(dir / "config/shelvo/drives", "C:=~/c\nD:=~/d|DISK\n");
  r = testing::run_command(drives_call);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(r.out)[0], "C:  " + (dir / "c") + "  [c]");
  // A table without C: has nowhere to keep catalogs.
  r = cli("--drives", "D:=" + (dir / "d"));
  EXPECT_NE(r.err.find("shelvo-cli: warning: the table has no drive C:"), std::string::npos) << r.err;
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

TEST_F(ShelvoCli, ACallThatWouldDoNothingIsAUsageErrorAndMakesNoCatalog) {
  for (const char* does_nothing : {"/usr/include", "-V", "/nonexistent", "--numbers", "'/l:C:\\CAT' /a"}) {
    const auto r = cli(does_nothing);
    EXPECT_EQ(r.status, 64) << does_nothing;
    EXPECT_NE(r.err.find("nothing to do"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--add DIR"), std::string::npos) << r.err;
  }
  EXPECT_EQ(testing::list_directory(dir / "c"), std::vector<std::string>{});
}

TEST_F(ShelvoCli, MasksAfterTwoDashesAndSearchesThatFindNothing) {
  file("-rf.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  auto r = cli("'/l:C:\\CAT' --paths -- '-r*' '[x'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "DISK:\\-RF.TXT\t10\t1998-03-05 14:07\n");
  EXPECT_EQ(cli("'/l:C:\\CAT' 'nothing*'").status, 1);
  r = cli("'/l:C:\\CAT' 'nothing*' /nd");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("File:         0 (", 0), 0u) << r.err; // the count is still the answer
}

TEST_F(ShelvoCli, ASearchWhoseOnlyHitsAreDirectoriesFoundSomething) {
  testing::make_directories(dir / "d/photos");
  file("photos/a.jpg");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  for (const char* form : {"", " --paths", " --host", " /nd"}) {
    const auto r = cli(std::string("'/l:C:\\CAT' 'photos' /d") + form);
    EXPECT_EQ(r.status, 0) << form << ": " << r.err;
    if (std::string_view(form) != " /nd") {
      EXPECT_NE(r.out, "") << form; // the directory itself
    }
  }
}

TEST_F(ShelvoCli, ListingOfANewCatalogAfterOneAdd) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  auto r = cli("'/l:C:\\CAT' /W --numbers --verbose");
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
  auto r = cli("'/l:C:\\CAT' '*.TXT' --numbers --verbose");
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

TEST_F(ShelvoCli, ScriptsSeeNoStatusLineButTheCountTheyAskedFor) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0); // says it made the catalog
  auto r = cli("'/l:C:\\CAT' D: /Y");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "shelvo-cli: added drive D: (" + (dir / "d") +
                       ") to C:\\CAT as volume 1 [DISK], in place of the volume of that label\n");
  for (const char* run : {"'*.TXT'", "/W", "'*.TXT' --paths"}) {
    r = cli("'/l:C:\\CAT' " + std::string(run));
    EXPECT_EQ(r.status, 0) << run;
    EXPECT_EQ(r.err, "") << run;
  }
  r = cli("'/l:C:\\CAT' '*.TXT' /nd");
  EXPECT_EQ(r.err.rfind("File:         1 (", 0), 0u) << r.err;
}

TEST_F(ShelvoCli, EveryLineOfTheToolsOwnStartsWithItsName) {
  file("a.txt");
  testing::make_directories(dir / "out");
  testing::write_file(dir / "out/00000000.KTL", "");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  const std::string err = cli("'/l:C:\\CAT' E: /x").err +                          // a warning, a failure
                          cli("'/l:C:\\CAT' --no --export " + shell_quote(dir / "out")).err + // a question
                          cli("'/l:C:\\CAT' --yes --export " + shell_quote(dir / "out")).err; // boxes
  EXPECT_NE(err.find("shelvo-cli: GOOD Job: 2 file(s) were exported"), std::string::npos) << err;
  EXPECT_NE(err.find("replace them? (no)\n"), std::string::npos) << err;
  for (const std::string& line : lines(err)) EXPECT_EQ(line.rfind("shelvo-cli: ", 0), 0u) << line;
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

  auto r = cli("'/l:C:\\CAT' '*.TXT' --numbers --verbose");
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
  EXPECT_NE(r.out.find("shelvo-cli: Scanning Zip File \\PACK.ZIP\n"), std::string::npos) << r.out; // no padding
  r = cli("'/l:C:\\CAT' D: /Y README.TXT /a --verbose");
  EXPECT_EQ(r.out.find("Scanning"), std::string::npos); // announcements left the tree alone
  EXPECT_NE(r.err.find("Scanning Zip File"), std::string::npos);
  EXPECT_NE(r.out.find("  PACK.ZIP\n    README.TXT"), std::string::npos) << r.out;
}

// Every file of a directory with its bytes, for "left as it was" checks.
std::map<std::string, std::string> snapshot(const std::string& host_dir) {
  std::map<std::string, std::string> files;
  for (const std::string& name : testing::list_directory(host_dir)) files[name] = testing::read_file(host_dir + "/" + name);
  return files;
}

// A command line run by sh on a new pseudo-terminal of the given width; all it
// wrote to the terminal.
std::string run_on_terminal(const std::string& command_line, unsigned short columns) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = columns;
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", command_line.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::string seen;
  if (child < 0) return seen;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(terminal, chunk, sizeof chunk);
    if (n > 0) seen.append(chunk, static_cast<std::size_t>(n));
    else if (n < 0 && errno == EINTR) continue;
    else break; // EIO once the child has gone
  }
  ::close(terminal);
  int status = 0;
  ::waitpid(child, &status, 0);
  return seen;
}

TEST_F(ShelvoCli, AddADirectoryInOneStepAsItsDriveWouldBe) {
  testing::make_directories(dir / "src/Sub");
  testing::write_file(dir / "src/Sub/Read.Me", "r");
  const std::string src = shell_quote(dir / "src");
  // Not in the table: a letter for this call, and the label rules of a table's |LABEL.
  auto r = cli("'/l:C:\\CAT' --add " + src + " --label My.Sources");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("shelvo-cli: added " + (dir / "src") + " to C:\\CAT as volume 1 [MySources]; no drive of "
                       "the table holds it, so --host will not find its files\n"),
            std::string::npos) << r.err;
  EXPECT_EQ(cli("'/l:C:\\CAT' --add " + src + " --label MySources /N").status, 3);
  EXPECT_EQ(cli("'/l:C:\\CAT' --add " + src + " --label MySources").status, 1); // nobody to confirm
  EXPECT_EQ(cli("'/l:C:\\CAT' 'READ.ME' --paths").out.rfind("MySources:\\SUB\\READ.ME\t1\t", 0), 0u);
  // The directory of a table entry is that drive: its label, its output.
  r = cli("'/l:C:\\CAT' --add " + shell_quote(dir / "d/../d"));
  EXPECT_NE(r.err.find("added " + (dir / "d") + " to C:\\CAT as volume 2 [DISK]"), std::string::npos) << r.err;
  // Refused, with nothing written: a file, nothing there, and a drive besides.
  const auto before = snapshot(dir / "c/CAT");
  r = cli("'/l:C:\\CAT' --add " + shell_quote(dir / "src/Sub/Read.Me"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Not a directory"), std::string::npos) << r.err;
  EXPECT_EQ(cli("'/l:C:\\CAT' --add " + shell_quote(dir / "nowhere")).status, 1);
  EXPECT_EQ(cli("'/l:C:\\CAT' --add " + src + " D:").status, 64);
  EXPECT_EQ(snapshot(dir / "c/CAT"), before);
}

TEST_F(ShelvoCli, ADirectoryThatHoldsTheCatalogIsAddedWithoutShelvosOwnFolders) {
  file("a.txt");
  // dir holds C: (the catalog and the log) as a home directory does.
  auto r = cli("--add " + shell_quote(dir.path()));
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string said = "shelvo-cli: The volume was recorded without Shelvo's own folders, which this drive holds: " +
                           (dir / "c") + ".\n";
  EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(said), r.err.rfind(said)); // once
  EXPECT_NE(cli("'A.TXT' --paths").out.find(":\\D\\A.TXT\t"), std::string::npos);
  EXPECT_EQ(cli("'VOLDEPOT' /d").status, 1);
  EXPECT_EQ(cli("'00000000.KTL'").status, 1);
}

TEST_F(ShelvoCli, TheCatalogNeverLandsOnTheDriveBeingAdded) {
  file("a.txt");
  // C: not created yet: it is made, as the drive that holds catalogs.
  const std::string table = "C:=" + (dir / "new_c") + ";E:=" + (dir / "d") + "|USRSHARE";
  auto r = cli("'/l:C:\\CAT' E:", table);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "new_c/CAT").size(), 2u);
  EXPECT_EQ(testing::list_directory(dir / "d"), std::vector<std::string>{"a.txt"});

  // Only the added drive is mapped: no catalog anywhere, and the add fails.
  r = cli("E:", "E:=" + (dir / "d") + "|USRSHARE");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(testing::list_directory(dir / "d"), std::vector<std::string>{"a.txt"});
  EXPECT_NE(r.err.find("cannot open or create the catalog"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("there is no drive C: in the drive table"), std::string::npos) << r.err;
}

TEST_F(ShelvoCli, ACatalogOpenedOnAnotherLetterIsAnnounced) {
  file("a.txt");
  testing::make_directories(dir / "e");
  testing::write_file(dir / "c/CAT", "not a directory");
  const std::string table = "C:=" + (dir / "c") + ";D:=" + (dir / "d") + "|DISK;E:=" + (dir / "e");
  // No catalog is created on another letter than the one asked for.
  auto r = cli("'/l:C:\\CAT' D:", table);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "e"), std::vector<std::string>{});
  EXPECT_NE(r.err.find("Not a directory"), std::string::npos) << r.err;
  // One that is there (a disk whose letter changed) is used; D: is the drive
  // being added, so the catalog on E: it is.
  testing::make_directories(dir / "e/CAT");
  testing::write_file(dir / "e/CAT/00000000.KTL", "");
  r = cli("'/l:C:\\CAT' D:", table);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "e/CAT").size(), 2u);
  EXPECT_NE(r.err.find("the catalog opened at E:\\CAT"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not at C:\\CAT as asked"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Not a directory"), std::string::npos) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "d"), std::vector<std::string>{"a.txt"});
}

TEST_F(ShelvoCli, ASearchOrListingThatCreatesAnEmptyCatalogSaysSo) {
  auto r = cli("'/l:C:\\CTA' '*.txt'");
  EXPECT_EQ(r.status, 1); // found nothing
  EXPECT_NE(r.err.find("created a new empty catalog at C:\\CTA (" + (dir / "c/CTA") + ")"), std::string::npos)
      << r.err;
  r = cli("'/l:C:\\CTA' /W");
  EXPECT_EQ(r.err.find("created"), std::string::npos) << r.err; // it exists now
  r = cli("/W");
  EXPECT_NE(r.err.find("created a new empty catalog at C:\\VOLDEPOT"), std::string::npos) << r.err;
}

TEST_F(ShelvoCli, CtrlCDuringAnAddLeavesTheCatalogByteForByte) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  const auto before = snapshot(dir / "c/CAT");
  // A large archive full of zeros keeps the walk busy while the signal comes.
  ASSERT_EQ(testing::run_command("cd " + shell_quote(dir / "d") + " && zip -q pack.zip a.txt && truncate -s 200M pack.zip")
                .status,
            0);
  // Ctrl-C, a kill, a closed terminal: each stops the add with the catalog as it was.
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
  SCOPED_TRACE(signal_number);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(signal_number, SIG_DFL);
    ::setenv("SHELVO_DRIVES", drives.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    if (!std::freopen((dir / "out").c_str(), "w", stdout) || !std::freopen((dir / "err").c_str(), "w", stderr))
      ::_exit(126);
    ::execl(SHELVO_CLI_PATH, "shelvo-cli", "/l:C:\\CAT", "D:", "/Y", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The add is under way once its temporary file exists.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (snapshot(dir / "c/CAT").size() == before.size() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(child, signal_number);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number) << testing::read_file(dir / "err");
  EXPECT_NE(testing::read_file(dir / "err").find("the catalog is as it was"), std::string::npos);
  EXPECT_EQ(snapshot(dir / "c/CAT"), before);
  }
}

TEST_F(ShelvoCli, AFailedWriteOfTheResultsIsAnErrorAndAClosedPipeIsQuiet) {
  // Enough hits to fill a pipe many times over.
  std::string volume = "MANY           \x05";
  encode_directory_record(volume, "\\");
  for (int i = 0; i < 20000; ++i) encode_file_record(volume, "FILE" + std::to_string(i) + ".TXT", 1, 0x2822, 0x1883);
  testing::make_directories(dir / "c/CAT");
  testing::write_file(dir / "c/CAT/00000000.KTL", "");
  testing::write_file(dir / "c/CAT/00000001.KTL", volume);

  for (const char* mode : {"", "--paths"}) {
    auto r = testing::run_command("{ " + cli_command("'/l:C:\\CAT' '*' " + std::string(mode)) + " >/dev/full; }");
    EXPECT_EQ(r.status, 1) << mode;
    EXPECT_NE(r.err.find("shelvo-cli: cannot write the results: No space left on device"), std::string::npos)
        << mode << r.err;

    r = testing::run_command("{ ( " + cli_command("'/l:C:\\CAT' '*' " + std::string(mode)) +
                             "; echo \"status $?\" >&2 ) | head -n 1; }");
    EXPECT_NE(r.err.find("status 0"), std::string::npos) << mode << r.err;
    EXPECT_EQ(r.err.find("shelvo-cli:"), std::string::npos) << mode << r.err;
    EXPECT_EQ(lines(r.out).size(), 1u);
  }
}

TEST_F(ShelvoCli, ElementsTheEngineIgnoresOrCutsAreWarnedOnce) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  const struct {
    const char* element;
    const char* says;
  } cases[] = {
      {"/x", "'/x' is read as option /X, which the engine does not know: ignored"},
      {"/Z", "'/Z' is read as option /Z"},
      {"1:", "'1:' is not a drive letter"},
      {"/media/ann/disk", "'/media/ann/disk' looks like a path"},
      {"/data/x", "read as option /D (report directories too)"},
      {"'[ABCDEFGHIJKLMNOPQRS*]'", "is cut to the 15 characters of a label: [ABCDEFGHIJKLMNO]"},
      {"/no", "'/no' is read as /nd"},
      {"/ad", "'/ad' is read as option /A (search inside archives too); the characters after the letter are "
              "ignored"},
      {"'/l:'", "'/l:' names no catalog: the default C:\\VOLDEPOT is used"},
      {"'docs/*.txt'", "masks match single names, never paths"},
  };
  for (const auto& c : cases) {
    const auto r = cli("'/l:C:\\CAT' '*.TXT' " + std::string(c.element));
    const auto warnings = lines(r.err);
    ASSERT_FALSE(warnings.empty()) << c.element;
    EXPECT_NE(warnings[0].find(c.says), std::string::npos) << c.element << "\n" << r.err;
    EXPECT_EQ(warnings[0].rfind("shelvo-cli: warning: ", 0), 0u) << warnings[0];
    for (std::size_t i = 1; i < warnings.size(); ++i)
      EXPECT_EQ(warnings[i].rfind("shelvo-cli: warning", 0), std::string::npos) << r.err; // once
  }
  // The engine still reads them as before: '/x' changes nothing, 'c:*' adds drive C.
  EXPECT_EQ(cli("'/l:C:\\CAT' '*.TXT' /x").out, cli("'/l:C:\\CAT' '*.TXT'").out);
  const auto r = cli("'/l:C:\\CAT' D: E: /Y");
  EXPECT_NE(r.err.find("'D:' is replaced by the later drive 'E:'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("drive E: has no readable volume"), std::string::npos) << r.err;
}

TEST_F(ShelvoCli, FailuresSayWhatTheSystemSaid) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  // Permissions do not stop root: run the tool as nobody then.
  std::string as_user;
  if (::geteuid() == 0) {
    as_user = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    ::chmod(dir.path().c_str(), 0755);
    ::chmod((dir / "c").c_str(), 0777);
  }
  const auto add = [&] { return testing::run_command(as_user + cli_command("'/l:C:\\CAT' D: /Y")); };
  for (const mode_t mode : {0000, 0555}) {
    ::chmod((dir / "c/CAT").c_str(), mode);
    const auto r = add();
    EXPECT_NE(r.status, 0) << mode;
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << mode << r.err;
    EXPECT_NE(r.err.find("C:\\CAT"), std::string::npos) << mode << r.err;
    EXPECT_EQ(r.err.find("already in the catalog"), std::string::npos) << mode << r.err;
    EXPECT_EQ(r.err.find("disk full"), std::string::npos) << mode << r.err;
  }
  ::chmod((dir / "c/CAT").c_str(), 0755);
}

TEST_F(ShelvoCli, ASecondWriterIsTurnedAwayWithTheReason) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  const auto before = snapshot(dir / "c/CAT");
  // Another program changing the catalog holds the lock on its directory.
  const int held = ::open((dir / "c/CAT").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const auto r = cli("'/l:C:\\CAT' D: /Y");
  ::close(held);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("shelvo-cli: the catalog C:\\CAT is being changed by another program"), std::string::npos)
      << r.err;
  EXPECT_EQ(snapshot(dir / "c/CAT"), before);
}

TEST_F(ShelvoCli, EveryWriterWaitsTheSameMomentSaysSoAndRefusesAlike) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  ASSERT_EQ(cli("'/l:C:\\OTHER' D:").status, 0);
  const auto before = snapshot(dir / "c/CAT");
  const std::string out = dir / "c/OUT";
  struct Writer {
    std::string name, arguments;
  };
  const std::vector<Writer> writers = {{"add", "D: /Y"},
                                       {"delete", "--delete 1 --yes"},
                                       {"import", "--import 'C:\\OTHER' --yes"},
                                       {"export", "--export " + shell_quote(out) + " --yes"}};
  // Another program holds the catalog: a writer (an exclusive lock on its
  // directory), then readers (a shared one), in a child process of its own.
  for (const int held : {LOCK_EX, LOCK_SH}) {
    const bool by_writer = held == LOCK_EX;
    SCOPED_TRACE(by_writer ? "held by a writer" : "held by readers");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
      const int fd = ::open((dir / "c/CAT").c_str(), O_RDONLY | O_DIRECTORY);
      if (fd < 0 || ::flock(fd, held) != 0) ::_exit(1);
      (void)!::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    char got = 0;
    ASSERT_EQ(::read(ready[0], &got, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    // The writers side by side: each gives up while the lock is still held
    // (one that waited on would be stopped by timeout, status 124).
    std::string script;
    for (std::size_t i = 0; i < writers.size(); ++i) {
      if (!by_writer && writers[i].name == "export") continue; // it only reads this catalog
      const std::string at = dir / ("w" + std::to_string(i));
      script += "{ timeout 30 " + cli_command("'/l:C:\\CAT' " + writers[i].arguments) + " >/dev/null 2>" +
                shell_quote(at + ".err") + "; echo $? >" + shell_quote(at + ".status") + "; } & ";
    }
    testing::run_command(script + "wait");
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    const std::string notice = std::string("shelvo-cli: waiting for another program to finish ") +
                               (by_writer ? "changing" : "reading") + " the catalog C:\\CAT (Ctrl-C gives up)\n";
    const std::string refusal = std::string("shelvo-cli: the catalog C:\\CAT is being ") +
                                (by_writer ? "changed by another program (an add, a delete, an import or an export)"
                                           : "read by another program (a search or a listing)") +
                                "; try again when it has finished\n";
    for (std::size_t i = 0; i < writers.size(); ++i) {
      if (!by_writer && writers[i].name == "export") continue;
      SCOPED_TRACE(writers[i].name);
      const std::string at = dir / ("w" + std::to_string(i));
      EXPECT_EQ(testing::read_file(at + ".status"), "1\n");
      // Said once, at once; then the refusal, the last line (a delete behind
      // readers has asked its question first: its listing was let through).
      const std::string err = testing::read_file(at + ".err");
      EXPECT_TRUE(err.ends_with(notice + refusal)) << err;
      EXPECT_EQ(err.find("waiting for"), err.rfind("waiting for")) << err;
    }
  }
  EXPECT_EQ(snapshot(dir / "c/CAT"), before);
  EXPECT_FALSE(testing::path_exists(out));
}

TEST_F(ShelvoCli, VolumeMasksThatMatchNoLabelAreExplained) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  for (const char* mask : {"'[disk*]'", "'[DISK]'", "'[D.ISK*]'"}) {
    for (const char* run : {"'*.TXT'", "/W"}) {
      const auto r = cli("'/l:C:\\CAT' " + std::string(run) + " " + mask);
      EXPECT_EQ(r.status, std::string(run) == "/W" ? 0 : 1); // a search that found nothing
      EXPECT_NE(r.err.find("no volume label matched"), std::string::npos) << mask << run << r.err;
      EXPECT_NE(r.err.find("case-sensitive and match the whole 15-character label"), std::string::npos);
    }
  }
  const auto r = cli("'/l:C:\\CAT' '*.TXT' '[DISK*]'");
  EXPECT_EQ(r.err.find("no volume label matched"), std::string::npos) << r.err;
  EXPECT_EQ(lines(r.out).size(), 2u);
}

TEST_F(ShelvoCli, PathsWriteOneHitPerLineForScripts) {
  testing::make_directories(dir / "d/My Docs");
  file("My Docs/café smørrebrød.txt", "12345"); // é is folded, ø is kept
  file("My Docs/evil\x1b[2J.txt", "1");
  ASSERT_EQ(testing::run_command("cd " + shell_quote(dir / "d") + " && zip -q 'old pack.zip' 'My Docs/café smørrebrød.txt'")
                .status,
            0);
  testing::set_local_mtime(dir / "d/old pack.zip", 1998, 3, 5, 14, 7, 0);
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);

  auto r = cli("'/l:C:\\CAT' '*' /a /d --paths");
  EXPECT_EQ(r.status, 0) << r.err;
  auto l = lines(r.out);
  std::sort(l.begin(), l.end()); // the walk's order is the directory's
  ASSERT_EQ(l.size(), 6u) << r.out;
  const std::string zip_size = std::to_string(testing::read_file(dir / "d/old pack.zip").size());
  EXPECT_EQ(l[0], "DISK:\\\t\t"); // the root: its empty name matches '*'
  EXPECT_EQ(l[1], "DISK:\\MY DOCS\\\t\t");
  EXPECT_EQ(l[2], "DISK:\\MY DOCS\\CAFE SM\xC3\xB8RREBR\xC3\xB8" "D.TXT\t5\t1998-03-05 14:07");
  EXPECT_EQ(l[3], "DISK:\\MY DOCS\\EVIL?[2J.TXT\t1\t1998-03-05 14:07");
  EXPECT_EQ(l[4], "DISK:\\OLD PACK.ZIP\t" + zip_size + "\t1998-03-05 14:07");
  const std::string member = "DISK:\\OLD PACK.ZIP\\CAFE SM\xC3\xB8RREBR\xC3\xB8" "D.TXT\t5\t";
  EXPECT_EQ(l[5].substr(0, member.size()), member);
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);

  // NUL-ended lines, and the volume number as a last field.
  r = cli("'/l:C:\\CAT' 'CAFE*' -0 --numbers");
  EXPECT_EQ(r.out, "DISK:\\MY DOCS\\CAFE SM\xC3\xB8RREBR\xC3\xB8" "D.TXT\t5\t1998-03-05 14:07\t1" + std::string(1, '\0'));
}

TEST_F(ShelvoCli, HostPathsOfMountedVolumesGoToXargs) {
  testing::make_directories(dir / "d/My Docs/\xC3\x89t\xC3\xA9"); // Été, stored ETE
  file("My Docs/\xC3\x89t\xC3\xA9/Caf\xC3\xA9 1.txt", "12345");
  file("My Docs/gone.txt");
  ASSERT_EQ(testing::run_command("cd " + shell_quote(dir / "d") + " && zip -q pack.zip 'My Docs/gone.txt'").status, 0);
  testing::make_directories(dir / "e");
  testing::write_file(dir / "e/far.txt", "f");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  ASSERT_EQ(cli("'/l:C:\\CAT' E:", "C:=" + (dir / "c") + ";E:=" + (dir / "e") + "|FAR").status, 0);
  ::unlink((dir / "d/My Docs/gone.txt").c_str());
  const std::string cafe = dir / "d/My Docs/\xC3\x89t\xC3\xA9/Caf\xC3\xA9 1.txt";
  // Mounted is what the table says now, by the label rules of an add: D.ISK is DISK.
  const std::string table = "C:=" + (dir / "c") + ";F:=" + (dir / "d") + "|D.ISK";

  auto r = cli("'/l:C:\\CAT' '*.txt' /a --host", table);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, cafe + "\t5\t1998-03-05 14:07\n");
  EXPECT_EQ(r.err, "shelvo-cli: left out 3 hit(s) with no path on this machine: 1 on volumes that no drive of the "
                   "table holds now, 1 inside archives, 1 no longer where the add found them (--paths without --host "
                   "lists them)\n");
  r = cli("'/l:C:\\CAT' '?TE' /d --host --numbers", table); // É keeps its accent, é is folded
  EXPECT_EQ(r.out, (dir / "d/My Docs/\xC3\x89t\xC3\xA9/") + "\t\t\t1\n");
  r = cli("'/l:C:\\CAT' '*.txt' --host -0", table);
  EXPECT_EQ(r.out, cafe + std::string(1, '\0'));
  r = testing::run_command("{ " + cli_command("'/l:C:\\CAT' 'CAFE*' --host -0", table) + " | xargs -0 ls; }");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, cafe + "\n");
  // Nothing on this machine is nothing found.
  EXPECT_EQ(cli("'/l:C:\\CAT' 'FAR.TXT' --host", table).status, 1);
  EXPECT_EQ(cli("'/l:C:\\CAT' '*' --host -0 --numbers", table).status, 64);
}

TEST_F(ShelvoCli, PathsShowWholeYearsAndEachDirectoryOnce) {
  testing::make_directories(dir / "c/CAT");
  testing::write_file(dir / "c/CAT/00000000.KTL", "");
  std::string volume = "EDGES          \x05";
  encode_directory_record(volume, "\\");
  encode_file_record(volume, "FIRST.TXT", 0, 0x0021, 0x0000); // 1980-01-01 00:00
  encode_directory_record(volume, "\\DOCS");
  encode_directory_record(volume, "\\DOCS\\SUB");
  encode_file_record(volume, "LAST.TXT", 7, 0xFF9F, 0xBF60); // 2107-12-31 23:59
  encode_directory_record(volume, "\\DOCS"); // written again after its subdirectory
  encode_file_record(volume, "HUGE.ISO", 0x7FFFFFFF, 0x2822, 0x1883);
  testing::write_file(dir / "c/CAT/00000001.KTL", volume);
  auto r = cli("'/l:C:\\CAT' '*.*' --paths");
  EXPECT_EQ(r.out, "EDGES:\\FIRST.TXT\t0\t1980-01-01 00:00\n"
                   "EDGES:\\DOCS\\SUB\\LAST.TXT\t7\t2107-12-31 23:59\n"
                   "EDGES:\\DOCS\\HUGE.ISO\t2147483647\t2000-01-02 03:04\n");
  r = cli("'/l:C:\\CAT' 'DOCS' 'SUB' /d --paths");
  EXPECT_EQ(r.out, "EDGES:\\DOCS\\\t\t\nEDGES:\\DOCS\\SUB\\\t\t\n");
}

TEST_F(ShelvoCli, TheLiveStatusLineStaysWithinAnEightyColumnTerminal) {
  file("a.txt");
  for (const char* label : {"ONE", "TWO"}) {
    ASSERT_EQ(cli("'/l:C:\\CAT' D:", "C:=" + (dir / "c") + ";D:=" + (dir / "d") + "|" + label).status, 0);
  }
  const std::string seen = run_on_terminal(cli_command("'/l:C:\\CAT' '*.TXT'") + " >/dev/null", 80);
  // Each redraw starts at a carriage return; the final line ends with the one newline.
  std::vector<std::string> drawn;
  std::string piece;
  for (char c : seen) {
    if (c == '\r' || c == '\n') {
      if (!piece.empty()) drawn.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  ASSERT_GE(drawn.size(), 3u) << seen;
  const std::regex known_three(R"(Vol: *\d+ \[ *\d+/ *3\])");
  for (std::string line : drawn) {
    if (const std::size_t erase = line.find("\x1b[K"); erase != std::string::npos) line.erase(erase);
    EXPECT_LT(line.size(), 80u) << line;
    EXPECT_TRUE(std::regex_search(line, known_three)) << line; // three volume files: 0, ONE, TWO
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), '\n'), 1) << seen;
}

TEST_F(ShelvoCli, MaintenanceCommandsAskAndScriptsAnswer) {
  testing::make_directories(dir / "e");
  testing::make_directories(dir / "out");
  const std::string env = "C:=" + (dir / "c") + ";D:=" + (dir / "d") + "|ONE;E:=" + (dir / "e") + "|TWO";
  ASSERT_EQ(cli("'/l:C:\\CAT' D:", env).status, 0);
  ASSERT_EQ(cli("'/l:C:\\CAT' E:", env).status, 0);
  // No terminal and no --yes: the question is refused.
  auto r = cli("'/l:C:\\CAT' --delete 1", env);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Are you sure, you want to destroy data link to [ONE            v2.2] ?"), std::string::npos);
  EXPECT_EQ(testing::list_directory(dir / "c/CAT").size(), 3u);
  // Exported in listing order, chosen by a volume mask.
  r = cli("'/l:C:\\CAT' '[TWO*]' --export " + shell_quote(dir / "out"), env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("GOOD Job: 1 file(s) were exported"), std::string::npos) << r.err;
  EXPECT_EQ(testing::read_file(dir / "out/00000000.KTL").substr(0, 3), "TWO");
  r = cli("'/l:C:\\CAT' --yes --delete 1", env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::read_file(dir / "c/CAT/00000001.KTL").substr(0, 3), "TWO");
  // Imported back: the same label asks before it replaces; --no appends it.
  r = cli("'/l:C:\\CAT' --no --import " + shell_quote(dir / "out"), env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Do you want to replace"), std::string::npos);
  EXPECT_EQ(testing::list_directory(dir / "c/CAT").size(), 3u);
  r = cli("'/l:C:\\CAT' --import 'C:\\CAT'", env); // itself
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(cli("--delete x", env).status, 64);
}

TEST_F(ShelvoCli, MaintenanceCommandsDoWhatTheySayOrRefuse) {
  testing::make_directories(dir / "e");
  const std::string env = "C:=" + (dir / "c") + ";D:=" + (dir / "d") + "|ONE;E:=" + (dir / "e") + "|TWO";
  ASSERT_EQ(cli("'/l:C:\\CAT' D:", env).status, 0);
  ASSERT_EQ(cli("'/l:C:\\CAT' E:", env).status, 0);
  const auto before = snapshot(dir / "c/CAT");
  // Any element but /l: and volume masks is a usage error: a drive would be
  // added, a mask would turn the listing into a search.
  for (const char* extra : {"E:", "'*.txt'", "/a", "--paths", "--numbers"}) {
    const auto r = cli("'/l:C:\\CAT' --export " + shell_quote(dir / "out") + " " + extra, env);
    EXPECT_EQ(r.status, 64) << extra;
    EXPECT_NE(r.err.find("--export takes only /l:DIR, volume masks"), std::string::npos) << r.err;
  }
  EXPECT_EQ(cli("'/l:C:\\CAT' --label ONE", env).status, 64); // --label belongs to --delete
  EXPECT_FALSE(testing::path_exists(dir / "out"));
  // A catalog that is not there is not made: a typo stays a typo.
  auto r = cli("'/l:C:\\TYPO' --export " + shell_quote(dir / "out"), env);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no catalog at C:\\TYPO"), std::string::npos) << r.err;
  EXPECT_FALSE(testing::path_exists(dir / "c/TYPO"));
  // Importing from nowhere is a failure, not a success of 0 files.
  r = cli("'/l:C:\\CAT' --import " + shell_quote(dir / "nowhere"), env);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
  // --label guards a script working from an older listing.
  r = cli("'/l:C:\\CAT' --yes --delete 1 --label TWO", env);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not labelled TWO: nothing was deleted"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(dir / "c/CAT"), before);
  r = cli("'/l:C:\\CAT' --yes --delete 1 --label ONE", env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::read_file(dir / "c/CAT/00000001.KTL").substr(0, 3), "TWO");
}

TEST_F(ShelvoCli, AnExportAsksBeforeItReplacesVolumeFilesAndMakesTheDirectoryItIsGiven) {
  testing::make_directories(dir / "e");
  const std::string env = "C:=" + (dir / "c") + ";D:=" + (dir / "d") + "|ONE;E:=" + (dir / "e") + "|TWO";
  ASSERT_EQ(cli("'/l:C:\\CAT' D:", env).status, 0);
  ASSERT_EQ(cli("'/l:C:\\CAT' E:", env).status, 0);
  // A directory asked for by name is made, and the user is told.
  auto r = cli("'/l:C:\\CAT' --export " + shell_quote(dir / "out"), env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("did not exist: it was created"), std::string::npos) << r.err;
  EXPECT_EQ(testing::list_directory(dir / "out").size(), 3u);
  // Into a directory holding volume files, only with a yes.
  const auto held = snapshot(dir / "out");
  r = cli("'/l:C:\\CAT' '[TWO*]' --no --export " + shell_quote(dir / "out"), env);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("already holds 3 volume files; replace them?"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the files numbered 1 and above stay as they are"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(dir / "out"), held);
  r = cli("'/l:C:\\CAT' '[TWO*]' --export " + shell_quote(dir / "out"), env); // nobody to ask
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(snapshot(dir / "out"), held);
  r = cli("'/l:C:\\CAT' '[TWO*]' --yes --export " + shell_quote(dir / "out"), env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::read_file(dir / "out/00000000.KTL").substr(0, 3), "TWO");
  EXPECT_EQ(testing::read_file(dir / "out/00000002.KTL").substr(0, 3), "TWO");
}

TEST_F(ShelvoCli, ADirectoryWithoutACatalogIsNeitherImportedIntoNorExportedFrom) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  // A directory that exists but holds no volume file 0 is no catalog: a
  // mistyped /l: naming one must not become a catalog by an import.
  testing::make_directories(dir / "c/PLAIN");
  testing::write_file(dir / "c/PLAIN/notes.txt", "mine");
  for (const std::string answer : {"--yes", "--no"}) {
    SCOPED_TRACE(answer);
    auto r = cli("'/l:C:\\PLAIN' " + answer + " --import 'C:\\CAT'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("shelvo-cli: no catalog at C:\\PLAIN: it holds no 00000000.KTL"), std::string::npos) << r.err;
    r = cli("'/l:C:\\PLAIN' " + answer + " --export " + shell_quote(dir / "out"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("shelvo-cli: no catalog at C:\\PLAIN: it holds no 00000000.KTL"), std::string::npos) << r.err;
  }
  EXPECT_EQ(testing::list_directory(dir / "c/PLAIN"), std::vector<std::string>{"notes.txt"});
  EXPECT_FALSE(testing::path_exists(dir / "out"));
}

TEST_F(ShelvoCli, MaintenanceElementsThatWouldBeIgnoredOrContradictAreUsageErrors) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  ASSERT_EQ(cli("'/l:C:\\CAT' D: /S").status, 0);
  const auto before = snapshot(dir / "c/CAT");
  const std::string out = shell_quote(dir / "out");
  const std::pair<std::string, std::string> wrong[] = {
      {"'/l:C:\\CAT' --yes --delete 1 '[DISK*]'", "not '[DISK*]' (the volume is chosen by its number"},
      {"'/l:C:\\CAT' --yes --import " + out + " '[DISK*]'", "(every volume of the other catalog is imported)"},
      {"'/l:C:\\CAT' --no --yes --delete 1", "--yes and --no contradict each other"},
      {"'/l:C:\\CAT' --yes --delete 1 '/l:C:\\OTHER'", "'/l:C:\\OTHER' names a second one"},
      {"/l --yes --delete 1", "'/l' names no catalog"},
      {"'/l:C:\\CAT' --yes --export " + out + " '[]'", "'[]' is an empty volume mask"},
      {"'/l:C:\\CAT' --yes --delete 1 --label DISK --label OTHER", "--label names one label, and is given twice"},
      {"'/l:C:\\CAT' --export " + out + " --no-index", "the output and index flags are for searches"},
      {"'/l:C:\\CAT' D: /Y --yes", "--yes and --no answer the questions of --delete, --import and --export"},
  };
  for (const auto& [arguments, said] : wrong) {
    const auto r = cli(arguments);
    EXPECT_EQ(r.status, 64) << arguments;
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
  }
  EXPECT_EQ(snapshot(dir / "c/CAT"), before);
  EXPECT_FALSE(testing::path_exists(dir / "out"));
  EXPECT_FALSE(testing::path_exists(dir / "c/VOLDEPOT"));
}

// The moves of a delete hold Ctrl-C, SIGTERM and SIGHUP back until the
// catalog is whole. A signal that comes meanwhile finds the volume deleted:
// the tool says so and exits 0, since a script reading 128+N would delete again.
TEST_F(ShelvoCli, ADeleteDoneWhenASignalComesStandsAndExitsZero) {
  const std::string cat = dir / "c/BIG";
  testing::make_directories(cat);
  // Enough volumes after the deleted one that their moves take a while.
  for (long n = 0; n <= 4000; ++n) {
    std::string label = "V" + std::to_string(n);
    label.resize(label_length, ' ');
    testing::write_file(cat + "/" + volume_file_name(n), n == 0 ? std::string() : label + '\x05');
  }
  const std::string aside = cat + "/.shelvo-delete-00000001";
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    const std::size_t files = testing::list_directory(cat).size();
    const std::string next = testing::read_file(cat + "/00000002.KTL");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(signal_number, SIG_DFL);
      ::setenv("SHELVO_DRIVES", drives.c_str(), 1);
      if (!std::freopen((dir / "err").c_str(), "w", stderr)) ::_exit(126);
      ::execl(SHELVO_CLI_PATH, "shelvo-cli", "/l:C:\\BIG", "--yes", "--delete", "1", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // The moves are under way while the set-aside file is there.
    bool seen = false;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!seen && ::waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
      seen = ::access(aside.c_str(), F_OK) == 0;
    ASSERT_TRUE(seen) << "the moves were never seen under way";
    ::kill(child, signal_number);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string err = testing::read_file(dir / "err");
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(err.find("v2.2] was deleted"), std::string::npos) << err;
    EXPECT_NE(err.find("the stop came when the deletion was done: it stands"), std::string::npos) << err;
    EXPECT_EQ(testing::list_directory(cat).size(), files - 1);
    EXPECT_EQ(testing::read_file(cat + "/00000001.KTL"), next);
  }
}

// A listing cut short by a volume file it cannot read cannot tell which volumes
// after it an export would take: the export fails, naming the file, as the
// import of the same catalog does, and writes nothing.
TEST_F(ShelvoCli, AnExportFailsAtAVolumeFileItCannotReadAsTheImportDoes) {
  file("a.txt");
  for (int n = 0; n < 3; ++n) ASSERT_EQ(cli("'/l:C:\\CAT' D: /S").status, 0);
  testing::make_directories(dir / "c/NEW");
  testing::write_file(dir / "c/NEW/00000000.KTL", "");
  const std::string second = dir / "c/CAT/00000002.KTL";
  for (const std::string kind : {"fifo", "directory", "socket"}) {
    SCOPED_TRACE(kind);
    ASSERT_EQ(std::remove(second.c_str()), 0);
    if (kind == "fifo") {
      ASSERT_EQ(::mkfifo(second.c_str(), 0644), 0);
    } else if (kind == "directory") {
      ASSERT_EQ(::mkdir(second.c_str(), 0755), 0);
    } else {
      const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      ASSERT_LT(second.size(), sizeof address.sun_path);
      std::copy(second.begin(), second.end(), address.sun_path);
      ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
      ::close(sock);
    }
    auto r = cli("'/l:C:\\CAT' --yes --export " + shell_quote(dir / "out"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("shelvo-cli: cannot read the volume file C:\\CAT\\00000002.KTL: "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("so nothing was exported"), std::string::npos) << r.err;
    EXPECT_FALSE(testing::path_exists(dir / "out"));
    r = cli("'/l:C:\\NEW' --yes --import 'C:\\CAT'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read C:\\CAT\\00000002.KTL: "), std::string::npos) << r.err;
  }
}

TEST_F(ShelvoCli, AVolumeFileThatIsNoRegularFileIsRefusedWithoutHanging) {
  file("a.txt");
  ASSERT_EQ(cli("'/l:C:\\CAT' D:").status, 0);
  const std::string second = dir / "c/CAT/00000002.KTL";
  // A FIFO would block the open, a device would never end: each call is given
  // ten seconds by the harness, and says why the volume was not read.
  for (const char* kind : {"fifo", "zero", "urandom"}) {
    SCOPED_TRACE(kind);
    std::remove(second.c_str());
    if (std::string(kind) == "fifo") ASSERT_EQ(::mkfifo(second.c_str(), 0644), 0);
    else ASSERT_EQ(::symlink(("/dev/" + std::string(kind)).c_str(), second.c_str()), 0);
    for (const char* call : {"'*'", "/W", "D: /S"}) {
      const auto r = testing::run_command("timeout 10 " + cli_command("'/l:C:\\CAT' " + std::string(call)));
      EXPECT_NE(r.status, 124) << call << " hung";
      EXPECT_NE(r.err.find("Not a regular file"), std::string::npos) << call << ": " << r.err;
    }
  }
}

TEST_F(ShelvoCli, AnAddThatLeftEntriesOutSaysSoAndExitsFour) {
  std::string deep = dir / "d";
  for (int level = 0; level <= 400; ++level) deep += "/d";
  testing::make_directories(deep);
  ASSERT_EQ(::mkfifo((dir / "d/pipe").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir / "d/zero").c_str()), 0);
  auto r = cli("'/l:C:\\CAT' D:");
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_NE(r.err.find("shelvo-cli: The volume was added, but 3 entries were left out of it (1 with a path too long, 2 "
                       "neither file nor directory); the first: "),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("left out \\"), std::string::npos) << r.err; // only the first, without --verbose
  EXPECT_EQ(testing::list_directory(dir / "c/CAT").size(), 2u); // added all the same
  // --verbose names every one of them.
  r = cli("'/l:C:\\CAT' D: /Y --verbose");
  EXPECT_EQ(r.status, 4) << r.err;
  for (const std::string& entry : {std::string("\\PIPE: a FIFO, never opened"),
                                   std::string("\\ZERO: a link to a device, never opened"),
                                   std::string("\\D\\D\\D")})
    EXPECT_NE(r.err.find("shelvo-cli: left out " + entry), std::string::npos) << entry << "\n" << r.err;
}

TEST_F(ShelvoCli, NamesAndLabelsFromCatalogsAndVolumesNeverReachTheTerminalRaw) {
  // An archive whose host name holds an escape sequence, announced by --verbose.
  file("a.txt");
  ASSERT_EQ(testing::run_command("cd " + shell_quote(dir / "d") + " && zip -q " +
                                 shell_quote("z\x1B]0;PWND\x07.zip") + " a.txt").status,
            0);
  auto r = cli("'/l:C:\\CAT' D: --verbose");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE((r.out + r.err).find("Scanning Zip File \\Z?]0;PWND?.ZIP"), std::string::npos) << r.out << r.err;
  for (const std::string& stream : {r.err, r.out}) EXPECT_EQ(stream.find('\x1B'), std::string::npos);
  // A label from another catalog, in the replace question of an import.
  const std::string hostile = "\x1B]0;PWND\x07\x1B[2J\xC2\x8F   ";
  testing::make_directories(dir / "c/OTHER");
  testing::write_file(dir / "c/OTHER/00000000.KTL", hostile + "\x05");
  testing::write_file(dir / "c/CAT/00000002.KTL", hostile + "\x05");
  r = cli("'/l:C:\\CAT' --no --import 'C:\\OTHER'");
  EXPECT_NE(r.err.find("Do you want to replace"), std::string::npos) << r.err;
  for (const std::string& stream : {r.err, r.out}) {
    EXPECT_EQ(stream.find('\x1B'), std::string::npos);
    EXPECT_EQ(stream.find('\x07'), std::string::npos);
    EXPECT_EQ(stream.find("\xC2\x8F"), std::string::npos); // nor a C1 control
  }
}

// Well-formed UTF-8 without a control character but the line ends: what a
// terminal shows as text, whatever its encoding (a lone byte 0x9B opens an
// escape sequence on an 8-bit one).
bool printable_on_a_terminal(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if ((lead < 0x20 && lead != '\n') || lead == 0x7F) return false;
      ++i;
      continue;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t code_point = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code_point = code_point << 6 | (next & 0x3F);
    }
    constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code_point < shortest[length] || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF) ||
        code_point < 0xA0)
      return false;
    i += length;
  }
  return true;
}

TEST_F(ShelvoCli, NoControlByteNorMalformedUtf8OfAPathOrAnArgumentReachesTheTerminal) {
  const std::string csi = "\x9B" "2J"; // clears an 8-bit terminal
  const std::string hostile = "x" + csi + "\xFF\x1B]0;T\x07\xC2\x9B";
  testing::make_directories(dir / ("d/" + hostile));
  const testing::CommandResult seen[] = {
      cli(shell_quote("--x" + csi)),                                           // an unknown option
      cli(shell_quote("/l:C:\\" + hostile) + " /W"),                           // the catalog asked for
      cli("'/l:C:\\CAT' --add " + shell_quote(dir / ("d/" + hostile))),         // the added directory
      cli("'/l:C:\\CAT' --add " + shell_quote(dir / hostile)),                  // ... missing
      cli("'/l:C:\\CAT' --yes --import " + shell_quote(dir / hostile)),         // the import's directory
      cli("'/l:C:\\CAT' --yes --export " + shell_quote(dir / (hostile + "/x"))), // the export's
      cli("--drives", "C:=" + (dir / "c") + ";E:=" + (dir / hostile)),          // the drive table
  };
  EXPECT_NE(seen[0].err.find("unknown option '--x\\x9B2J'"), std::string::npos) << seen[0].err;
  for (const testing::CommandResult& r : seen) {
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(printable_on_a_terminal(r.err)) << r.err;
    EXPECT_TRUE(printable_on_a_terminal(r.out)) << r.out;
  }
}

TEST_F(ShelvoCli, VolumeNumbersPast32767AreShownAndUsedAsTheyAre) {
  testing::make_directories(dir / "c/BIG");
  for (long n = 0; n <= 32770; ++n) {
    std::string label = "V" + std::to_string(n);
    label.resize(label_length, ' ');
    testing::write_file(dir / ("c/BIG/" + volume_file_name(n)), n == 0 ? std::string() : label + '\x05');
  }
  auto r = cli("'/l:C:\\BIG' '[V3277*]' /W --numbers");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("V32770         v2.2\t32770"), std::string::npos) << r.out;
  r = cli("'/l:C:\\BIG' '[V32769*]' --export " + shell_quote(dir / "out"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::read_file(dir / "out/00000000.KTL").substr(0, 6), "V32769");
}

} // namespace
} // namespace shelvo
