#include "results/tree_text_output.h"

#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace shelvo {
namespace {

// What write_tree puts on a stream, captured through a temporary file.
std::string printed(const ResultTree& tree, bool with_numbers) {
  std::FILE* stream = std::tmpfile();
  EXPECT_NE(stream, nullptr);
  EXPECT_TRUE(write_tree(tree, stream, with_numbers));
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
  std::fclose(stream);
  return text;
}

std::string padded_line(const std::string& name, std::size_t field, const std::string& columns) {
  return name + std::string(field - name.size(), ' ') + columns;
}

TEST(TreeTextOutput, OneNodePerLineIndentedByLevel) {
  ResultTree tree;
  tree.add_volume_node("DATA           ", 1, VolumeNodeMode::search);
  tree.add_file_line("\\DOCS\\OLD", "A.TXT", 10, 1, 2, 3, 4, 5);
  tree.add_file_line("", "ROOT.TXT", 20, 1, 2, 3, 4, 5);
  tree.add_volume_node("MORE", 2, VolumeNodeMode::search);
  tree.add_directory_path("\\X");
  const std::string columns10 = "        10 01/02/03 04:05";
  const std::string columns20 = "        20 01/02/03 04:05";
  EXPECT_EQ(printed(tree, false), "DATA           \n"
                                  "  DOCS\n"
                                  "    OLD\n"
                                  "      " + padded_line("A.TXT", 76, columns10) + "\n" +
                                  "  " + padded_line("ROOT.TXT", 82, columns20) + "\n" +
                                  "MORE\n"
                                  "  X\n");
}

TEST(TreeTextOutput, NumbersFollowATab) {
  ResultTree tree;
  tree.add_volume_node("V", -3, VolumeNodeMode::listing);
  tree.append_volume_version('.', 2);
  tree.add_file_line("\\D", "F", 2147483647, 1, 1, 1, 1, 1);
  const std::string text = printed(tree, true);
  EXPECT_EQ(text.substr(0, 9), "Vv2.2\t-3\n");
  EXPECT_EQ(text.substr(9, 7), "  D\t0\n ");
  EXPECT_EQ(text.substr(text.size() - 12), "\t2147483647\n");
}

TEST(TreeTextOutput, ControlCharactersNeverReachTheTerminal) {
  ResultTree tree;
  tree.add_volume_node("EVIL", 0, VolumeNodeMode::search);
  tree.add_directory_path("\\A\nB\x1b[2J\tC\x7f\x81\x8d\x8f\x90\x9d");
  const std::string text = printed(tree, false);
  EXPECT_EQ(text, "EVIL\n  A?B?[2J?C??????\n");
}

TEST(TreeTextOutput, WindowsCharactersBecomeUtf8) {
  EXPECT_EQ(printable_utf8("CAF\xe9"), "CAF\xc3\xa9");       // é
  EXPECT_EQ(printable_utf8("\x80 \x9f"), "\xe2\x82\xac \xc5\xb8"); // € and Ÿ are characters, not controls
  EXPECT_EQ(printable_utf8(std::string("A\0B", 3)), "A?B");
  ResultTree tree;
  tree.add_volume_node("CAF\xc9", 0, VolumeNodeMode::search);
  EXPECT_EQ(printed(tree, false), "CAF\xc3\x89\n");
}

// What the window shows: one UTF-16 unit per byte, by the same rule as the text.
TEST(TreeTextOutput, EachByteIsOneCharacterOnScreen) {
  EXPECT_EQ(printable_character(0xE9), u'\u00E9');  // é
  EXPECT_EQ(printable_character(0x80), u'\u20AC');  // €
  EXPECT_EQ(printable_character(0x9F), u'\u0178');  // Ÿ
  EXPECT_EQ(printable_character('A'), u'A');
  for (const int control : {0x00, 0x0A, 0x1B, 0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D})
    EXPECT_EQ(printable_character(static_cast<unsigned char>(control)), u'?') << control;
}

// The text of a name is copied eight bytes at a time where it is plain ASCII;
// every byte at every place of such a run must come out as the table says.
TEST(TreeTextOutput, TheWordAtATimeCopyShowsEveryByteAsTheTableDoes) {
  const std::string letters(21, 'n'); // two whole words and a tail
  for (int byte = 0; byte < 256; ++byte) {
    const char ch = static_cast<char>(byte);
    const std::string shown =
        printable_character(static_cast<unsigned char>(byte)) == u'?' ? "?" : cp1252_to_utf8(std::string_view(&ch, 1));
    for (std::size_t at = 0; at < letters.size(); ++at) {
      std::string text = letters;
      text[at] = ch;
      ASSERT_EQ(printable_utf8(text), letters.substr(0, at) + shown + letters.substr(at + 1))
          << "byte " << byte << " at " << at;
    }
  }
}

TEST(TreeTextOutput, EmptyTreePrintsNothing) {
  ResultTree tree;
  EXPECT_EQ(printed(tree, true), "");
}

TEST(TreeTextOutput, LargeTreeIsWrittenWhole) {
  ResultTree tree;
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  for (int i = 0; i < 5000; ++i) tree.add_file_line("\\D", "F" + std::to_string(i), i, 1, 1, 1, 1, 1);
  const std::string text = printed(tree, false);
  EXPECT_EQ(text.size(), 2 + 4 + 5000 * (4 + 79 + 25 + 1));
  EXPECT_EQ(text.substr(text.size() - 26), "      4999 01/01/01 01:01\n");
}

TEST(TreeTextOutput, WriteErrorIsReported) {
  ResultTree tree;
  tree.add_volume_node("V", 0, VolumeNodeMode::search);
  std::FILE* read_only = std::fopen("/dev/null", "r");
  ASSERT_NE(read_only, nullptr);
  EXPECT_FALSE(write_tree(tree, read_only, false));
  std::fclose(read_only);
}

} // namespace
} // namespace shelvo
