// Reading the maps that the scan of a piece makes (byte_scan.h: bit i of map
// byte j stands for piece byte 8j + i), looking for one byte in the short texts
// of records, finding the record that holds an offset, and reading a record's
// size: what the bulk record walk and the counting of names share.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace shelvo {

// 57 or more bits of a map from bit `from` on.
[[gnu::always_inline]] inline std::uint64_t map_bits(const unsigned char* map, std::size_t from) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, map + from / 8, sizeof word);
  } else {
    for (std::size_t k = 0; k < 8; ++k) word |= static_cast<std::uint64_t>(map[from / 8 + k]) << (8 * k);
  }
  return word >> (from % 8);
}

// The index of the lowest set bit of a word that has one.
[[gnu::always_inline]] inline std::size_t bit_index(std::uint64_t word) {
  return static_cast<unsigned>(std::countr_zero(word));
}

// The size a file record's tail holds: its first four bytes, big-endian, bit 31
// cleared (a size holds 31 bits, however damaged the record).
[[gnu::always_inline]] inline std::uint32_t size_in_tail(const char* tail) {
  std::uint32_t big_endian = 0;
  std::memcpy(&big_endian, tail, sizeof big_endian);
  if constexpr (std::endian::native == std::endian::little) big_endian = __builtin_bswap32(big_endian);
  return big_endian & 0x7FFFFFFF;
}

// True when one of the `count` bits of the map from bit `from` on is set.
[[gnu::always_inline]] inline bool any_bit(const unsigned char* map, std::size_t from, std::size_t count) {
  constexpr std::size_t at_once = 56;
  for (; count > at_once; count -= at_once, from += at_once)
    if (map_bits(map, from) & ((std::uint64_t{1} << at_once) - 1)) return true;
  return (map_bits(map, from) & ((std::uint64_t{1} << count) - 1)) != 0;
}

// True when the bytes [text, text + length) hold `byte`, eight at a time from
// the end, where names hold the byte of "*.*" (their extension's dot).
[[gnu::always_inline]] inline bool holds_byte(const char* text, std::size_t length, char byte) {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  const std::uint64_t spread = ones * static_cast<unsigned char>(byte);
  for (; length >= 8; length -= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text + length - 8, sizeof word);
    word ^= spread; // a zero byte where `byte` was
    if ((word - ones) & ~word & highs) return true;
  }
  for (std::size_t k = 0; k < length; ++k)
    if (text[k] == byte) return true;
  return false;
}

// The last k in [first, end) with starts[k] <= offset, where starts[first] <=
// offset: the record that holds it. Without branches, whose outcome no
// processor could guess: halving down to a few starts, which are then counted
// (each one at or before the offset moves the answer on), since each halving
// must wait for the load before it.
inline std::size_t record_holding(const std::uint64_t* starts, std::size_t first, std::size_t end,
                                  std::size_t offset) {
  constexpr std::size_t counted = 8;
  std::size_t length = end - first;
  while (length > counted) {
    const std::size_t half = length / 2;
    first = starts[first + half] <= offset ? first + half : first;
    length -= half;
  }
  std::size_t holding = first;
  const std::size_t last = first + length - 1;
  for (std::size_t k = 1; k < counted; ++k) holding += (k < length) & (starts[std::min(first + k, last)] <= offset);
  return holding;
}

} // namespace shelvo
