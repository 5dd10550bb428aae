// A ScanState over a volume held in memory, for tests of the table accessors.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/block_device.h"
#include "volume/scan_state.h"

namespace vellum::testing {

inline void AttachMemoryVolume(volume::ScanState& state, std::vector<uint8_t> bytes,
                               bool writable = false) {
  state.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::move(bytes), writable);
}

// A device that remembers where it was asked to read, for offsets no test
// could allocate.
class RecordingDevice : public platform::BlockDevice {
 public:
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    lastOffset = offset;
    lastLength = out.size();
    return true;
  }
  bool Write(uint64_t offset, std::span<const uint8_t> data) override {
    lastOffset = offset;
    lastLength = data.size();
    return true;
  }
  uint64_t Size() const override { return UINT64_MAX; }
  uint32_t SectorSize() const override { return 512; }
  bool Writable() const override { return true; }

  uint64_t lastOffset = 0;
  uint64_t lastLength = 0;
};

}  // namespace vellum::testing
