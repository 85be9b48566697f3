// The keys of a search index: every run of three bytes a name holds, written as
// the classes of its bytes, in one of three spaces by the kind of record the name
// was read in. A search without archive members, or without directories, looks
// up the keys of its own kinds only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace shelvo {

enum class KeySpace : std::uint32_t { files = 0, members = 1, directories = 2 };

constexpr std::uint32_t class_bits = 6;
constexpr std::uint32_t trigram_code_bits = 3 * class_bits;
constexpr std::uint32_t index_key_limit = 3u << trigram_code_bits; // keys are below it

namespace detail {

// Letters, digits and the punctuation that names hold most each have a class of
// their own; every other byte shares one of the last classes with others. Two
// runs of equal classes are one key: a search then reads a block more, never
// one less.
constexpr std::array<std::uint8_t, 256> make_byte_classes() {
  std::array<std::uint8_t, 256> classes{};
  constexpr std::string_view own = " .-_+~()[],'&!#@$%=;{}";
  constexpr std::uint8_t shared_first = 26 + 10 + own.size();
  constexpr std::uint8_t shared = (1u << class_bits) - shared_first;
  for (unsigned b = 0; b < 256; ++b) classes[b] = static_cast<std::uint8_t>(shared_first + b % shared);
  for (unsigned b = 'A'; b <= 'Z'; ++b) classes[b] = static_cast<std::uint8_t>(b - 'A');
  for (unsigned b = '0'; b <= '9'; ++b) classes[b] = static_cast<std::uint8_t>(26 + b - '0');
  for (std::size_t k = 0; k < own.size(); ++k) classes[static_cast<unsigned char>(own[k])] = static_cast<std::uint8_t>(36 + k);
  return classes;
}

inline constexpr std::array<std::uint8_t, 256> byte_classes = make_byte_classes();

} // namespace detail

inline std::uint32_t trigram_code(unsigned char a, unsigned char b, unsigned char c) {
  return static_cast<std::uint32_t>(detail::byte_classes[a]) << (2 * class_bits) |
         static_cast<std::uint32_t>(detail::byte_classes[b]) << class_bits | detail::byte_classes[c];
}

inline std::uint32_t index_key(KeySpace space, std::uint32_t code) {
  return static_cast<std::uint32_t>(space) << trigram_code_bits | code;
}

// The codes of runs of three bytes that every name the pattern matches holds:
// the characters of a pattern between its wildcards lie on consecutive bytes
// of each name it matches, every literal one on its equal. At most max_codes,
// spread over the pattern; none when it has no three literal bytes in a row.
std::vector<std::uint32_t> required_trigram_codes(std::string_view pattern, std::size_t max_codes = 8);

} // namespace shelvo
