// Helpers shared by the tests: temporary trees, whole-file reads and writes, a
// drive table pointed at temporary directories, and byte strings from hex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace shelvo::testing {

// A fresh directory under $TMPDIR, removed with everything in it at scope exit.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string operator/(std::string_view relative) const;

private:
  std::string path_;
};

std::string read_file(const std::string& host_path);
void write_file(const std::string& host_path, std::string_view bytes);
void make_directories(const std::string& host_path);
// Sets a file's modification time from a local broken-down time.
void set_local_mtime(const std::string& host_path, int year, int month, int day, int hour, int minute, int second);
std::vector<std::string> list_directory(const std::string& host_path); // sorted names
bool path_exists(const std::string& host_path); // anything at all, a link included

// "54 45 53 54" -> "TEST"; blanks are ignored.
std::string bytes_from_hex(std::string_view hex);
std::string hex_of(std::string_view bytes);

// Replaces the process's drive table with letter -> directory entries for the
// scope of the object, and puts back an empty table afterwards.
class DriveMapping {
public:
  explicit DriveMapping(std::vector<std::pair<char, std::string>> drives,
                        std::vector<std::pair<char, std::string>> labels = {});
  ~DriveMapping();
};

// Sets TZ for the scope of the object, so local-time conversions are fixed.
class TimeZone {
public:
  explicit TimeZone(const char* zone);
  ~TimeZone();
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

private:
  static void set_zone(const char* zone); // nullptr: none
  std::string saved_;
  bool had_ = false;
};

// Sets an environment variable for the scope of the object.
class Environment {
public:
  Environment(const char* name, const std::string& value);
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

private:
  static void set(const char* name, const char* value); // nullptr: unset
  const char* name_;
  std::string saved_;
  bool had_ = false;
};

// Runs a command line through the shell; returns its exit status and output.
struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};
CommandResult run_command(const std::string& command_line);
std::string shell_quote(std::string_view text);

// The real archive samples shared beside the project: $SHELVO_TESTDATA, else
// ../shared/testdata next to the source tree. A clone on its own has none, and
// the tests that need them skip with one line saying so.
std::string testdata_dir();
bool testdata_present();
std::string testdata_path(std::string_view relative); // a file of the shared test data

#define SKIP_WITHOUT_SHARED_SAMPLES()                                                                         \
  if (!::shelvo::testing::testdata_present())                                                                \
  GTEST_SKIP() << "real archive samples not checked: no shared test data at " << ::shelvo::testing::testdata_dir() \
               << " (set SHELVO_TESTDATA to their folder)"

// What Windows lacks or this port does not bring there yet (a POSIX shell and the
// archivers it runs, fork, FIFOs, symbolic links made by any user): such tests
// skip there, with one line saying why.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(why) GTEST_SKIP() << "not on Windows: " << why
#else
#define SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif

} // namespace shelvo::testing
