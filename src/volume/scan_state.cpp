#include "volume/scan_state.h"

#include "volume/cancel.h"

namespace vellum::volume {

const char* FsKindName(uint8_t fsKind) {
  switch (fsKind) {
    case kFat12: return "FAT12";
    case kFat16: return "FAT16";
    case kFat32: return "FAT32";
    case kNtfs: return "NTFS";
    case kExfat: return "exFAT";
    default: return "none";
  }
}

namespace {

std::string Mebibytes(uint64_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

}  // namespace

void ScanState::StartRestoringFile(std::string_view name) {
  restoringName = name;
  restoringBytes = 0;
  if (progress) progress->SetFileName(name);
}

void ScanState::AddRestoredBytes(uint64_t bytes) {
  const uint64_t before = restoredBytes;
  restoredBytes += bytes;
  restoringBytes += bytes;
  if (!progress || (before >> 20) == (restoredBytes >> 20)) return;
  // Once a mebibyte: the bar when the whole is known, the Cancel button
  // either way, and the bytes of the file and of the restore beside its name.
  if (countRestoredBytes) CancelledAt(*this, restoredBytes, true);
  else CancelRequested(*this);
  std::string label = restoringName + "  " + Mebibytes(restoringBytes);
  if (restoringBytes != restoredBytes) label += "（全体 " + Mebibytes(restoredBytes) + "）";
  progress->SetFileName(label);
}

}  // namespace vellum::volume
