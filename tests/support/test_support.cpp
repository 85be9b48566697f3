#include "support/test_support.h"

#include "platform/drive_table.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <utime.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace shelvo::testing {

namespace {

// A host path (UTF-8 on every host) for the standard library's file system.
std::filesystem::path fs_path(const std::string& host_path) {
  return std::filesystem::path(std::u8string(host_path.begin(), host_path.end()));
}

} // namespace

#ifdef _WIN32
TempDir::TempDir() {
  // In the user's temporary folder, written with '/' as the program's host paths are.
  std::string base = std::filesystem::temp_directory_path().string();
  for (char& c : base)
    if (c == '\\') c = '/';
  while (base.ends_with('/')) base.pop_back();
  for (unsigned n = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);; ++n) {
    path_ = base + "/shelvo-test-" + std::to_string(n);
    if (::CreateDirectoryA(path_.c_str(), nullptr)) return;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot make a temporary directory");
  }
}
#else
TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/shelvo-test-XXXXXX";
  if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}
#endif

TempDir::~TempDir() {
  std::error_code ec;
  // Make unreadable test directories removable again before removing them.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view relative) const { return path_ + "/" + std::string(relative); }

std::string read_file(const std::string& host_path) {
  std::ifstream in(fs_path(host_path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& host_path, std::string_view bytes) {
  std::ofstream out(fs_path(host_path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void make_directories(const std::string& host_path) { std::filesystem::create_directories(fs_path(host_path)); }

void set_local_mtime(const std::string& host_path, int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
#ifdef _WIN32
  // The Unix time as a FILETIME: 100 ns steps since 1601.
  const auto ticks = static_cast<std::uint64_t>(t) * 10000000ULL + 116444736000000000ULL;
  const FILETIME when{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const HANDLE h = ::CreateFileW(fs_path(host_path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  ::SetFileTime(h, nullptr, &when, &when);
  ::CloseHandle(h);
#else
  struct utimbuf times{t, t};
  ::utime(host_path.c_str(), &times);
#endif
}

bool path_exists(const std::string& host_path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(fs_path(host_path), ec));
}

std::vector<std::string> list_directory(const std::string& host_path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(fs_path(host_path), ec)) {
    const std::u8string name = e.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string bytes_from_hex(std::string_view hex) {
  std::string out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  return out;
}

std::string hex_of(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

DriveMapping::DriveMapping(std::vector<std::pair<char, std::string>> drives,
                           std::vector<std::pair<char, std::string>> labels) {
  DriveTable table;
  for (auto& [letter, dir] : drives) {
    Drive d{letter, dir, std::nullopt};
    for (auto& [l, label] : labels)
      if (l == letter) d.label = label;
    table.set(std::move(d));
  }
  set_drive_table(std::move(table));
  set_current_drive(2);
}

DriveMapping::~DriveMapping() {
  set_drive_table(DriveTable{});
  set_current_drive(2);
}

TimeZone::TimeZone(const char* zone) {
  if (const char* tz = std::getenv("TZ")) {
    saved_ = tz;
    had_ = true;
  }
  set_zone(zone);
}

TimeZone::~TimeZone() { set_zone(had_ ? saved_.c_str() : nullptr); }

void TimeZone::set_zone(const char* zone) {
#ifdef _WIN32
  // This C library reads zones in the POSIX form only ("UTC0", "CET-1CEST").
  ::_putenv_s("TZ", zone ? zone : "");
  ::_tzset();
#else
  if (zone) ::setenv("TZ", zone, 1);
  else ::unsetenv("TZ");
  ::tzset();
#endif
}

Environment::Environment(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    saved_ = old;
    had_ = true;
  }
  set(name, value.c_str());
}

Environment::~Environment() { set(name_, had_ ? saved_.c_str() : nullptr); }

void Environment::set(const char* name, const char* value) {
#ifdef _WIN32
  ::_putenv_s(name, value ? value : "");
#else
  if (value) ::setenv(name, value, 1);
  else ::unsetenv(name);
#endif
}

std::string shell_quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

CommandResult run_command(const std::string& command_line) {
  TempDir scratch;
  const std::string out_path = scratch / "out", err_path = scratch / "err";
  const std::string full = command_line + " >" + shell_quote(out_path) + " 2>" + shell_quote(err_path) + " </dev/null";
  CommandResult r;
#ifdef _WIN32
  // No POSIX shell here: tests that need one skip on Windows before they get here.
  r.status = -1;
  static_cast<void>(full);
#else
  const int raw = std::system(full.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

std::string testdata_dir() {
  const char* set = std::getenv("SHELVO_TESTDATA");
  return set && *set ? std::string(set) : std::string(SHELVO_TESTDATA_DIR);
}

bool testdata_present() {
  std::error_code ec;
  return std::filesystem::is_directory(fs_path(testdata_dir() + "/archives"), ec);
}

std::string testdata_path(std::string_view relative) { return testdata_dir() + "/" + std::string(relative); }

namespace {

// No test writes into the user's own cache: a test program, and every
// shelvo-cli it starts, keeps search indexes in a directory of its own, removed
// when the program ends.
struct PrivateCache {
  PrivateCache() {
#ifdef _WIN32
    ::_putenv_s("XDG_CACHE_HOME", directory.path().c_str());
#else
    ::setenv("XDG_CACHE_HOME", directory.path().c_str(), 1);
#endif
  }
  TempDir directory;
};
const PrivateCache private_cache;

} // namespace

} // namespace shelvo::testing
