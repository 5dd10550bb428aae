#include "platform/posix/mapped_views.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

namespace vellum::platform {

namespace {

constexpr uint64_t kPageBytes = 4096;
constexpr uint64_t kHintAhead = 8;  // chunks past the one in use the system is asked to fetch
constexpr uint64_t kLineBytes = 64;
constexpr uint64_t kPrefetchBytes = 4 * kLineBytes;

// The address ranges of the windows mapped now, for the bus-error handler,
// each with its owner's flag, set once one of its pages could not be read.
constexpr size_t kSlots = 16;
std::array<std::atomic<uintptr_t>, kSlots> gBegin{};
std::array<std::atomic<uintptr_t>, kSlots> gEnd{};
std::array<std::atomic<std::atomic<bool>*>, kSlots> gFaulted{};
struct sigaction gPrevious {};
std::once_flag gInstalled;

// Only pages in memory are mapped for a view, but the system may drop one
// again under memory pressure and fail to read it back (a disk error), or
// someone may cut the file short meanwhile. Touching such a page raises
// SIGBUS, which would end the program. Inside a window, the page is replaced
// by one of zeros, which is what a failed read leaves in its buffer, and the
// ordinary reads take over from the owner's next view on. Any other bus error
// goes where it went before.
void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
  for (size_t i = 0; i < kSlots; ++i) {
    if (at >= gBegin[i].load() && at < gEnd[i].load()) {
      void* page = reinterpret_cast<void*>(at & ~uintptr_t{kPageBytes - 1});
      if (std::atomic<bool>* faulted = gFaulted[i].load()) faulted->store(true);
      if (::mmap(page, kPageBytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) return;
      break;  // no page to put there: the access would only fault again
    }
  }
  if ((gPrevious.sa_flags & SA_SIGINFO) != 0 && gPrevious.sa_sigaction != nullptr) {
    gPrevious.sa_sigaction(signal, info, context);
  } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
    gPrevious.sa_handler(signal);
  } else {
    // The faulting access runs again and meets the previous disposition.
    ::sigaction(SIGBUS, &gPrevious, nullptr);
  }
}

void InstallHandler() {
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &gPrevious);
}

bool Register(uint8_t* base, size_t length, std::atomic<bool>* faulted) {
  const auto begin = reinterpret_cast<uintptr_t>(base);
  for (size_t i = 0; i < kSlots; ++i) {
    uintptr_t none = 0;
    if (gEnd[i].load() == 0 && gBegin[i].compare_exchange_strong(none, begin)) {
      gFaulted[i].store(faulted);
      gEnd[i].store(begin + length);
      return true;
    }
  }
  return false;
}

void Unregister(uint8_t* base) {
  const auto begin = reinterpret_cast<uintptr_t>(base);
  for (size_t i = 0; i < kSlots; ++i) {
    if (gBegin[i].load() == begin && gEnd[i].load() != 0) {
      gEnd[i].store(0);
      gFaulted[i].store(nullptr);
      gBegin[i].store(0);
      return;
    }
  }
}

uint64_t RoundUpToPage(uint64_t n) { return (n + kPageBytes - 1) / kPageBytes * kPageBytes; }

std::atomic<InPlaceReading> gChoice{InPlaceReading::kTimed};
constexpr int kTrials = 4;

int64_t Nanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void SetInPlaceReading(InPlaceReading choice) { gChoice.store(choice); }

void AdviseWillNeed(int fd, uint64_t offset, uint64_t length) {
  if (length == 0 || offset > static_cast<uint64_t>(INT64_MAX) || length > static_cast<uint64_t>(INT64_MAX) - offset)
    return;
  // When the range already sits in the page cache (its first byte reads
  // without waiting), asking again would only cost a walk over its pages.
  uint8_t probe = 0;
  iovec one{&probe, 1};
  if (::preadv2(fd, &one, 1, static_cast<off_t>(offset), RWF_NOWAIT) == 1) return;
  ::posix_fadvise(fd, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

MappedViews::MappedViews(int fd, uint64_t size)
    : fd_(fd), size_(size), usable_(gChoice.load() != InPlaceReading::kNever), choice_(gChoice.load()) {}

MappedViews::~MappedViews() {
  for (Window& w : windows_) Unmap(w);
}

void MappedViews::Unmap(Window& w) {
  if (w.base == nullptr) return;
  Unregister(w.base);
  ::munmap(w.base, w.length);
  w = Window{};
}

// Maps a window holding [offset, offset + size): the aligned window around
// offset, or one from offset's chunk when the range crosses its end.
bool MappedViews::Cover(Window& w, uint64_t offset, size_t size) {
  if (w.base != nullptr && offset >= w.start && offset - w.start + size <= w.length) return true;
  Unmap(w);
  uint64_t start = offset / kWindowBytes * kWindowBytes;
  if (offset + size > start + kWindowBytes) start = offset / kChunkBytes * kChunkBytes;
  const uint64_t wanted = std::max(kWindowBytes, RoundUpToPage(offset + size - start));
  const uint64_t length = std::min(wanted, RoundUpToPage(size_ - start));
  if (start > static_cast<uint64_t>(INT64_MAX) || length > SIZE_MAX) return false;
  std::call_once(gInstalled, InstallHandler);
  void* p = ::mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(start));
  if (p == MAP_FAILED) return false;  // no room (a memory limit): read instead
  auto* base = static_cast<uint8_t*>(p);
  if (!Register(base, static_cast<size_t>(length), &faulted_)) {
    ::munmap(p, static_cast<size_t>(length));
    return false;
  }
  w.base = base;
  w.start = start;
  w.length = static_cast<size_t>(length);
  w.readyFrom = w.readyTo = start / kChunkBytes;
  return true;
}

// Whether the system holds every page of [at, at + length) of the window in
// memory already.
bool MappedViews::Resident(const uint8_t* at, size_t length) {
  pages_.resize((length + kPageBytes - 1) / kPageBytes);
  if (::mincore(const_cast<uint8_t*>(at), length, pages_.data()) != 0) return false;
  return std::all_of(pages_.begin(), pages_.end(), [](unsigned char p) { return (p & 1) != 0; });
}

// Maps the chunk's pages, or says why not without a signal: a failure here
// is an error code, never a bus error. Only a chunk the system holds in
// memory already is read in place: that saves the copy, while pages it would
// first have to fetch (or, in a hole of a sparse file, make up page by page,
// ten times slower than a read of the hole) are read as before.
bool MappedViews::Ready(Window& w, uint64_t chunk, bool hint) {
  if (chunk >= w.readyFrom && chunk < w.readyTo) return true;
  if (chunk == w.refused) return false;
  const uint64_t from = chunk * kChunkBytes;
  const uint64_t to = std::min(from + kChunkBytes, w.start + w.length);
  if (hint) Hint(chunk);
  uint8_t* at = w.base + (from - w.start);
  if (!Resident(at, static_cast<size_t>(to - from))) {
    w.refused = chunk;
    return false;
  }
  if (::madvise(at, static_cast<size_t>(to - from), MADV_POPULATE_READ) != 0) {
    // A system without the request never maps; a chunk it could not read is
    // left to the ordinary reads, which report it.
    if (errno == EINVAL) usable_ = false;
    w.refused = chunk;
    return false;
  }
  if (!CheaperInPlace(at, static_cast<size_t>(to - from), from)) {
    usable_ = false;
    return false;
  }
  if (chunk == w.readyTo) ++w.readyTo;
  else w.readyFrom = chunk, w.readyTo = chunk + 1;
  return true;
}

// On most machines the first touch of a page of the page cache through a
// mapping costs a TLB fill, a small part of copying the page. Under a
// hypervisor that keeps shadow page tables each such touch leaves the guest:
// on one measured, a touch of every page of a megabyte took 0.4 ms where a
// copy of it took 0.15 ms, and a scan of a 1 GiB image of zeros spent 0.45 s
// of user time in its first read of each cluster. The first chunks made
// ready are timed both ways, the shortest of each kept so that a trial the
// system interrupted does not decide, and the cheaper way serves the rest.
// The touch is the scan's own first look at those pages, so it costs
// nothing twice.
bool MappedViews::CheaperInPlace(const uint8_t* at, size_t length, uint64_t offset) {
  if (choice_ != InPlaceReading::kTimed || trials_ >= kTrials) return true;
  // Written once, so that the copy's destination pages exist before any copy is timed.
  if (scratch_.empty()) scratch_.assign(kChunkBytes, 1);
  const size_t n = std::min<size_t>(length, scratch_.size());
  const int64_t start = Nanoseconds();
  unsigned sum = 0;
  for (size_t i = 0; i < n; i += kPageBytes) sum += at[i];
  const int64_t touched = Nanoseconds();
  const ssize_t got = ::pread(fd_, scratch_.data(), n, static_cast<off_t>(offset));
  const int64_t copied = Nanoseconds();
  scratch_[0] = static_cast<uint8_t>(scratch_[0] + sum);  // keeps the touches from being left out
  if (got != static_cast<ssize_t>(n)) return true;  // no copy to compare with: the reads report any failure
  touchBest_ = std::min(touchBest_, touched - start);
  copyBest_ = std::min(copyBest_, copied - touched);
  if (++trials_ < kTrials) return true;
  scratch_ = {};
  return touchBest_ <= copyBest_;
}

// Keeps the system fetching kHintAhead chunks past the one in use, twice as
// many at a time, so that the question comes every kHintAhead chunks.
void MappedViews::Hint(uint64_t chunk) {
  if (chunk + 1 + kHintAhead <= hintedEnd_) return;
  const uint64_t from = std::max(hintedEnd_, chunk + 1);
  const uint64_t to = chunk + 1 + 2 * kHintAhead;
  AdviseWillNeed(fd_, from * kChunkBytes, (to - from) * kChunkBytes);
  hintedEnd_ = to;
}

std::span<const uint8_t> MappedViews::View(uint64_t offset, size_t size, int holder) {
  if (!usable_ || faulted_.load() || holder < 0 || holder > 2 || size == 0 || offset > size_ || size > size_ - offset)
    return {};
  Window& w = windows_[static_cast<size_t>(holder)];
  if (!Cover(w, offset, size)) return {};
  for (uint64_t chunk = offset / kChunkBytes; chunk <= (offset + size - 1) / kChunkBytes; ++chunk)
    if (!Ready(w, chunk, holder != 2)) return {};
  const uint64_t end = offset + size - w.start;
  // A scan reads on from here; the processor's own prefetching stops at the
  // end of each page, so the next page's first lines are asked for while
  // this view is read. A prefetch never faults.
  if (holder == 0 && end + kPrefetchBytes <= std::min<uint64_t>(w.readyTo * kChunkBytes - w.start, w.length))
    for (uint64_t at = end; at < end + kPrefetchBytes; at += kLineBytes) __builtin_prefetch(w.base + at);
  return {w.base + (offset - w.start), size};
}

}  // namespace vellum::platform
