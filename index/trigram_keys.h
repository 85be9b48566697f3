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

namespace detail {

// Letters, digits and the punctuation that names hold most each have a class of
// their own; every other byte shares the last one. Two runs of equal classes
// are one key: a search then reads a block more, never one less. Few classes
// keep the keys of a block in a bitmap that fits a processor's first cache.
constexpr std::string_view own_punctuation = "._- ";
constexpr std::uint32_t byte_class_count = 26 + 10 + own_punctuation.size() + 1;

constexpr std::array<std::uint8_t, 256> make_byte_classes() {
  std::array<std::uint8_t, 256> classes{};
  classes.fill(static_cast<std::uint8_t>(byte_class_count - 1));
  for (unsigned b = 'A'; b <= 'Z'; ++b) classes[b] = static_cast<std::uint8_t>(b - 'A');
  for (unsigned b = '0'; b <= '9'; ++b) classes[b] = static_cast<std::uint8_t>(26 + b - '0');
  for (std::size_t k = 0; k < own_punctuation.size(); ++k)
    classes[static_cast<unsigned char>(own_punctuation[k])] = static_cast<std::uint8_t>(36 + k);
  return classes;
}

inline constexpr std::array<std::uint8_t, 256> byte_classes = make_byte_classes();

} // namespace detail

constexpr std::uint32_t codes_per_space = detail::byte_class_count * detail::byte_class_count * detail::byte_class_count;
constexpr std::uint32_t index_key_limit = 3 * codes_per_space; // keys are below it

inline std::uint32_t trigram_code(unsigned char a, unsigned char b, unsigned char c) {
  constexpr std::uint32_t n = detail::byte_class_count;
  return (detail::byte_classes[a] * n + detail::byte_classes[b]) * n + detail::byte_classes[c];
}

inline std::uint32_t index_key(KeySpace space, std::uint32_t code) {
  return static_cast<std::uint32_t>(space) * codes_per_space + code;
}

// The codes of runs of three bytes that every name the pattern matches holds:
// the characters of a pattern between its wildcards lie on consecutive bytes
// of each name it matches, every literal one on its equal. At most max_codes,
// spread over the pattern; none when it has no three literal bytes in a row.
std::vector<std::uint32_t> required_trigram_codes(std::string_view pattern, std::size_t max_codes = 8);

} // namespace shelvo
