// The actions on a finished tree: sorting every list, and finding a hit again on
// the drives that hold it now.
#include "results/tree_actions.h"

#include "results/run_state.h"
#include "support/fakes.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace shelvo {
namespace {

std::vector<std::string> texts_of(const ResultTree& tree, NodeId parent) {
  std::vector<std::string> out;
  for (std::uint32_t row = 0; row < tree.child_count(parent); ++row)
    out.emplace_back(tree.text(tree.child(parent, row)));
  return out;
}

TEST(TreeActions, SortingEveryListByTextAndByNumber) {
  ResultTree tree;
  for (const char* label : {"b", "B", "a", "_x"}) tree.add_volume_node(label, 0, VolumeNodeMode::listing);
  sort_tree_by_text(tree, [](std::string_view a, std::string_view b) { return a < b; }, true);
  EXPECT_EQ(texts_of(tree, no_node), (std::vector<std::string>{"b", "a", "_x", "B"})); // descending bytes

  ResultTree hits;
  hits.add_volume_node("V", 1, VolumeNodeMode::search);
  hits.add_file_line("\\D", "SMALL", 5, 1, 1, 1, 1, 1);
  hits.add_file_line("\\D", "BIG", 500, 1, 1, 1, 1, 1);
  hits.add_file_line("\\D\\SUB", "MID", 50, 1, 1, 1, 1, 1);
  const NodeId d = hits.child(hits.top_level(0), 0);
  sort_tree_by_number(hits, true); // the largest first, directories (0) last
  EXPECT_EQ(hits.number(hits.child(d, 0)), 500);
  EXPECT_EQ(hits.text(hits.child(d, 2)), "SUB");
  sort_tree_by_number(hits, false);
  EXPECT_EQ(hits.text(hits.child(d, 0)), "SUB");
  EXPECT_EQ(hits.number(hits.child(d, 2)), 500);
}

TEST(TreeActions, LargeTreesAreNotSorted) {
  reset_counters();
  counters.found_files = 599;
  counters.found_dirs = 99;
  EXPECT_FALSE(sort_refused());
  counters.found_files = 600;
  EXPECT_TRUE(sort_refused());
  counters.found_files = 0;
  counters.found_dirs = 100;
  EXPECT_TRUE(sort_refused());
  reset_counters();
}

TEST(TreeActions, AHitIsFoundAgainOnEveryDriveThatHoldsIt) {
  testing::TempDir dir;
  for (const char* drive : {"c", "e", "y", "z"}) {
    testing::make_directories(dir / (std::string(drive) + "/DOCS/\xC3\xA9t\xC3\xA9")); // été, stored ETE
    testing::write_file(dir / (std::string(drive) + "/readme.txt"), "r");
  }
  testing::DriveMapping map({{'C', dir / "c"}, {'E', dir / "e"}, {'Y', dir / "y"}, {'Z', dir / "z"}});
  ResultTree tree;
  tree.add_volume_node("V", 1, VolumeNodeMode::search);
  const NodeId readme = tree.add_file_line("", "README.TXT", 1234, 5, 3, 98, 14, 7);
  const NodeId ete = tree.add_directory_path("\\DOCS\\ETE");
  const NodeId member = tree.add_file_line("\\DOCS\\PACK.ZIP", "A.TXT", 1, 1, 1, 1, 1, 1);
  bool directory = false;
  EXPECT_EQ(found_path_of(tree, readme, directory), "README.TXT");
  EXPECT_FALSE(directory);
  EXPECT_EQ(found_path_of(tree, ete, directory), "DOCS\\ETE\\");
  EXPECT_TRUE(directory);
  EXPECT_EQ(found_path_of(tree, tree.top_level(0), directory), "");

  testing::RecordingLauncher launcher;
  EXPECT_EQ(open_found_path(found_path_of(tree, readme, directory), false, launcher), 3); // C, E, Y; never Z
  EXPECT_EQ(launcher.opened[1], dir / "e/readme.txt");
  launcher.opened.clear();
  EXPECT_EQ(open_found_path("DOCS\\ETE\\", true, launcher), 3); // the folded accents found again
  EXPECT_EQ(launcher.opened[0], dir / "c/DOCS/\xC3\xA9t\xC3\xA9/");
  EXPECT_EQ(open_found_path(found_path_of(tree, member, directory), false, launcher), 0); // a member: nothing
}

TEST(TreeActions, AnArchiveOpensAsAFileItsMembersNameItAndFailuresAreKept) {
  testing::TempDir dir;
  testing::make_directories(dir / "e/docs");
  testing::write_file(dir / "e/docs/Pack.zip", "PK");
  testing::DriveMapping map({{'E', dir / "e"}});
  ResultTree tree;
  tree.add_volume_node("V", 1, VolumeNodeMode::search);
  const NodeId member = tree.add_file_line("\\DOCS\\PACK.ZIP", "A.TXT", 1, 1, 1, 1, 1, 1);
  bool directory = false;
  testing::RecordingLauncher launcher;
  OpenProblems problems;
  // The archive's node: the file itself, without a separator after it.
  const std::string archive = found_path_of(tree, tree.parent(member), directory);
  EXPECT_EQ(open_found_path(archive, directory, launcher, &problems), 1);
  EXPECT_EQ(launcher.opened, std::vector<std::string>{dir / "e/docs/Pack.zip"});
  // A member: nothing opened, and the archive that holds it named.
  const std::string in_archive = found_path_of(tree, member, directory);
  EXPECT_EQ(open_found_path(in_archive, directory, launcher, &problems), 0);
  EXPECT_EQ(problems.archive, dir / "e/docs/Pack.zip");
  // An opener that cannot be started: the path is kept for the user.
  class NoOpener final : public Launcher {
  public:
    bool open_text_file(const std::string&) override { return false; }
    bool open_with_desktop(const std::string&) override { return false; }
  } none;
  EXPECT_EQ(open_found_path("DOCS\\", true, none, &problems), 0);
  EXPECT_EQ(problems.failed, std::vector<std::string>{dir / "e/docs/"});
}

} // namespace
} // namespace shelvo
