// Small NTFS structures built by hand for the record, attribute and run tests:
// file records with resident and non-resident attributes, run lists, and a
// volume in memory whose master file table lives where its runs say.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/block_device.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::testing {

// (length, LCN delta) pairs; a delta of 0 is written without offset bytes (sparse).
inline std::vector<uint8_t> EncodeRuns(const std::vector<std::pair<uint64_t, int64_t>>& runs) {
  std::vector<uint8_t> out;
  for (const auto& [length, delta] : runs) {
    std::vector<uint8_t> l, o;
    for (uint64_t v = length; v != 0 || l.empty(); v >>= 8) l.push_back(static_cast<uint8_t>(v));
    if (delta != 0) {
      int64_t v = delta;
      do {
        o.push_back(static_cast<uint8_t>(v));
        v >>= 8;
      } while (!((v == 0 && !(o.back() & 0x80)) || (v == -1 && (o.back() & 0x80))));
    }
    out.push_back(static_cast<uint8_t>(l.size() | (o.size() << 4)));
    out.insert(out.end(), l.begin(), l.end());
    out.insert(out.end(), o.begin(), o.end());
  }
  out.push_back(0);
  return out;
}

class RecordBuilder {
 public:
  explicit RecordBuilder(uint32_t size = 1024, uint16_t usaEntries = 3, uint16_t flags = 1)
      : bytes_(size, 0), usaEntries_(usaEntries) {
    for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<uint8_t>("FILE"[i]);
    PutLe16(bytes_, 4, kUsaOffset);
    PutLe16(bytes_, 6, usaEntries);
    PutLe16(bytes_, 22, flags);
    at_ = (kUsaOffset + 2u * usaEntries + 7) & ~7u;
    PutLe16(bytes_, 20, static_cast<uint16_t>(at_));
  }

  RecordBuilder& Number(uint32_t n) { return PutLe32(bytes_, 44, n), *this; }

  RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value, std::u16string name = u"") {
    std::vector<uint8_t> a(24);
    const uint32_t valueOffset = Align(24 + 2 * name.size());
    a.resize(valueOffset);
    PutName(a, name, 24);
    PutLe32(a, 16, static_cast<uint32_t>(value.size()));
    PutLe16(a, 20, static_cast<uint16_t>(valueOffset));
    a.insert(a.end(), value.begin(), value.end());
    return Attribute(type, false, a);
  }

  RecordBuilder& NonResident(uint32_t type, uint64_t firstVcn, uint64_t lastVcn,
                             const std::vector<uint8_t>& runs, uint64_t allocated, uint64_t dataSize,
                             uint64_t initialized, uint16_t flags = 0, uint16_t unit = 0) {
    std::vector<uint8_t> a(64);
    PutLe16(a, 12, flags);
    PutLe64(a, 16, firstVcn);
    PutLe64(a, 24, lastVcn);
    PutLe16(a, 32, 64);
    PutLe16(a, 34, unit);
    PutLe64(a, 40, allocated);
    PutLe64(a, 48, dataSize);
    PutLe64(a, 56, initialized);
    a.insert(a.end(), runs.begin(), runs.end());
    return Attribute(type, true, a);
  }

  RecordBuilder& FileName(uint64_t parent, uint8_t nameSpace, const std::u16string& name) {
    std::vector<uint8_t> v(66 + 2 * name.size());
    PutLe64(v, 0, parent);
    v[64] = static_cast<uint8_t>(name.size());
    v[65] = nameSpace;
    for (size_t i = 0; i < name.size(); ++i) PutLe16(v, 66 + 2 * i, name[i]);
    return Resident(48, v);
  }

  // An attribute list entry: type, first VCN, the record holding it.
  static void ListEntry(std::vector<uint8_t>& list, uint32_t type, uint64_t firstVcn, uint32_t record) {
    const size_t at = list.size();
    list.resize(at + 32);
    PutLe32(list, at, type);
    PutLe16(list, at + 4, 32);
    PutLe64(list, at + 8, firstVcn);
    PutLe64(list, at + 16, record | (uint64_t{1} << 48));
  }

  // Raw bytes as the next attribute, for damaged layouts.
  RecordBuilder& Raw(const std::vector<uint8_t>& bytes) {
    if (at_ + bytes.size() + 8 > bytes_.size()) std::abort();  // a test that overfills its record
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + at_);
    at_ += static_cast<uint32_t>(bytes.size());
    return *this;
  }

  // The record as it lies on disk: with the end marker and, when protect is
  // set, each sector's last two bytes moved into the update sequence array.
  std::vector<uint8_t> Build(uint32_t bytesPerSector = 512, bool protect = true) const {
    std::vector<uint8_t> r = bytes_;
    PutLe32(r, at_, 0xFFFFFFFF);
    if (!protect || usaEntries_ < 2) return r;
    PutLe16(r, kUsaOffset, kUsn);
    for (uint32_t i = 1; i < usaEntries_ && i * bytesPerSector <= r.size(); ++i) {
      const size_t end = i * bytesPerSector - 2;
      PutLe16(r, kUsaOffset + 2 * i, Le16(r, end));
      PutLe16(r, end, kUsn);
    }
    return r;
  }
  std::vector<uint8_t> Unprotected() const { return Build(512, false); }
  // What a reader holds after fixups: the sector ends put back, the array as on disk.
  std::vector<uint8_t> AfterFixups(uint32_t bytesPerSector = 512) const {
    std::vector<uint8_t> r = Build(bytesPerSector);
    const std::vector<uint8_t> plain = Build(bytesPerSector, false);
    for (uint32_t i = 1; i < usaEntries_ && i * bytesPerSector <= r.size(); ++i)
      PutLe16(r, i * bytesPerSector - 2, Le16(plain, i * bytesPerSector - 2));
    return r;
  }

 private:
  static constexpr uint16_t kUsaOffset = 48;
  static constexpr uint16_t kUsn = 0x4242;

  static uint32_t Align(size_t n) { return static_cast<uint32_t>((n + 7) & ~size_t{7}); }
  static void PutLe64(MutableBytes b, size_t at, uint64_t v) {
    PutLe32(b, at, static_cast<uint32_t>(v));
    PutLe32(b, at + 4, static_cast<uint32_t>(v >> 32));
  }
  static void PutName(std::vector<uint8_t>& a, const std::u16string& name, size_t at) {
    a[9] = static_cast<uint8_t>(name.size());
    PutLe16(a, 10, static_cast<uint16_t>(at));
    for (size_t i = 0; i < name.size(); ++i) PutLe16(a, at + 2 * i, name[i]);
  }

  RecordBuilder& Attribute(uint32_t type, bool nonResident, std::vector<uint8_t> a) {
    a.resize(Align(a.size()));
    PutLe32(a, 0, type);
    PutLe32(a, 4, static_cast<uint32_t>(a.size()));
    a[8] = nonResident ? 1 : 0;
    return Raw(a);
  }

  std::vector<uint8_t> bytes_;
  uint16_t usaEntries_;
  uint32_t at_;
};

// Counts reads, so tests can tell a bounded walk from an endless one.
class CountingDevice : public platform::MemoryBlockDevice {
 public:
  using MemoryBlockDevice::MemoryBlockDevice;
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    ++reads;
    return MemoryBlockDevice::Read(offset, out);
  }
  uint64_t reads = 0;
};

// A volume in memory: `clusters` clusters with the given geometry; the
// master file table's data is mapped by mftRuns from mftRecord0.
struct NtfsTestVolume {
  NtfsTestVolume(uint16_t bytesPerSector, uint32_t sectorsPerCluster, uint32_t recordSize, uint64_t clusters)
      : bytes(clusters * bytesPerSector * sectorsPerCluster, 0) {
    state.fsKind = volume::kNtfs;
    state.bytesPerSector = bytesPerSector;
    state.sectorsPerCluster = sectorsPerCluster;
    state.clusterBytes = bytesPerSector * sectorsPerCluster;
    state.lastCluster = clusters - 1;
    state.mftRecordSize = recordSize;
  }

  // The master file table: its $DATA runs (as EncodeRuns pairs) over `clusters` clusters.
  void SetMft(const std::vector<std::pair<uint64_t, int64_t>>& runs, uint64_t clusters) {
    mftRuns.clear();
    int64_t lcn = 0;
    uint64_t vcn = 0;
    for (const auto& [length, delta] : runs) {
      lcn += delta;
      mftRuns.push_back({vcn, static_cast<uint64_t>(lcn), length});
      vcn += length;
    }
    const uint64_t size = clusters * state.clusterBytes;
    state.mftRecord0 = RecordBuilder(state.mftRecordSize)
                           .NonResident(128, 0, clusters - 1, EncodeRuns(runs), size, size, size)
                           .Build(state.bytesPerSector, false);
  }

  // Writes a record where the table's runs put record `number`.
  void PutRecord(uint32_t number, const std::vector<uint8_t>& record) {
    const uint64_t at = uint64_t{number} * state.mftRecordSize;
    for (uint64_t i = 0; i < record.size(); ++i) {
      const uint64_t vcn = (at + i) / state.clusterBytes;
      for (const auto& r : mftRuns)
        if (vcn >= r.vcn && vcn < r.vcn + r.length)
          bytes[(r.lcn + vcn - r.vcn) * state.clusterBytes + (at + i) % state.clusterBytes] = record[i];
    }
  }

  void PutCluster(uint64_t lcn, const std::vector<uint8_t>& data) {
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<ptrdiff_t>(lcn * state.clusterBytes));
  }

  // Hands the bytes to the state's device (again after every change).
  CountingDevice& Attach() {
    auto device = std::make_unique<CountingDevice>(bytes);
    CountingDevice& d = *device;
    state.volumeHandle = std::move(device);
    return d;
  }

  struct MftRun { uint64_t vcn, lcn, length; };
  volume::ScanState state;
  std::vector<uint8_t> bytes;
  std::vector<MftRun> mftRuns;
};

}  // namespace vellum::testing
