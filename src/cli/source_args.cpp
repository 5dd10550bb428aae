#include "cli/source_args.h"

#include <filesystem>
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

bool SourceOf(const ParsedArgs& parsed, SourceArgs& out, std::string& error) {
  if (parsed.operands.empty()) return error = "no SOURCE given", false;
  out.source = parsed.operands[0];
  if (const auto value = parsed.Value("--partition")) {
    if (!ParsePartitionNumber(*value, out.partition))
      return error = "--partition needs a number from 1, not '" + *value + "'", false;
  }
  const size_t hash = out.source.rfind('#');
  std::error_code ec;
  if (hash != std::string::npos && !std::filesystem::exists(platform::PathFromUtf8(out.source), ec)) {
    uint32_t n = 0;
    if (!ParsePartitionNumber(out.source.substr(hash + 1), n)) return true;
    if (out.partition != 0) return error = "both " + out.source + " and --partition given", false;
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
        if (i + 1 >= args.size()) return error = "--partition needs a number", false;
        value = args[++i];
      } else {
        value = a.substr(std::string("--partition=").size());
      }
      if (partitionSeen) return error = "--partition given twice", false;
      if (!ParsePartitionNumber(value, out.partition))
        return error = "--partition needs a number from 1, not '" + value + "'", false;
      partitionSeen = true;
    } else if (out.source.empty() && !a.starts_with("-")) {
      out.source = a;
    } else {
      out.rest.push_back(a);
    }
  }
  if (out.source.empty()) return error = "no SOURCE given", false;
  return true;
}

}  // namespace vellum::cli
