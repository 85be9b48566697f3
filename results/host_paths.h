// Where a catalogued directory or file is on this machine now. The catalog
// stores names upper-cased, with accents folded and the characters it lacks
// replaced, so a stored name is found again as the entry of the host directory
// that the walk would have stored under that name: the first such entry in the
// directory's own order, or, for the names of one directory asked for one after
// the other, the first after the one found last. The walk recorded a
// directory's entries in that order, so two names that the catalog cannot tell
// apart (a.txt and A.TXT) are found as the two they were.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace shelvo {

class HostPathFinder {
public:
  enum class Outcome {
    found,
    missing,      // a component is not there (moved or deleted since the add)
    through_file, // a component is a file: the path of an archive member
  };

  // The host path of the entry `name` of the catalogued directory `directory`
  // below the host directory `root`. directory is a stored path with '\'
  // between its components ("\DIR\SUB", "DIR\SUB\", "" or "\" for the root);
  // an empty name asks for the directory itself. The directories read along the
  // last path are kept, so hits that come directory by directory, as a search
  // reports them, read each directory once.
  Outcome find(const std::string& root, std::string_view directory, std::string_view name, std::string& host_path);

private:
  struct Level {
    std::string host;
    std::string stored;             // the component that named it, as stored
    bool read = false;
    int error = 0;                  // errno of a directory that could not be read
    std::vector<std::string> names; // host names, in the directory's order
    std::size_t next = 0;           // where the next name is looked for first
    std::size_t compared = 0;       // names compared so far
    // Stored name -> first position; made only when names come out of order
    // (a directory changed since the add), so that a lookup never costs a scan.
    std::unordered_map<std::string, std::size_t> index;
    bool indexed = false;
  };
  static Level make_level(std::string host);
  // Reads the level's directory once; false when it cannot be read.
  bool read(Level& level);
  // The host name of a stored name in the level's directory, or nullptr.
  const std::string* entry(Level& level, std::string_view stored_name, Outcome& outcome);

  std::string root_;
  // levels_[0] is the root; levels_[i] the directory of the i-th component of
  // the last path, kept while the next paths share it.
  std::vector<Level> levels_;
  std::string last_directory_;
  std::size_t last_depth_ = 0;
  Outcome last_outcome_ = Outcome::missing;
  bool have_last_ = false;
  std::string folded_; // reused for each component
};

} // namespace shelvo
