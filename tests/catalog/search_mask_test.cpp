#include "catalog/search_mask.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace shelvo {
namespace {

std::string random_text(std::mt19937& random, std::string_view alphabet, std::size_t max_length) {
  std::uniform_int_distribution<std::size_t> length(0, max_length);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text(length(random), ' ');
  for (char& c : text) c = alphabet[pick(random)];
  return text;
}

TEST(CompiledMask, KeepsTheQuirksOfTheGeneralMatcher) {
  struct Case {
    const char* pattern;
    const char* name;
    bool hit;
  };
  for (const Case& c : {Case{"*.*", "README", false}, Case{"*", "", true}, Case{"**.TXT", "A.TXT", false},
                        Case{"A**", "AB", true}, Case{"DOCU*", "DOCU", true}, Case{"DOCU*", "MYDOCU.TXT", false},
                        Case{"?.TXT", "AB.TXT", false}, Case{"*A*B", "XAYB", true}, Case{"*", "A*B", false},
                        Case{"*.TXT", "A*B.TXT", false}, Case{"A?C", "A*C", true}}) {
    EXPECT_EQ(CompiledMask(c.pattern).matches(c.name), c.hit) << c.pattern << " on " << c.name;
    EXPECT_EQ(match_mask(c.pattern, c.name), c.hit) << c.pattern << " on " << c.name;
  }
}

// A small alphabet makes prefixes, suffixes and wildcard collisions frequent;
// names may hold '*' and '?' too, as a damaged catalog can.
TEST(CompiledMask, EqualsMatchMaskOnManyRandomMasksAndNames) {
  std::mt19937 random(7);
  for (int m = 0; m < 3000; ++m) {
    const std::string pattern = random_text(random, "AB.**?", 7);
    const CompiledMask compiled(pattern);
    for (int n = 0; n < 200; ++n) {
      const std::string name = random_text(random, n % 4 ? "AB." : "AB.*?", 9);
      ASSERT_EQ(compiled.matches(name), match_mask(pattern, name)) << "'" << pattern << "' on '" << name << "'";
    }
  }
}

TEST(CompiledMaskList, EqualsMatchMaskListWithExclusions) {
  std::mt19937 random(11);
  for (int l = 0; l < 1500; ++l) {
    MaskList list(MaskList::search_mask_limit);
    const int masks = static_cast<int>(random() % 4);
    for (int k = 0; k < masks; ++k)
      list.add((random() % 3 == 0 ? "\\" : "") + random_text(random, "AB.*?", 5));
    const CompiledMaskList compiled(list);
    for (int n = 0; n < 100; ++n) {
      const std::string name = random_text(random, "AB.", 7);
      ASSERT_EQ(compiled.matches(name), match_mask_list(list, name)) << "name '" << name << "'";
    }
  }
}

} // namespace
} // namespace shelvo
