#include "scanner/volume_walk.h"

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"
#include "results/run_state.h"
#include "platform/code_page.h"
#include "platform/dos_time.h"
#include "results/status_lines.h"
#include "results/tree_text_output.h"
#include "scanner/archive_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace shelvo {

bool is_archive_candidate(std::string_view name) {
  static constexpr std::string_view candidates[] = {"*.A??", "*.Z??", "*.0??", "*.LZH", "*.LHA", "*.R??"};
  bool candidate = false;
  for (std::string_view mask : candidates)
    if (match_mask(mask, name)) {
      candidate = true;
      break;
    }
  return candidate && !match_mask("*.ASM", name) && !match_mask("*.RAW", name);
}

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// A host name as the walk records it and logs it: in the catalog's code page,
// a-z upper-cased (the records fold it further).
std::string catalog_name_of(std::string_view host_name) {
  std::string out = host_name_in_code_page(host_name);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

class VolumeWalk {
public:
  VolumeWalk(File& volume_file, dev_t root_device) : volume_file_(volume_file), root_device_(root_device) {}

  // path: the directory's recorded path as the caller built it ("\", "\GAMES");
  // host: where it is on this host.
  int walk(const std::string& path, const std::string& host, int depth) {
    write_directory_record(path);
    const std::string base = (path == "\\") ? std::string() : path; // without trailing '\'

    DirHandle dir(::opendir(host.c_str()));
    if (!dir) { // an unreadable directory keeps its record and nothing else
      skipped(run_report.skipped.unreadable, path, error_text(errno));
      return 1;
    }
    const int dir_fd = ::dirfd(dir.get());
    bool header_owed = false;

    while (const dirent* entry = ::readdir(dir.get())) {
      scan_progress_tick();
      // A volume that cannot be stored, or a stop asked for: the add throws the
      // file away, so nothing more is worth walking.
      if (volume_file_.failed() || stop_flag == 1) return 1;
      const std::string_view host_name = entry->d_name;
      // "." and "..", and with them every name that begins with two dots:
      // ..NOTES.TXT is left out on purpose, as the walk always has, so that a
      // volume added again gives the same records as before.
      if (host_name == "." || host_name.substr(0, 2) == "..") continue;

      struct stat st;
      if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        skipped(run_report.skipped.unreadable, base + "\\" + catalog_name_of(host_name), error_text(errno));
        continue;
      }
      if (S_ISLNK(st.st_mode)) {
        // A link to a regular file is that file; links to anything else are never
        // followed, so a walk cannot loop or leave the volume through one.
        if (::fstatat(dir_fd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
      } else if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
        continue; // devices, FIFOs and sockets are never opened
      }

      const std::string name = catalog_name_of(host_name);
      const std::string child_path = base + "\\" + name;
      if (child_path.size() > walk_path_limit) {
        skipped(run_report.skipped.too_long, child_path.substr(0, 60) + "...", "path longer than a record holds");
        continue;
      }
      const std::string child_host = host + (host.back() == '/' ? "" : "/") + std::string(host_name);

      if (S_ISDIR(st.st_mode)) {
        if (st.st_dev != root_device_) continue; // another mount: not this volume
        if (depth < walk_depth_limit) {
          walk(child_path, child_host, depth + 1);
        } else {
          write_directory_record(child_path);
          skipped(run_report.skipped.too_deep, child_path.substr(0, 60) + "...",
                  "deeper than " + std::to_string(walk_depth_limit) + " levels: recorded, not entered");
        }
        ++counters.scanned_dirs;
        header_owed = true;
        continue;
      }

      if (header_owed) {
        header_owed = false;
        write_directory_record(path);
      }
      write_file_record(name, st);
      ++counters.scanned_files;
      if (is_archive_candidate(name) && scan_archive(volume_file_, child_host, child_path) == 0)
        skipped(run_report.skipped.unreadable, child_path, "the archive cannot be read");
    }
    return 1;
  }

private:
  // Counts an entry left out, and keeps the first for the user.
  static void skipped(std::int32_t& count, const std::string& path, const std::string& why) {
    ++count;
    if (run_report.skipped.first.empty()) run_report.skipped.first = printable_utf8(path) + ": " + why;
  }

  void write_directory_record(const std::string& path) {
    std::string folded = path;
    fold_name(folded);
    record_.clear();
    encode_directory_record(record_, folded);
    volume_file_.write(record_);
  }

  void write_file_record(const std::string& name, const struct stat& st) {
    std::string folded = name;
    fold_name(folded);
    const DosDateTime when = dos_date_time_from_unix(st.st_mtime);
    record_.clear();
    encode_file_record(record_, folded, static_cast<std::uint64_t>(st.st_size), when.date, when.time);
    volume_file_.write(record_);
  }

  File& volume_file_;
  dev_t root_device_;
  std::string record_; // every record is assembled here and written in one piece
};

} // namespace

int scan_directory(std::string_view path, File& volume_file) {
  const auto host = resolve_dos_path(path);
  std::string recorded(path);
  if (recorded.size() > 1 && recorded.back() == '\\') recorded.pop_back();
  struct stat root;
  if (!host || ::stat(host->c_str(), &root) != 0) {
    std::string record;
    encode_directory_record(record, recorded);
    volume_file.write(record);
    return 1;
  }
  VolumeWalk walk(volume_file, root.st_dev);
  return walk.walk(recorded, *host, 0);
}

} // namespace shelvo
