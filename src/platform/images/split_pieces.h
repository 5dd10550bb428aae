// A split raw image: one volume cut into pieces (card.001, card.002, ... or
// card.aa, card.ab, ...) by split, dd or an imager. This file holds the pure
// part: how the pieces are named, and which piece holds which byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellum::platform {

// The name of the piece after `name` when `name` ends in a piece number:
// digits after a dot (".000", ".001", at least two digits), or two lower-case
// letters at the end ("aa".."zz", split's default). nullopt when it does not,
// or when the numbering is spent.
std::optional<std::string> NextPieceName(const std::string& name);

// True for the name of the first piece of a set: digits 0 or 1 ("card.000",
// "card.001"), letters "aa" ("card.aa", "xaa").
bool IsFirstPieceName(const std::string& name);

// Which piece holds which byte, for pieces of the given sizes in order.
class PieceMap {
 public:
  struct Span {
    size_t piece;
    uint64_t offsetInPiece;
    uint64_t length;
  };

  // False when the sizes add up past what a file offset can hold.
  bool Assign(const std::vector<uint64_t>& sizes);
  uint64_t Size() const { return ends_.empty() ? 0 : ends_.back(); }
  size_t Pieces() const { return ends_.size(); }
  // The pieces' parts that make up [offset, offset + length), in order,
  // clipped to the end of the last piece. Empty pieces never appear.
  std::vector<Span> Locate(uint64_t offset, uint64_t length) const;

 private:
  std::vector<uint64_t> ends_;  // ends_[i]: one past the last byte of piece i
};

}  // namespace vellum::platform
