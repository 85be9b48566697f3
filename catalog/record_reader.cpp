#include "catalog/record_reader.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace shelvo {

namespace {

std::uint32_t little_endian_at(const std::array<unsigned char, 8>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The first 0x00 in [p, end), or nullptr. Names are mostly shorter than 16 bytes,
// so one vector compare usually settles it, without the cost of a call.
inline const char* find_zero(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (end - p >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(block, zero));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
    p += 16;
  }
#endif
  return static_cast<const char*>(std::memchr(p, 0, static_cast<std::size_t>(end - p)));
}

// Zero count at which a run of 0x00 has become a directory marker.
constexpr int directory_marker_count = 9;

} // namespace

RecordReader::RecordReader(RecordHandler& handler, bool enter_archives)
    : handler_(handler), enter_archives_(enter_archives) {
  // Reserved once so that the bounded buffers never reallocate while reading.
  directory_path_.reserve(max_directory_path);
  name_.reserve(max_record_name);
  archive_name_.reserve(max_record_name);
  archive_path_.reserve(max_archive_path + 1);
}

void RecordReader::start_volume(unsigned char format) {
  mode_ = Mode::expecting;
  // In the older format the first zero byte of the root record sits where the
  // format byte is now, and has been read as one.
  zero_count_ = format == 0 ? 2 : 1;
  position_ = 0;
  directory_path_.clear();
  name_.clear();
  last_name_ = {};
  tail_fill_ = 0;
  header_fill_ = 0;
  remaining_members_ = 0;
  block_end_ = 0;
  archive_name_.clear();
  archive_path_.clear();
  archive_path_stale_ = false;
  skip_left_ = 0;
}

void RecordReader::append_limited(std::string& to, std::string_view bytes, std::size_t limit) {
  if (to.size() < limit) to.append(bytes.substr(0, limit - to.size()));
}

void RecordReader::finish_directory_record() {
  remaining_members_ = 0; // members never hold a directory record: the block is over
  handler_.directory_record(directory_path_);
  zero_count_ = 1;
  mode_ = Mode::expecting;
}

void RecordReader::finish_archive_header(std::uint64_t position_after) {
  const std::uint32_t length = little_endian_at(header_, 0);
  const std::uint32_t count = little_endian_at(header_, 4);
  mode_ = Mode::expecting;
  if (!enter_archives_) {
    skip_left_ = length;
    if (skip_left_ > 0) mode_ = Mode::skipping;
    return;
  }
  remaining_members_ = count;
  block_end_ = position_after + length;
  // The directory cannot change before the block ends, but the last name does.
  archive_name_.assign(last_name_);
  archive_path_stale_ = true;
}

const std::string& RecordReader::archive_path() {
  if (archive_path_stale_) {
    archive_path_.assign(directory_path_, 0, max_archive_path);
    if (archive_path_.empty() || archive_path_.back() != '\\') append_limited(archive_path_, "\\", max_archive_path);
    append_limited(archive_path_, archive_name_, max_archive_path);
    archive_path_stale_ = false;
  }
  return archive_path_;
}

const char* RecordReader::scan_file_records(const char* p, const char* end, std::uint64_t base, const char* begin) {
  // The reader's state is kept in locals here and stored once at the end.
  const CompiledMaskList* filter = handler_.name_filter;
  std::uint32_t remaining = remaining_members_;
  std::string_view last = last_name_;
  while (p < end && static_cast<unsigned char>(*p) >= 2) {
    const char* nul = find_zero(p, end);
    if (!nul || end - nul <= static_cast<std::ptrdiff_t>(record_tail_length)) break;
    if (remaining > 0 && base + static_cast<std::uint64_t>(p - begin) >= block_end_) remaining = 0;
    const std::string_view name(p, std::min(static_cast<std::size_t>(nul - p), max_record_name));
    const bool member = remaining > 0;
    if (!filter || (may_match(*filter, p, nul, end) && filter->matches(name))) {
      handler_.file_record(name, RecordTail(reinterpret_cast<const unsigned char*>(nul + 1), record_tail_length),
                           member ? archive_path() : directory_path_, member);
      filter = handler_.name_filter;
    }
    if (member) --remaining;
    last = name;
    p = nul + 1 + record_tail_length;
  }
  remaining_members_ = remaining;
  last_name_ = last;
  return p;
}

bool RecordReader::may_match(const CompiledMaskList& filter, const char* name, const char* nul, const char* end) {
  const NameProbe* probe = filter.probe();
  if (!probe) return true;
  // The first find at or after the name, kept while the names before it are
  // passed over; only a name that holds a find can be a hit.
  if (probe_for_ != &filter || probe_hit_ < name) {
    probe_hit_ = probe->find(name, end);
    probe_for_ = &filter;
  }
  return probe_hit_ < nul;
}

void RecordReader::skipped(std::uint64_t count) {
  const std::uint64_t n = std::min(count, skip_left_);
  skip_left_ -= n;
  position_ += n;
  if (skip_left_ == 0 && mode_ == Mode::skipping) mode_ = Mode::expecting;
}

void RecordReader::feed(std::span<const char> bytes) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* p = begin;
  const std::uint64_t base = position_;
  auto at = [&](const char* q) { return base + static_cast<std::uint64_t>(q - begin); };
  bool last_name_in_chunk = false;
  probe_for_ = nullptr; // finds point into the chunk

  while (p < end) {
    switch (mode_) {
    case Mode::expecting: {
      const auto b = static_cast<unsigned char>(*p);
      if (b >= 2) {
        // The common case: whole file records inside the chunk, one after the
        // other, handled in place.
        const char* const q = scan_file_records(p, end, base, begin);
        if (q != p) {
          p = q;
          last_name_in_chunk = true;
          break;
        }
        begin_name(at(p));
        name_.clear(); // this name becomes the last one before any archive block
        last_name_in_chunk = false;
        mode_ = Mode::name;
        break;
      }
      if (b == 1) {
        ++p;
        header_fill_ = 0;
        mode_ = Mode::archive_header;
        break;
      }
      const char* q = p;
      while (q < end && *q == 0 && zero_count_ < directory_marker_count) {
        ++zero_count_;
        ++q;
      }
      p = q;
      if (zero_count_ >= directory_marker_count) {
        directory_path_.clear();
        mode_ = Mode::directory_path;
      }
      break;
    }
    case Mode::name:
    case Mode::directory_path: {
      const char* nul = find_zero(p, end);
      const char* stop = nul ? nul : end;
      const std::string_view run(p, static_cast<std::size_t>(stop - p));
      p = nul ? nul + 1 : end;
      if (mode_ == Mode::name) {
        append_limited(name_, run, max_record_name);
        if (nul) {
          tail_fill_ = 0;
          mode_ = Mode::tail;
        }
      } else {
        append_limited(directory_path_, run, max_directory_path);
        if (nul) finish_directory_record();
      }
      break;
    }
    case Mode::tail: {
      const auto n = std::min(record_tail_length - tail_fill_, static_cast<std::size_t>(end - p));
      for (std::size_t k = 0; k < n; ++k) tail_[tail_fill_ + k] = static_cast<unsigned char>(p[k]);
      tail_fill_ += n;
      p += n;
      if (tail_fill_ == record_tail_length) {
        finish_file_record(name_, tail_.data());
        last_name_in_chunk = false;
        mode_ = Mode::expecting;
      }
      break;
    }
    case Mode::archive_header: {
      const auto n = std::min(header_.size() - header_fill_, static_cast<std::size_t>(end - p));
      for (std::size_t k = 0; k < n; ++k) header_[header_fill_ + k] = static_cast<unsigned char>(p[k]);
      header_fill_ += n;
      p += n;
      if (header_fill_ == header_.size()) finish_archive_header(at(p));
      break;
    }
    case Mode::skipping: {
      const auto available = static_cast<std::uint64_t>(end - p);
      const std::uint64_t n = std::min(skip_left_, available);
      skip_left_ -= n;
      p += n;
      if (skip_left_ == 0) mode_ = Mode::expecting;
      break;
    }
    }
  }
  position_ = at(end);
  // The last name may be needed for an archive path after this chunk is gone.
  if (last_name_in_chunk) {
    name_.assign(last_name_);
    last_name_ = name_;
  }
}

void RecordReader::feed_bytewise(std::span<const char> bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    switch (mode_) {
    case Mode::expecting:
      if (b == 0) {
        if (++zero_count_ == directory_marker_count) {
          directory_path_.clear();
          mode_ = Mode::directory_path;
        }
      } else if (b == 1) {
        header_fill_ = 0;
        mode_ = Mode::archive_header;
      } else {
        begin_name(position_);
        name_.assign(1, c);
        mode_ = Mode::name;
      }
      break;
    case Mode::name:
      if (b != 0) {
        if (name_.size() < max_record_name) name_ += c;
      } else {
        tail_fill_ = 0;
        mode_ = Mode::tail;
      }
      break;
    case Mode::tail:
      tail_[tail_fill_++] = b;
      if (tail_fill_ == record_tail_length) {
        finish_file_record(name_, tail_.data());
        mode_ = Mode::expecting;
      }
      break;
    case Mode::directory_path:
      if (b != 0) {
        if (directory_path_.size() < max_directory_path) directory_path_ += c;
      } else {
        finish_directory_record();
      }
      break;
    case Mode::archive_header:
      header_[header_fill_++] = b;
      if (header_fill_ == header_.size()) finish_archive_header(position_ + 1);
      break;
    case Mode::skipping:
      if (--skip_left_ == 0) mode_ = Mode::expecting;
      break;
    }
    ++position_;
  }
}

} // namespace shelvo
