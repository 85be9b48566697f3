#include "scanner/volume_walk.h"

#include <algorithm>

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"
#include "catalog/record_reader.h"
#include "results/run_state.h"
#include "platform/code_page.h"
#include "platform/dos_time.h"
#include "platform/walk_directory.h"
#include "results/status_lines.h"
#include "results/tree_text_output.h"
#include "scanner/archive_scan.h"


namespace shelvo {

static_assert(walk_path_limit == max_directory_path && walk_archive_path_limit == max_archive_path,
              "the walk records only the paths a search holds");

namespace {

std::function<void(std::string_view)>& left_out_listener() {
  static std::function<void(std::string_view)> listener;
  return listener;
}

} // namespace

void set_left_out_listener(std::function<void(std::string_view)> listener) {
  left_out_listener() = std::move(listener);
}

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
  VolumeWalk(File& volume_file, std::uint64_t root_device, const std::vector<std::string>& left_out)
      : volume_file_(volume_file), root_device_(root_device), left_out_(left_out) {}

  // path: the directory's recorded path as the caller built it ("\", "\GAMES");
  // host: where it is on this host.
  int walk(const std::string& path, const std::string& host) {
    write_directory_record(path);
    const std::string base = (path == "\\") ? std::string() : path; // without trailing '\'

    WalkDirectory dir;
    int error = 0;
    if (!dir.open(host, error)) { // an unreadable directory keeps its record and nothing else
      skipped(run_report.skipped.unreadable, path, error_text(error));
      return 1;
    }
    bool header_owed = false;

    WalkEntry entry;
    while (dir.next(entry)) {
      scan_progress_tick();
      // A volume that cannot be stored, or a stop asked for: the add throws the
      // file away, so nothing more is worth walking.
      if (volume_file_.failed() || stop_flag == 1) return 1;
      const std::string_view host_name = entry.name;
      // Every name that begins with two dots is left out, ..NOTES.TXT on
      // purpose too: catalogs already written hold none, and a volume added
      // again must give the same records as before.
      if (host_name.substr(0, 2) == "..") continue;
      const std::string child_host = host + (host.back() == '/' ? "" : "/") + std::string(host_name);
      if (is_left_out(child_host)) continue;
      if (entry.kind == WalkEntry::Kind::unreadable) {
        skipped(run_report.skipped.unreadable, base + "\\" + catalog_name_of(host_name), error_text(entry.error));
        continue;
      }
      // Links to a directory or to nothing are not followed, as find does not
      // follow them.
      if (entry.kind == WalkEntry::Kind::skipped) continue;
      const std::string name = catalog_name_of(host_name);
      const std::string child_path = base + "\\" + name;
      if (entry.kind == WalkEntry::Kind::special) {
        skipped(run_report.skipped.special, child_path, std::string(entry.special) + ", never opened");
        continue;
      }

      if (entry.kind == WalkEntry::Kind::directory) {
        if (entry.device != root_device_) continue; // another mount: not this volume
        if (child_path.size() > walk_path_limit) {
          skipped(run_report.skipped.too_long, shortened(child_path),
                  "a path longer than " + std::to_string(walk_path_limit) +
                      " characters, which a search cannot hold: left out with all it holds");
          continue;
        }
        walk(child_path, child_host);
        ++counters.scanned_dirs;
        header_owed = true;
        continue;
      }

      if (header_owed) {
        header_owed = false;
        write_directory_record(path);
      }
      write_file_record(name, entry);
      ++counters.scanned_files;
      if (!is_archive_candidate(name)) continue;
      if (child_path.size() > walk_archive_path_limit) {
        if (is_archive(child_host))
          skipped(run_report.skipped.too_long, shortened(child_path),
                  "an archive path longer than " + std::to_string(walk_archive_path_limit) +
                      " characters, which a search cannot hold: its members are not listed");
      } else if (scan_archive(volume_file_, child_host, child_path) == 0) {
        skipped(run_report.skipped.unreadable, child_path, "the archive cannot be read");
      }
    }
    return 1;
  }

private:
  bool is_left_out(const std::string& host) const {
    if (std::find(left_out_.begin(), left_out_.end(), host) == left_out_.end()) return false;
    run_report.left_out.push_back(host);
    return true;
  }

  // Counts an entry left out, keeps the first for the user, and tells whoever
  // lists them all.
  static void skipped(std::int32_t& count, const std::string& path, const std::string& why) {
    ++count;
    const std::string entry = printable_utf8(path) + ": " + why;
    if (run_report.skipped.first.empty()) run_report.skipped.first = entry;
    if (left_out_listener()) left_out_listener()(entry);
  }

  // A path too long to show whole: its first 60 characters.
  static std::string shortened(const std::string& path) { return path.substr(0, 60) + "..."; }

  void write_directory_record(const std::string& path) {
    std::string folded = path;
    fold_name(folded);
    record_.clear();
    encode_directory_record(record_, folded);
    volume_file_.write(record_);
  }

  void write_file_record(const std::string& name, const WalkEntry& entry) {
    std::string folded = name;
    fold_name(folded);
    const DosDateTime when = dos_date_time_from_unix(entry.modified);
    record_.clear();
    encode_file_record(record_, folded, entry.size, when.date, when.time);
    volume_file_.write(record_);
  }

  File& volume_file_;
  std::uint64_t root_device_;
  const std::vector<std::string>& left_out_;
  std::string record_; // every record is assembled here and written in one piece
};

} // namespace

int scan_directory(std::string_view path, File& volume_file, const std::vector<std::string>& left_out) {
  const auto host = resolve_dos_path(path);
  std::string recorded(path);
  if (recorded.size() > 1 && recorded.back() == '\\') recorded.pop_back();
  std::uint64_t root_device = 0;
  if (!host || !WalkDirectory::root_device(*host, root_device)) {
    std::string record;
    encode_directory_record(record, recorded);
    volume_file.write(record);
    return 1;
  }
  VolumeWalk walk(volume_file, root_device, left_out);
  return walk.walk(recorded, *host);
}

} // namespace shelvo
