// Read-ahead for scans that walk a device cluster by cluster: reads are
// served from a few large blocks kept in memory, so a scan costs one large
// transfer per megabyte instead of one small one per cluster, and the clusters
// a size analysis has just read ahead are not fetched again when the scan
// reaches them. The bytes returned are exactly those a direct read returns.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_set>

#include "platform/block_device.h"

namespace vellum::platform {

class ReadAheadDevice : public BlockDevice {
 public:
  static constexpr uint64_t kBlockBytes = 1 << 20;
  static constexpr size_t kBlocks = 16;
  // How many blocks past the last one read the device is at least asked to
  // fetch while the scan works (a hint; nothing waits for it).
  static constexpr uint64_t kHintAhead = 8;

  explicit ReadAheadDevice(std::unique_ptr<BlockDevice> inner);
  bool Read(uint64_t offset, std::span<uint8_t> out) override;
  // Writes go straight through and forget every block held.
  bool Write(uint64_t offset, std::span<const uint8_t> data) override;
  uint64_t Size() const override { return inner_->Size(); }
  uint32_t SectorSize() const override { return inner_->SectorSize(); }
  bool Writable() const override { return inner_->Writable(); }
  std::string LastError() const override { return inner_->LastError(); }
  std::unique_ptr<BlockDevice> Release() { return std::move(inner_); }
  // In place when the bytes lie whole inside one block the device gave whole.
  // A holder's block is not evicted until its next call. Holder 0 is the scan,
  // which moves forward: the blocks it has left behind are reused first.
  std::span<const uint8_t> View(uint64_t offset, size_t size, int holder) override;
  std::pair<uint64_t, uint64_t> DataExtentFrom(uint64_t offset) override { return inner_->DataExtentFrom(offset); }

 private:
  struct FreeBytes {
    void operator()(uint8_t* p) const;
  };
  struct Block {
    uint64_t index = UINT64_MAX;  // block number; UINT64_MAX when empty
    uint64_t lastUse = 0;
    // Allocated on first use, page-aligned and never zero-filled: only the
    // `size` bytes the device gave are ever read.
    std::unique_ptr<uint8_t[], FreeBytes> bytes;
    size_t size = 0;
    std::span<const uint8_t> Bytes() const { return {bytes.get(), size}; }
  };

  // The block with this number, read whole if needed; nullptr when the
  // device could not give all of it (past its end, or an error).
  const Block* Load(uint64_t index);
  Block& Victim();
  bool CopyFromBlocks(uint64_t offset, std::span<uint8_t> out);

  std::unique_ptr<BlockDevice> inner_;
  std::vector<Block> blocks_;
  // Blocks the device failed to give whole: on a failing disk each block is
  // tried once, then only the ranges asked for are read.
  std::unordered_set<uint64_t> failed_;
  uint64_t clock_ = 0;
  uint64_t hintedEnd_ = 0;  // blocks below this one were hinted
  std::array<uint64_t, 2> pinned_{UINT64_MAX, UINT64_MAX};  // each holder's block
  uint64_t scanBlock_ = 0;  // the block of holder 0's latest view
};

}  // namespace vellum::platform
