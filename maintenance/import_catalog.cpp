#include "maintenance/import_catalog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <vector>

#include "catalog/catalog_read_lock.h"
#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "maintenance/delete_volume.h"
#include "maintenance/volume_copy.h"
#include "platform/file_access.h"
#include "results/run_state.h"

namespace shelvo {

namespace {

struct Header {
  std::string label; // the 15 bytes as read
  unsigned char format = 0;
};

// The header of a volume file, or nothing when it cannot be read (error set).
std::optional<Header> header_of(const VolumeDirectory& catalog, long number, int& error) {
  File file = catalog.open(number);
  error = file.error();
  if (!file) return std::nullopt;
  const VolumeHeader h = read_volume_header(file);
  error = file.error();
  if (file.failed()) return std::nullopt;
  return Header{h.label, h.format};
}


// The current catalog's headers, each read once, and where each label is. For
// every volume imported the placement rule looks, from number 0 on, for the
// first file that is empty (offered for deletion), unreadable (no free number)
// or of the same label (offered for replacement); the table answers that
// without reading the catalog again, and is kept current as the import writes.
class PlacementTable {
public:
  enum class Kind { volume, empty, unreadable };
  struct Entry {
    Kind kind = Kind::volume;
    Header header;
    int error = 0;
  };

  explicit PlacementTable(const VolumeDirectory& catalog) {
    for (long k = 0; k < catalog.end(); ++k) {
      Entry entry;
      if (const std::optional<Header> header = header_of(catalog, k, entry.error)) {
        entry.header = *header;
        entry.kind = header->label.size() < label_length ? Kind::empty : Kind::volume;
      } else {
        entry.kind = Kind::unreadable;
      }
      entries_.push_back(std::move(entry));
    }
    index();
  }

  long end() const { return static_cast<long>(entries_.size()); }
  const Entry& at(long k) const { return entries_[static_cast<std::size_t>(k)]; }

  // The first number from `from` that the placement of label must look at;
  // end() when there is none: the volume is appended.
  long next(const std::string& label, long from) const {
    long best = end();
    const auto first_in = [&](const std::vector<long>& numbers) {
      const auto it = std::lower_bound(numbers.begin(), numbers.end(), from);
      if (it != numbers.end()) best = std::min(best, *it);
    };
    first_in(unusual_);
    if (const auto it = by_label_.find(label); it != by_label_.end()) first_in(it->second);
    return best;
  }

  void appended(const Header& header) {
    by_label_[header.label].push_back(end());
    entries_.push_back({Kind::volume, header, 0});
  }
  void replaced(long k, const Header& header) { entries_[static_cast<std::size_t>(k)].header = header; }
  // Volume k was deleted: the ones after it moved down by one.
  void deleted(long k) {
    entries_.erase(entries_.begin() + k);
    index();
  }

private:
  void index() {
    by_label_.clear();
    unusual_.clear();
    for (long k = 0; k < end(); ++k) {
      if (at(k).kind == Kind::volume) by_label_[at(k).header.label].push_back(k);
      else unusual_.push_back(k);
    }
  }

  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::vector<long>> by_label_; // ascending numbers
  std::vector<long> unusual_;                                   // empty or unreadable, ascending
};

bool yes(DialogService& dialogs, const std::string& question) {
  // Enter answers No: nothing is destroyed or replaced by a key pressed too soon.
  return dialogs.show_message(question, "Confirmation", DialogButtons::yes_no_default_no, DialogIcon::warning) ==
         DialogAnswer::yes;
}

} // namespace

std::string null_size_question(std::string_view path) {
  return "While browsing your current database,\nit appears than the file '" + std::string(path) +
         "' has a null size.\n\nDo you want to destroy it?";
}

std::string replace_question(std::string_view current_label, std::string_view current_version,
                             std::string_view current_path, std::string_view other_label,
                             std::string_view other_version, std::string_view other_path) {
  return "Do you want to replace\n\ndata link to [" + std::string(current_label) + "] v" +
         std::string(current_version) + "\n(located in " + std::string(current_path) + ")\n\nby\n\ndata link to [" +
         std::string(other_label) + "] v" + std::string(other_version) + "\n(located in " + std::string(other_path) +
         ") ?";
}

std::string copy_failure_message(int code, std::string_view first, std::string_view second) {
  return "An Error of type 0xf1310f" + std::to_string(-code) + "x occurs:\n\nFile '" + std::string(first) +
         "' is read-only\nor\nFile '" + std::string(second) +
         "' was instantly destroy\nor\nThere's a lack of free space for '" + std::string(first) +
         "'.\n\nPlease retry later...";
}

std::string import_end_message(int added) {
  return std::to_string(added) + " file(s) added to the current database with success.";
}

std::string same_catalog_message(std::string_view current, std::string_view other) {
  return "'" + std::string(other) + "' is the current catalog itself ('" + std::string(current) +
         "'): nothing was done.";
}

int import_catalog(std::string_view current, std::string_view other, DialogService& dialogs,
                   const std::function<void()>& refresh) {
  // One catalog has many spellings here (a drive letter or the host path,
  // another letter case): compared by name, a catalog imported into itself
  // would read its own volumes while replacing them.
  if (same_directory(current, other)) {
    dialogs.show_message(same_catalog_message(current, other), "Shelvo", DialogButtons::ok, DialogIcon::warning);
    return 0;
  }
  CatalogWriter catalog(current);
  CatalogReadLock source;
  if (!lock_catalogs_for_copy(catalog, source, other, dialogs)) return 0;
  VolumeDirectory& from = source.volumes();
  VolumeDirectory& into = catalog.volumes();
  PlacementTable table(into);

  int added = 0;
  bool failed = false;
  if (!from.has(0)) {
    tell_failure(dialogs, "there is no catalog at " + from.dos_path() + ": it holds no 00000000.KTL");
    failed = true;
  }
  std::string failure;
  int error = 0;
  // The other catalog ends at its first missing number, as for every reader.
  for (long s = 0; from.has(s); ++s) {
    if (stop_flag == 1) {
      tell_failure(dialogs, "stopped: the volumes from " + from.path_of(s) + " on were not imported");
      failed = true;
      break;
    }
    const std::string source_path = from.path_of(s);
    const std::optional<Header> imported = header_of(from, s, error);
    if (!imported) {
      // A file there that cannot be read ends the catalog too, but is said.
      tell_failure(dialogs, "cannot read " + source_path + ": " + error_text(error));
      failed = true;
      break;
    }
    if (imported->label.size() < label_length) continue; // an empty file is no volume
    const std::string imported_version = version_text(imported->format);

    long target = 0;
    bool replace = false;
    bool blocked = false;
    for (long k = 0;;) {
      k = table.next(imported->label, k);
      target = k;
      if (k == table.end()) break; // the first free number: appended
      const PlacementTable::Entry& there = table.at(k);
      if (there.kind == PlacementTable::Kind::unreadable) {
        // A file that cannot be read is no free number: nothing is written over it.
        tell_failure(dialogs, "cannot read " + into.path_of(k) + ": " + error_text(there.error) + "; " + source_path +
                                  " was not imported");
        blocked = true;
        break;
      }
      if (there.kind == PlacementTable::Kind::empty) {
        if (yes(dialogs, null_size_question(into.path_of(k)))) {
          if (delete_volume_locked(catalog, k, std::nullopt, failure) == 1) {
            table.deleted(k);
            if (refresh) refresh();
            continue; // the same number now holds the next volume
          }
          // Said once; the file stays, and is passed over like a No.
          tell_failure(dialogs, failure);
        }
        ++k;
        continue;
      }
      if (yes(dialogs, replace_question(shown_in_message(there.header.label), version_text(there.header.format),
                                        into.path_of(k), shown_in_message(imported->label), imported_version,
                                        source_path))) {
        replace = true; // in place
        break;
      }
      ++k;
    }
    if (blocked) {
      failed = true;
      continue;
    }
    const int code = copy_volume_file(catalog, target, from, s, replace, failure, &error);
    if (code == copy_done) {
      ++added;
      if (replace) table.replaced(target, *imported);
      else table.appended(*imported);
      continue;
    }
    failed = true;
    tell_failure(dialogs, copy_failure_message(code, into.path_of(target), source_path) + "\n\n(" + failure + ")");
    // A catalog that takes no new file, or has no room left, takes none for the
    // next volume either.
    if (code == copy_target_not_created || no_room_left(error)) break;
  }
  // What came over is counted only once it is on the disk.
  if (!catalog.commit(failure)) {
    tell_failure(dialogs, failure);
    failed = true;
  }
  dialogs.show_message(import_end_message(added), added > 0 ? "GOOD Job" : "BAD Job", DialogButtons::ok,
                       DialogIcon::none);
  if (added > 0 && refresh) refresh();
  return failed ? -1 : 1;
}

} // namespace shelvo
