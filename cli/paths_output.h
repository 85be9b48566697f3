// The hits of a search as lines a script can read, written while the search runs
// (no tree is held, so millions of hits cost no memory):
//
//   LABEL:\DIR\SUB\NAME <tab> SIZE <tab> YYYY-MM-DD HH:MM
//
// LABEL is the volume label without its trailing blanks; an archive member is
// ...\ARCHIVE.ZIP\MEMBER; a directory hit ends in '\' and has its size and date
// fields empty, and comes once however often the volume file repeats its record. The date and time are the record's own, as stored (the full
// year, 1980 to 2107). With volume numbers, a tab and the volume number end the
// line. Lines end with '\n', or with a NUL byte for xargs -0. Text is converted
// to UTF-8 as the tree is, with every control character written as '?'.
//
// With host paths, each line starts with the path of the hit on this machine
// instead (a directory's ends in '/'), for the hits on volumes mounted now:
// found as the window's right-click finds them, from the stored names. With NUL
// bytes, the path alone, byte for byte, for xargs -0. On a terminal, paths are
// shown as every line of the tool is (terminal_safe). The other hits are left
// out and counted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/mounted_volumes.h"
#include "results/host_paths.h"
#include "results/result_sink.h"

namespace shelvo {

class PathsOutput final : public ResultSink {
public:
  // fd: where lines go (standard output). line_at_a_time: write each line as
  // soon as it is complete (for a terminal); otherwise lines go out in large
  // blocks.
  PathsOutput(int fd, bool null_terminated, bool with_volume_numbers, bool line_at_a_time, bool host_paths = false);

  NodeId add_volume_node(std::string_view label, std::int32_t volume_number, VolumeNodeMode mode) override;
  void append_volume_version(char, int) override {}
  NodeId add_directory_path(std::string_view path) override;
  NodeId add_file_line(std::string_view directory_path, std::string_view name, std::int32_t size, unsigned day,
                       unsigned month, unsigned year, unsigned hour, unsigned minute) override;
  NodeId add_found_file(std::string_view directory_path, std::string_view name, std::int32_t size,
                        std::uint16_t dos_date, std::uint16_t dos_time) override;
  void clear_result_tree() override {}

  // Writes what is still buffered. False when any write failed.
  bool finish();
  // The reader went away (a closed pipe): the search was asked to stop, and
  // nothing more is written. Not an error.
  bool reader_gone() const { return reader_gone_; }
  // errno of the first failed write other than a closed pipe; 0 when none.
  int write_error() const { return write_error_; }

  // With host paths: the hits that got no line, and why.
  struct LeftOut {
    long not_mounted = 0; // on volumes not mounted here
    long in_archives = 0; // archive members: their path goes through a file
    long missing = 0;     // no longer where the add found them
  };
  const LeftOut& left_out() const { return left_out_; }
  // Lines written (with host paths, a hit on two drives of one label makes two).
  long lines_written() const { return lines_written_; }

private:
  bool names_ancestor_of_last(std::string_view path) const;
  // "LABEL:\DIR\" of a directory path as stored.
  void append_prefix(std::string_view directory_path);
  // The rest of the line, the volume number when asked for, the terminator.
  void end_line(const char* tail, std::size_t length);
  // One line per drive that holds the hit now, or a count of why none does.
  void write_host_lines(std::string_view directory_path, std::string_view name, const char* tail, std::size_t length);
  void write_buffer();

  int fd_;
  char terminator_;
  bool with_volume_numbers_;
  bool line_at_a_time_;
  std::string buffer_;
  std::string label_; // UTF-8, trailing blanks removed
  std::int32_t volume_number_ = 0;
  // The last directory hit written, as stored. The walk writes a directory's
  // record again when it comes back from a subdirectory; such a record names an
  // ancestor of (or the same as) the last directory written, and is not repeated.
  std::string last_directory_;
  // The prefix of the last directory path, kept while its hits follow.
  std::string prefix_directory_;
  std::string prefix_;
  bool prefix_valid_ = false;
  bool reader_gone_ = false;
  int write_error_ = 0;
  long lines_written_ = 0;

  bool host_paths_;
  MountedVolumes mounted_;
  std::vector<std::string> roots_;       // the drives that hold the current volume
  std::vector<HostPathFinder> finders_;  // one per root
  std::string host_path_;
  LeftOut left_out_;
};

} // namespace shelvo
