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

// A name that holds the pieces of the pattern in order, with random bytes around
// and between them: names a mask nearly matches are where a compiled form errs.
std::string planted_name(std::mt19937& random, std::string_view pattern, std::string_view filler) {
  std::string name;
  for (const char c : pattern) {
    if (c == '*') name += random_text(random, filler, 3);
    else if (c == '?') name += random_text(random, filler, 1) + "A";
    else name += c;
  }
  if (random() % 3 == 0 && !name.empty()) name.erase(random() % name.size(), 1);
  return name;
}

// Runs the narrower vector code, as on an older processor, while it lives.
struct NarrowVectors {
  explicit NarrowVectors(VectorWidth widest) { limit_vector_width(widest); }
  ~NarrowVectors() { limit_vector_width(VectorWidth::avx512); }
};

// True when the name holds one of the probe's pairs inside its piece (the
// probe's promise for every name the list accepts).
bool holds_a_pair(const NameProbe& probe, std::string_view name) {
  const char* const end = name.data() + name.size();
  for (const char* p = probe.find(name.data(), end); p != end; p = probe.find(p + 1, end)) {
    std::size_t mask = any_mask;
    if (probe.verified(p, name.data(), end, mask)) return true;
  }
  return false;
}

TEST(CompiledMask, KeepsTheQuirksOfTheGeneralMatcher) {
  struct Case {
    const char* pattern;
    const char* name;
    bool hit;
  };
  for (const Case& c :
       {Case{"*.*", "README", false}, Case{"*", "", true}, Case{"**.TXT", "A.TXT", false}, Case{"A**", "AB", true},
        Case{"DOCU*", "DOCU", true}, Case{"DOCU*", "MYDOCU.TXT", false}, Case{"?.TXT", "AB.TXT", false},
        Case{"*A*B", "XAYB", true}, Case{"*", "A*B", false}, Case{"*.TXT", "A*B.TXT", false}, Case{"A?C", "A*C", true},
        // Several runs: a later piece must follow an earlier one, without overlap.
        Case{"*AB*BC*", "ABC", false}, Case{"*AB*BC*", "ABBC", true}, Case{"*A?B*", "XAAB", true},
        Case{"A*B*C", "ABC", true}, Case{"A*B*C", "ACB", false}, Case{"*QZ*", "QQZ", true},
        // A run of several '*' before a piece is passed only by a '*' of the name.
        Case{"*A**B", "XAYB", false}, Case{"*A**B", "A*B", true}, Case{"A**B*", "A*BC", true},
        Case{"*?**", "X", true}}) {
    EXPECT_EQ(CompiledMask(c.pattern).matches(c.name), c.hit) << c.pattern << " on " << c.name;
    EXPECT_EQ(match_mask(c.pattern, c.name), c.hit) << c.pattern << " on " << c.name;
  }
}

// A small alphabet makes prefixes, suffixes and wildcard collisions frequent;
// names may hold '*' and '?' too, as a damaged catalog can.
TEST(CompiledMask, EqualsMatchMaskOnManyRandomMasksAndNames) {
  std::mt19937 random(7);
  for (int m = 0; m < 4000; ++m) {
    const std::string pattern = random_text(random, m % 2 ? "AB.**?" : "AB.*?", m % 3 ? 7 : 12);
    const CompiledMask compiled(pattern);
    for (int n = 0; n < 200; ++n) {
      const std::string name =
          n % 3 ? random_text(random, n % 4 ? "AB." : "AB.*?", 12) : planted_name(random, pattern, "AB.");
      ASSERT_EQ(compiled.matches(name), match_mask(pattern, name)) << "'" << pattern << "' on '" << name << "'";
    }
  }
}

TEST(CompiledMask, HostileMasksOnLongNamesAnswerLikeMatchMask) {
  std::string star_runs; // "*A*A*...*B", 128 characters
  while (star_runs.size() < 126) star_runs += "*A";
  star_runs += "*B";
  const std::string long_a(267, 'A');
  for (const std::string& pattern : {star_runs, std::string(128, '?'), std::string(127, '*') + "A",
                                     std::string(300, 'A'), "*" + std::string(200, 'A') + "*"}) {
    const CompiledMask compiled(pattern);
    for (const std::string& name : {long_a, long_a + "B", std::string(128, 'B'), std::string(300, 'A')})
      EXPECT_EQ(compiled.matches(name), match_mask(pattern, name)) << pattern.size() << " on " << name.size();
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
      // Whichever mask is tried first.
      ASSERT_EQ(compiled.matches(name, random() % 5), match_mask_list(list, name)) << "name '" << name << "'";
    }
  }
}

// Where a list has a shortcut for names without a '*' ("*", "*.*"), it gives
// the list's own answer on every such name.
TEST(CompiledMaskList, TheShortcutForNamesWithoutAStarAnswersLikeTheMasks) {
  std::mt19937 random(19);
  int every = 0, holding = 0;
  for (int l = 0; l < 3000; ++l) {
    MaskList list(MaskList::search_mask_limit);
    const int masks = 1 + static_cast<int>(random() % 3);
    for (int k = 0; k < masks; ++k) {
      const int shape = static_cast<int>(random() % 6);
      list.add(shape == 0 ? "*" : shape == 1 ? "*.*" : shape == 2 ? "**.*" : shape == 3 ? "*?*" : shape == 4 ? "\\*.A"
                                                                                                       : random_text(random, "*.A?", 4));
    }
    const CompiledMaskList compiled(list);
    if (compiled.star_free_rule() == StarFreeRule::none) continue;
    (compiled.star_free_rule() == StarFreeRule::every_name ? every : holding) += 1;
    for (int n = 0; n < 50; ++n) {
      const std::string name = random_text(random, "AB.", 9);
      const bool rule = compiled.star_free_rule() == StarFreeRule::every_name ||
                        name.find(static_cast<char>(compiled.rule_byte())) != std::string::npos;
      ASSERT_EQ(rule, match_mask_list(list, name)) << "name '" << name << "' first mask " << list.masks()[0];
    }
  }
  EXPECT_GT(every, 100);
  EXPECT_GT(holding, 100);
}

// Every name a list accepts holds one of its probe's pairs, names with '*' and
// '?' included; else the search would skip a hit.
TEST(NameProbe, EveryAcceptedNameHoldsAPair) {
  std::mt19937 random(13);
  int probed = 0;
  for (int l = 0; l < 3000; ++l) {
    MaskList list(MaskList::search_mask_limit);
    const int masks = 1 + static_cast<int>(random() % 6); // beyond three, three-byte windows
    std::string first;
    for (int k = 0; k < masks; ++k) {
      const std::string mask = (k > 0 && random() % 4 == 0 ? "\\" : "") + random_text(random, "ABQ.*?", 9);
      if (first.empty()) first = mask;
      list.add(mask);
    }
    const CompiledMaskList compiled(list);
    const NameProbe* probe = compiled.probe();
    if (!probe) continue;
    ++probed;
    for (int n = 0; n < 60; ++n) {
      const std::string name = n % 2 ? random_text(random, n % 3 ? "ABQ." : "ABQ.*?", 12)
                                     : planted_name(random, first, n % 4 ? "ABQ." : "ABQ*?");
      if (match_mask_list(list, name)) {
        ASSERT_TRUE(holds_a_pair(*probe, name)) << first << " on " << name;
      }
    }
  }
  EXPECT_GT(probed, 1000);
}

TEST(NameProbe, OnlyListsWhoseEveryPositiveMaskHasTwoLiteralBytesInAPieceOrARareByte) {
  auto probe_of = [](std::initializer_list<const char*> masks, std::string& pairs) {
    MaskList list(MaskList::search_mask_limit);
    for (const char* m : masks) list.add(m);
    const CompiledMaskList compiled(list);
    pairs.clear();
    if (!compiled.probe()) return false;
    for (std::size_t k = 0; k < compiled.probe()->size(); ++k) {
      const BytePair& p = (*compiled.probe())[k];
      pairs += std::string(1, static_cast<char>(p.first)) + std::to_string(p.distance) + static_cast<char>(p.second);
    }
    return true;
  };
  std::string pairs;
  EXPECT_TRUE(probe_of({"*QZ*"}, pairs));
  EXPECT_EQ(pairs, "Q1Z");
  EXPECT_TRUE(probe_of({"*Q?Z*", "\\*.TXT"}, pairs)); // exclusions need no pair
  EXPECT_EQ(pairs, "Q2Z");
  EXPECT_TRUE(probe_of({"*.PDF", "INVOICE*", std::string(300, 'A').c_str()}, pairs)); // the last matches nothing
  EXPECT_EQ(pairs.size(), 6u);
  EXPECT_TRUE(probe_of({"\\*.BAK"}, pairs)); // no positive mask: no name is a hit
  EXPECT_EQ(pairs, "");
  EXPECT_TRUE(probe_of({"*E*Q*.*"}, pairs)); // no piece of two: the rarest byte alone
  EXPECT_EQ(pairs, "Q0Q");
  EXPECT_FALSE(probe_of({"*"}, pairs));
  EXPECT_FALSE(probe_of({"*E*S*"}, pairs)); // bytes most names hold
  EXPECT_FALSE(probe_of({"*QZ*", "A*B"}, pairs));
  EXPECT_TRUE(probe_of({"*QA*", "*QB*", "*QC*", "*QD*", "*QE*", "*QF*", "*QG*", "*QH*"}, pairs));
  // More pairs than the nibble tables hold.
  EXPECT_FALSE(probe_of({"*QA*", "*QB*", "*QC*", "*QD*", "*QE*", "*QF*", "*QG*", "*QH*", "*QI*"}, pairs));
}

// Beyond three masks, the pairs are looked up in nibble tables: two adjacent
// bytes of each mask when every mask has a pair that names rarely hold (two
// tables), else three bytes within reach (a third table), else the pairs as
// they were chosen.
TEST(NameProbe, ManyMasksTakeRareAdjacentBytesWhenEveryMaskHasThem) {
  auto probe_of = [](std::initializer_list<const char*> masks) {
    MaskList list(MaskList::search_mask_limit);
    for (const char* m : masks) list.add(m);
    const CompiledMaskList compiled(list);
    std::string pairs;
    if (!compiled.probe()) return std::string("none");
    for (std::size_t k = 0; k < compiled.probe()->size(); ++k) {
      const BytePair& p = (*compiled.probe())[k];
      pairs += std::string(1, static_cast<char>(p.first)) + std::to_string(p.distance) + static_cast<char>(p.second) +
               (p.third >= 0 ? std::string(1, static_cast<char>(p.third)) : "") + " ";
    }
    return pairs + (compiled.probe()->uses_tables() ? "tables" : "alone");
  };
  // ".PDF": the pair PD, without the F that a third table would look for.
  EXPECT_EQ(probe_of({"*QZ*", "*ZQ*", "*.PDF", "*ZZ*", "*QQ*", "*QW*"}), "Q1Z Z1Q P1D Z1Z Q1Q Q1W tables");
  // "*INTER*" holds no rare pair: three bytes within reach for every mask.
  EXPECT_EQ(probe_of({"*QZ*", "*ZQ*", "*ZZ*", "*INTER*"}), "Q1Z Z1Q Z1Z I1NT tables");
  // A mask of pieces of one byte: its rarest byte, within the tables' reach.
  EXPECT_EQ(probe_of({"*QZ*", "*ZQ*", "*ZZ*", "*Q?*Z*"}), "Q1Z Z1Q Z1Z Q0Q tables");
  // Common bytes four apart: beyond the tables' reach, so the pairs one by one.
  EXPECT_EQ(probe_of({"*QZ*", "*ZQ*", "*ZZ*", "*E???S*"}), "Q1Z Z1Q Z1Z E4S alone");
}

// find gives the first position of a pair on any buffer, whatever the length and
// the alignment, pairs reaching up to the end included, with every width of
// vector instructions.
TEST(NameProbe, FindGivesTheFirstPairLikeAPlainScan) {
  std::mt19937 random(17);
  for (int round = 0; round < 800; ++round) {
    const auto width = static_cast<VectorWidth>(round % 4);
    const NarrowVectors narrow(width);
    MaskList list(MaskList::search_mask_limit);
    const int masks = 1 + static_cast<int>(random() % NameProbe::max_pairs);
    for (int k = 0; k < masks; ++k) {
      const std::string gap(random() % 3 ? 0 : random() % 32, '?');
      if (random() % 4 == 0) list.add(std::string("*") + "QZ"[random() % 2] + "*"); // one rare byte
      else list.add(std::string("*") + "QZ"[random() % 2] + gap + "QZ"[random() % 2] + "*");
    }
    const CompiledMaskList compiled(list);
    ASSERT_NE(compiled.probe(), nullptr);
    const NameProbe& probe = *compiled.probe();
    const std::string buffer = random_text(random, round % 2 ? "QZCDEFGH" : "QC", 300);
    for (std::size_t from = 0; from <= buffer.size(); from += 1 + random() % 37) {
      std::size_t expected = buffer.size();
      for (std::size_t p = from; p < buffer.size() && expected == buffer.size(); ++p)
        for (std::size_t k = 0; k < probe.size(); ++k)
          if (static_cast<unsigned char>(buffer[p]) == probe[k].first && p + probe[k].distance < buffer.size() &&
              static_cast<unsigned char>(buffer[p + probe[k].distance]) == probe[k].second)
            expected = p;
      const char* found = probe.find(buffer.data() + from, buffer.data() + buffer.size());
      ASSERT_EQ(static_cast<std::size_t>(found - buffer.data()), expected)
          << "round " << round << " from " << from << " width " << static_cast<int>(width);
    }
  }
}

} // namespace
} // namespace shelvo
