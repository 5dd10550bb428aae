// The command line's view of its terminal: whether a standard stream is one,
// how wide it is, writing to standard error as the terminal wants it, Ctrl+C,
// and the program's arguments as UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellum::platform {

enum class StandardStream { kInput, kOutput, kError };

bool IsTerminal(StandardStream stream);
// The terminal's width in columns; 0 when the stream is no terminal or will not say.
int TerminalColumns(StandardStream stream);
// Writes all of `text` to standard error, past the C++ streams (a progress
// line between two messages). A broken stderr is ignored.
void WriteStandardError(std::string_view text);

// Calls `onInterrupt` at the first Ctrl+C, and on POSIX at the first
// SIGTERM or SIGHUP too (a service stopped, a terminal closed: a restore
// must not leave its last file half written), with the exit status that
// tells what stopped the program: 130 for Ctrl+C, 143 for SIGTERM, 129 for
// SIGHUP (128 and the signal's number). A second one gets the system's
// default back and ends the program. False when it cannot be installed.
bool CatchInterrupt(void (*onInterrupt)(int exitStatus));
// Puts back what was there before CatchInterrupt.
void ReleaseInterrupt();

// At the start of main: the arguments as UTF-8, and the standard streams set
// up so that the program's UTF-8 text reaches a terminal readably (unchanged
// on Linux; on a Windows console in its code page) and files and pipes byte
// for byte.
std::vector<std::string> StartProgram(int argc, char** argv);

}  // namespace vellum::platform
