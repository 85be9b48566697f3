#include "maintenance/volume_copy.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "catalog/catalog_store.h"
#include "results/printable_text.h"
#include "results/run_state.h"
#include "results/status_lines.h"

namespace shelvo {

namespace {

constexpr std::size_t copy_block = 57344;

} // namespace

int copy_volume_file(CatalogWriter& target_catalog, long target_number, const VolumeDirectory& source_catalog,
                     long source_number, bool replace, std::string& failure, int* error) {
  int ignored = 0;
  int& why = error ? *error : ignored;
  why = 0;
  const std::string source = source_catalog.path_of(source_number);
  File from = source_catalog.open(source_number);
  if (!from) {
    why = from.error();
    failure = "cannot read " + source + ": " + error_text(why);
    return copy_source_unreadable;
  }
  File to = target_catalog.create_temporary(failure);
  if (!to) {
    why = to.error();
    return copy_target_not_created;
  }

  std::vector<char> block(copy_block);
  for (;;) {
    const std::size_t got = from.read(block);
    if (from.failed()) {
      why = from.error();
      failure = "cannot read " + source + ": " + error_text(why);
      target_catalog.discard();
      return copy_source_unreadable;
    }
    if (got == 0) break;
    if (!to.write(std::string_view(block.data(), got))) break;
  }
  // A write that failed fails the install, which flushes the copy to the disk
  // before it takes the volume's number; the error number tells a full disk.
  if (!target_catalog.install(to, target_number, replace, failure)) {
    why = to.error() != 0 ? to.error() : errno;
    return copy_write_failed;
  }
  return copy_done;
}

bool no_room_left(int error) {
#ifdef EDQUOT
  if (error == EDQUOT) return true;
#endif
  return error == ENOSPC;
}

std::string shown_in_message(std::string_view catalog_text) {
  return printable_utf8(up_to_nul(catalog_text));
}

void tell_failure(DialogService& dialogs, const std::string& text) {
  dialogs.show_message(text, "Failure", DialogButtons::ok, DialogIcon::error);
}

bool lock_catalogs_for_copy(CatalogWriter& written, CatalogReadLock& read, std::string_view read_directory,
                            DialogService& dialogs) {
  // A catalog held by another program is refused in the words of every
  // writer, as every writer refuses it, after the same wait.
  const auto refuse = [&](const std::string& text) {
    if (stop_flag == 1) tell_failure(dialogs, "stopped: nothing was changed");
    else dialogs.show_message(text, "Shelvo", DialogButtons::ok, DialogIcon::warning);
  };
  std::string failure;
  if (!written.lock(failure, status_line_wait(written.directory()))) {
    if (written.busy()) refuse(failure);
    else tell_failure(dialogs, failure);
    return false;
  }
  const CatalogWait wait = status_line_wait(read_directory);
  const auto on_wait = [&] { wait.on_wait(CatalogHolder::writer); };
  switch (read.acquire(read_directory, CatalogWriter::lock_wait, on_wait, wait.keep_waiting, failure)) {
  case CatalogReadLock::Outcome::held: break;
  case CatalogReadLock::Outcome::stopped:
    refuse(catalog_busy_refusal(read.volumes().dos_path(), CatalogHolder::writer));
    return false;
  case CatalogReadLock::Outcome::failed: tell_failure(dialogs, failure); return false;
  }
  for (const std::string* said : {&written.repaired(), &read.repaired(), &read.warning()})
    if (!said->empty()) dialogs.show_message(*said, "Shelvo", DialogButtons::ok, DialogIcon::information);
  return true;
}

std::string version_text(unsigned char format) {
  // The format byte is read as a signed 8-bit number, whatever the host's plain
  // char is, and divided truncating toward zero, so one byte reads as one version
  // on every host: a damaged byte above 127 shows as a small negative version
  // ("2.-62" for 0xC3), never as a large number.
  const auto b = static_cast<signed char>(format);
  const char separator = (b % 2 != 0) ? '.' : '~';
  std::array<char, 16> text{};
  if (b != 0) std::snprintf(text.data(), text.size(), "2%c%d", separator, 2 * (b / 2) - 2);
  else std::snprintf(text.data(), text.size(), "1%c8", separator);
  return text.data();
}

} // namespace shelvo
