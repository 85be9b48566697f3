#include "engine/index_building.h"

#include "catalog/catalog_store.h"
#include "index/volume_identity.h"
#include "results/run_state.h"

namespace shelvo {

bool worth_indexing(const FileStatus& volume) {
  return volume.size > header_length && volume.size >= IndexPolicy::min_volume_bytes;
}

bool locate_index(const std::string& catalog_directory, IndexCache& cache) {
  const std::optional<std::string> host = resolve_dos_path(catalog_directory);
  if (!host || !cache.locate(*host)) return false;
  run_report.index_directory = cache.directory();
  return true;
}

bool catalog_wants_index(const IndexCache& cache, const VolumeDirectory& volumes) {
  if (cache.exists()) return true;
  std::uint64_t total = 0;
  for (long number = 0; number < volumes.end(); ++number) {
    if (const std::optional<FileStatus> status = volumes.status_of(number)) total += status->size;
    if (total >= IndexPolicy::automatic_catalog_bytes) return true;
  }
  return false;
}

void prune_index(const IndexCache& cache, const VolumeDirectory& volumes) {
  std::vector<FileStatus> current;
  for (long number = 0; number < volumes.end(); ++number)
    if (const std::optional<FileStatus> status = volumes.status_of(number)) current.push_back(*status);
  cache.prune(current);
}

void SegmentBuild::start(const FileStatus& volume, unsigned char format) {
  volume_ = volume;
  builder_.start(format);
}

bool SegmentBuild::store(File& file) {
  // A volume file changed while it was read would get a segment of neither.
  const std::optional<VolumeIdentity> now = volume_identity_of(file);
  if (!now || !(now->file == volume_)) {
    builder_.start(volume_format_byte);
    return true;
  }
  const std::string segment = builder_.finish(*now);
  int error = 0;
  if (!cache_.store(volume_, segment, error)) {
    if (run_report.index_warning.empty())
      run_report.index_warning = "cannot write the search index in " + cache_.directory() + ": " + error_text(error);
    return false;
  }
  ++run_report.indexed_volumes;
  run_report.indexed_bytes += volume_.size;
  run_report.index_bytes += segment.size();
  return true;
}

bool read_for_index(File& file, SegmentBuild& build, std::vector<char>& buffer,
                    const std::function<bool(std::uint64_t bytes_read)>& keep_going) {
  std::uint64_t read = 0, next_look = IndexPolicy::progress_bytes;
  for (;;) {
    const std::size_t n = file.read(buffer);
    if (n == 0) return !file.failed();
    build.feed(std::span<const char>(buffer.data(), n));
    read += n;
    if (read >= next_look) {
      next_look += IndexPolicy::progress_bytes;
      if (keep_going && !keep_going(read)) return false;
    }
  }
}

} // namespace shelvo
