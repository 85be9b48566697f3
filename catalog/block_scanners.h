// The scanners of one block of 64 bytes, one per vector width, that the scans
// of byte_scan.cpp are built from: which bytes are 0x00, '*' or a chosen byte,
// and where a pair of a name probe starts. Only byte_scan.cpp includes this, so
// that each width's scan inlines its scanner whole.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "catalog/search_mask.h"
#include "catalog/vector_width.h"

namespace shelvo::block_scanners {
constexpr std::size_t block = 64;

// The pair bits of the bytes [p, end) one at a time: bit i when a pair starts at
// p[i] with all its bytes before end. The reference every vector width equals.
inline std::uint64_t pair_bits_plainly(const NameProbe& probe, const char* p, const char* end, std::size_t count) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (probe.starts_at(p + i, end)) bits |= std::uint64_t{1} << i;
  return bits;
}

inline std::uint64_t equal_bits_plainly(const char* p, std::size_t count, unsigned char byte) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < count; ++i) bits |= std::uint64_t{static_cast<unsigned char>(p[i]) == byte} << i;
  return bits;
}

// Each scanner answers for one block of 64 bytes: which bytes are 0x00 or '*',
// and where a pair of the probe starts (the block and `reach` bytes after it
// readable).
struct PlainScanner {
  static constexpr bool lists_pairs = true; // whenever there is a probe
  PlainScanner(const NameProbe* probe_, unsigned char byte_) : probe(probe_), byte(byte_) {}
  static std::uint64_t equal(const char* p, unsigned char value) { return equal_bits_plainly(p, block, value); }
  std::uint64_t zeros(const char* p) const { return equal(p, 0); }
  std::uint64_t stars(const char* p) const { return equal(p, '*'); }
  std::uint64_t bytes(const char* p) const { return equal(p, byte); }
  std::uint64_t pairs(const char* p) const {
    return pair_bits_plainly(*probe, p, p + block + probe->scan_reach(), block);
  }
  const NameProbe* probe;
  unsigned char byte;
};

#if defined(__SSE2__)
struct Sse2Scanner {
  static constexpr bool lists_pairs = true; // whenever there is a probe
  Sse2Scanner(const NameProbe* probe_, unsigned char byte_) : probe(probe_), byte(byte_) {}
  static std::uint64_t equal16(const char* p, __m128i x) {
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), x)));
  }
  static std::uint64_t equal(const char* p, unsigned char value) {
    const __m128i x = _mm_set1_epi8(static_cast<char>(value));
    return equal16(p, x) | equal16(p + 16, x) << 16 | equal16(p + 32, x) << 32 | equal16(p + 48, x) << 48;
  }
  std::uint64_t zeros(const char* p) const { return equal(p, 0); }
  std::uint64_t stars(const char* p) const { return equal(p, '*'); }
  std::uint64_t bytes(const char* p) const { return equal(p, byte); }
  std::uint64_t pairs(const char* p) const {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < probe->size(); ++k) {
      const BytePair& pair = (*probe)[k];
      std::uint64_t here = equal(p, pair.first) & equal(p + pair.distance, pair.second);
      if (pair.third >= 0) here &= equal(p + 2, static_cast<unsigned char>(pair.third));
      bits |= here;
    }
    return bits;
  }
  const NameProbe* probe;
  unsigned char byte;
};
#endif

// How the vector scanners test the pairs, fixed at compile time so that the
// common cases keep their bytes in registers: none at all, one to three pairs
// without a third byte, a few of any kind compared one by one, or all at once
// in the nibble tables (the table of the byte two after a pair's start left out
// when no pair has one there).
enum class PairKind { none, one, two, three, several, tables, two_tables };

inline PairKind kind_of(const NameProbe* probe) {
  if (!probe) return PairKind::none;
  if (probe->uses_tables()) {
    bool offset_two = false;
    for (std::size_t k = 0; k < probe->size(); ++k)
      offset_two = offset_two || (*probe)[k].distance == 2 || (*probe)[k].third >= 0;
    return offset_two ? PairKind::tables : PairKind::two_tables;
  }
  bool thirds = false;
  for (std::size_t k = 0; k < probe->size(); ++k) thirds = thirds || (*probe)[k].third >= 0;
  if (thirds || probe->size() > 3) return PairKind::several;
  constexpr PairKind by_count[] = {PairKind::several, PairKind::one, PairKind::two, PairKind::three};
  return by_count[probe->size()];
}

// The number of pairs of the kinds that know it.
constexpr std::size_t pairs_of(PairKind kind) {
  return kind == PairKind::one ? 1 : kind == PairKind::two ? 2 : kind == PairKind::three ? 3 : 0;
}

#if defined(SHELVO_X86_VECTORS)
template <PairKind Kind>
struct Avx2Scanner {
  static constexpr bool lists_pairs = Kind != PairKind::none;
  __attribute__((target("avx2"))) Avx2Scanner(const NameProbe* probe_, unsigned char byte)
      : probe(probe_), chosen(_mm256_set1_epi8(static_cast<char>(byte))) {
    if (!probe) return;
    count = probe->size();
    for (std::size_t k = 0; k < count; ++k) {
      const BytePair& pair = (*probe)[k];
      first[k] = _mm256_set1_epi8(static_cast<char>(pair.first));
      second[k] = _mm256_set1_epi8(static_cast<char>(pair.second));
      third[k] = _mm256_set1_epi8(static_cast<char>(pair.third));
      distance[k] = pair.distance;
      has_third[k] = pair.third >= 0;
    }
    for (std::size_t offset = 0; offset <= NameProbe::table_reach; ++offset) {
      low[offset] = table(probe->table(offset).low);
      high[offset] = table(probe->table(offset).high);
    }
  }
  __attribute__((target("avx2"))) static __m256i table(const std::array<std::uint8_t, 16>& t) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data())));
  }
  __attribute__((target("avx2"))) static __m256i load(const char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  __attribute__((target("avx2"))) static std::uint64_t bits_of(__m256i low_half, __m256i high_half) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(high_half))) << 32 |
           static_cast<std::uint32_t>(_mm256_movemask_epi8(low_half));
  }
  __attribute__((target("avx2"))) static std::uint64_t equal(const char* p, __m256i x) {
    return bits_of(_mm256_cmpeq_epi8(load(p), x), _mm256_cmpeq_epi8(load(p + 32), x));
  }
  __attribute__((target("avx2"))) std::uint64_t zeros(const char* p) const {
    return equal(p, _mm256_setzero_si256());
  }
  __attribute__((target("avx2"))) std::uint64_t stars(const char* p) const {
    return equal(p, _mm256_set1_epi8('*'));
  }
  __attribute__((target("avx2"))) std::uint64_t bytes(const char* p) const { return equal(p, chosen); }
  // The bucket bits of the bytes at p: bit k when pair k may have that byte at
  // the table's offset.
  __attribute__((target("avx2"))) static __m256i lookup(__m256i v, __m256i low_table, __m256i high_table) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    return _mm256_and_si256(_mm256_shuffle_epi8(low_table, _mm256_and_si256(v, nibble)),
                            _mm256_shuffle_epi8(high_table, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
  }
  // 0xFF where a pair starts, for 32 positions (with the tables: 0xFF where none
  // does).
  __attribute__((target("avx2"))) __m256i pairs32(const char* p) const {
    if constexpr (pairs_of(Kind) > 0) {
      const __m256i here = load(p);
      __m256i any = _mm256_and_si256(_mm256_cmpeq_epi8(here, first[0]), _mm256_cmpeq_epi8(load(p + distance[0]), second[0]));
      for (std::size_t k = 1; k < pairs_of(Kind); ++k)
        any = _mm256_or_si256(any, _mm256_and_si256(_mm256_cmpeq_epi8(here, first[k]),
                                                    _mm256_cmpeq_epi8(load(p + distance[k]), second[k])));
      return any;
    } else if constexpr (Kind != PairKind::tables && Kind != PairKind::two_tables) {
      const __m256i here = load(p);
      __m256i any = _mm256_setzero_si256();
      for (std::size_t k = 0; k < count; ++k) {
        __m256i match = _mm256_and_si256(_mm256_cmpeq_epi8(here, first[k]),
                                         _mm256_cmpeq_epi8(load(p + distance[k]), second[k]));
        if (has_third[k]) match = _mm256_and_si256(match, _mm256_cmpeq_epi8(load(p + 2), third[k]));
        any = _mm256_or_si256(any, match);
      }
      return any;
    } else {
      __m256i buckets = _mm256_and_si256(lookup(load(p), low[0], high[0]), lookup(load(p + 1), low[1], high[1]));
      if constexpr (Kind == PairKind::tables)
        buckets = _mm256_and_si256(buckets, lookup(load(p + 2), low[2], high[2]));
      return _mm256_cmpeq_epi8(buckets, _mm256_setzero_si256());
    }
  }
  __attribute__((target("avx2"))) std::uint64_t pairs(const char* p) const {
    const std::uint64_t bits = bits_of(pairs32(p), pairs32(p + 32));
    return Kind == PairKind::tables || Kind == PairKind::two_tables ? ~bits : bits;
  }

  const NameProbe* probe;
  __m256i chosen;
  std::size_t count = 0;
  __m256i first[NameProbe::max_pairs], second[NameProbe::max_pairs], third[NameProbe::max_pairs];
  std::size_t distance[NameProbe::max_pairs] = {};
  bool has_third[NameProbe::max_pairs] = {};
  __m256i low[NameProbe::table_reach + 1], high[NameProbe::table_reach + 1];
};

template <PairKind Kind>
struct Avx512Scanner {
  static constexpr bool lists_pairs = Kind != PairKind::none;
  __attribute__((target("avx512bw"))) Avx512Scanner(const NameProbe* probe_, unsigned char byte)
      : probe(probe_), chosen(_mm512_set1_epi8(static_cast<char>(byte))) {
    if (!probe) return;
    count = probe->size();
    for (std::size_t k = 0; k < count; ++k) {
      const BytePair& pair = (*probe)[k];
      first[k] = _mm512_set1_epi8(static_cast<char>(pair.first));
      second[k] = _mm512_set1_epi8(static_cast<char>(pair.second));
      third[k] = _mm512_set1_epi8(static_cast<char>(pair.third));
      distance[k] = pair.distance;
      has_third[k] = pair.third >= 0;
    }
    for (std::size_t offset = 0; offset <= NameProbe::table_reach; ++offset) {
      low[offset] = table(probe->table(offset).low);
      high[offset] = table(probe->table(offset).high);
    }
  }
  __attribute__((target("avx512bw"))) static __m512i table(const std::array<std::uint8_t, 16>& t) {
    return _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data())));
  }
  __attribute__((target("avx512bw"))) static __m512i load(const char* p) { return _mm512_loadu_si512(p); }
  __attribute__((target("avx512bw"))) std::uint64_t zeros(const char* p) const {
    return _mm512_cmpeq_epi8_mask(load(p), _mm512_setzero_si512());
  }
  __attribute__((target("avx512bw"))) std::uint64_t stars(const char* p) const {
    return _mm512_cmpeq_epi8_mask(load(p), _mm512_set1_epi8('*'));
  }
  __attribute__((target("avx512bw"))) std::uint64_t bytes(const char* p) const {
    return _mm512_cmpeq_epi8_mask(load(p), chosen);
  }
  __attribute__((target("avx512bw"))) static __m512i lookup(__m512i v, __m512i low_table, __m512i high_table) {
    const __m512i nibble = _mm512_set1_epi8(0x0F);
    return _mm512_and_si512(_mm512_shuffle_epi8(low_table, _mm512_and_si512(v, nibble)),
                            _mm512_shuffle_epi8(high_table, _mm512_and_si512(_mm512_srli_epi16(v, 4), nibble)));
  }
  __attribute__((target("avx512bw"))) std::uint64_t pairs(const char* p) const {
    if constexpr (pairs_of(Kind) > 0) {
      const __m512i here = load(p);
      std::uint64_t bits = 0;
      for (std::size_t k = 0; k < pairs_of(Kind); ++k)
        bits |= _mm512_cmpeq_epi8_mask(here, first[k]) & _mm512_cmpeq_epi8_mask(load(p + distance[k]), second[k]);
      return bits;
    } else if constexpr (Kind != PairKind::tables && Kind != PairKind::two_tables) {
      const __m512i here = load(p);
      std::uint64_t bits = 0;
      for (std::size_t k = 0; k < count; ++k) {
        std::uint64_t match =
            _mm512_cmpeq_epi8_mask(here, first[k]) & _mm512_cmpeq_epi8_mask(load(p + distance[k]), second[k]);
        if (has_third[k]) match &= _mm512_cmpeq_epi8_mask(load(p + 2), third[k]);
        bits |= match;
      }
      return bits;
    } else {
      const __m512i buckets =
          _mm512_and_si512(lookup(load(p), low[0], high[0]), lookup(load(p + 1), low[1], high[1]));
      if constexpr (Kind == PairKind::two_tables) return _mm512_test_epi8_mask(buckets, buckets);
      else return _mm512_test_epi8_mask(buckets, lookup(load(p + 2), low[2], high[2]));
    }
  }

  const NameProbe* probe;
  __m512i chosen;
  std::size_t count = 0;
  __m512i first[NameProbe::max_pairs], second[NameProbe::max_pairs], third[NameProbe::max_pairs];
  std::size_t distance[NameProbe::max_pairs] = {};
  bool has_third[NameProbe::max_pairs] = {};
  __m512i low[NameProbe::table_reach + 1], high[NameProbe::table_reach + 1];
};
#endif

} // namespace shelvo::block_scanners
