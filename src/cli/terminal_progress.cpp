#include "cli/terminal_progress.h"

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "app/parse_number.h"
#include "platform/terminal.h"

namespace vellum::cli {

namespace {

// Set from a signal handler (or, on Windows, the console's control thread).
// The exit status of what stopped the command (130 Ctrl+C, 143 SIGTERM,
// 129 SIGHUP); 0 while nothing has.
std::atomic<int> gInterrupted{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnInterrupt(int exitStatus) {
  int none = 0;
  gInterrupted.compare_exchange_strong(none, exitStatus);
}

int StderrColumns() {
  if (const int columns = platform::TerminalColumns(platform::StandardStream::kError); columns > 0) return columns;
  if (const char* columns = std::getenv("COLUMNS")) {
    const uint64_t n = app::ParseUnsigned64(columns);
    if (n > 0 && n < 10000) return static_cast<int>(n);
  }
  return 80;
}

// Display columns of one code point: two for the wide East Asian blocks, zero
// for combining marks, one otherwise. Close enough for a status line.
size_t ColumnsOf(char32_t c) {
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || c == 0xFE0F) return 0;
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
      (c >= 0x20000 && c <= 0x3FFFD)) {
    return 2;
  }
  return 1;
}

// Decodes one UTF-8 sequence at text[i]; 0 length for a malformed one.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& c) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  size_t length = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  c = length == 1 ? b0 : length == 2 ? (b0 & 0x1F) : length == 3 ? (b0 & 0x0F) : (b0 & 0x07);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::string FitToColumns(std::string_view text, size_t maxColumns, size_t& usedColumns) {
  std::string out;
  usedColumns = 0;
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    size_t length = DecodeUtf8(text, i, c);
    std::string_view piece = text.substr(i, length);
    if (length == 0 || IsControl(c)) {
      piece = "?";
      c = '?';
      length = length == 0 ? 1 : length;
    }
    const size_t width = ColumnsOf(c);
    if (usedColumns + width > maxColumns) break;
    out += piece;
    usedColumns += width;
    i += length;
  }
  return out;
}

TerminalSink StderrSink() {
  TerminalSink sink;
  sink.isTerminal = platform::IsTerminal(platform::StandardStream::kError);
  sink.nowMs = [] {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  };
  sink.columns = StderrColumns;
  sink.write = [](std::string_view text) { platform::WriteStandardError(text); };
  sink.interrupted = InterruptGuard::Interrupted;
  return sink;
}

TerminalProgressView::TerminalProgressView(TerminalSink sink) : sink_(std::move(sink)) {}

bool TerminalProgressView::Create(std::string_view) {
  phaseStarted_ = false;
  phaseCaption_.clear();
  // The first drawing waits one interval too: a walk that ends sooner leaves
  // no trace on the terminal.
  lastDrawMs_ = sink_.nowMs ? sink_.nowMs() : 0;
  open_ = true;
  labels_.clear();
  fileLabelVisible_ = false;
  dirty_ = false;
  return true;
}

void TerminalProgressView::Destroy() {
  ClearLine();
  open_ = false;
  dirty_ = false;
}

void TerminalProgressView::SetLabelText(int id, std::string_view text) {
  std::string& label = labels_[id];
  if (label == text) return;
  label = text;
  if (id == app::kCounterCaptionId || (id == app::kCounterTextId && !phaseStarted_)) {
    phaseStarted_ = true;
    phaseCaption_ = labels_[app::kCounterCaptionId];
    phaseStartMs_ = sink_.nowMs ? sink_.nowMs() : 0;
    phaseStartCount_ = app::ParseUnsigned64(labels_[app::kCounterTextId]);
  }
  Changed();
}

// The counter reads "current / total" in the phase's own unit.
std::string TerminalProgressView::RateAndTimeLeft() const {
  const auto found = labels_.find(app::kCounterTextId);
  if (found == labels_.end() || !sink_.nowMs || !phaseStarted_) return {};
  const std::string& counter = found->second;
  const size_t slash = counter.find('/');
  if (slash == std::string::npos) return {};
  const uint64_t current = app::ParseUnsigned64(counter.substr(0, slash));
  const uint64_t total = app::ParseUnsigned64(counter.substr(slash + 1));
  if (current < phaseStartCount_ || total < phaseStartCount_) return {};
  const uint64_t unitBytes = unitBytes_ ? unitBytes_(phaseCaption_) : 0;
  return RateText(current - phaseStartCount_, total - phaseStartCount_, sink_.nowMs() - phaseStartMs_, unitBytes);
}

void TerminalProgressView::SetLabelVisible(int id, bool visible) {
  if (id != app::kFileLabelId || visible == fileLabelVisible_) return;
  fileLabelVisible_ = visible;
  Changed();
}

// The percentage label says all the bar would.
void TerminalProgressView::SetBarPosition(int) {}

bool TerminalProgressView::PumpEvents() {
  if (dirty_) Changed();
  return sink_.interrupted && sink_.interrupted();
}

void TerminalProgressView::ClearLine() {
  if (drawnColumns_ == 0) return;
  sink_.write("\r" + std::string(drawnColumns_, ' ') + "\r");
  drawnColumns_ = 0;
  dirty_ = open_;
}

void TerminalProgressView::Changed() {
  dirty_ = true;
  if (!open_ || !sink_.isTerminal) return;
  const uint64_t now = sink_.nowMs ? sink_.nowMs() : 0;
  if (now - lastDrawMs_ < kRedrawIntervalMs) return;
  lastDrawMs_ = now;
  Draw();
}

void TerminalProgressView::Draw() {
  dirty_ = false;
  const int columns = sink_.columns ? sink_.columns() : 80;
  // One column short of the edge: writing the last one makes some terminals wrap.
  const size_t room = columns > 1 ? static_cast<size_t>(columns - 1) : 1;
  size_t used = 0;
  std::string line = "\r" + FitToColumns(Compose(), room, used);
  if (used < drawnColumns_) line.append(drawnColumns_ - used, ' ');
  drawnColumns_ = used;
  sink_.write(line);
}

std::string TerminalProgressView::Compose() const {
  const auto label = [&](int id) -> std::string_view {
    const auto found = labels_.find(id);
    return found == labels_.end() ? std::string_view() : std::string_view(found->second);
  };
  std::string line;
  const auto add = [&](std::string_view piece) {
    if (piece.empty()) return;
    if (!line.empty()) line += "  ";
    line += piece;
  };
  add(std::string(label(app::kCounterCaptionId)) + std::string(label(app::kCounterTextId)));
  std::string_view percent = label(app::kPercentId);
  while (!percent.empty() && percent.front() == ' ') percent.remove_prefix(1);
  add(percent);
  add(RateAndTimeLeft());
  if (fileLabelVisible_ || !label(app::kFileNameId).empty()) {
    add(std::string(fileLabelVisible_ ? label(app::kFileLabelId) : "") +
        std::string(label(app::kFileNameId)));
  }
  return line;
}

InterruptGuard::InterruptGuard() {
  // Each command starts uninterrupted: a Ctrl+C belongs to the command it stopped.
  gInterrupted = 0;
  installed_ = platform::CatchInterrupt(OnInterrupt);
}

InterruptGuard::~InterruptGuard() {
  if (installed_) platform::ReleaseInterrupt();
}

bool InterruptGuard::Interrupted() { return gInterrupted != 0; }

int InterruptGuard::ExitStatus() {
  const int status = gInterrupted;
  return status != 0 ? status : kExitInterrupted;
}

}  // namespace vellum::cli
