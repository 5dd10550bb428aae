#include "cli/drives_command.h"

#include <algorithm>
#include <ostream>

#include "app/drive_summary.h"
#include "volume/drives.h"

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
std::string NothingToSearch(const volume::DriveEntry& e, const app::DriveFacts& facts) {
  if (!facts.fileSystem.empty() || e.partitionNumber != 0) return {};
  if (!facts.opened) return "読み取れません。";
  return "FAT12、FAT16、FAT32、exFAT、NTFS のボリュームもパーティションテーブルもありません。";
}

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
    const std::string why = NothingToSearch(e, facts);
    if (!why.empty() && !all) {
      // An image the user named is not left out without a word.
      if (IsNamedImage(e, images)) err << "vellum-cli: " << e.sourcePath << ": " << why << '\n';
      else if (!facts.opened) ++unreadable;
      continue;
    }
    out << e.index << '\t' << Cell(e.rootText) << '\t' << e.driveType << '\t' << Cell(e.displayName)
        << '\t' << Cell(e.sourcePath) << '\t' << facts.fileSystem << '\t'
        << (facts.opened ? std::to_string(facts.bytes) : std::string()) << '\t' << Cell(facts.label);
    if (all) out << '\t' << why;
    out << '\n';
  }
  // Without the rights to read devices the list would be silently short.
  if (unreadable > 0)
    err << "vellum-cli: 読み取れないドライブが " << unreadable
        << " 台あります。root の権限で実行するか、ユーザーを disk グループに追加してください"
           "（--all で一覧を表示します）。\n";
  for (const std::string& error : table.errors) err << "vellum-cli: " << error << '\n';
  return table.errors.empty() ? 0 : 1;
}

}  // namespace vellum::cli
