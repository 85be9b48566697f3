#include "index/volume_identity.h"

#include <array>
#include <cinttypes>
#include <cstdio>

#include "index/content_hash.h"

namespace shelvo {

std::optional<VolumeIdentity> volume_identity_of(File& file) {
  const std::optional<FileStatus> status = file.status();
  if (!status) return std::nullopt;
  VolumeIdentity identity;
  identity.file = *status;
  std::array<char, 2 * identity_sample_bytes> bytes{};
  const std::uint64_t size = status->size;
  const std::size_t head = static_cast<std::size_t>(std::min<std::uint64_t>(size, identity_sample_bytes));
  std::size_t got = file.read_at(0, std::span<char>(bytes.data(), head));
  if (size > identity_sample_bytes) {
    const std::uint64_t tail_at = std::max<std::uint64_t>(size - identity_sample_bytes, identity_sample_bytes);
    const auto tail = static_cast<std::size_t>(size - tail_at);
    got += file.read_at(tail_at, std::span<char>(bytes.data() + head, tail));
    if (got != head + tail) return std::nullopt;
  } else if (got != head) {
    return std::nullopt;
  }
  identity.sample = content_hash(std::string_view(bytes.data(), got));
  return identity;
}

std::string segment_file_name(const FileStatus& file) {
  std::array<char, 96> name{};
  std::snprintf(name.data(), name.size(), "%" PRIx64 "-%" PRIx64 "-%" PRIx64 "-%" PRIx64 ".idx",
                static_cast<std::uint64_t>(file.device), static_cast<std::uint64_t>(file.inode), file.size,
                static_cast<std::uint64_t>(file.modified_ns));
  return name.data();
}

} // namespace shelvo
