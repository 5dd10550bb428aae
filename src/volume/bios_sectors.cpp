#include "volume/bios_sectors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vellum::volume {

namespace {

// One piece of a transfer: where it starts on the unit and how many sectors.
struct Piece {
  uint64_t sector;
  uint32_t count;
};

// Walks a transfer of `count` sectors from `sector` in the pieces the BIOS
// takes, calling `move` for each with the piece and its place in the
// caller's buffer; stops early only when the geometry cannot be used.
template <typename Move>
void ForEachPiece(const ScanState& s, uint64_t sector, uint64_t count, Move move) {
  const uint32_t spt = platform::SectorsPerTrack(s.biosGeometry);
  const uint32_t most = MaxPerTransfer(s.bytesPerSector, spt);
  if (most == 0) return;
  uint64_t done = 0;
  while (count > 0) {
    uint64_t k = std::min<uint64_t>(count, most);
    if (!s.lbaSupported) {
      const uint64_t q = sector % spt;  // the sector's place in its track
      if (q + k > spt) k = spt - q;
    }
    move(Piece{sector, static_cast<uint32_t>(k)}, done);
    sector += k;
    count -= k;
    done += k;
  }
}

int Call(ScanState& s, uint8_t* bounce, bool write, const Piece& piece) {
  platform::DiskBios& bios = *s.bios;
  if (s.lbaSupported)
    return bios.i13x_io_sector(s.bytesPerSector, s.biosUnit, bounce,
                               write ? platform::kBiosExtendedWrite : platform::kBiosExtendedRead,
                               static_cast<uint32_t>(piece.sector), piece.count);
  const uint32_t spt = platform::SectorsPerTrack(s.biosGeometry);
  const uint64_t cylinderSectors = static_cast<uint64_t>(spt) * (platform::HighestHead(s.biosGeometry) + 1u);
  const uint64_t r = piece.sector % cylinderSectors;
  return bios.i13_io_sector(s.bytesPerSector, s.biosUnit, bounce, write ? platform::kBiosChsWrite : platform::kBiosChsRead,
                            static_cast<uint32_t>(r / spt), static_cast<uint32_t>(piece.sector / cylinderSectors),
                            static_cast<uint32_t>(r % spt + 1), piece.count);
}

// Whether the call can be made at all: a BIOS, a sector size, a geometry
// for CHS, and a caller's buffer large enough for the whole transfer.
bool Usable(const ScanState& s, size_t bufferBytes, uint64_t count) {
  if (!s.bios || s.bytesPerSector == 0) return false;
  if (platform::SectorsPerTrack(s.biosGeometry) == 0) return false;
  return count <= bufferBytes / s.bytesPerSector;
}

}  // namespace

uint32_t MaxPerTransfer(uint32_t bytesPerSector, uint32_t sectorsPerTrack) {
  if (bytesPerSector == 0) return 0;
  if (static_cast<uint64_t>(bytesPerSector) * sectorsPerTrack > 65535) return 65536 / bytesPerSector - 1;
  return sectorsPerTrack;
}

int BiosReadSectors(ScanState& s, MutableBytes buffer, uint64_t sector, uint64_t count) {
  if (!Usable(s, buffer.size(), count)) return 0;
  const uint32_t bps = s.bytesPerSector;
  std::vector<uint8_t> bounce(static_cast<size_t>(MaxPerTransfer(bps, platform::SectorsPerTrack(s.biosGeometry))) * bps);
  ForEachPiece(s, sector, count, [&](const Piece& piece, uint64_t done) {
    Call(s, bounce.data(), false, piece);
    std::memcpy(buffer.data() + done * bps, bounce.data(), static_cast<size_t>(piece.count) * bps);
  });
  return 0;
}

int BiosWriteSectors(ScanState& s, ByteView buffer, uint64_t sector, uint64_t count) {
  if (!Usable(s, buffer.size(), count)) return 0;
  const uint32_t bps = s.bytesPerSector;
  std::vector<uint8_t> bounce(static_cast<size_t>(MaxPerTransfer(bps, platform::SectorsPerTrack(s.biosGeometry))) * bps);
  ForEachPiece(s, sector, count, [&](const Piece& piece, uint64_t done) {
    std::memcpy(bounce.data(), buffer.data() + done * bps, static_cast<size_t>(piece.count) * bps);
    Call(s, bounce.data(), true, piece);
  });
  return 0;
}

}  // namespace vellum::volume
