// What shelvo-cli needs of the console it runs in, one implementation per host:
// interruptions (Ctrl-C, a kill, a closed window), one key read without Enter,
// the width of the terminal, and arguments and output as UTF-8 bytes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace shelvo {

// Makes the console take and show UTF-8, and the standard streams binary (the
// tree's lines end in "\n" on every host). Before anything is written.
void prepare_console();
// The program's arguments as UTF-8, element 0 the program.
std::vector<std::string> console_arguments(int argc, char** argv);
// handler(signal number) runs at the first Ctrl-C, termination request or
// hang-up (SIGINT, SIGTERM, SIGHUP); a second one ends the program. Signals
// ignored at the start (nohup) stay ignored.
void install_interrupt_handlers(void (*handler)(int));
// One key from standard input, without waiting for Enter; -1 when standard
// input is no terminal or nothing came.
int read_key_from_terminal();
bool is_terminal(std::FILE* stream);
// Columns of the terminal behind stream; 80 when it does not say.
std::size_t terminal_columns(std::FILE* stream);

} // namespace shelvo
