// The search index as the search pass uses it. For each volume read, either the
// blocks that may hold a hit are read through the volume's segment (the records
// read there are matched as ever, so the answers are the same), or the volume is
// read whole, as without an index: when no segment is current for it, when the
// masks have no three literal bytes in a row, with list content (whose state
// runs from one directory record to the next), or when most blocks would be read
// anyway. A volume read whole whose segment is missing or damaged gets a new one
// from the same bytes when the catalog keeps an index.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "catalog/record_reader.h"
#include "catalog/volume_directory.h"
#include "engine/front_end.h"
#include "engine/run_settings.h"
#include "index/index_cache.h"
#include "index/index_query.h"
#include "index/volume_index_builder.h"
#include "platform/file_access.h"

namespace shelvo {

class SearchIndex {
public:
  // Through the index, the blocks to read may make up at most this share of a
  // volume; more, and the volume is read whole (the faster way then).
  static inline double read_share = 0.5;

  // volumes: the catalog's volume files under the search's lock, or nullptr.
  SearchIndex(const RunSettings& settings, const FrontEnd& front, const VolumeDirectory* volumes);
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;

  // Feeds the records of an open volume file, whose 16 header bytes were read,
  // to the reader.
  void read_volume(File& file, unsigned char format, RecordReader& reader);
  // After the last volume: the cache keeps only what the catalog needs.
  void finish();

private:
  bool read_through_segment(File& file, const FileStatus& status, unsigned char format, RecordReader& reader,
                            bool& segment_current);
  void read_whole(File& file, RecordReader& reader, const FileStatus* build_for, unsigned char format);
  void read_run(File& file, const BlockRun& run, RecordReader& reader);

  const VolumeDirectory* volumes_;
  bool lookup_ = false; // the catalog has an index: segments are looked up
  bool build_ = false; // a volume read whole without a current segment gets one
  bool built_any_ = false;
  IndexQuery query_;
  IndexCache cache_;
  std::optional<VolumeIndexBuilder> builder_; // made for the first volume it builds
  std::vector<char> buffer_;
  std::vector<BlockRun> runs_;
};

} // namespace shelvo
