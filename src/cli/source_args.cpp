#include "cli/source_args.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/file_system.h"

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

bool SourceOf(const ParsedArgs& parsed, SourceArgs& out, std::string& error) {
  if (parsed.operands.empty()) return error = "SOURCE を指定してください。", false;
  out.source = WithoutRootSuffix(parsed.operands[0]);
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
