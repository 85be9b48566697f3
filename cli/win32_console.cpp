#include "cli/console.h"

#include "platform/win32_text.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace shelvo {

namespace {

void (*interrupt_handler)(int) = nullptr;
std::atomic<int> interruptions{0};

// Runs in a thread of its own. Ctrl-C and Ctrl-Break are SIGINT; a closed
// window, a logoff or a shutdown end the process when this returns, so the run
// is given the few seconds the system allows to stop at a whole state and
// return from main (which ends the process, this thread with it), as after SIGHUP.
BOOL WINAPI on_console_event(DWORD event) {
  const int signal_number = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : 1; // 1: SIGHUP
  if (interruptions.fetch_add(1) > 0) {
    if (signal_number == SIGINT) std::_Exit(128 + SIGINT); // a second one ends the program
    return FALSE;
  }
  interrupt_handler(signal_number);
  if (signal_number != SIGINT) ::Sleep(4500);
  return TRUE;
}

} // namespace

void prepare_console() {
  ::SetConsoleOutputCP(CP_UTF8);
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

std::vector<std::string> console_arguments(int argc, char** argv) {
  // The arguments as typed, not through the ANSI code page, which would turn
  // characters it lacks into '?'.
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(utf8_of(wide[i]));
  ::LocalFree(wide);
  return out;
}

void install_interrupt_handlers(void (*handler)(int)) {
  interrupt_handler = handler;
  ::SetConsoleCtrlHandler(on_console_event, TRUE);
  std::signal(SIGTERM, handler); // raise(SIGTERM), as a C library's abort-like exits do
}

int read_key_from_terminal() {
  const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(in, &mode)) return -1;
  ::SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
  wchar_t key = 0;
  DWORD n = 0;
  const BOOL read = ::ReadConsoleW(in, &key, 1, &n, nullptr);
  ::SetConsoleMode(in, mode);
  return read && n == 1 && key < 0x80 ? key : -1;
}

bool is_terminal(std::FILE* stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &mode) != 0;
}

std::size_t terminal_columns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<std::size_t>(columns);
  }
  return 80;
}

} // namespace shelvo
