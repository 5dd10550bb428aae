// The volume a content-analysis fuzz target works on. The input's first four
// bytes choose the file system (FAT32, exFAT or NTFS), the cluster size (512
// to 8192 bytes) and a repeating pattern of clusters in use; the rest is the
// volume's data from its first cluster on, followed by a few clusters of
// zeros, so that every walk meets the volume's end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/block_device.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::fuzzing {

class CancellingProgress : public Progress {
 public:
  explicit CancellingProgress(uint32_t after) : after_(after) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t) override { return 1; }
  int PumpAndCheckCancel() override { return after_ != 0 && ++pumps_ >= after_ ? 1 : 0; }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}

 private:
  uint32_t after_;
  uint32_t pumps_ = 0;
};

struct FuzzVolume {
  volume::ScanState state;
  std::vector<uint8_t> firstCluster;
  uint64_t first = 0;  // number of the first cluster
  uint64_t clusters = 0;

  bool Build(const uint8_t* data, size_t size) {
    if (size < 5) return false;
    static const uint8_t kKinds[] = {volume::kFat32, volume::kExfat, volume::kNtfs};
    state.fsKind = kKinds[data[0] % 3];
    state.bytesPerSector = 512;
    state.sectorsPerCluster = 1u << (data[1] % 5);
    state.clusterBytes = 512 * state.sectorsPerCluster;
    const uint16_t usedMask = static_cast<uint16_t>(data[2] | (data[3] << 8));
    const ByteView body(data + 4, size - 4);
    clusters = body.size() / state.clusterBytes + 1 + 8;
    std::vector<uint8_t> image(clusters * state.clusterBytes, 0);
    std::copy(body.begin(), body.end(), image.begin());
    state.dataAreaBytes = image.size();
    if (state.fsKind == volume::kNtfs) {
      first = 0;
      state.lastCluster = clusters - 1;
      state.clusterBitmap.assign((clusters + 7) / 8, 0);
    } else {
      first = 2;
      state.lastCluster = clusters + 1;
      state.fat.assign((state.lastCluster + 1) * 4, 0);
    }
    // The first cluster keeps its own state from bit 0; the others follow the mask.
    for (uint64_t i = 0; i < clusters; ++i) {
      if (((usedMask >> (i % 16)) & 1) == 0) continue;
      const uint64_t c = first + i;
      if (state.fsKind == volume::kNtfs)
        state.clusterBitmap[c / 8] |= static_cast<uint8_t>(1 << (c % 8));
      else
        PutLe32(state.fat, c * 4, 0x0FFFFFFF);
    }
    firstCluster.assign(image.begin(), image.begin() + state.clusterBytes);
    state.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::move(image));
    state.rootPath = "fuzz:/";
    return true;
  }
};

}  // namespace vellum::fuzzing
