// Texts kept side by side in large blocks instead of one allocation each:
// a list of millions of rows would otherwise pay a heap block's overhead
// (and often a reserve) for every row's few dozen bytes. A text stays where
// it was put until the pool is cleared, so views of it stay valid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vellum::volume {

class TextPool {
 public:
  // Where a text lies: its block, its offset in the block, its length.
  struct Ref {
    uint32_t block = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
  };

  // Texts longer than this (a pathological row) get a block of their own.
  static constexpr size_t kBlockBytes = size_t{1} << 20;
  static constexpr size_t kFirstBlockBytes = size_t{4} << 10;

  Ref Append(std::string_view text);
  // The text at `ref` replaced by `text`: in place when it is the last text
  // appended and its block has room, else appended anew (the old bytes are
  // then counted as unused). Views of the old text must not be held.
  void Replace(Ref& ref, std::string_view text);
  std::string_view View(const Ref& ref) const {
    return ref.length == 0 ? std::string_view() : std::string_view(blocks_[ref.block].bytes.get() + ref.offset, ref.length);
  }
  const char* Data(const Ref& ref) const { return ref.length == 0 ? nullptr : blocks_[ref.block].bytes.get() + ref.offset; }

  // Bytes of replaced texts that no ref points at any more.
  size_t UnusedBytes() const { return unused_; }
  size_t UsedBytes() const { return used_; }
  void Clear();

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t size = 0;
  };
  Block& RoomFor(size_t length);

  std::vector<Block> blocks_;
  size_t used_ = 0;
  size_t unused_ = 0;
};

}  // namespace vellum::volume
