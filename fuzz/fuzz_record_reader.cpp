// The bulk record reader against its byte-at-a-time reference: on any bytes, cut
// into any chunks, with or without archive members and a name filter, both
// report the same records in the same order. The input is repeated to make long
// volumes, which the bulk reader walks in several lanes at once.
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
  void directory_record(std::string_view path) override { (text += "D ").append(path) += '\n'; }
  void file_record(std::string_view name, RecordTail tail, std::string_view directory, bool member) override {
    (text += member ? "M " : "F ").append(name) += '|';
    text.append(directory) += '|';
    text.append(reinterpret_cast<const char*>(tail.data()), tail.size()) += '\n';
  }
  std::string text;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const unsigned char format = data[0];
  const bool archives = (data[1] & 1) != 0;
  const bool filtered = (data[1] & 2) != 0;
  const std::size_t chunk = 1 + std::size_t{data[2]} * 257 % 70001;
  const std::size_t repeats = 1 + (data[1] >> 2) % 64;
  std::string long_volume;
  for (std::size_t k = 0; k < repeats; ++k) long_volume += fuzzing::text_of(data + 3, size - 3);
  const std::string_view bytes = long_volume;

  MaskList masks(MaskList::search_mask_limit);
  masks.add(filtered ? "*A?*" : "*");
  const CompiledMaskList filter(masks);

  Transcript bulk, reference;
  bulk.name_filter = filtered ? &filter : nullptr;
  reference.name_filter = bulk.name_filter;
  RecordReader fast(bulk, archives), slow(reference, archives);
  fast.start_volume(format);
  slow.start_volume(format);
  for (std::size_t at = 0; at < bytes.size(); at += chunk) {
    const std::span<const char> part(bytes.data() + at, std::min(chunk, bytes.size() - at));
    fast.feed(part);
    slow.feed_bytewise(part);
  }
  FUZZ_CHECK(bulk.text == reference.text);
  return 0;
}
