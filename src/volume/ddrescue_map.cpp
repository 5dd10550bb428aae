#include "volume/ddrescue_map.h"

#include <limits>

namespace vellum::volume {

namespace {

// The line's fields, split at blanks; a '#' starts a comment to the end.
std::vector<std::string_view> Fields(std::string_view line) {
  if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
    const size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') ++at;
    if (at > start) fields.push_back(line.substr(start, at - start));
  }
  return fields;
}

// A number as ddrescue writes it: 0x hexadecimal, a leading 0 octal, else
// decimal. False on anything else or on overflow.
bool ParseNumber(std::string_view text, uint64_t& value) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '0') {
    base = 8;
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  value = 0;
  for (const char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return false;
    if (digit >= base || value > (std::numeric_limits<uint64_t>::max() - digit) / base) return false;
    value = value * base + digit;
  }
  return true;
}

bool IsBlockStatus(std::string_view s) { return s.size() == 1 && std::string_view("?*/-+").find(s[0]) != std::string_view::npos; }
bool IsPassStatus(std::string_view s) { return s.size() == 1 && std::string_view("?*/-FGH+").find(s[0]) != std::string_view::npos; }

class MapReader {
 public:
  explicit MapReader(uint64_t imageSize) : imageSize_(imageSize) {}

  // False with map_.error set when the line is wrong.
  bool Line(std::string_view line) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.empty()) return true;
    uint64_t pos = 0;
    if (!sawStatus_) {
      // current_pos current_status [current_pass]
      sawStatus_ = true;
      if (f.size() < 2 || f.size() > 3 || !ParseNumber(f[0], pos) || !IsPassStatus(f[1]))
        return Fail("状態の行が読めません");
      return true;
    }
    uint64_t size = 0;
    if (f.size() != 3 || !ParseNumber(f[0], pos) || !ParseNumber(f[1], size) || !IsBlockStatus(f[2]))
      return Fail("ブロックの行が読めません (位置 大きさ 状態)");
    if (size > std::numeric_limits<uint64_t>::max() - pos) return Fail("ブロックの終わりが大きすぎます");
    if (pos < covered_) return Fail("前のブロックと重なっています");
    if (pos + size > imageSize_) return Fail("ブロックがイメージの大きさを超えています");
    if (pos > covered_) Unfinished(covered_, pos);
    if (f[2] != "+") Unfinished(pos, pos + size);
    covered_ = pos + size;
    return true;
  }

  DdrescueMap Finish(size_t lines) {
    if (!sawStatus_) {
      map_.line = lines == 0 ? 1 : lines;
      map_.error = "ddrescue のマップファイルではありません";
      return std::move(map_);
    }
    if (covered_ < imageSize_) Unfinished(covered_, imageSize_);
    map_.ok = true;
    return std::move(map_);
  }

  DdrescueMap Failed(size_t line) {
    map_.line = line;
    map_.unfinished.clear();
    return std::move(map_);
  }

 private:
  bool Fail(std::string text) {
    map_.error = std::move(text);
    return false;
  }
  void Unfinished(uint64_t first, uint64_t end) {
    if (first >= end) return;
    if (!map_.unfinished.empty() && map_.unfinished.back().end == first) map_.unfinished.back().end = end;
    else map_.unfinished.push_back({first, end});
  }

  const uint64_t imageSize_;
  bool sawStatus_ = false;
  uint64_t covered_ = 0;
  DdrescueMap map_;
};

}  // namespace

DdrescueMap ParseDdrescueMap(std::string_view text, uint64_t imageSize) {
  MapReader reader(imageSize);
  size_t number = 0;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    ++number;
    if (!reader.Line(line)) return reader.Failed(number);
  }
  return reader.Finish(number);
}

}  // namespace vellum::volume
