#include "index/content_hash.h"

#include <bit>
#include <cstring>

namespace shelvo {

namespace {

constexpr std::uint64_t prime_1 = 0x9E3779B185EBCA87u;
constexpr std::uint64_t prime_2 = 0xC2B2AE3D27D4EB4Fu;
constexpr std::uint64_t prime_3 = 0x165667B19E3779F9u;

std::uint64_t word_at(const char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

std::uint64_t mixed(std::uint64_t h, std::uint64_t word) {
  return std::rotl(h ^ (word * prime_2), 31) * prime_1;
}

} // namespace

std::uint64_t content_hash(std::string_view bytes, std::uint64_t seed) {
  // Four lanes, so that the multiplications of neighbouring words overlap.
  std::uint64_t lanes[4] = {seed + prime_1, seed + prime_2, seed, seed - prime_1};
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  for (; left >= 32; left -= 32, p += 32)
    for (int k = 0; k < 4; ++k) lanes[k] = mixed(lanes[k], word_at(p + 8 * k));
  std::uint64_t h = std::rotl(lanes[0], 1) + std::rotl(lanes[1], 7) + std::rotl(lanes[2], 12) + std::rotl(lanes[3], 18);
  h += bytes.size();
  for (; left >= 8; left -= 8, p += 8) h = mixed(h, word_at(p));
  for (; left > 0; --left, ++p) h = std::rotl(h ^ (static_cast<unsigned char>(*p) * prime_3), 11) * prime_1;
  h ^= h >> 33;
  h *= prime_2;
  h ^= h >> 29;
  h *= prime_3;
  return h ^ (h >> 32);
}

} // namespace shelvo
