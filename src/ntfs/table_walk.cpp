#include "ntfs/table_walk.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/mft_reader.h"

namespace vellum::ntfs {

namespace {

// Rows go over a batch at a time. A batch also goes after so many records
// read, so that the progress moves on where nothing is listed. Each side
// that runs out sleeps until the other has done several batches' work, not
// one: a wake-up costs about as much as listing a few dozen rows (batches
// of 256 rows, each waking the lister, took 7 per cent longer).
constexpr size_t kBatchRows = 1024;
constexpr uint32_t kBatchRecords = 1024;
constexpr size_t kMaxWaitingBatches = 8;
constexpr size_t kWakeBatches = 2;
// On a slow disk the lister, which runs the window, does not wait longer
// than this for a batch without letting the window answer its user.
constexpr std::chrono::milliseconds kPumpInterval{30};

struct Batch {
  Batch() { rows.reserve(kBatchRows); }
  std::vector<NtfsRow> rows;
  uint32_t lastRecord = 0;  // the records up to this one were read
};

class BatchQueue {
 public:
  // False when the lister wants no more.
  bool Put(Batch batch) {
    std::unique_lock lock(mutex_);
    if (batches_.size() >= kMaxWaitingBatches)
      hasRoom_.wait(lock, [&] { return stopped_ || batches_.size() <= kMaxWaitingBatches - kWakeBatches; });
    if (stopped_) return false;
    batches_.push_back(std::move(batch));
    if (batches_.size() == kWakeBatches) hasBatches_.notify_one();
    return true;
  }
  enum class Taken { kBatch, kNotYet, kEnded };
  // The next batch into `out`, waiting at most `patience` for one.
  Taken Take(Batch& out, std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    if (batches_.empty())
      hasBatches_.wait_for(lock, patience, [&] { return finished_ || batches_.size() >= kWakeBatches; });
    if (batches_.empty()) return finished_ ? Taken::kEnded : Taken::kNotYet;
    out = std::move(batches_.front());
    batches_.pop_front();
    if (batches_.size() == kMaxWaitingBatches - kWakeBatches) hasRoom_.notify_one();
    return Taken::kBatch;
  }
  // The helper's last word, with what it failed with, if anything.
  void Finish(std::exception_ptr failure) {
    std::lock_guard lock(mutex_);
    finished_ = true;
    failure_ = std::move(failure);
    hasBatches_.notify_all();
  }
  // The lister's: the helper stops at its next record.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    hasRoom_.notify_all();
  }
  bool StopAsked() const { return stopped_; }
  std::exception_ptr Failure() {
    std::lock_guard lock(mutex_);
    return failure_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable hasBatches_;
  std::condition_variable hasRoom_;
  std::deque<Batch> batches_;
  bool finished_ = false;
  std::atomic<bool> stopped_{false};  // read by the helper without the lock too
  std::exception_ptr failure_;
};

// Every free record read and its row prepared, handed on a batch at a time
// to `handOn`, which says whether more are wanted; `stopped` is asked before
// each record.
template <typename HandOn, typename Stopped>
void PrepareBatches(ScanState& state, const MftLayout& layout, NtfsRowCache& cache, HandOn handOn,
                    Stopped stopped) {
  std::vector<uint8_t> record(state.mftRecordSize);
  MftRecordReader reader(state);
  Batch batch;
  uint32_t read = 0;
  for (uint32_t n = 0; n < layout.recordCount && !stopped(); ++n) {
    if (layout.Allocated(n)) continue;
    if (reader.Read(n, record) && (RecordFlags(record) & kRecordInUse) == 0)
      PrepareNtfsRows(state, {n}, record, cache, batch.rows);
    batch.lastRecord = n;
    if (batch.rows.size() < kBatchRows && ++read < kBatchRecords) continue;
    if (!handOn(std::exchange(batch, Batch{}))) return;
    read = 0;
  }
  if (read > 0 || !batch.rows.empty()) handOn(std::move(batch));
}

// The helper's half: the batches go to the lister, until it wants no more.
void PrepareRows(ScanState& state, const MftLayout& layout, NtfsRowCache& cache, BatchQueue& queue) {
  try {
    PrepareBatches(
        state, layout, cache, [&](Batch batch) { return queue.Put(std::move(batch)); },
        [&] { return queue.StopAsked(); });
    queue.Finish(nullptr);
  } catch (...) {
    queue.Finish(std::current_exception());
  }
}

// Lists a batch's rows and tells the progress how far the walk is; false
// when the user cancelled.
bool ListBatch(ScanState& state, const Batch& batch, Progress* progress) {
  for (const NtfsRow& row : batch.rows) ListNtfsRow(state, row);
  return !progress || progress->Update(batch.lastRecord);
}

// The lister's half, asking the progress after each batch, and whether the
// user cancelled while it waits for one. True when they did.
bool ListRows(ScanState& state, BatchQueue& queue, Progress* progress) {
  for (Batch batch;;) {
    switch (queue.Take(batch, kPumpInterval)) {
      case BatchQueue::Taken::kEnded:
        return false;
      case BatchQueue::Taken::kNotYet:
        if (progress && progress->PumpAndCheckCancel()) return true;
        continue;
      case BatchQueue::Taken::kBatch:
        if (!ListBatch(state, batch, progress)) return true;
        continue;
    }
  }
}

// The helper is told to stop and waited for however the listing ends, before
// anything it reads goes away.
class Helper {
 public:
  Helper(ScanState& state, const MftLayout& layout, NtfsRowCache& cache, BatchQueue& queue)
      : queue_(queue), thread_(PrepareRows, std::ref(state), std::cref(layout), std::ref(cache), std::ref(queue)) {}
  ~Helper() {
    queue_.Stop();
    thread_.join();
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

 private:
  BatchQueue& queue_;
  std::thread thread_;
};

// Both halves on the calling thread, a batch after the other: where no
// thread can be started. True when the user cancelled.
bool WalkAlone(ScanState& state, const MftLayout& layout, NtfsRowCache& cache, Progress* progress) {
  bool cancelled = false;
  PrepareBatches(
      state, layout, cache,
      [&](const Batch& batch) {
        cancelled = !ListBatch(state, batch, progress);
        return !cancelled;
      },
      [] { return false; });
  return cancelled;
}

}  // namespace

bool WalkTableForSearch(ScanState& state, const MftLayout& layout, Progress* progress) {
  // Declared before the helper, so that they outlive it and every row naming
  // the cache's folder texts.
  NtfsRowCache cache;
  BatchQueue queue;
  std::optional<Helper> helper;
  try {
    helper.emplace(state, layout, cache, queue);
  } catch (const std::system_error&) {
    return WalkAlone(state, layout, cache, progress);  // no thread to be had
  }
  const bool cancelled = ListRows(state, queue, progress);
  helper.reset();
  if (const std::exception_ptr failure = queue.Failure()) std::rethrow_exception(failure);
  return cancelled;
}

}  // namespace vellum::ntfs
