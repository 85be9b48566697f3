// Opening things for the user with the desktop's own programs: a text file in
// its text viewer, a directory in its file browser, a document in the program
// that opens it. A path is always handed over as one argument, never pasted into
// a command line for a shell: names in catalogs may hold '"', '$', ';' or '`'.
#pragma once

#include <string>

namespace shelvo {

class Launcher {
public:
  virtual ~Launcher() = default;
  // Opens a text file (the broken-archive log) for reading. False when nothing
  // could be started.
  virtual bool open_text_file(const std::string& host_path) = 0;
  // Opens a directory or a file with the desktop. False when nothing could be started.
  virtual bool open_with_desktop(const std::string& host_path) = 0;
};

} // namespace shelvo
