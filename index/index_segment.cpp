#include "index/index_segment.h"

#include <algorithm>

#include "catalog/catalog_store.h"
#include "catalog/record_reader.h"
#include "index/content_hash.h"
#include "index/leb128.h"

namespace shelvo {

namespace {

// The first read of a segment: its header and, for segments of up to some
// 100 MB, all of its page checksums.
constexpr std::size_t first_read = 64 * 1024;

// Block numbers of a posting in LEB128 gaps into out; false when they leave the
// volume's blocks or the bytes end inside a number.
bool decode_gaps(std::string_view bytes, BlockSet& out) {
  std::uint64_t next = 0;
  for (std::size_t at = 0; at < bytes.size();) {
    std::uint32_t gap = 0;
    if (!get_leb128(bytes, at, gap)) return false;
    const std::uint64_t block = next + gap;
    if (block >= out.size()) return false;
    out.insert(static_cast<std::uint32_t>(block));
    next = block + 1;
  }
  return true;
}

bool decode_bitmap(std::string_view bytes, BlockSet& out) {
  if (bytes.size() != (static_cast<std::uint64_t>(out.size()) + 7) / 8) return false;
  std::vector<std::uint64_t>& words = out.words();
  for (std::size_t k = 0; k < bytes.size(); ++k)
    words[k / 8] |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[k])) << (8 * (k % 8));
  // Bits past the last block mean nothing; they must not count as blocks.
  if (out.size() % 64 != 0) words.back() &= (std::uint64_t{1} << (out.size() % 64)) - 1;
  return true;
}

} // namespace

bool IndexSegment::open(const std::string& host_path, const FileStatus& volume) {
  file_ = File::open_host(host_path, "rb");
  page_hashes_.clear();
  fences_.clear();
  if (!file_) return false;
  const std::optional<FileStatus> own = file_.status();
  if (!own || own->size < segment_header_bytes) return false;
  std::string first(static_cast<std::size_t>(std::min<std::uint64_t>(own->size, first_read)), '\0');
  if (file_.read_at(0, first) != first.size()) return false;
  const std::optional<SegmentHeader> header = decode_segment_header(first);
  if (!header || !(header->volume.file == volume) || header->file_length() != own->size) return false;
  header_ = *header;

  const std::uint64_t pages = header_.page_count();
  std::string hashes(static_cast<std::size_t>(8 * pages), '\0');
  if (segment_header_bytes + hashes.size() <= first.size()) hashes.assign(first, segment_header_bytes, hashes.size());
  else if (file_.read_at(segment_header_bytes, hashes) != hashes.size()) return false;
  if (content_hash(hashes) != header_.checksums_hash) return false;
  page_hashes_.resize(pages);
  for (std::uint64_t p = 0; p < pages; ++p) page_hashes_[p] = get_u64(hashes.data() + 8 * p);

  std::string fences;
  if (!read_body(header_.fences_at(), 4 * header_.fence_count(), fences)) return false;
  fences_.resize(header_.fence_count());
  for (std::size_t f = 0; f < fences_.size(); ++f) fences_[f] = get_u32(fences.data() + 4 * f);
  return true;
}

bool IndexSegment::read_body(std::uint64_t at, std::uint64_t length, std::string& out) {
  out.clear();
  if (length == 0) return true;
  const std::uint64_t body = header_.body_length();
  if (at > body || length > body - at) return false;
  const std::uint64_t first_page = at / segment_page_bytes;
  const std::uint64_t last_page = (at + length - 1) / segment_page_bytes;
  const std::uint64_t from = first_page * segment_page_bytes;
  const std::uint64_t to = std::min(body, (last_page + 1) * segment_page_bytes);
  pages_.resize(static_cast<std::size_t>(to - from));
  if (file_.read_at(header_.body_at() + from, pages_) != pages_.size()) return false;
  for (std::uint64_t p = first_page; p <= last_page; ++p) {
    const auto offset = static_cast<std::size_t>((p - first_page) * segment_page_bytes);
    const std::string_view page = std::string_view(pages_).substr(offset, segment_page_bytes);
    if (content_hash(page) != page_hashes_[p]) return false;
  }
  out.assign(pages_, static_cast<std::size_t>(at - from), static_cast<std::size_t>(length));
  return true;
}

bool IndexSegment::blocks_of_key(std::uint32_t key, BlockSet& out) {
  out.reset(header_.block_count, false);
  // The page of keys that would hold it, by the first key of every page.
  const auto fence = std::upper_bound(fences_.begin(), fences_.end(), key);
  if (fence == fences_.begin()) return true;
  const auto page = static_cast<std::uint64_t>(fence - fences_.begin() - 1);
  const std::uint64_t first = page * keys_per_fence;
  const std::uint64_t count = std::min<std::uint64_t>(keys_per_fence, header_.key_count - first);
  std::string keys;
  if (!read_body(header_.keys_at() + 4 * first, 4 * count, keys)) return false;
  std::uint64_t found = count;
  std::uint32_t previous = 0;
  for (std::uint64_t k = 0; k < count; ++k) {
    const std::uint32_t stored = get_u32(keys.data() + 4 * k);
    const std::uint32_t value = stored & ~bitmap_posting_flag;
    // Keys ascend, and a page begins with its fence.
    if ((k > 0 && value <= previous) || (k == 0 && value != fences_[page])) return false;
    previous = value;
    if (value == key) found = k;
  }
  if (found == count) return true;
  const std::uint64_t index = first + found;
  std::string ends;
  const std::uint64_t ends_from = index == 0 ? 0 : index - 1;
  if (!read_body(header_.ends_at() + 4 * ends_from, 4 * (index - ends_from + 1), ends)) return false;
  const std::uint64_t begin = index == 0 ? 0 : get_u32(ends.data());
  const std::uint64_t end = get_u32(ends.data() + ends.size() - 4);
  if (begin > end || end > header_.postings_length) return false;
  std::string posting;
  if (!read_body(header_.postings_at() + begin, end - begin, posting)) return false;
  const bool bitmap = (get_u32(keys.data() + 4 * found) & bitmap_posting_flag) != 0;
  return bitmap ? decode_bitmap(posting, out) : decode_gaps(posting, out);
}

bool IndexSegment::runs_of(const BlockSet& blocks, std::vector<BlockRun>& runs) {
  runs.clear();
  const std::uint32_t count = header_.block_count;
  if (blocks.size() != count) return false;
  const std::uint32_t lowest = blocks.next(0);
  if (lowest == count) return true;
  std::uint32_t highest = lowest; // the last block of the last run
  for (std::uint32_t b = lowest; b < count;) {
    const std::uint32_t end = blocks.next(b, false);
    highest = end - 1;
    b = blocks.next(end);
  }
  // Where the blocks from lowest to just past highest start, each after the one
  // before, within the stream; the first at the stream's start, and one past the
  // last at the volume's end.
  std::string bytes;
  if (!read_body(header_.starts_at() + 8ull * lowest, 8ull * (highest - lowest + 2), bytes)) return false;
  const std::uint64_t volume_end = header_.volume.file.size;
  std::vector<std::uint64_t> starts(highest - lowest + 2);
  for (std::size_t k = 0; k < starts.size(); ++k) {
    starts[k] = get_u64(bytes.data() + 8 * k);
    if (starts[k] < header_length || starts[k] > volume_end || (k > 0 && starts[k] <= starts[k - 1])) return false;
  }
  if ((lowest == 0 && starts.front() != header_length) || (highest + 1 == count && starts.back() != volume_end))
    return false;
  std::string contexts;
  if (!read_body(header_.contexts_at() + 4ull * lowest, 4ull * (highest - lowest + 1), contexts)) return false;

  std::vector<std::uint64_t> paths_at;
  std::uint64_t paths_from = header_.paths_length, paths_to = 0;
  for (std::uint32_t b = lowest; b < count;) {
    const std::uint32_t end = blocks.next(b, false);
    BlockRun run;
    run.begin = starts[b - lowest];
    run.end = starts[end - lowest];
    run.at_volume_start = b == 0;
    runs.push_back(std::move(run));
    const std::uint64_t at = get_u32(contexts.data() + 4 * (b - lowest));
    paths_at.push_back(at);
    if (b != 0) {
      paths_from = std::min(paths_from, at);
      paths_to = std::max(paths_to, at);
    }
    b = blocks.next(end);
  }
  // The directories where the runs begin, from one read of the paths they lie in.
  if (paths_from > paths_to) return true;
  paths_to = std::min(header_.paths_length, paths_to + 2 + max_directory_path);
  std::string paths;
  if (paths_from > header_.paths_length || !read_body(header_.paths_at() + paths_from, paths_to - paths_from, paths))
    return false;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    if (runs[k].at_volume_start) continue;
    const std::uint64_t at = paths_at[k] - paths_from;
    if (at + 2 > paths.size()) return false;
    const std::uint16_t length = get_u16(paths.data() + at);
    if (length > max_directory_path || at + 2 + length > paths.size()) return false;
    runs[k].directory.assign(paths, static_cast<std::size_t>(at + 2), length);
  }
  return true;
}

} // namespace shelvo
