// Every change to a catalog goes through a CatalogWriter, so that two writers
// (two terminals, a script and the window) never interleave, a reader never
// meets half a change, and a writer killed at any point costs nothing:
//
// - an exclusive lock on the catalog directory is held for the whole change; a
//   second writer, or a writer while searches read the catalog under their
//   shared lock, waits a moment, then gives up with a message;
// - what a killed writer left is finished or undone first (interrupted_changes.h);
// - a volume is written into a temporary file created exclusively (never
//   through a planted link) under a name no reader takes for a volume, flushed
//   to the disk, and moved to its number only then;
// - a deleted volume's file is set aside under a name that carries its number
//   until every file after it has moved down, so the next program can finish a
//   deletion that was cut short;
// - what a change renamed or removed is flushed to the disk (commit) before the
//   change is reported done, so a power cut, like a kill, leaves the catalog as
//   it was before the change or after it.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/interrupted_changes.h"
#include "catalog/volume_directory.h"
#include "platform/file_access.h"

namespace shelvo {

// Who holds a catalog that a program waits for: a writer (an add, a delete, an
// import or an export), or readers (searches and listings).
enum class CatalogHolder { writer, readers };

// The notice of a program that waits for the catalog ("waiting for another
// program to finish changing the catalog C:\CAT").
std::string catalog_wait_notice(std::string_view catalog_directory, CatalogHolder holder);
// The refusal of a writer that waited in vain: the same words for every writer.
std::string catalog_busy_refusal(std::string_view catalog_directory, CatalogHolder holder);

// What a program does while another holds the catalog it wants: on_wait once,
// when the wait begins (a notice for the user), and keep_waiting between tries
// (false ends the wait early: a Stop). Either may be empty.
struct CatalogWait {
  std::function<void(CatalogHolder)> on_wait;
  std::function<bool()> keep_waiting;
};

class CatalogWriter {
public:
  // How long a writer waits for the catalog before it gives up (tests shorten
  // it); a delete's, an import's or an export's first listing waits as long.
  static inline std::chrono::milliseconds lock_wait{3000};

  explicit CatalogWriter(std::string_view catalog_directory);
  CatalogWriter(const CatalogWriter&) = delete;
  CatalogWriter& operator=(const CatalogWriter&) = delete;
  // Removes a temporary file that was not installed, and flushes what a
  // change left unflushed (a failure that was not committed).
  ~CatalogWriter();

  // Opens the catalog directory, takes its lock and puts right what killed
  // writers left. While another program holds the catalog it waits at most
  // lock_wait, telling wait.on_wait when it begins. False with failure set (in
  // words for the user) when another program holds the catalog past the wait
  // (catalog_busy_refusal), the wait was stopped, the directory cannot be
  // opened, or what was left cannot be put right. A file system without locks
  // is written without one.
  bool lock(std::string& failure, const CatalogWait& wait = {});
  // True when the last lock() failed because another program held the catalog
  // (past the wait, or until the wait was stopped).
  bool busy() const { return busy_; }
  // The catalog directory, as the engine names it.
  const std::string& directory() const { return directory_; }
  // What lock() finished for a writer that was stopped, in words; empty when nothing.
  const std::string& repaired() const { return repaired_; }
  // The catalog's volume files, current while the lock is held.
  VolumeDirectory& volumes() { return volumes_; }

  // Creates the temporary file for a new volume. An unopened File, with failure
  // set, when the catalog directory does not take it.
  File create_temporary(std::string& failure);

  // Flushes the temporary file to the disk, closes it and moves it to volume
  // number: over an existing file only when replace is set (the volume being
  // overwritten), never otherwise. On failure (a byte that could not be
  // stored, the rename) the temporary file is removed and the catalog is as it
  // was. The directory is flushed by commit().
  bool install(File& temporary, long number, bool replace, std::string& failure);

  // Removes the temporary file, if any.
  void discard();

  // Deletes volume number: its file is set aside, every following volume file
  // moves down by one, and the set-aside file goes. SIGINT, SIGTERM and SIGHUP
  // wait until it is done; a kill is finished by the next program. Should a move
  // fail, the files already moved go back and the volume returns to its number:
  // false, with failure set and the catalog as it was.
  bool remove_volume(long number, std::string& failure);

  // Flushes the catalog directory's names that the changes so far renamed or
  // removed, so that a power cut keeps them. Every writer commits before it
  // reports success; false, with failure set, when the disk did not confirm
  // it: the changes are made, but may not outlive a power cut.
  bool commit(std::string& failure);

  // True while a CatalogWriter of this process holds the catalog whose
  // directory handle is given: a reader of the same process (the listing that
  // an import refreshes between two volumes) then reads under that lock, since
  // a second lock of its own would wait for the first for ever.
  static bool held_here(const DirectoryHandle& directory);

private:
  std::string temporary_name();
  void forget_held();
  VolumeDirectory volumes_;
  std::string directory_; // as the engine names it, without a trailing '\'
  std::string temporary_; // name of the temporary file in the directory; empty when none
  std::string repaired_;
  std::optional<DirectoryHandle::Identity> held_; // the directory, while its lock is this writer's
  bool busy_ = false;
};

} // namespace shelvo
