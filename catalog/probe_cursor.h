// Where the record reader stands among a name probe's finds in the piece it
// walks (record_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalog/byte_scan.h"
#include "catalog/search_mask.h"

namespace shelvo {

// What the scan of the current piece did for a filter beyond the zero map:
// listed the starts of its probe's pairs, or noted '*' (and mapped a byte) for
// its shortcut on names without a '*'.
struct PieceScanFilters {
  const char* piece = nullptr;
  const CompiledMaskList* pairs_of = nullptr;
  const CompiledMaskList* rule_of = nullptr;
};

// The first find of a filter's probe at or after the records already passed
// over in the current piece, kept while the records before it are passed over.
// From the piece's list of pair starts when it was made for this filter.
class ProbeCursor {
public:
  ProbeCursor(const PieceScan& scan, const PieceScanFilters& scanned) : scan_(scan), scanned_(scanned) {}
  void forget() { filter_ = nullptr; }
  const NameProbe* probe_of(const CompiledMaskList& of) {
    if (filter_ != &of) {
      filter_ = &of;
      probe_ = of.probe();
      hit_ = nullptr;
      listed_ = listed_end_ = nullptr;
      if (scanned_.pairs_of == &of) {
        listed_ = scan_.pair_starts.data();
        listed_end_ = listed_ + scan_.pair_count;
        piece_ = scanned_.piece;
      }
    }
    return probe_;
  }
  // False when the bytes [from, nul) of the piece ending at end hold no find,
  // so that the filter rejects them.
  bool may_match(const CompiledMaskList& of, const char* from, const char* nul, const char* end) {
    if (!probe_of(of)) return true;
    if (!hit_ || hit_ < from) hit_ = next_find(from, end);
    return hit_ < nul;
  }
  // The first find at or after `from` whose pair lies in its piece (for a
  // cursor that has a probe).
  const char* next_find(const char* from, const char* end) {
    if (!listed_) {
      const char* found = probe_->find(from, end);
      while (found != end && !probe_->verified(found, from, end, mask_)) found = probe_->find(found + 1, end);
      return found;
    }
    while (listed_ != listed_end_ &&
           (piece_ + *listed_ < from || !probe_->verified(piece_ + *listed_, piece_, end, mask_)))
      ++listed_;
    return listed_ != listed_end_ ? piece_ + *listed_ : end;
  }
  const char* hit() const { return hit_; }
  // The mask whose piece holds the find, after may_match said yes.
  std::size_t likeliest_mask() const { return probe_ ? mask_ : any_mask; }

private:
  const PieceScan& scan_;
  const PieceScanFilters& scanned_;
  const CompiledMaskList* filter_ = nullptr;
  const NameProbe* probe_ = nullptr;
  const char* hit_ = nullptr; // none looked for yet
  std::size_t mask_ = any_mask;
  const std::uint32_t* listed_ = nullptr;
  const std::uint32_t* listed_end_ = nullptr;
  const char* piece_ = nullptr;
};

} // namespace shelvo
