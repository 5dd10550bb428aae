#include "cli/drives_command.h"

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

}  // namespace

int RunDrives(const std::vector<std::string>& images, std::ostream& out, std::ostream& err) {
  volume::DriveSources sources;
  sources.images = images;
  const volume::DriveTable table = volume::EnumerateDrives(sources);
  for (const volume::DriveEntry& e : table.entries) {
    // The five columns scripts already read, then what the volume holds:
    // file system, size in bytes and label (empty when it cannot be read).
    const app::DriveFacts facts = app::DescribeDrive(e);
    out << e.index << '\t' << Cell(e.rootText) << '\t' << e.driveType << '\t' << Cell(e.displayName)
        << '\t' << Cell(e.sourcePath) << '\t' << facts.fileSystem << '\t'
        << (facts.opened ? std::to_string(facts.bytes) : std::string()) << '\t' << Cell(facts.label) << '\n';
  }
  for (const std::string& error : table.errors) err << "vellum-cli: " << error << '\n';
  return table.errors.empty() ? 0 : 1;
}

}  // namespace vellum::cli
