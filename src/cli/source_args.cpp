#include "cli/source_args.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/file_system.h"
#include "volume/drives.h"

namespace vellum::cli {

namespace {

bool ParsePartitionNumber(const std::string& text, uint32_t& out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value == 0 || value > UINT32_MAX) return false;
  out = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

// "card.img:/" and "card.img#2:/", the root texts `drives` prints, name
// the image they end: the root's own separator is dropped when no file of
// the whole name exists.
std::string WithoutRootSuffix(const std::string& source) {
  for (const std::string_view suffix : {":/", ":\\"}) {
    if (source.size() <= suffix.size() || !source.ends_with(suffix)) continue;
    std::error_code ec;
    if (std::filesystem::exists(platform::PathFromUtf8(source), ec)) return source;
    return source.substr(0, source.size() - suffix.size());
  }
  return source;
}

std::string LetterDriveVolume(std::string_view text) {
  const bool letter = text.size() >= 2 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                      text[1] == ':';
  if (!letter || text.size() > 3 || (text.size() == 3 && text[2] != '\\' && text[2] != '/')) return {};
  const char upper = static_cast<char>(text[0] & ~0x20);
  return std::string("\\\\.\\") + upper + ':';
}

namespace {

// On Windows a drive is named as its user knows it: "C:", "C:\\" (the root
// text `drives` prints) and the index `drives` prints all stand for the raw
// volume \\.\C:, which is what is read. A file of that very name comes first.
std::string DriveNamedByUser(const std::string& text) {
  if (platform::kSystemPathStyle != platform::PathStyle::kWindows) return text;
  if (std::string volume = LetterDriveVolume(text); !volume.empty()) return volume;
  std::error_code ec;
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos ||
      std::filesystem::exists(platform::PathFromUtf8(text), ec))
    return text;
  const volume::DriveTable table = volume::EnumerateDrives(volume::DriveSources{});
  for (const volume::DriveEntry& e : table.entries)
    if (std::to_string(e.index) == text)
      return e.partitionNumber ? e.sourcePath + "#" + std::to_string(e.partitionNumber) : e.sourcePath;
  return text;
}

}  // namespace

bool SourceOf(const ParsedArgs& parsed, SourceArgs& out, std::string& error) {
  if (parsed.operands.empty()) return error = "SOURCE を指定してください。", false;
  out.source = WithoutRootSuffix(DriveNamedByUser(parsed.operands[0]));
  if (const auto it = parsed.lists.find("--bios-disk"); it != parsed.lists.end()) out.biosDisks = it->second;
  if (const auto value = parsed.Value("--partition")) {
    if (!ParsePartitionNumber(*value, out.partition))
      return error = "--partition には 1 以上の数を指定してください: '" + *value + "'", false;
  }
  const size_t hash = out.source.rfind('#');
  std::error_code ec;
  if (hash != std::string::npos && !std::filesystem::exists(platform::PathFromUtf8(out.source), ec)) {
    uint32_t n = 0;
    if (!ParsePartitionNumber(out.source.substr(hash + 1), n)) return true;
    if (out.partition != 0) return error = out.source + " と --partition の両方が指定されています。", false;
    out.partition = n;
    out.source.erase(hash);
  }
  return true;
}

bool ParseSourceArgs(const std::vector<std::string>& args, SourceArgs& out, std::string& error) {
  bool partitionSeen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--partition" || a.starts_with("--partition=")) {
      std::string value;
      if (a == "--partition") {
        if (i + 1 >= args.size()) return error = "--partition には番号を指定してください。", false;
        value = args[++i];
      } else {
        value = a.substr(std::string("--partition=").size());
      }
      if (partitionSeen) return error = "--partition が 2 回指定されています。", false;
      if (!ParsePartitionNumber(value, out.partition))
        return error = "--partition には 1 以上の数を指定してください: '" + value + "'", false;
      partitionSeen = true;
    } else if (out.source.empty() && !a.starts_with("-")) {
      out.source = a;
    } else {
      out.rest.push_back(a);
    }
  }
  if (out.source.empty()) return error = "SOURCE を指定してください。", false;
  return true;
}

}  // namespace vellum::cli
