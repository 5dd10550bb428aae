#include "platform/images/qcow_zero_clusters.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace vellum::platform {

namespace {

constexpr uint64_t kL2OffsetMask = 0x00FFFFFFFFFFFE00ull;  // bits 9-55
constexpr uint64_t kCompressed = 1ull << 62;
constexpr uint64_t kZeroFlag = 1;
// One byte per guest cluster is kept while the map is built: 64 MiB at most
// (4 TiB of 64 KiB clusters). Clusters past it are left to the library.
constexpr uint64_t kMaxClusters = 1ull << 26;

enum class Mapping : uint8_t { Unmapped, Zero, Data };

uint64_t Be(const uint8_t* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

class File {
 public:
  explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool Read(uint64_t offset, std::vector<uint8_t>& out) const {
    if (fd_ < 0 || offset > static_cast<uint64_t>(INT64_MAX)) return false;
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

// How one file maps each guest cluster; false on a damaged table.
bool ReadMappings(const std::string& path, uint64_t mediaSize, uint64_t& clusterBytes, std::vector<Mapping>& out,
                  std::string& why) {
  File file(path);
  std::vector<uint8_t> header(104);
  if (!file.Read(0, header)) return why = path + ": the qcow header cannot be read", false;
  const uint64_t version = Be(&header[4], 4);
  const uint64_t bits = Be(&header[20], 4);
  if (bits < 9 || bits > 21) return why = path + ": the header gives a cluster size of 2^" + std::to_string(bits), false;
  clusterBytes = 1ull << bits;
  const uint64_t clusters = std::min(kMaxClusters, mediaSize / clusterBytes + 1);
  out.assign(clusters, Mapping::Unmapped);
  if (version < 3) {
    // Versions 1 and 2 have no zero flag; only whether a cluster is mapped
    // matters, and the library gets that right. Treat all as data so a child
    // of this file sees them as decided by the library.
    std::fill(out.begin(), out.end(), Mapping::Data);
    return true;
  }
  const uint64_t l1Size = Be(&header[36], 4), l1Offset = Be(&header[40], 8);
  const uint64_t l2Entries = clusterBytes / 8;
  if (l1Size > clusters / l2Entries + 1) return why = path + ": its L1 table is larger than the disk needs", false;
  std::vector<uint8_t> l1(l1Size * 8), l2(clusterBytes);
  if (!file.Read(l1Offset, l1)) return why = path + ": its L1 table lies outside the file", false;
  for (uint64_t i = 0; i < l1Size; ++i) {
    const uint64_t l2Offset = Be(&l1[i * 8], 8) & kL2OffsetMask;
    if (l2Offset == 0) continue;
    if (!file.Read(l2Offset, l2)) return why = path + ": an L2 table lies outside the file", false;
    for (uint64_t j = 0; j < l2Entries && i * l2Entries + j < clusters; ++j) {
      const uint64_t entry = Be(&l2[j * 8], 8);
      Mapping& m = out[i * l2Entries + j];
      if (!(entry & kCompressed) && (entry & kZeroFlag)) m = Mapping::Zero;
      else if (entry & ~(1ull << 63)) m = Mapping::Data;
    }
  }
  return true;
}

class ZeroClusterDevice : public BlockDevice {
 public:
  ZeroClusterDevice(std::unique_ptr<BlockDevice> inner, QcowZeroMap map) : inner_(std::move(inner)), map_(std::move(map)) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    const bool ok = inner_->Read(offset, out);
    const uint64_t cb = map_.clusterBytes;
    for (uint64_t at = offset; at - offset < out.size();) {
      const uint64_t cluster = at / cb, end = std::min<uint64_t>((cluster + 1) * cb - offset, out.size());
      if (cluster < map_.zero.size() && map_.zero[cluster])
        std::fill(out.begin() + static_cast<ptrdiff_t>(at - offset), out.begin() + static_cast<ptrdiff_t>(end), uint8_t{0});
      at = offset + end;
    }
    return ok;
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return inner_->Size(); }
  uint32_t SectorSize() const override { return inner_->SectorSize(); }
  bool Writable() const override { return false; }
  std::string LastError() const override { return inner_->LastError(); }
  std::vector<std::string> BackingFiles() const override { return inner_->BackingFiles(); }

 private:
  std::unique_ptr<BlockDevice> inner_;
  QcowZeroMap map_;
};

}  // namespace

bool FindQcowZeroClusters(const std::vector<std::string>& chain, uint64_t mediaSize, QcowZeroMap& map,
                          std::string& why) {
  map = {};
  std::vector<Mapping> decided;
  for (const std::string& path : chain) {
    uint64_t bytes = 0;
    std::vector<Mapping> own;
    if (!ReadMappings(path, mediaSize, bytes, own, why)) return false;
    if (map.clusterBytes == 0) {
      map.clusterBytes = bytes;
      decided = std::move(own);
      continue;
    }
    if (bytes != map.clusterBytes) break;  // another cluster size: its flags are left to the library
    for (size_t i = 0; i < decided.size() && i < own.size(); ++i)
      if (decided[i] == Mapping::Unmapped) decided[i] = own[i];
  }
  map.zero.assign(decided.size(), false);
  bool any = false;
  for (size_t i = 0; i < decided.size(); ++i) any |= map.zero[i] = decided[i] == Mapping::Zero;
  if (!any) map.zero.clear();
  return true;
}

std::unique_ptr<BlockDevice> WithZeroClusters(std::unique_ptr<BlockDevice> inner, QcowZeroMap map) {
  if (map.zero.empty()) return inner;
  return std::make_unique<ZeroClusterDevice>(std::move(inner), std::move(map));
}

}  // namespace vellum::platform
