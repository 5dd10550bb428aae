// The raw volume as the walkers see it: positional reads and writes at 64-bit
// byte offsets. Adapters provide it over a device or image file (posix/), over
// memory (tests, fuzzing) or over a window of another device (one partition of
// a whole-disk image).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vellum::platform {

class BlockDevice {
 public:
  virtual ~BlockDevice() = default;

  // Reads out.size() bytes at `offset`. A read that cannot be completed (past
  // the end, an I/O error) returns false; the bytes it could not read are zero.
  virtual bool Read(uint64_t offset, std::span<uint8_t> out) = 0;
  // Writes data at `offset`; false on a read-only device or any failure.
  virtual bool Write(uint64_t offset, std::span<const uint8_t> data) = 0;
  virtual uint64_t Size() const = 0;
  // The logical sector size the system reports for the device (512 for files).
  virtual uint32_t SectorSize() const = 0;
  virtual bool Writable() const = 0;
  // The system's text for the last failed transfer, empty when none failed.
  virtual std::string LastError() const { return {}; }
  // A hint that [offset, offset + length) will be read soon: the system may
  // start fetching it from the disk while the caller works. Changes nothing
  // any read returns.
  virtual void WillRead(uint64_t /*offset*/, uint64_t /*length*/) {}
  // The bytes at [offset, offset + size) in place, when the device holds them
  // in memory; empty otherwise (read them instead). Each `holder` (0 to 2) has
  // one view at a time, valid until that holder's next call.
  virtual std::span<const uint8_t> View(uint64_t /*offset*/, size_t /*size*/, int /*holder*/) { return {}; }
  // The first stretch [first, second) at or after `offset` that may hold
  // bytes other than zeros: the holes of a sparse image file read as zeros
  // and need not be read. {Size(), Size()} when only a hole follows; a device
  // that cannot tell has no holes. Changes nothing any read returns.
  virtual std::pair<uint64_t, uint64_t> DataExtentFrom(uint64_t offset) { return {offset, std::max(offset, Size())}; }
  // Every file the device reads its bytes from, as it opened them: the
  // segments of an evidence set, the parents of a differencing disk, the
  // pieces of a split image. Empty for a device that is just the path it was
  // opened from. Whoever writes anything must keep clear of all of them.
  virtual std::vector<std::string> BackingFiles() const { return {}; }
};

// A device held in memory. Used by tests and fuzz targets, which must never
// need a file. With a size larger than its bytes it stands for the start of a
// larger disk whose rest reads as zeros.
class MemoryBlockDevice : public BlockDevice {
 public:
  explicit MemoryBlockDevice(std::vector<uint8_t> bytes, bool writable = false,
                             uint32_t sectorSize = 512, uint64_t size = 0);
  bool Read(uint64_t offset, std::span<uint8_t> out) override;
  bool Write(uint64_t offset, std::span<const uint8_t> data) override;
  uint64_t Size() const override { return size_; }
  uint32_t SectorSize() const override { return sectorSize_; }
  bool Writable() const override { return writable_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t size_;
  bool writable_;
  uint32_t sectorSize_;
};

// A window [start, start + length) of another device, addressed from 0: one
// partition of a whole-disk image. The window never reaches outside itself.
class OffsetWindow : public BlockDevice {
 public:
  OffsetWindow(std::shared_ptr<BlockDevice> base, uint64_t start, uint64_t length);
  bool Read(uint64_t offset, std::span<uint8_t> out) override;
  bool Write(uint64_t offset, std::span<const uint8_t> data) override;
  uint64_t Size() const override { return length_; }
  uint32_t SectorSize() const override { return base_->SectorSize(); }
  bool Writable() const override { return base_->Writable(); }
  std::string LastError() const override { return base_->LastError(); }
  void WillRead(uint64_t offset, uint64_t length) override;
  std::span<const uint8_t> View(uint64_t offset, size_t size, int holder) override;
  std::pair<uint64_t, uint64_t> DataExtentFrom(uint64_t offset) override;
  std::vector<std::string> BackingFiles() const override { return base_->BackingFiles(); }

 private:
  std::shared_ptr<BlockDevice> base_;
  uint64_t start_;
  uint64_t length_;
};

}  // namespace vellum::platform
