// A small volume in memory on which lost files are laid out cluster by cluster
// for content analysis: FAT32-like (cluster 2 at byte 0) or NTFS-like (cluster
// 0 at byte 0), every cluster free until marked used.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/block_device.h"
#include "platform/crc32.h"
#include "support/recording_rows.h"
#include "support/run_command.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::testing {

// Counts the reads it serves, so a test can tell which clusters were read.
class CountingDevice : public platform::MemoryBlockDevice {
 public:
  using MemoryBlockDevice::MemoryBlockDevice;
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    ++reads;
    readOffsets.push_back(offset);
    return MemoryBlockDevice::Read(offset, out);
  }
  uint64_t reads = 0;
  std::vector<uint64_t> readOffsets;
};

class ContentVolume {
 public:
  ContentVolume(uint8_t fsKind, uint32_t clusterBytes, uint64_t clusters)
      : image_(clusters * clusterBytes, 0) {
    state.fsKind = fsKind;
    state.bytesPerSector = 512;
    state.sectorsPerCluster = clusterBytes / 512;
    state.clusterBytes = clusterBytes;
    state.dataAreaBytes = clusters * clusterBytes;
    state.rootPath = "mem.img:/";
    state.rows = &rows;
    if (fsKind == volume::kNtfs) {
      firstCluster_ = 0;
      state.lastCluster = clusters - 1;
      state.clusterBitmap.assign((clusters + 7) / 8, 0);
    } else {
      firstCluster_ = 2;
      state.firstDataSector = 0;
      state.lastCluster = clusters + 1;
      state.fat.assign((state.lastCluster + 1) * 4, 0);
      PutLe32(state.fat, 0, 0x0FFFFFF8);
      PutLe32(state.fat, 4, 0x0FFFFFFF);
    }
  }

  uint64_t ClusterOffset(uint64_t cluster) const { return (cluster - firstCluster_) * state.clusterBytes; }

  // Writes bytes from the start of `cluster` on, into consecutive clusters.
  void Put(uint64_t cluster, ByteView bytes) { PutAt(ClusterOffset(cluster), bytes); }
  void PutAt(uint64_t offset, ByteView bytes) {
    std::copy(bytes.begin(), bytes.end(), image_.begin() + static_cast<ptrdiff_t>(offset));
  }

  // Writes the file into the given clusters in order, one cluster's worth each.
  void PutScattered(const std::vector<uint64_t>& clusters, ByteView bytes) {
    for (size_t i = 0; i < clusters.size() && i * state.clusterBytes < bytes.size(); ++i)
      Put(clusters[i], bytes.subspan(i * state.clusterBytes,
                                     std::min<size_t>(state.clusterBytes, bytes.size() - i * state.clusterBytes)));
  }

  void MarkUsed(uint64_t cluster) {
    if (state.fsKind == volume::kNtfs)
      state.clusterBitmap[cluster / 8] |= static_cast<uint8_t>(1 << (cluster % 8));
    else
      PutLe32(state.fat, cluster * 4, 0x0FFFFFFF);
  }

  // Attaches the image as it is now; returns the device to count its reads.
  CountingDevice& Attach() {
    auto device = std::make_unique<CountingDevice>(image_);
    CountingDevice& ref = *device;
    state.volumeHandle = std::move(device);
    return ref;
  }

  std::vector<uint8_t> Cluster(uint64_t cluster) const {
    const auto at = image_.begin() + static_cast<ptrdiff_t>(ClusterOffset(cluster));
    return std::vector<uint8_t>(at, at + state.clusterBytes);
  }

  volume::ScanState state;
  RecordingRows rows;

 private:
  std::vector<uint8_t> image_;
  uint64_t firstCluster_;
};

inline void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// A PNG chunk: the big-endian length, the type, the data and their CRC
// (made wrong on request).
inline std::vector<uint8_t> PngChunk(const char* type, const std::vector<uint8_t>& data, bool rightCrc = true) {
  std::vector<uint8_t> b(4);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(data.size() >> (24 - 8 * i));
  std::vector<uint8_t> typed(type, type + 4);
  Append(typed, data);
  Append(b, typed);
  uint32_t crc = platform::Crc32(0, typed.data(), typed.size());
  if (!rightCrc) crc ^= 1;
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  return b;
}

// A sample file of tests/data/content/, decompressed when it is stored as .xz.
inline std::vector<uint8_t> ReadSample(const std::string& name) {
  const std::string path = std::string(VELLUM_TEST_DATA) + "/content/" + name;
  std::ifstream in(path, std::ios::binary);
  if (in) return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string text = RunCommand("xz -dc '" + path + ".xz'");
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace vellum::testing
