#include "cli/drives_command.h"

#include <algorithm>
#include <cerrno>
#include <ostream>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/drive_summary.h"
#include "volume/drives.h"
#include "volume/source.h"

namespace vellum::cli {

namespace {

// Labels and model strings come from the devices; a TAB or line break in
// one must not split the line scripts read.
std::string Cell(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

// Why an entry holds nothing to search; empty when it does. Every partition
// of a table is listed, whatever it holds, so that its number can be chosen.
std::string NothingToSearch(const volume::DriveEntry& e, const app::DriveFacts& facts, bool& forLackOfRights) {
  forLackOfRights = false;
  if (!facts.fileSystem.empty() || e.partitionNumber != 0) return {};
  if (facts.opened) return "FAT12、FAT16、FAT32、exFAT、NTFS のボリュームもパーティションテーブルもありません。";
  // Opened once more for the system's reason, which the summary does not keep.
  const volume::OpenedSource opened = volume::OpenSource(e.sourcePath, e.partitionNumber);
  forLackOfRights = opened.errorCode == EACCES || opened.errorCode == EPERM;
  return opened.error.empty() ? "読み取れません。" : opened.error;
}

#ifdef _WIN32
constexpr const char* kRightsAdvice = "管理者として実行してください";
bool MayGainRights() { return true; }
#else
constexpr const char* kRightsAdvice = "root の権限で実行するか、ユーザーを disk グループに追加してください";
// Root refused by a device (a container without it) has no rights left to gain.
bool MayGainRights() { return ::geteuid() != 0; }
#endif

bool IsNamedImage(const volume::DriveEntry& e, const std::vector<std::string>& images) {
  return std::find(images.begin(), images.end(), e.sourcePath) != images.end();
}

}  // namespace

int RunDrives(const std::vector<std::string>& images, bool all, std::ostream& out, std::ostream& err) {
  volume::DriveSources sources;
  sources.images = images;
  const volume::DriveTable table = volume::EnumerateDrives(sources);
  size_t unreadable = 0;
  for (const volume::DriveEntry& e : table.entries) {
    // The five columns scripts already read, then what the volume holds:
    // file system, size in bytes and label (empty when it cannot be read);
    // with --all, the reason an entry holds nothing to search.
    const app::DriveFacts facts = app::DescribeDrive(e);
    bool forLackOfRights = false;
    const std::string why = NothingToSearch(e, facts, forLackOfRights);
    if (!why.empty() && !all) {
      // An image the user named is not left out without a word.
      if (IsNamedImage(e, images)) err << "vellum-cli: " << e.sourcePath << ": " << Cell(why) << '\n';
      else if (forLackOfRights) ++unreadable;
      continue;
    }
    out << e.index << '\t' << Cell(e.rootText) << '\t' << e.driveType << '\t' << Cell(e.displayName)
        << '\t' << Cell(e.sourcePath) << '\t' << facts.fileSystem << '\t'
        << (facts.opened ? std::to_string(facts.bytes) : std::string()) << '\t' << Cell(facts.label);
    if (all) out << '\t' << Cell(why);
    out << '\n';
  }
  // Without the rights to read devices the list would be silently short.
  if (unreadable > 0 && MayGainRights())
    err << "vellum-cli: 読み取る権限のないドライブが " << unreadable << " 台あります。" << kRightsAdvice
        << "（--all で一覧を表示します）。\n";
  for (const std::string& error : table.errors) err << "vellum-cli: " << error << '\n';
  return table.errors.empty() ? 0 : 1;
}

}  // namespace vellum::cli
