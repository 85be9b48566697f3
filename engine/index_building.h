// When Shelvo keeps a search index of a catalog, and how a volume's segment is
// built from its bytes and stored: what the search pass (as it reads a volume
// whole), the add (for the volume it wrote) and --index (for every volume) share.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/volume_directory.h"
#include "index/index_cache.h"
#include "index/volume_index_builder.h"
#include "platform/file_access.h"

namespace shelvo {

struct IndexPolicy {
  // Smaller volume files are read whole faster than a segment can be looked up.
  static inline std::uint64_t min_volume_bytes = 64 * 1024;
  // A catalog whose volume files hold this much together gets an index without
  // being asked, on its first search or add.
  static inline std::uint64_t automatic_catalog_bytes = std::uint64_t{128} << 20;
  // Blocks are cut after this many bytes (tests make them small).
  static inline std::uint32_t block_bytes = VolumeIndexBuilder::default_block_bytes;
  // Bytes of a volume read whole between two looks at the status line (and the
  // Stop button) while its segment is built.
  static constexpr std::uint64_t progress_bytes = std::uint64_t{16} << 20;
};

// True for a volume file worth a segment: large enough, and with records.
bool worth_indexing(const FileStatus& volume);

// The cache of a catalog named as the engine names it; false when the catalog
// has no path on this host or the user no cache directory.
bool locate_index(const std::string& catalog_directory, IndexCache& cache);

// True when an index is to be kept for the catalog: it has one already, or its
// volume files are large enough together.
bool catalog_wants_index(const IndexCache& cache, const VolumeDirectory& volumes);

// Removes from the cache what no volume file of the catalog needs now.
void prune_index(const IndexCache& cache, const VolumeDirectory& volumes);

// The stream of a volume file (after its 16 header bytes) as it is read whole,
// handed to a builder; then the segment, stored if the file did not change while
// it was read. run_report counts what was stored, or says once why it could not
// be (then false, and the call goes on without writing more).
class SegmentBuild {
public:
  SegmentBuild(VolumeIndexBuilder& builder, const IndexCache& cache) : builder_(builder), cache_(cache) {}
  // Starts on an open volume file of this status and format byte.
  void start(const FileStatus& volume, unsigned char format);
  void feed(std::span<const char> bytes) { builder_.feed(bytes); }
  bool store(File& file);

private:
  VolumeIndexBuilder& builder_;
  const IndexCache& cache_;
  FileStatus volume_;
};

// Reads an open volume file from just after its header to its end into build,
// asking keep_going (when given) every IndexPolicy::progress_bytes; false when
// it said no or a read failed.
bool read_for_index(File& file, SegmentBuild& build, std::vector<char>& buffer,
                    const std::function<bool(std::uint64_t bytes_read)>& keep_going);

} // namespace shelvo
