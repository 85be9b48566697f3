// The tree operations through which the engine's passes show their results.
// ResultTree is the one real implementation; tests may use fakes.
#pragma once

#include <cstdint>
#include <string_view>

namespace shelvo {

using NodeId = std::uint32_t;
constexpr NodeId no_node = 0xFFFFFFFFu;

enum class VolumeNodeMode { search = 0, listing = 1 };

class ResultSink {
public:
  virtual ~ResultSink() = default;
  // Appends a top-level node (label, volume number) and makes it the current volume.
  virtual NodeId add_volume_node(std::string_view label, std::int32_t volume_number, VolumeNodeMode mode) = 0;
  // Appends "v2" + marker + number to the current volume node's text.
  virtual void append_volume_version(char marker, int number) = 0;
  // Finds or creates the nodes of a '\'-separated path under the current volume.
  virtual NodeId add_directory_path(std::string_view path) = 0;
  // Adds one formatted file line under the nodes of directory_path.
  virtual NodeId add_file_line(std::string_view directory_path, std::string_view name, std::int32_t size,
                               unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute) = 0;
  // A file or member hit with the DOS date and time of its record. By default
  // it becomes a file line, with the two-digit year the tree shows (1980 gives
  // 80, 2000 gives 00); a sink that writes whole dates overrides it.
  virtual NodeId add_found_file(std::string_view directory_path, std::string_view name, std::int32_t size,
                                std::uint16_t dos_date, std::uint16_t dos_time);
  virtual void clear_result_tree() = 0;
};

} // namespace shelvo
