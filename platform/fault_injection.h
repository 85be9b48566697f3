// Injected faults of file access, for tests: every writer must survive a failed
// open, read, write, close, rename, remove or flush at any point, and tests make
// each fail in turn. Nothing is injected unless a test asks.
//
// Beside the faults, a record of what writers did to files, in order, for tests
// of durability: that no file is renamed into place before its bytes are on the
// disk, and that a directory whose names changed is flushed before a writer
// reports success. Nothing is recorded unless a test asks.
#pragma once

#include <string>
#include <vector>

#include "platform/file_access.h"

namespace shelvo {

// sync: a file's bytes flushed to the disk (File::sync); sync_directory: a
// directory's names flushed (DirectoryHandle::sync, sync_directory).
enum class FileOperation { open, read, write, close, rename, remove, sync, sync_directory };

// The nth operation of that kind from now on (1 = the next one) fails with the
// error number error; one fault per kind at a time.
void inject_fault(FileOperation operation, int nth, int error);
void clear_faults();
// How many operations of a kind were seen since the last clear_faults.
int operations_seen(FileOperation operation);
// The nth file operation of any kind from now on (1 = the next one) raises
// signal_number in the process before it is made: with SIGKILL, a writer that
// dies at any point; with another, a Ctrl-C or a kill at any point.
void inject_kill(int nth, int signal_number);
// How many operations of all kinds were seen since the last clear_faults.
int all_operations_seen();

// Called by the file access of the platform before each operation: true (with
// errno set) when this one is to fail.
bool fault_injected(FileOperation operation);

// One change that a file operation made, as the platform saw it succeed.
struct RecordedOperation {
  // create: a new file (File::create_new); write: bytes given to a File (they
  // may wait in its buffer until a flush or a close); sync: a file's bytes on
  // the disk; rename, remove: a name moved or gone; make_directory: a directory
  // made; sync_directory: a directory's names on the disk.
  enum class Kind { create, write, sync, rename, remove, make_directory, sync_directory };
  Kind kind = Kind::write;
  // The file created, written, flushed, renamed (the file that moved) or
  // removed; the directory made or flushed.
  FileIdentity file;
  // The directory whose names changed: where a file was created or removed, a
  // rename's target directory, the directory that holds one made. Unset (all
  // zero) for write, sync and sync_directory.
  FileIdentity directory;
  // A rename's source directory; the same as directory for the others.
  FileIdentity from_directory;
  std::string name; // as the call named it, for messages
};

// Starts recording (what was recorded before is dropped) or stops it.
void record_operations(bool on);
bool recording_operations();
// Called by the platform after an operation that changed something, only while
// recording (the identities cost a system call).
void record_operation(RecordedOperation operation);
const std::vector<RecordedOperation>& recorded_operations();

} // namespace shelvo
