#include "platform/terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>

namespace vellum::platform {

namespace {

int Descriptor(StandardStream stream) {
  switch (stream) {
    case StandardStream::kInput: return STDIN_FILENO;
    case StandardStream::kOutput: return STDOUT_FILENO;
    case StandardStream::kError: return STDERR_FILENO;
  }
  return STDERR_FILENO;
}

void (*gOnInterrupt)(int) = nullptr;
constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gPrevious[std::size(kCaught)] {};
bool gInstalled = false;

extern "C" void OnSignal(int signal) {
  if (gOnInterrupt) gOnInterrupt(128 + signal);
}

}  // namespace

bool IsTerminal(StandardStream stream) { return ::isatty(Descriptor(stream)) == 1; }

int TerminalColumns(StandardStream stream) {
  winsize size{};
  if (::ioctl(Descriptor(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 0;
}

void WriteStandardError(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a broken stderr is no reason to stop a walk
    text.remove_prefix(static_cast<size_t>(n));
  }
}

bool CatchInterrupt(void (*onInterrupt)(int)) {
  gOnInterrupt = onInterrupt;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // After the first signal its default action is back, so a second one
  // ends a walk that does not stop on its own.
  action.sa_flags = SA_RESETHAND;
  gInstalled = true;
  for (size_t i = 0; i < std::size(kCaught); ++i) gInstalled &= sigaction(kCaught[i], &action, &gPrevious[i]) == 0;
  return gInstalled;
}

void ReleaseInterrupt() {
  if (gInstalled)
    for (size_t i = 0; i < std::size(kCaught); ++i) sigaction(kCaught[i], &gPrevious[i], nullptr);
  gInstalled = false;
}

std::vector<std::string> StartProgram(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace vellum::platform
