#include "index/trigram_keys.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace shelvo {
namespace {

std::uint32_t code(const char* three) {
  return trigram_code(static_cast<unsigned char>(three[0]), static_cast<unsigned char>(three[1]),
                      static_cast<unsigned char>(three[2]));
}

TEST(TrigramKeys, RunsOfThreeLiteralBytesBetweenWildcards) {
  EXPECT_EQ(required_trigram_codes("*ZLIB*"), (std::vector<std::uint32_t>{std::min(code("ZLI"), code("LIB")),
                                                                          std::max(code("ZLI"), code("LIB"))}));
  EXPECT_EQ(required_trigram_codes("*.PDF").size(), 2u);
  EXPECT_EQ(required_trigram_codes("README"), required_trigram_codes("*README*"));
  // A '?' breaks a run as a '*' does: no three literal bytes in a row.
  EXPECT_TRUE(required_trigram_codes("*A?B*").empty());
  EXPECT_TRUE(required_trigram_codes("AB?CD*EF").empty());
  EXPECT_TRUE(required_trigram_codes("*").empty());
  EXPECT_EQ(required_trigram_codes("AB?CDE"), (std::vector<std::uint32_t>{code("CDE")}));
}

TEST(TrigramKeys, LongPatternsGiveAFewCodesFromEndToEnd) {
  const std::vector<std::uint32_t> codes = required_trigram_codes("ABCDEFGHIJKLMNOP", 4);
  ASSERT_EQ(codes.size(), 4u);
  EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), code("ABC")));
  EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), code("NOP")));
}

TEST(TrigramKeys, LettersDigitsAndCommonPunctuationAreNeverConfused) {
  // Each has a class of its own; '+' stands for the rest, which share one.
  const std::string own = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .-_+";
  for (std::size_t i = 0; i < own.size(); ++i)
    for (std::size_t j = i + 1; j < own.size(); ++j)
      EXPECT_NE(detail::byte_classes[static_cast<unsigned char>(own[i])],
                detail::byte_classes[static_cast<unsigned char>(own[j])])
          << own[i] << own[j];
  // The keys of the three spaces never meet.
  EXPECT_NE(index_key(KeySpace::files, code("ABC")), index_key(KeySpace::members, code("ABC")));
  EXPECT_LT(index_key(KeySpace::directories, code("\xFF\xFF\xFF")), index_key_limit);
}

} // namespace
} // namespace shelvo
