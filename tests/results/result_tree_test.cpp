#include "results/result_tree.h"

#include "catalog/catalog_store.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/status_view.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace shelvo {
namespace {

class ResultTreeTest : public ::testing::Test {
protected:
  void SetUp() override {
    reset_counters();
    counters.listed_volumes = 0;
    stop_flag = 0;
    last_shown_volume = -1;
    set_status_view(&view);
  }
  void TearDown() override { set_status_view(nullptr); }

  // Texts of the children of a node (no_node: top level).
  std::vector<std::string> children_texts(NodeId node) const {
    std::vector<std::string> texts;
    for (std::uint32_t row = 0; row < tree.child_count(node); ++row) texts.emplace_back(tree.text(tree.child(node, row)));
    return texts;
  }
  // A path of n one-letter components: "\D\D\D...".
  static std::string path_of_depth(unsigned n) {
    std::string path;
    for (unsigned i = 0; i < n; ++i) path += "\\D";
    return path;
  }

  testing::RecordingStatus view;
  ResultTree tree;
};

using Texts = std::vector<std::string>;

// --- File-line layout ---

TEST_F(ResultTreeTest, ReadmeInRootDirectoryGivesTheDocumentedLine) {
  tree.add_volume_node("DATA           ", 1, VolumeNodeMode::search);
  const NodeId line = tree.add_file_line("", "README.TXT", 1234, 5, 3, 98, 14, 7);
  const std::string expected = "README.TXT" + std::string(72, ' ') + std::string(6, ' ') + "1234 05/03/98 14:07";
  EXPECT_EQ(tree.text(line), expected);
  EXPECT_EQ(tree.number(line), 1234);
  EXPECT_EQ(tree.parent(line), tree.top_level(0));
}

TEST_F(ResultTreeTest, NameFieldWidthFollowsTheDepthTable) {
  struct Row {
    unsigned depth;
    std::size_t width;
  };
  const Row table[] = {{0, 82}, {1, 79}, {2, 76}, {3, 73}, {4, 70}, {5, 67}, {6, 64}, {7, 60},
                       {8, 57}, {9, 54}, {10, 51}, {26, 3}, {27, 1}, {30, 1}};
  for (const Row& row : table) {
    tree.add_volume_node("V", 0, VolumeNodeMode::search);
    const NodeId line = tree.add_file_line(path_of_depth(row.depth), "X", 7, 1, 2, 3, 4, 5);
    ASSERT_EQ(tree.path_depth(), row.depth);
    const std::string_view text = tree.text(line);
    EXPECT_EQ(text.size(), row.width + 25) << "depth " << row.depth;
    EXPECT_EQ(text.substr(text.size() - 25), "         7 01/02/03 04:05") << "depth " << row.depth;
  }
}

TEST_F(ResultTreeTest, LongNamesAreNeverCutByTheField) {
  const std::string name70(70, 'N');
  EXPECT_EQ(format_file_line(name70, 2, 1, 1, 1, 1, 1, 1), name70 + std::string(12, ' ') + "         1 01/01/01 01:01");
  // From depth 27 the columns follow the name directly.
  EXPECT_EQ(format_file_line("AB", 27, 12, 31, 12, 99, 23, 59), "AB        12 31/12/99 23:59");
  EXPECT_EQ(format_file_line(name70, 10, 0, 0, 0, 0, 0, 0), name70 + "         0 00/00/00 00:00");
}

TEST_F(ResultTreeTest, ColumnsStayTheLast25CharactersForAnyValue) {
  const std::string largest = format_file_line("A", 0, 2147483647, 1, 1, 0, 0, 0);
  EXPECT_EQ(largest.substr(largest.size() - 25), "2147483647 01/01/00 00:00");
  // A damaged record can carry bit 31: its stored 32 bits are shown unsigned.
  const std::string negative = format_file_line("A", 0, -1, 1, 1, 0, 0, 0);
  EXPECT_EQ(negative.size(), 82u + 25u);
  EXPECT_EQ(negative.substr(negative.size() - 25), "4294967295 01/01/00 00:00");
  // Date fields can only be two digits from a record; wider values must not shift the columns.
  const std::string wide_date = format_file_line("A", 0, 5, 255, 200, 100, 255, 255);
  EXPECT_EQ(wide_date.substr(wide_date.size() - 25), "         5 99/99/99 99:99");
  EXPECT_EQ(wide_date.size(), 82u + 25u);
}

// A file line is kept without its spaces until its text is asked for: its parts
// make the line at every depth, an observer reads the whole line as soon as it
// is told of it, and a text stays valid while more lines are added.
TEST_F(ResultTreeTest, AFileLineKeptInPartsIsTheWholeLine) {
  class TextReader : public ResultTreeObserver {
  public:
    explicit TextReader(const ResultTree& t) : tree_(t) {}
    void node_appended(NodeId parent, std::uint32_t row) override {
      if (parent != no_node) texts.emplace_back(tree_.text(tree_.child(parent, row)));
    }
    std::vector<std::string> texts;

  private:
    const ResultTree& tree_;
  } reader(tree);
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  std::vector<std::pair<NodeId, std::string>> lines;
  for (unsigned depth : {0u, 1u, 6u, 7u, 26u, 27u, 40u}) {
    for (const std::string& name : {std::string("A"), std::string(70, 'N'), std::string(5000, 'Z')}) {
      const NodeId line = tree.add_file_line(path_of_depth(depth), name, 123456, 1, 2, 3, 4, 5);
      const std::string expected = format_file_line(name, depth, 123456, 1, 2, 3, 4, 5);
      const ResultTree::TextParts parts = tree.text_parts(line);
      ASSERT_EQ(std::string(parts.name) + std::string(parts.spaces, ' ') + std::string(parts.columns), expected)
          << "depth " << depth << " name " << name.size();
      lines.emplace_back(line, expected);
    }
  }
  std::vector<std::string_view> views;
  for (const auto& [line, expected] : lines) views.push_back(tree.text(line));
  tree.set_observer(&reader);
  for (int k = 0; k < 3000; ++k) tree.add_file_line("\\X", "FILLER" + std::to_string(k), k, 1, 1, 1, 1, 1);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    EXPECT_EQ(views[k], lines[k].second);
    EXPECT_EQ(tree.text(lines[k].first), lines[k].second);
    EXPECT_EQ(tree.text_parts(lines[k].first).name, lines[k].second); // in full from now on
  }
  ASSERT_EQ(reader.texts.size(), 3001u); // the directory X, then the lines
  EXPECT_EQ(reader.texts.back(), format_file_line("FILLER2999", 1, 2999, 1, 1, 1, 1, 1));
}

TEST_F(ResultTreeTest, OverlongNameIsCutToTheLineLimit) {
  const std::string huge(10000, 'Z');
  for (unsigned depth : {0u, 3u, 6u, 7u, 30u}) {
    const std::string line = format_file_line(huge, depth, 9, 1, 1, 1, 1, 1);
    EXPECT_EQ(line.size(), max_line_length) << "depth " << depth;
    EXPECT_EQ(line.substr(line.size() - 25), "         9 01/01/01 01:01");
  }
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  EXPECT_EQ(tree.text(tree.add_file_line("\\A", huge, 9, 1, 1, 1, 1, 1)).size(), max_line_length);
}

TEST_F(ResultTreeTest, NameEndsAtItsTerminator) {
  const std::string name("AB\0CD", 5);
  EXPECT_EQ(format_file_line(name, 27, 1, 1, 1, 1, 1, 1), "AB         1 01/01/01 01:01");
}

// --- Path memory ---

TEST_F(ResultTreeTest, RootHitHangsUnderTheVolumeForEmptyPathAndBackslash) {
  const NodeId volume = tree.add_volume_node("V", 3, VolumeNodeMode::search);
  EXPECT_EQ(tree.add_directory_path(""), volume);
  EXPECT_EQ(tree.path_depth(), 0);
  tree.add_file_line("\\", "A.TXT", 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(tree.child_count(volume), 1u);
  EXPECT_EQ(tree.text(tree.child(volume, 0)).size(), 82u + 25u);
}

TEST_F(ResultTreeTest, ConsecutiveHitsShareTheirDirectoryNodes) {
  const NodeId volume = tree.add_volume_node("V", 0, VolumeNodeMode::search);
  tree.add_file_line("\\A\\B\\C", "ONE", 1, 1, 1, 1, 1, 1);
  tree.add_file_line("\\A\\B\\C", "TWO", 2, 1, 1, 1, 1, 1);
  tree.add_file_line("\\A\\X\\C", "THREE", 3, 1, 1, 1, 1, 1);
  ASSERT_EQ(children_texts(volume), Texts{"A"});
  const NodeId a = tree.child(volume, 0);
  ASSERT_EQ(children_texts(a), (Texts{"B", "X"}));
  const NodeId b_c = tree.child(tree.child(a, 0), 0);
  const NodeId x_c = tree.child(tree.child(a, 1), 0);
  EXPECT_EQ(tree.text(b_c), "C");
  EXPECT_EQ(tree.text(x_c), "C");
  EXPECT_EQ(tree.child_count(b_c), 2u);
  EXPECT_EQ(tree.child_count(x_c), 1u);
  EXPECT_EQ(tree.number(b_c), 0);
  EXPECT_EQ(tree.number(tree.child(b_c, 1)), 2);
}

TEST_F(ResultTreeTest, DirectoryRevisitedAfterASiblingGetsASecondNode) {
  const NodeId volume = tree.add_volume_node("V", 0, VolumeNodeMode::search);
  tree.add_directory_path("\\A\\B");
  tree.add_directory_path("\\A\\C");
  tree.add_directory_path("\\A\\B");
  EXPECT_EQ(children_texts(tree.child(volume, 0)), (Texts{"B", "C", "B"}));
}

TEST_F(ResultTreeTest, SameDirectoryTwiceReusesItsNode) {
  const NodeId volume = tree.add_volume_node("V", 0, VolumeNodeMode::search);
  const NodeId first = tree.add_directory_path("\\PHOTOS");
  tree.add_directory_path("\\PHOTOS\\SUB");
  EXPECT_EQ(tree.add_directory_path("\\PHOTOS"), first);
  EXPECT_EQ(tree.path_depth(), 1);
  EXPECT_EQ(tree.child_count(volume), 1u);
  // Comparison is exact: another letter case is another directory.
  tree.add_directory_path("\\photos");
  EXPECT_EQ(tree.child_count(volume), 2u);
}

TEST_F(ResultTreeTest, DirectoryHitAloneHasNoLines) {
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  const NodeId deepest = tree.add_directory_path("\\A\\B");
  EXPECT_EQ(tree.text(deepest), "B");
  EXPECT_EQ(tree.child_count(deepest), 0u);
  EXPECT_EQ(tree.path_depth(), 2);
  EXPECT_EQ(tree.node_count(), 3u);
}

TEST_F(ResultTreeTest, NewVolumeRestartsThePathAtDepthOne) {
  tree.add_volume_node("FIRST", 0, VolumeNodeMode::search);
  tree.add_file_line("\\A\\B\\C\\D", "F", 1, 1, 1, 1, 1, 1);
  const NodeId second = tree.add_volume_node("SECOND", 1, VolumeNodeMode::search);
  EXPECT_EQ(tree.path_node(0), second);
  EXPECT_EQ(tree.path_node(1), no_node);
  const NodeId line = tree.add_file_line("\\A", "G", 1, 1, 1, 1, 1, 1);
  ASSERT_EQ(children_texts(second), Texts{"A"});
  EXPECT_EQ(tree.parent(line), tree.child(second, 0));
  EXPECT_EQ(tree.text(line).size(), 79u + 25u);
}

TEST_F(ResultTreeTest, ArchiveMembersHangUnderTheArchiveNode) {
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  const NodeId line = tree.add_file_line("\\ARC\\BACKUP.ZIP", "DOC.TXT", 10, 1, 1, 1, 1, 1);
  EXPECT_EQ(tree.text(tree.parent(line)), "BACKUP.ZIP");
  EXPECT_EQ(tree.text(tree.parent(tree.parent(line))), "ARC");
}

TEST_F(ResultTreeTest, HostilePathsAreCutNotOverrun) {
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  // 300 components of "\D" (600 characters): cut to 511 characters, 255 components.
  EXPECT_EQ(tree.text(tree.add_directory_path(path_of_depth(300))), "D");
  EXPECT_EQ(tree.path_depth(), 255);
  // 256 components fit 511 characters without a leading backslash; one is dropped.
  std::string unrooted = "D" + path_of_depth(255);
  ASSERT_EQ(unrooted.size(), 511u);
  tree.add_directory_path(unrooted);
  EXPECT_EQ(tree.path_depth(), 255);
  // One long component is cut at the path limit.
  tree.add_directory_path("\\" + std::string(2000, 'L'));
  EXPECT_EQ(tree.text(tree.path_node(1)).size(), 510u);
  // Doubled and trailing backslashes and a terminator inside the path.
  const NodeId c = tree.add_directory_path(std::string("\\\\A\\\\C\\\0\\IGNORED", 16));
  EXPECT_EQ(tree.path_depth(), 2);
  EXPECT_EQ(tree.text(c), "C");
  EXPECT_EQ(tree.text(tree.parent(c)), "A");
  EXPECT_EQ(tree.add_directory_path("\\\\\\"), tree.path_node(0));
}

// --- Volume nodes ---

TEST_F(ResultTreeTest, ListingSuffixFollowsTheFormatByte) {
  struct Case {
    std::string label;
    unsigned char format;
    std::string text;
  };
  const Case cases[] = {{"DATA           ", 5, "DATA           v2.2"},
                        {"OLD            ", 0, "OLD            v2~0"},
                        {"OLD            ", 2, "OLD            v2~0"},
                        {"ODD            ", 1, "ODD            v2.-2"},
                        {"", 0, "v2~0"}};
  for (const Case& c : cases) {
    const NodeId node = tree.add_volume_node(c.label, 4, VolumeNodeMode::listing);
    tree.append_volume_version(version_marker(c.format), version_number(c.format));
    EXPECT_EQ(tree.text(node), c.text);
  }
  EXPECT_EQ(tree.top_level_count(), 5u);
}

TEST_F(ResultTreeTest, VolumeNumberIsWidenedWithItsSign) {
  EXPECT_EQ(tree.number(tree.add_volume_node("V", -2, VolumeNodeMode::search)), -2);
  EXPECT_EQ(tree.number(tree.add_volume_node("W", 32767, VolumeNodeMode::search)), 32767);
}

TEST_F(ResultTreeTest, SuffixOfAnEarlierVolumeMovesItsTextSafely) {
  const NodeId volume = tree.add_volume_node("DATA", 0, VolumeNodeMode::search);
  tree.add_file_line("\\A", "F", 1, 1, 1, 1, 1, 1);
  tree.append_volume_version('.', 2);
  EXPECT_EQ(tree.text(volume), "DATAv2.2");
  EXPECT_EQ(tree.text(tree.child(volume, 0)), "A");
}

TEST_F(ResultTreeTest, LabelEndsAtTerminatorAndLimit) {
  EXPECT_EQ(tree.text(tree.add_volume_node(std::string("AB\0C", 4), 0, VolumeNodeMode::listing)), "AB");
  const NodeId huge = tree.add_volume_node(std::string(5000, 'L'), 0, VolumeNodeMode::listing);
  tree.append_volume_version('.', -2147483647 - 1);
  EXPECT_EQ(tree.text(huge).size(), max_line_length);
}

TEST_F(ResultTreeTest, VolumeNodesRefreshTheStatusOfTheirMode) {
  counters.listed_volumes = 2;
  tree.add_volume_node("L", 2, VolumeNodeMode::listing);
  ASSERT_EQ(view.captions.size(), 1u);
  EXPECT_EQ(view.captions.back(), "2 volume(s)");
  tree.add_volume_node("S", 0, VolumeNodeMode::search);
  ASSERT_EQ(view.captions.size(), 2u);
  EXPECT_EQ(view.captions.back().rfind("File:", 0), 0u);
  // Same volume, no step reached: directory paths draw nothing more.
  tree.add_directory_path("\\A");
  EXPECT_EQ(view.captions.size(), 2u);
}

// --- Clearing, reading, sorting, observing ---

class RecordingObserver : public ResultTreeObserver {
public:
  void node_about_to_be_appended(NodeId parent, std::uint32_t row) override {
    events.push_back("before " + std::to_string(static_cast<int>(parent)) + ":" + std::to_string(row));
  }
  void node_appended(NodeId parent, std::uint32_t row) override {
    events.push_back("after " + std::to_string(static_cast<int>(parent)) + ":" + std::to_string(row));
  }
  void node_text_changed(NodeId node) override { events.push_back("text " + std::to_string(node)); }
  void children_about_to_be_reordered(NodeId parent) override {
    events.push_back("sorting " + std::to_string(static_cast<int>(parent)));
  }
  void children_reordered(NodeId parent) override { events.push_back("sorted " + std::to_string(static_cast<int>(parent))); }
  void tree_about_to_be_cleared() override { events.push_back("clearing"); }
  void tree_cleared() override { events.push_back("cleared"); }
  std::vector<std::string> events;
};

TEST_F(ResultTreeTest, ObserverHearsEveryChangeWithParentAndRow) {
  RecordingObserver observer;
  tree.set_observer(&observer);
  tree.add_volume_node("V", 0, VolumeNodeMode::listing);
  tree.append_volume_version('.', 2);
  tree.add_file_line("\\A", "F", 1, 1, 1, 1, 1, 1);
  tree.sort_children(no_node, [](NodeId, NodeId) { return false; });
  tree.clear_result_tree();
  EXPECT_EQ(observer.events, (Texts{"before -1:0", "after -1:0", "text 0", "before 0:0", "after 0:0", "before 1:0",
                                    "after 1:0", "sorting -1", "sorted -1", "clearing", "cleared"}));
}

TEST_F(ResultTreeTest, ClearEmptiesTreeAndPathNodesButKeepsDepth) {
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  tree.add_directory_path("\\A\\B");
  tree.clear_result_tree();
  EXPECT_EQ(tree.node_count(), 0u);
  EXPECT_EQ(tree.top_level_count(), 0u);
  EXPECT_EQ(tree.path_depth(), 2);
  EXPECT_EQ(tree.path_node(0), no_node);
  EXPECT_EQ(tree.path_node(1), no_node);
  // A caller that forgets the volume node loses nothing and breaks nothing.
  tree.append_volume_version('.', 2);
  const NodeId line = tree.add_file_line("\\A", "F", 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(tree.top_level_count(), 1u);
  EXPECT_EQ(tree.text(tree.parent(line)), "A");
  EXPECT_EQ(tree.parent(tree.parent(line)), no_node);
}

TEST_F(ResultTreeTest, SortKeepsRowsAndPathMemoryConsistent) {
  const NodeId volume = tree.add_volume_node("V", 0, VolumeNodeMode::search);
  tree.add_file_line("\\D", "SMALL", 5, 1, 1, 1, 1, 1);
  tree.add_file_line("\\D", "BIG", 500, 1, 1, 1, 1, 1);
  tree.add_file_line("\\D", "MID", 50, 1, 1, 1, 1, 1);
  const NodeId d = tree.child(volume, 0);
  tree.sort_children(d, [&](NodeId a, NodeId b) { return tree.number(a) > tree.number(b); });
  for (std::uint32_t row = 0; row < tree.child_count(d); ++row) EXPECT_EQ(tree.row(tree.child(d, row)), row);
  EXPECT_EQ(tree.number(tree.child(d, 0)), 500);
  EXPECT_EQ(tree.number(tree.child(d, 2)), 5);
  // A hit after the sort still finds D remembered and appends at the end.
  const NodeId later = tree.add_file_line("\\D", "LATE", 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(tree.row(later), 3u);
  EXPECT_EQ(tree.child_count(volume), 1u);
  // A leaf has nothing to sort.
  tree.sort_children(later, [](NodeId, NodeId) { return true; });
}

} // namespace
} // namespace shelvo
