// A device that fails the way worn disks and flaky readers do, over a good
// one: reads touching chosen sectors fail with an I/O error or come back
// short, reads fail at random from a seed, and writes fail at chosen sectors.
// What a failed read could not read is zero, as every device leaves it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/block_device.h"

namespace vellum::testing {

class FaultyDevice : public platform::BlockDevice {
 public:
  enum class Fault {
    Error,  // the whole transfer fails (EIO)
    Short,  // the bytes before the bad sector arrive, then the transfer stops
  };

  explicit FaultyDevice(std::unique_ptr<platform::BlockDevice> base) : base_(std::move(base)) {}

  // Reads that touch sectors [first, first + count) of SectorSize() bytes.
  void FailReads(uint64_t first, uint64_t count, Fault fault = Fault::Error) {
    badReads_.push_back({first, first + count, fault});
  }
  // Each read fails with probability perMille / 1000, half of them short.
  void FailReadsAtRandom(uint32_t seed, uint32_t perMille) {
    random_.seed(seed);
    randomPerMille_ = perMille;
  }
  void FailWrites(uint64_t first, uint64_t count) { badWrites_.push_back({first, first + count, Fault::Error}); }

  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    ++reads;
    readOffsets.push_back(offset);
    const uint64_t sector = SectorSize();
    const uint64_t firstSector = offset / sector;
    const uint64_t endSector = (offset + out.size() + sector - 1) / sector;
    const Range* bad = Overlapping(badReads_, firstSector, endSector);
    Fault fault = bad ? bad->fault : Fault::Error;
    uint64_t badSector = bad ? std::max(bad->first, firstSector) : 0;
    if (!bad && randomPerMille_ != 0 && random_() % 1000 < randomPerMille_) {
      fault = random_() % 2 ? Fault::Short : Fault::Error;
      badSector = firstSector + random_() % std::max<uint64_t>(endSector - firstSector, 1);
      bad = &randomRange_;
    }
    if (!bad) return base_->Read(offset, out);
    ++failedReads;
    size_t good = 0;
    if (fault == Fault::Short) good = static_cast<size_t>(std::min<uint64_t>(out.size(), badSector * sector - std::min(badSector * sector, offset)));
    if (good > 0) base_->Read(offset, out.first(good));
    std::fill(out.begin() + static_cast<ptrdiff_t>(good), out.end(), uint8_t{0});
    lastError_ = "Input/output error";
    return false;
  }

  bool Write(uint64_t offset, std::span<const uint8_t> data) override {
    ++writes;
    const uint64_t sector = SectorSize();
    if (Overlapping(badWrites_, offset / sector, (offset + data.size() + sector - 1) / sector)) {
      ++failedWrites;
      lastError_ = "Input/output error";
      return false;
    }
    return base_->Write(offset, data);
  }

  uint64_t Size() const override { return base_->Size(); }
  uint32_t SectorSize() const override { return std::max<uint32_t>(base_->SectorSize(), 1); }
  bool Writable() const override { return base_->Writable(); }
  std::string LastError() const override { return lastError_; }
  // No views: every byte goes through Read, where the faults are.

  uint64_t reads = 0, failedReads = 0, writes = 0, failedWrites = 0;
  std::vector<uint64_t> readOffsets;  // of every read, in order

 private:
  struct Range {
    uint64_t first, end;
    Fault fault;
  };
  static const Range* Overlapping(const std::vector<Range>& ranges, uint64_t first, uint64_t end) {
    for (const Range& r : ranges)
      if (r.first < end && first < r.end) return &r;
    return nullptr;
  }

  std::unique_ptr<platform::BlockDevice> base_;
  std::vector<Range> badReads_, badWrites_;
  std::mt19937 random_;
  uint32_t randomPerMille_ = 0;
  Range randomRange_{0, 0, Fault::Error};
  std::string lastError_;
};

}  // namespace vellum::testing
