#include "app/read_damage_notes.h"

#include <algorithm>

namespace vellum::app {

std::vector<std::string> ReadDamageNotes(const volume::ScanState& state) {
  std::vector<std::string> notes;
  const volume::ReadDamage& d = state.readDamage;
  for (const volume::ReadDamage::Folder& f : d.folders)
    notes.push_back(f.path + " のフォルダの一部 (" + volume::DamageSizeText(f.bytes) + ") を読めませんでした。");
  const uint64_t lost = volume::UnreadableBytes(d);
  if (lost > 0) {
    const uint64_t sector = std::max<uint64_t>(state.bytesPerSector, 1);
    notes.push_back("読めなかったのは " + std::to_string((lost + sector - 1) / sector) + " セクタ (" +
                    volume::DamageSizeText(lost) + ") で、そこは 0 として読みました。");
  }
  if (d.skips > 0)
    notes.push_back("読めないセクタが続いたため、" + std::to_string(d.skips) + " 回先へ飛ばし、" +
                    volume::DamageSizeText(d.skippedBytes) + " を読まずに進みました。");
  return notes;
}

}  // namespace vellum::app
