#include "platform/images/split_pieces.h"

#include <algorithm>
#include <cstdint>

namespace vellum::platform {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }

// Letter numbering is split's default: two letters, "aa" to "zz".
constexpr size_t kLetterWidth = 2;

// Where the piece number starts: a run of at least two digits after a dot,
// else the last two characters when both are lower-case letters. npos when
// the name carries no piece number.
size_t NumberStart(const std::string& name) {
  size_t i = name.size();
  while (i > 0 && IsDigit(name[i - 1])) --i;
  if (name.size() - i >= 2) return i > 0 && name[i - 1] == '.' ? i : std::string::npos;
  if (name.size() < kLetterWidth) return std::string::npos;
  const size_t at = name.size() - kLetterWidth;
  return IsLower(name[at]) && IsLower(name[at + 1]) ? at : std::string::npos;
}

}  // namespace

bool IsFirstPieceName(const std::string& name) {
  const size_t at = NumberStart(name);
  if (at == std::string::npos) return false;
  const std::string number = name.substr(at);
  if (!IsDigit(number[0])) return number == "aa";
  // .000 and .001 both start sets: imagers differ.
  return number.find_first_not_of('0') >= number.size() - 1 && number.back() <= '1';
}

std::optional<std::string> NextPieceName(const std::string& name) {
  const size_t at = NumberStart(name);
  if (at == std::string::npos) return std::nullopt;
  std::string next = name;
  const bool digits = IsDigit(name[at]);
  for (size_t i = next.size(); i-- > at;) {
    char& c = next[i];
    if (digits ? c != '9' : c != 'z') {
      ++c;
      return next;
    }
    c = digits ? '0' : 'a';
  }
  // Past .999 or zz the width would change; the tools that make these sets
  // stop there too.
  return std::nullopt;
}

bool PieceMap::Assign(const std::vector<uint64_t>& sizes) {
  ends_.clear();
  uint64_t end = 0;
  for (uint64_t s : sizes) {
    if (s > static_cast<uint64_t>(INT64_MAX) - end) {
      ends_.clear();
      return false;
    }
    end += s;
    ends_.push_back(end);
  }
  return true;
}

std::vector<PieceMap::Span> PieceMap::Locate(uint64_t offset, uint64_t length) const {
  std::vector<Span> spans;
  if (offset >= Size() || length == 0) return spans;
  length = std::min(length, Size() - offset);
  // The first piece whose end lies past the offset holds it.
  size_t piece = static_cast<size_t>(std::upper_bound(ends_.begin(), ends_.end(), offset) - ends_.begin());
  while (length > 0 && piece < ends_.size()) {
    const uint64_t start = piece == 0 ? 0 : ends_[piece - 1];
    const uint64_t n = std::min(length, ends_[piece] - offset);
    if (n > 0) spans.push_back({piece, offset - start, n});
    offset += n;
    length -= n;
    ++piece;
  }
  return spans;
}

}  // namespace vellum::platform
