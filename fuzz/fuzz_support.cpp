#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/drive_table.h"

namespace shelvo::fuzzing {

const std::string& scratch() {
  static const std::string dir = [] {
    struct stat st;
    const std::string base = ::stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/shelvo-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    DriveTable table;
    table.set(Drive{'C', pattern, std::nullopt});
    set_drive_table(table);
    // Search indexes go there too, never into the user's cache.
    ::setenv("XDG_CACHE_HOME", (pattern + "/cache").c_str(), 1);
    return pattern;
  }();
  return dir;
}

bool write_bytes(const std::string& host_path, std::string_view bytes) {
  std::ofstream out(host_path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string read_bytes(const std::string& host_path) {
  std::ifstream in(host_path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void empty_directory(const std::string& host_path) {
  DIR* dir = ::opendir(host_path.c_str());
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") ::unlink((host_path + "/" + name).c_str());
  }
  ::closedir(dir);
}

} // namespace shelvo::fuzzing
