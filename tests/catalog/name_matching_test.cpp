#include "catalog/name_matching.h"

#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace shelvo {
namespace {

std::string folded(std::string s) {
  fold_name(s);
  return s;
}

TEST(FoldName, AccentedLowerCaseLettersBecomePlainUpperCase) {
  EXPECT_EQ(folded("\xC9l\xE8ve"), "\xC9LEVE"); // Élève: É is not folded, è is
  EXPECT_EQ(folded("Fa\xE7" "ade.doc"), "FACADE.DOC");
  EXPECT_EQ(folded("\xE2\xE0\xE4\xE7\xE9\xEA\xE8\xEB\xEE\xEF\xF4\xF6\xF9\xFB\xFC\xFF"), "AAACEEEEIIOOUUUY");
  // Other accented letters and upper-case ones stay; bytes above 127 are never
  // upper-cased.
  EXPECT_EQ(folded("\xE1\xF1\xE5\xDC"), "\xE1\xF1\xE5\xDC");
  EXPECT_EQ(fold_char('\xE9'), 'e');
  EXPECT_EQ(fold_char('e'), 'e');
}

TEST(StoredNames, TheQuickComparisonAnswersAsTheConversionDoes) {
  const char* hosts[] = {"readme.txt", "README.TXT", "Read Me", "caf\xC3\xA9.txt", "\xC3\x89t\xC3\xA9", "a\\b",
                         "a*b", "tab\there", "\xFF\xFE", "", "x"};
  for (const char* host : hosts) {
    for (const char* other : hosts) {
      const std::string stored = stored_name_of_host_name(other);
      EXPECT_EQ(host_name_stores_as(host, stored), stored_name_of_host_name(host) == stored) << host << " " << other;
    }
  }
  EXPECT_TRUE(host_name_stores_as("caf\xC3\xA9.txt", "CAFE.TXT"));
}

TEST(StoredNames, EveryControlCharacterOfAHostNameIsStoredAsTheUnstorableByte) {
  const std::string stored = std::string("A") + unstorable_char + "B";
  for (int byte = 0x01; byte <= 0x1F; ++byte) {
    const std::string host = std::string("a") + static_cast<char>(byte) + "b";
    EXPECT_EQ(host_name_in_code_page(host), std::string("a") + unstorable_char + "b") << byte;
    EXPECT_EQ(stored_name_of_host_name(host), stored) << byte;
    EXPECT_TRUE(host_name_stores_as(host, stored)) << byte;
  }
}

TEST(MatchMask, WildcardsAreAnchoredAndExact) {
  EXPECT_FALSE(match_mask("*.*", "README"));
  EXPECT_TRUE(match_mask("*", "README"));
  EXPECT_TRUE(match_mask("*", ""));
  EXPECT_TRUE(match_mask("DOCU*", "DOCUMENT.TXT"));
  EXPECT_TRUE(match_mask("DOCU*", "DOCU"));
  EXPECT_FALSE(match_mask("DOCU*", "MYDOCU.TXT"));
  EXPECT_TRUE(match_mask("?.TXT", "A.TXT"));
  EXPECT_FALSE(match_mask("?.TXT", "AB.TXT"));
  EXPECT_TRUE(match_mask("*A*B", "XAYB"));
  EXPECT_FALSE(match_mask("readme", "README")); // no case folding inside
  EXPECT_TRUE(match_mask("*.TXT", "A.B.TXT"));
  EXPECT_FALSE(match_mask("", "A"));
  EXPECT_TRUE(match_mask("", ""));
}

TEST(MatchMask, DoubleStarOnlyLooksOneCharacterAhead) {
  EXPECT_FALSE(match_mask("**.TXT", "A.TXT"));
  EXPECT_FALSE(match_mask("**.TXT", ".TXT"));
  EXPECT_TRUE(match_mask("A**", "AB"));
  EXPECT_TRUE(match_mask("A**", "A"));
  // A literal equality wins over the wildcard meaning.
  EXPECT_FALSE(match_mask("*A", "*BA"));
  EXPECT_TRUE(match_mask("*?C", "ABC"));
}

// The rule as plainly stated: literal first, then '*' with a look-ahead of one.
bool reference_match(const char* p, const char* n) {
  while (*n) {
    if (*p == *n || *p == '?') {
      ++p;
      ++n;
    } else if (*p == '*') {
      if ((p[1] == *n || p[1] == '?') && p[1] != '\0' && reference_match(p + 2, n + 1)) return true;
      ++n;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

TEST(MatchMask, EqualsTheBacktrackingRuleOnRandomInputs) {
  std::mt19937 rng(42);
  const std::string alphabet = "AB.*?";
  for (int round = 0; round < 20000; ++round) {
    std::string pattern, name;
    const int pl = static_cast<int>(rng() % 8), nl = static_cast<int>(rng() % 9);
    for (int i = 0; i < pl; ++i) pattern += alphabet[rng() % alphabet.size()];
    for (int i = 0; i < nl; ++i) name += alphabet[rng() % 3 + (rng() % 8 == 0 ? 2 : 0)]; // mostly letters and dots
    ASSERT_EQ(match_mask(pattern, name), reference_match(pattern.c_str(), name.c_str()))
        << "pattern '" << pattern << "' name '" << name << "'";
  }
}

TEST(MatchMask, HostileMaskTakesLinearTime) {
  // With plain backtracking this takes longer than any test would wait.
  const std::string mask = "*A*A*A*A*A*A*A*A*A*A*A*A*A*A*A*A*A*A*A*A*B";
  const std::string name(300, 'A');
  EXPECT_FALSE(match_mask(mask, name));
  EXPECT_FALSE(match_mask(std::string(300, '*') + "X", "X")); // over-long: no match, no crash
}

TEST(MatchMaskList, PositivesAreAlternativesAndExclusionsApplyToAll) {
  MaskList list(MaskList::search_mask_limit);
  ASSERT_TRUE(list.add("*.TXT"));
  ASSERT_TRUE(list.add("\\README*"));
  EXPECT_TRUE(match_mask_list(list, "NOTES.TXT"));
  EXPECT_FALSE(match_mask_list(list, "README.TXT"));
  EXPECT_FALSE(match_mask_list(list, "NOTES.DOC"));

  MaskList only_exclusions(MaskList::search_mask_limit);
  only_exclusions.add("\\*.BAK");
  EXPECT_FALSE(match_mask_list(only_exclusions, "A.TXT"));
  EXPECT_FALSE(match_mask_list(only_exclusions, "A.BAK"));
}

TEST(MatchMaskList, VolumeMasksKeepCaseAndTrailingBlanks) {
  MaskList volumes(MaskList::volume_mask_limit);
  volumes.add("DATA*");
  EXPECT_TRUE(match_mask_list(volumes, "DATA           "));
  MaskList exact(MaskList::volume_mask_limit);
  exact.add("DATA");
  EXPECT_FALSE(match_mask_list(exact, "DATA           "));
  MaskList lower(MaskList::volume_mask_limit);
  lower.add("data*");
  EXPECT_FALSE(match_mask_list(lower, "DATA           "));
}

TEST(MaskList, EnforcesItsLimits) {
  MaskList list(MaskList::volume_mask_limit);
  EXPECT_FALSE(list.add(std::string(16, 'A')));
  EXPECT_TRUE(list.add(std::string(15, 'A')));
  for (int i = 1; i < 31; ++i) EXPECT_TRUE(list.add("X"));
  EXPECT_FALSE(list.add("Y"));
  EXPECT_EQ(list.size(), 31u);
  EXPECT_TRUE(list.add("")); // an empty mask is no mask
  EXPECT_EQ(list.size(), 31u);
}

TEST(Paths, LeafAndParentLeaf) {
  const std::string path = "\\DIR\\SUB";
  EXPECT_EQ(path.substr(leaf_of(path)), "SUB");
  EXPECT_EQ(leaf_of("\\"), 1u);
  EXPECT_EQ(leaf_of("NAME"), 0u);
  EXPECT_EQ(leaf_of("a/b"), 2u);
  EXPECT_EQ(parent_leaf_of("\\DIR\\SUB"), "DIR");
  EXPECT_EQ(parent_leaf_of("\\A\\B\\C"), "B");
  EXPECT_EQ(parent_leaf_of("\\DIR"), "");
  EXPECT_EQ(parent_leaf_of("\\"), "");
  EXPECT_EQ(parent_leaf_of(""), "");
}

} // namespace
} // namespace shelvo
