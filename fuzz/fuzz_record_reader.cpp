// The bulk record reader against its byte-at-a-time reference: on any bytes, cut
// into any chunks, with or without archive members and name and directory
// filters (a probe of one pair or of several, in two or three nibble tables,
// "*", "*.*"), both report the same
// records in the same order, and a reader that counts instead of reporting
// counts just those. The input is repeated to make long volumes, which the bulk
// reader walks in several lanes at once.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalog/record_reader.h"
#include "catalog/search_mask.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace shelvo;

class Transcript final : public RecordHandler {
public:
  void directory_record(std::string_view path) override {
    (text += "D ").append(path) += '\n';
    ++counted.directories;
  }
  void file_record(std::string_view name, RecordTail tail, std::string_view directory, bool member) override {
    (text += member ? "M " : "F ").append(name) += '|';
    text.append(directory) += '|';
    text.append(reinterpret_cast<const char*>(tail.data()), tail.size()) += '\n';
    const std::uint32_t size = static_cast<std::uint32_t>(tail[0] & 0x7F) << 24 | tail[1] << 16 | tail[2] << 8 | tail[3];
    (member ? counted.members : counted.files) += 1;
    (member ? counted.member_bytes : counted.file_bytes) += size;
  }
  std::string text;
  RecordTally counted;
};

MaskList filter_masks(int kind) {
  MaskList masks(MaskList::search_mask_limit);
  switch (kind) {
  case 1: masks.add("*A?*"); break;
  case 2: masks.add("*"); break;
  case 3: masks.add("*.*"); break;
  case 4: // rare adjacent bytes: two nibble tables
    for (const char* m : {"*QZ*", "*ZQ*", "*QQ*", "*ZZ*", "*Q9*", "\\*.0"}) masks.add(m);
    break;
  default: // three bytes within reach: three tables
    for (const char* m : {"*QZ*", "*Z?Q*", "*.0", "A*", "*B9*"}) masks.add(m);
    break;
  }
  return masks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const unsigned char format = data[0];
  const bool archives = (data[1] & 1) != 0;
  const int filter_kind = (data[1] & 2) != 0 ? 1 + (data[1] >> 2) % 5 : 0;
  const std::size_t repeats = 1 + (data[1] >> 4) % 16;
  const std::size_t chunk = 1 + std::size_t{data[2]} * 257 % 70001;
  std::string long_volume;
  for (std::size_t k = 0; k < repeats; ++k) long_volume += fuzzing::text_of(data + 3, size - 3);
  const std::string_view bytes = long_volume;

  const CompiledMaskList filter(filter_masks(filter_kind));
  Transcript bulk, reference, counting;
  RecordTally tally;
  for (Transcript* handler : {&bulk, &reference, &counting}) {
    handler->name_filter = filter_kind ? &filter : nullptr;
    handler->directory_filter = handler->name_filter;
  }
  counting.tally = &tally;
  RecordReader fast(bulk, archives), slow(reference, archives), counter(counting, archives);
  fast.start_volume(format);
  slow.start_volume(format);
  counter.start_volume(format);
  for (std::size_t at = 0; at < bytes.size(); at += chunk) {
    const std::span<const char> part(bytes.data() + at, std::min(chunk, bytes.size() - at));
    fast.feed(part);
    slow.feed_bytewise(part);
    counter.feed(part);
  }
  FUZZ_CHECK(bulk.text == reference.text);
  if (filter_kind) {
    const RecordTally& c = reference.counted;
    FUZZ_CHECK(tally.files == c.files && tally.file_bytes == c.file_bytes && tally.members == c.members &&
               tally.member_bytes == c.member_bytes && tally.directories == c.directories);
    FUZZ_CHECK(counting.text.empty());
  }
  return 0;
}
