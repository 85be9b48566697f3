#include "catalog/byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "catalog/block_scanners.h"
#include "catalog/vector_width.h"

namespace shelvo {

namespace {

using namespace block_scanners;

// Stores the low `count` bytes of bits at map byte `at`, lowest first.
inline void store_bits(unsigned char* map, std::size_t at, std::uint64_t bits, std::size_t count = 8) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(map + at, &bits, count);
  } else {
    for (std::size_t k = 0; k < count; ++k) map[at + k] = static_cast<unsigned char>(bits >> (8 * k));
  }
}

// Appends the offsets of the bits to a list that has room for 64 more.
inline std::size_t append_offsets(std::uint32_t* out, std::size_t count, std::size_t at, std::uint64_t bits) {
  while (bits != 0) {
    out[count++] = static_cast<std::uint32_t>(at + static_cast<std::size_t>(std::countr_zero(bits)));
    bits &= bits - 1;
  }
  return count;
}

// Where a piece's scan writes, sized for it.
struct ScanOutput {
  unsigned char* zeros;
  unsigned char* stars;   // nullptr unless '*' is mapped
  unsigned char* bytes;   // nullptr unless the chosen byte is mapped
  std::uint32_t* starts;  // nullptr unless pairs are listed; room for every offset
  std::size_t start_count = 0;
};

// Whether a scan maps '*' (or the chosen byte): never, always, or as the
// output asks (for the rare requests that are not fixed at compile time).
enum class Map { no, yes, ask };

// The whole blocks of [from, to): zero map, '*', the chosen byte, and the pair
// starts of the blocks before pairs_to (whose pairs' second bytes lie inside).
template <Map Stars, Map Chosen, class Scanner>
inline void scan_blocks(const Scanner& scanner, const char* bytes, std::size_t from, std::size_t to,
                        std::size_t pairs_to, ScanOutput& out) {
  // In locals: the maps are bytes, which the compiler must otherwise take for
  // the scanner's own and read again after every store.
  unsigned char* const zeros = out.zeros;
  unsigned char* const stars = out.stars;
  unsigned char* const chosen = out.bytes;
  std::uint32_t* const starts = out.starts;
  std::size_t count = out.start_count;
  const bool map_stars = Stars == Map::yes || (Stars == Map::ask && stars);
  const bool map_chosen = Chosen == Map::yes || (Chosen == Map::ask && chosen);
  auto one_block = [&](std::size_t at, auto with_pairs) __attribute__((always_inline)) {
    // Every answer first, then every store: a store through a map may change
    // the bytes as far as the compiler knows, and would make it load them again.
    const char* p = bytes + at;
    const std::uint64_t zero_bits = scanner.zeros(p);
    const std::uint64_t star_bits = map_stars ? scanner.stars(p) : 0;
    const std::uint64_t chosen_bits = map_chosen ? scanner.bytes(p) : 0;
    std::uint64_t pair_bits = 0;
    if constexpr (decltype(with_pairs)::value) pair_bits = scanner.pairs(p);
    store_bits(zeros, at / 8, zero_bits);
    if (map_stars) store_bits(stars, at / 8, star_bits);
    if (map_chosen) store_bits(chosen, at / 8, chosen_bits);
    if constexpr (decltype(with_pairs)::value) count = append_offsets(starts, count, at, pair_bits);
  };
  std::size_t at = from;
  if (Scanner::lists_pairs && starts)
    for (; at < pairs_to; at += block) one_block(at, std::true_type{});
  for (; at < to; at += block) one_block(at, std::false_type{});
  out.start_count = count;
}

// The first pair start in the whole blocks from p while a block and the reach
// after it lie before end; where the scan stopped (no find) otherwise.
template <class Scanner>
inline const char* find_in_blocks(const Scanner& scanner, const char* p, const char* end, bool& found) {
  const std::size_t reach = scanner.probe->scan_reach();
  while (static_cast<std::size_t>(end - p) >= block + reach) {
    if (const std::uint64_t bits = scanner.pairs(p); bits != 0) {
      found = true;
      return p + std::countr_zero(bits);
    }
    p += block;
  }
  return p;
}

// A scan and a search with the scanner of the probe's kind.
template <template <PairKind> class Scanner, PairKind Kind>
inline void scan_blocks_of(const char* bytes, std::size_t from, std::size_t to, std::size_t pairs_to,
                           const PieceScanRequest& request, ScanOutput& out) {
  const Scanner<Kind> scanner(request.probe, request.byte);
  if (!out.stars && !out.bytes) return scan_blocks<Map::no, Map::no>(scanner, bytes, from, to, pairs_to, out);
  if (Kind == PairKind::none && !out.bytes)
    return scan_blocks<Map::yes, Map::no>(scanner, bytes, from, to, pairs_to, out);
  if (Kind == PairKind::none && out.stars)
    return scan_blocks<Map::yes, Map::yes>(scanner, bytes, from, to, pairs_to, out);
  scan_blocks<Map::ask, Map::ask>(scanner, bytes, from, to, pairs_to, out);
}

template <template <PairKind> class Scanner>
inline void scan_blocks_of_kind(const char* bytes, std::size_t from, std::size_t to, std::size_t pairs_to,
                                const PieceScanRequest& request, ScanOutput& out) {
  switch (kind_of(request.probe)) {
  case PairKind::none: return scan_blocks_of<Scanner, PairKind::none>(bytes, from, to, pairs_to, request, out);
  case PairKind::one: return scan_blocks_of<Scanner, PairKind::one>(bytes, from, to, pairs_to, request, out);
  case PairKind::two: return scan_blocks_of<Scanner, PairKind::two>(bytes, from, to, pairs_to, request, out);
  case PairKind::three: return scan_blocks_of<Scanner, PairKind::three>(bytes, from, to, pairs_to, request, out);
  case PairKind::several:
    return scan_blocks_of<Scanner, PairKind::several>(bytes, from, to, pairs_to, request, out);
  case PairKind::tables: return scan_blocks_of<Scanner, PairKind::tables>(bytes, from, to, pairs_to, request, out);
  case PairKind::two_tables:
    return scan_blocks_of<Scanner, PairKind::two_tables>(bytes, from, to, pairs_to, request, out);
  }
}

template <template <PairKind> class Scanner>
inline const char* find_in_blocks_of_kind(const NameProbe& probe, const char* p, const char* end, bool& found) {
  switch (kind_of(&probe)) {
  case PairKind::none:
  case PairKind::several: return find_in_blocks(Scanner<PairKind::several>(&probe, 0), p, end, found);
  case PairKind::one: return find_in_blocks(Scanner<PairKind::one>(&probe, 0), p, end, found);
  case PairKind::two: return find_in_blocks(Scanner<PairKind::two>(&probe, 0), p, end, found);
  case PairKind::three: return find_in_blocks(Scanner<PairKind::three>(&probe, 0), p, end, found);
  case PairKind::tables: return find_in_blocks(Scanner<PairKind::tables>(&probe, 0), p, end, found);
  case PairKind::two_tables: return find_in_blocks(Scanner<PairKind::two_tables>(&probe, 0), p, end, found);
  }
  return p;
}

// Each width's scans, with its scanner inlined into them.
#if defined(SHELVO_X86_VECTORS)
__attribute__((target("avx512bw"), flatten)) void scan_blocks_avx512(const char* bytes, std::size_t from,
                                                                    std::size_t to, std::size_t pairs_to,
                                                                    const PieceScanRequest& request,
                                                                    ScanOutput& out) {
  scan_blocks_of_kind<Avx512Scanner>(bytes, from, to, pairs_to, request, out);
}
__attribute__((target("avx512bw"), flatten)) const char* find_in_blocks_avx512(const NameProbe& probe,
                                                                              const char* p, const char* end,
                                                                              bool& found) {
  return find_in_blocks_of_kind<Avx512Scanner>(probe, p, end, found);
}
__attribute__((target("avx2"), flatten)) void scan_blocks_avx2(const char* bytes, std::size_t from, std::size_t to,
                                                              std::size_t pairs_to, const PieceScanRequest& request,
                                                              ScanOutput& out) {
  scan_blocks_of_kind<Avx2Scanner>(bytes, from, to, pairs_to, request, out);
}
__attribute__((target("avx2"), flatten)) const char* find_in_blocks_avx2(const NameProbe& probe, const char* p,
                                                                        const char* end, bool& found) {
  return find_in_blocks_of_kind<Avx2Scanner>(probe, p, end, found);
}
#endif
#if defined(__SSE2__)
__attribute__((flatten)) void scan_blocks_sse2(const char* bytes, std::size_t from, std::size_t to,
                                               std::size_t pairs_to, const PieceScanRequest& request,
                                               ScanOutput& out) {
  scan_blocks<Map::ask, Map::ask>(Sse2Scanner(request.probe, request.byte), bytes, from, to, pairs_to, out);
}
__attribute__((flatten)) const char* find_in_blocks_sse2(const NameProbe& probe, const char* p, const char* end,
                                                         bool& found) {
  return find_in_blocks(Sse2Scanner(&probe, 0), p, end, found);
}
#endif
void scan_blocks_plain(const char* bytes, std::size_t from, std::size_t to, std::size_t pairs_to,
                       const PieceScanRequest& request, ScanOutput& out) {
  scan_blocks<Map::ask, Map::ask>(PlainScanner(request.probe, request.byte), bytes, from, to, pairs_to, out);
}
const char* find_in_blocks_plain(const NameProbe& probe, const char* p, const char* end, bool& found) {
  return find_in_blocks(PlainScanner(&probe, 0), p, end, found);
}

using BlockScan = void (*)(const char*, std::size_t, std::size_t, std::size_t, const PieceScanRequest&, ScanOutput&);
using BlockFind = const char* (*)(const NameProbe&, const char*, const char*, bool&);

BlockScan block_scan(VectorWidth width) {
#if defined(SHELVO_X86_VECTORS)
  if (width == VectorWidth::avx512) return scan_blocks_avx512;
  if (width == VectorWidth::avx2) return scan_blocks_avx2;
#endif
#if defined(__SSE2__)
  if (width >= VectorWidth::sse2) return scan_blocks_sse2;
#endif
  return scan_blocks_plain;
}

BlockFind block_find(VectorWidth width) {
#if defined(SHELVO_X86_VECTORS)
  if (width == VectorWidth::avx512) return find_in_blocks_avx512;
  if (width == VectorWidth::avx2) return find_in_blocks_avx2;
#endif
#if defined(__SSE2__)
  if (width >= VectorWidth::sse2) return find_in_blocks_sse2;
#endif
  return find_in_blocks_plain;
}

} // namespace

void scan_piece(std::span<const char> piece, std::size_t from, const PieceScanRequest& request, PieceScan& scan) {
  const std::size_t size = piece.size();
  const std::size_t whole = from + (size - from) / block * block;
  const std::size_t reach = request.probe ? request.probe->scan_reach() : 0;
  const std::size_t pairs_to = size - from >= block + reach ? from + (size - from - reach) / block * block : from;

  // The bits from `whole` on start set (zeros) or clear ('*') and are
  // corrected for the bytes that are there.
  const auto prepare = [&](std::vector<unsigned char>& map, unsigned char fill) {
    map.resize(size / 8 + 24);
    std::fill(map.begin() + static_cast<std::ptrdiff_t>(whole / 8), map.end(), fill);
    return map.data();
  };
  ScanOutput out{prepare(scan.zeros, 0xFF), request.map_stars ? prepare(scan.stars, 0) : nullptr,
                 request.map_byte ? prepare(scan.bytes, 0) : nullptr, nullptr};
  if (request.probe) {
    if (scan.pair_starts.size() < size - from + block) scan.pair_starts.resize(size - from + block);
    out.starts = scan.pair_starts.data();
  }
  block_scan(vector_width())(piece.data(), from, whole, pairs_to, request, out);

  for (std::size_t at = whole; at < size; ++at) {
    const auto byte = static_cast<unsigned char>(piece[at]);
    const auto bit = static_cast<unsigned char>(1u << (at % 8));
    if (byte != 0) scan.zeros[at / 8] = static_cast<unsigned char>(scan.zeros[at / 8] & ~bit);
    if (out.stars && byte == '*') out.stars[at / 8] |= bit;
    if (out.bytes && byte == request.byte) out.bytes[at / 8] |= bit;
  }
  if (request.probe) {
    const char* const end = piece.data() + size;
    for (std::size_t at = pairs_to; at < size; at += block) {
      const std::size_t count = std::min(block, size - at);
      out.start_count = append_offsets(out.starts, out.start_count, at,
                                       pair_bits_plainly(*request.probe, piece.data() + at, end, count));
    }
  }
  scan.pair_count = out.start_count;
}

const char* find_pair_start(const NameProbe& probe, const char* from, const char* end) {
  bool found = false;
  const char* p = block_find(vector_width())(probe, from, end, found);
  if (found) return p;
  while (p < end) {
    const auto count = static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - p, block));
    if (const std::uint64_t bits = pair_bits_plainly(probe, p, end, count); bits != 0)
      return p + std::countr_zero(bits);
    p += count;
  }
  return end;
}

} // namespace shelvo
