// A device over a rescued image whose mapfile names the areas the rescue
// did not read: reads touching them fail, with those bytes zero, as reads
// of the failing disk itself would; everything else passes through, in
// place where the image allows.
#pragma once

#include <memory>
#include <vector>

#include "platform/block_device.h"
#include "volume/read_damage.h"

namespace vellum::volume {

class UnreadableAreasDevice : public platform::BlockDevice {
 public:
  // `areas` in the device's own byte offsets, sorted and apart.
  UnreadableAreasDevice(std::unique_ptr<platform::BlockDevice> base, std::vector<ByteRange> areas);
  bool Read(uint64_t offset, std::span<uint8_t> out) override;
  bool Write(uint64_t offset, std::span<const uint8_t> data) override { return base_->Write(offset, data); }
  uint64_t Size() const override { return base_->Size(); }
  uint32_t SectorSize() const override { return base_->SectorSize(); }
  bool Writable() const override { return base_->Writable(); }
  std::string LastError() const override;
  void WillRead(uint64_t offset, uint64_t length) override { base_->WillRead(offset, length); }
  std::span<const uint8_t> View(uint64_t offset, size_t size, int holder) override;
  std::pair<uint64_t, uint64_t> DataExtentFrom(uint64_t offset) override { return base_->DataExtentFrom(offset); }
  std::vector<std::string> BackingFiles() const override { return base_->BackingFiles(); }
  const std::vector<ByteRange>& Areas() const { return areas_; }

 private:
  std::unique_ptr<platform::BlockDevice> base_;
  std::vector<ByteRange> areas_;
  bool mapFailed_ = false;
};

// The areas of a whole image that fall inside a window [start, start + length)
// of it, addressed from the window's start.
std::vector<ByteRange> AreasInWindow(const std::vector<ByteRange>& areas, uint64_t start, uint64_t length);

}  // namespace vellum::volume
