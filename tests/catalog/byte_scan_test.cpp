#include "catalog/byte_scan.h"
#include "catalog/byte_maps.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace shelvo {
namespace {

// Runs the narrower vector code, as on an older processor, while it lives.
struct NarrowVectors {
  explicit NarrowVectors(VectorWidth widest) { limit_vector_width(widest); }
  ~NarrowVectors() { limit_vector_width(VectorWidth::avx512); }
};

bool bit(const std::vector<unsigned char>& map, std::size_t at) { return (map[at / 8] >> (at % 8)) & 1; }

// A probe from masks of the form "*XY*", "*XYZ*" and "*X?..?Y*" over a few
// bytes whose nibbles collide (0x51 and 0x15 share theirs crosswise), so that a
// nibble table answering for the wrong pair would show. Each has a pair; with
// adjacent, only "*XY*", which beyond three masks the scan looks up in two
// tables instead of three.
CompiledMaskList probe_masks(std::mt19937& random, std::string_view alphabet, bool adjacent) {
  MaskList list(MaskList::search_mask_limit);
  const std::size_t masks = 1 + random() % NameProbe::max_pairs;
  const auto any = [&] { return std::string(1, alphabet[random() % alphabet.size()]); };
  for (std::size_t k = 0; k < masks; ++k) {
    const std::string gap(adjacent || random() % 3 ? 0 : random() % 32, '?');
    list.add("*" + any() + gap + any() + (!adjacent && random() % 2 ? any() : "") + "*");
  }
  return CompiledMaskList(list);
}

// Every map (zeros, '*', a chosen byte) and the list of pair starts equal a
// byte-at-a-time reading, on every vector width, from any block on, for pieces
// of any length and pairs reaching up to the end.
TEST(ByteScan, MapsAndPairStartsEqualAPlainReadingOnEveryWidth) {
  std::mt19937 random(23);
  const std::string alphabet("\x51\x15\x11\x55\x8F.*", 8); // with a zero byte
  const std::string_view mask_bytes = std::string_view(alphabet).substr(0, 6);
  PieceScan scan;
  for (int round = 0; round < 400; ++round) {
    const NarrowVectors narrow(static_cast<VectorWidth>(round % 4));
    const CompiledMaskList masks = probe_masks(random, mask_bytes, round % 3 == 0);
    ASSERT_NE(masks.probe(), nullptr);
    const NameProbe& probe = *masks.probe();
    std::string piece(random() % 700, ' ');
    for (char& c : piece) c = alphabet[random() % alphabet.size()];
    const std::size_t from = piece.empty() ? 0 : random() % (piece.size() + 1) / 64 * 64;
    PieceScanRequest request;
    request.probe = round % 5 ? &probe : nullptr;
    request.map_stars = round % 2 == 0;
    request.map_byte = round % 7 < 3;
    request.byte = static_cast<unsigned char>(alphabet[random() % alphabet.size()]);
    scan_piece(piece, from, request, scan);

    std::vector<std::uint32_t> starts;
    for (std::size_t at = from; at < piece.size(); ++at) {
      const auto byte = static_cast<unsigned char>(piece[at]);
      ASSERT_EQ(bit(scan.zeros, at), byte == 0) << "round " << round << " at " << at;
      ASSERT_TRUE(!request.map_stars || bit(scan.stars, at) == (byte == '*')) << "round " << round << " at " << at;
      ASSERT_TRUE(!request.map_byte || bit(scan.bytes, at) == (byte == request.byte)) << "round " << round;
      for (std::size_t k = 0; k < probe.size(); ++k) {
        const BytePair& pair = probe[k];
        const auto at_offset = [&](std::size_t offset) { return static_cast<unsigned char>(piece[at + offset]); };
        if (byte == pair.first && at + pair.distance < piece.size() && at_offset(pair.distance) == pair.second &&
            (pair.third < 0 || (at + 2 < piece.size() && at_offset(2) == pair.third))) {
          starts.push_back(static_cast<std::uint32_t>(at));
          break;
        }
      }
    }
    // Past the end the zero map reads as zeros, so a terminator search stops there.
    for (std::size_t at = piece.size(); at < piece.size() + 64; ++at) ASSERT_TRUE(bit(scan.zeros, at));
    if (request.probe) {
      ASSERT_EQ(std::vector<std::uint32_t>(scan.pair_starts.begin(),
                                           scan.pair_starts.begin() + static_cast<std::ptrdiff_t>(scan.pair_count)),
                starts)
          << "round " << round;
      const char* first = find_pair_start(probe, piece.data() + from, piece.data() + piece.size());
      ASSERT_EQ(static_cast<std::size_t>(first - piece.data()), starts.empty() ? piece.size() : starts[0]);
    }
  }
}

// The record that holds an offset, found by halving and counting, is the one a
// plain search finds, for runs of any length and offsets anywhere in them.
TEST(ByteMaps, RecordHoldingIsTheLastStartAtOrBeforeTheOffset) {
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint64_t> starts(1 + random() % 40);
    std::uint64_t at = random() % 5;
    for (std::uint64_t& start : starts) start = at += 1 + random() % 30;
    const std::size_t first = random() % starts.size();
    const std::size_t end = first + 1 + random() % (starts.size() - first);
    const std::uint64_t offset = starts[first] + random() % (starts[end - 1] - starts[first] + 40);
    std::size_t expected = first;
    while (expected + 1 < end && starts[expected + 1] <= offset) ++expected;
    ASSERT_EQ(record_holding(starts.data(), first, end, offset), expected) << "round " << round;
  }
}

} // namespace
} // namespace shelvo
