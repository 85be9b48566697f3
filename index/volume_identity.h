// What an index segment records of the volume file it was built from, and what a
// search compares before it trusts the segment: the file's device, inode, size
// and modification time, and a hash of its first and last bytes (the label and
// format byte among them). Shelvo's writers always put a volume in place as a
// new file, so a changed volume has another inode, size or time; the sample of
// its bytes also tells content that a coarse clock and a reused inode would hide.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_access.h"

namespace shelvo {

struct VolumeIdentity {
  FileStatus file;
  std::uint64_t sample = 0;
  bool operator==(const VolumeIdentity&) const = default;
};

// The bytes hashed at each end of a volume file for its sample.
constexpr std::size_t identity_sample_bytes = 4096;

// The identity of an open volume file, as it is now; nothing when the file
// cannot be read.
std::optional<VolumeIdentity> volume_identity_of(File& file);

// The name of the cache file that holds the segment of a volume with this file
// status: the same volume file keeps it when it is renumbered.
std::string segment_file_name(const FileStatus& file);

} // namespace shelvo
