// Injected faults of file access, for tests: every writer must survive a failed
// open, read, write, close, rename or remove at any point, and tests make each
// fail in turn. Nothing is injected unless a test asks.
#pragma once

namespace shelvo {

enum class FileOperation { open, read, write, close, rename, remove };

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

} // namespace shelvo
