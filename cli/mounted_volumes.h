// Which catalogued volumes are mounted on this machine now: a volume is, when
// its label is the label that an add of a drive of the table would give it now
// (the same rules: the table's |LABEL, else the file system's, else the
// directory's name; dots dropped, 15 characters).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace shelvo {

class MountedVolumes {
public:
  // The host directories of the drives that hold the volume of this label (as
  // a volume file stores it, trailing blanks or not), in letter order; empty
  // when none does. The drives' labels are read once, at the first call.
  std::vector<std::string> roots_of(std::string_view label);

private:
  bool read_ = false;
  std::vector<std::pair<std::string, std::string>> drives_; // label without trailing blanks, directory
};

} // namespace shelvo
