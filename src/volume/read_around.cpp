#include "volume/read_around.h"

#include <algorithm>
#include <vector>

#include "volume/cancel.h"

namespace vellum::volume {

namespace {

class Rereader {
 public:
  Rereader(ScanState& state, uint64_t offset, MutableBytes out)
      : state_(state),
        d_(state.readDamage),
        offset_(offset),
        out_(out),
        sector_(std::max<uint64_t>(state.bytesPerSector, 1)),
        size_(state.volumeHandle->Size()) {}

  bool Run(bool triedWhole) {
    const uint64_t end = std::min(offset_ + out_.size(), size_);
    if (offset_ >= end) return false;
    // A read that ran past the device's end failed for that alone: the part
    // inside the device has not been tried by itself yet.
    if (triedWhole && offset_ + out_.size() <= size_)
      Failed({offset_, end});
    else
      todo_.push_back({offset_, end});
    while (!todo_.empty()) {
      const ByteRange p = todo_.back();
      todo_.pop_back();
      Try(p);
    }
    return whole_;
  }

 private:
  bool Skipping() const { return d_.nextSkip != 0; }
  MutableBytes Piece(ByteRange p) { return out_.subspan(p.first - offset_, p.end - p.first); }

  // The user's Cancel ends the retries: what is left is taken as unreadable.
  // Only the command's own thread asks the window.
  bool Cancelled() {
    if (std::this_thread::get_id() != d_.commandThread) return state_.cancelled != 0;
    return CancelRequested(state_);
  }

  void Lose(ByteRange p) {
    auto piece = Piece(p);
    std::fill(piece.begin(), piece.end(), uint8_t{0});
    AddUnreadable(d_, p.first, p.end);
    whole_ = false;
  }

  void EndRun() {
    d_.failedInRow = 0;
    d_.nextSkip = 0;
  }

  // The disk has failed long enough here: the next stretch is not tried.
  void StartSkip(uint64_t at) {
    d_.nextSkip = d_.nextSkip == 0 ? kFirstSkipBytes : std::min(d_.nextSkip * 2, kLargestSkipBytes);
    d_.skipStart = at;
    d_.skipEnd = std::min(size_, std::max((at + d_.nextSkip) / sector_ * sector_, at + sector_));
    ++d_.skips;
  }

  // A read of p failed: its halves are tried, down to one sector, which is
  // lost; in a run of failures the reader skips instead.
  void Failed(ByteRange p) {
    if (Skipping()) {
      StartSkip(p.first);
      todo_.push_back(p);
      return;
    }
    const uint64_t sectors = (p.end - p.first + sector_ - 1) / sector_;
    if (sectors <= 1) {
      Lose(p);
      if (++d_.failedInRow >= kFailedSectorsBeforeSkip) StartSkip(p.end);
      return;
    }
    const uint64_t middle = p.first + sectors / 2 * sector_;
    todo_.push_back({middle, p.end});
    todo_.push_back({p.first, middle});
  }

  void Try(ByteRange p) {
    if (InSkip(d_, p.first)) {
      // Inside the stretch being skipped: lost unread, the rest tried after.
      const uint64_t stop = std::min(p.end, d_.skipEnd);
      d_.skippedBytes += stop - p.first;
      Lose({p.first, stop});
      skipped_.push_back({p.first, stop});
      if (stop < p.end) todo_.push_back({stop, p.end});
      return;
    }
    if (Cancelled()) {
      Lose(p);
      return;
    }
    if (state_.volumeHandle->Read(p.first, Piece(p))) {
      EndRun();
      if (!skipped_.empty() && skipped_.back().end == p.first) TrimBack(skipped_.back());
      return;
    }
    Failed(p);
  }

  // The disk reads again right after a stretch skipped here: the skip may
  // have reached past the damage, so the stretch is read back from its end
  // in halving pieces until a sector fails. What reads is no loss after all.
  void TrimBack(ByteRange s) {
    uint64_t end = s.end;
    uint64_t length = std::max(sector_, (end - s.first) / 2 / sector_ * sector_);
    while (end > s.first && !Cancelled()) {
      length = std::min(length, end - s.first);
      const ByteRange piece{end - length, end};
      if (state_.volumeHandle->Read(piece.first, Piece(piece))) {
        RemoveUnreadable(d_, piece.first, piece.end);
        d_.skippedBytes -= std::min(d_.skippedBytes, length);
        end = piece.first;
        continue;
      }
      auto bytes = Piece(piece);
      std::fill(bytes.begin(), bytes.end(), uint8_t{0});
      if (length <= sector_) break;
      length = std::max(sector_, length / 2 / sector_ * sector_);
    }
    skipped_.pop_back();
  }

  ScanState& state_;
  ReadDamage& d_;
  const uint64_t offset_;
  const MutableBytes out_;
  const uint64_t sector_;
  const uint64_t size_;
  std::vector<ByteRange> todo_;
  std::vector<ByteRange> skipped_;  // stretches of this read lost to a skip
  bool whole_ = true;
};

}  // namespace

bool ReadAroundFailure(ScanState& state, uint64_t offset, MutableBytes out, bool triedWhole) {
  return Rereader(state, offset, out).Run(triedWhole);
}

}  // namespace vellum::volume
