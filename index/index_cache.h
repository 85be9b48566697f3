// Where the search index of a catalog lives: a directory of its own under
// $XDG_CACHE_HOME/shelvo/index/ (~/.cache when unset), named by a hash of the
// catalog directory's real path on this host, never inside the catalog. It
// holds one segment file per indexed volume file, named by that file's device,
// inode, size and time, so a volume renumbered by a delete keeps its segment
// and a changed one never finds the old. Everything there may be deleted at any
// time: a search then reads the volumes whole, and builds again.
//
// Segments are written to a temporary file and renamed into place, so two
// programs writing at once, or one killed half-way, never leave a torn segment
// under a segment's name (and a torn one would fail its checksums anyway).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_access.h"

namespace shelvo {

// The folder of everything Shelvo caches for this user ($XDG_CACHE_HOME/shelvo);
// empty when the user has none (no HOME).
std::string index_cache_root();

class IndexCache {
public:
  // The cache of the catalog directory at a host path; false when this user has
  // no cache directory (no HOME).
  bool locate(const std::string& catalog_host_path);
  const std::string& directory() const { return directory_; }
  // True when the catalog has an index: its directory is there.
  bool exists() const;
  std::string segment_path(const FileStatus& volume) const;

  // Writes a volume's segment, making the directory when missing. False with
  // error set to the system's error number.
  bool store(const FileStatus& volume, std::string_view segment, int& error) const;
  // Removes the segments of volume files that are not among current (removed,
  // replaced or changed since), and the temporary files of writers killed an
  // hour or more ago.
  void prune(const std::vector<FileStatus>& current) const;

private:
  std::string directory_;
  std::string catalog_;
};

} // namespace shelvo
