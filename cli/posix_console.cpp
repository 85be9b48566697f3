#include "cli/console.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

namespace shelvo {

void prepare_console() {}

std::vector<std::string> console_arguments(int argc, char** argv) { return {argv, argv + argc}; }

void install_interrupt_handlers(void (*handler)(int)) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    ::sigaction(signal_number, nullptr, &current);
    // A job started with the signal ignored (nohup, a background job) keeps it so.
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a Ctrl-C at the overwrite question ends the wait for a key.
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signal_number, &action, nullptr);
  }
  // A reader that closes the pipe shows as EPIPE on the write, which ends the
  // run quietly, instead of a signal that kills it in the middle of an add.
  std::signal(SIGPIPE, SIG_IGN);
}

int read_key_from_terminal() {
  if (!::isatty(STDIN_FILENO)) return -1;
  termios saved{};
  const bool raw = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (raw) {
    termios one_key = saved;
    one_key.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    one_key.c_cc[VMIN] = 1;
    one_key.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &one_key);
  }
  unsigned char key = 0;
  const ssize_t n = ::read(STDIN_FILENO, &key, 1);
  if (raw) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return n == 1 ? key : -1;
}

bool is_terminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

// Asked at every redraw, so that a resized window is followed.
std::size_t terminal_columns(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

} // namespace shelvo
