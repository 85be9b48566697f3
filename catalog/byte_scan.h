// The vector scans over the bytes of a volume file's record stream: where the
// 0x00 bytes are (the record walk steps from terminator to terminator by them),
// where the byte pairs of a name probe start (names without one are passed over),
// where '*' is, and where one given byte is. Every scan gives the same
// answer on every vector width (vector_width.h chooses the widest the processor
// has), so tests can check the narrower code on any machine.
//
// A piece is scanned once, before its records are walked, in blocks of 64 bytes:
// the maps hold one bit per byte, bit i of map byte j standing for piece byte
// 8j + i.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "catalog/search_mask.h"

namespace shelvo {

// What a scan finds besides the zero bytes.
struct PieceScanRequest {
  const NameProbe* probe = nullptr; // list where its pairs start
  bool map_stars = false;           // map '*' too
  bool map_byte = false;            // map the byte below too
  unsigned char byte = 0;
};

struct PieceScan {
  // The zero bytes. The bits from the piece's end on are set, so that a search
  // for a terminator always ends inside the map; 16 spare map bytes let 8-byte
  // loads reach past the last byte.
  std::vector<unsigned char> zeros;
  // '*', and the requested byte, laid out the same way; the bits from the end
  // on clear.
  std::vector<unsigned char> stars;
  std::vector<unsigned char> bytes;
  // The first pair_count entries: the ascending offsets at which one of the
  // probe's pairs starts with both of its bytes inside the piece.
  std::vector<std::uint32_t> pair_starts;
  std::size_t pair_count = 0;
};

// Scans the bytes of the piece from offset `from` (a multiple of 64) to its end.
void scan_piece(std::span<const char> piece, std::size_t from, const PieceScanRequest& request, PieceScan& scan);

// The first position in [from, end) where one of the probe's pairs starts with
// both of its bytes before end; end when there is none.
const char* find_pair_start(const NameProbe& probe, const char* from, const char* end);

} // namespace shelvo
