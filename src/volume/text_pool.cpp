#include "volume/text_pool.h"

#include <algorithm>
#include <cstring>

namespace vellum::volume {

TextPool::Block& TextPool::RoomFor(size_t length) {
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().size < length) {
    // Small lists (a row copied out, a list of a few files) stay small: the
    // blocks grow from 4 KiB to their full size.
    Block block;
    const size_t grown = blocks_.empty() ? kFirstBlockBytes : std::min(kBlockBytes, 2 * blocks_.back().capacity);
    block.capacity = std::max(grown, length);
    block.bytes = std::make_unique_for_overwrite<char[]>(block.capacity);
    blocks_.push_back(std::move(block));
  }
  return blocks_.back();
}

TextPool::Ref TextPool::Append(std::string_view text) {
  if (text.empty()) return {};
  Block& block = RoomFor(text.size());
  Ref ref{static_cast<uint32_t>(blocks_.size() - 1), static_cast<uint32_t>(block.size),
          static_cast<uint32_t>(text.size())};
  std::memcpy(block.bytes.get() + block.size, text.data(), text.size());
  block.size += text.size();
  used_ += text.size();
  return ref;
}

void TextPool::Replace(Ref& ref, std::string_view text) {
  const bool last = ref.length != 0 && ref.block + 1 == blocks_.size() &&
                    ref.offset + size_t{ref.length} == blocks_.back().size;
  if (last && ref.offset + text.size() <= blocks_.back().capacity && !text.empty()) {
    Block& block = blocks_.back();
    std::memmove(block.bytes.get() + ref.offset, text.data(), text.size());
    block.size = ref.offset + text.size();
    used_ = used_ - ref.length + text.size();
    ref.length = static_cast<uint32_t>(text.size());
    return;
  }
  if (last) {
    blocks_.back().size -= ref.length;  // the old text was the pool's end: its room is taken again
    used_ -= ref.length;
  } else {
    unused_ += ref.length;
    used_ -= ref.length;
  }
  ref = Append(text);
}

void TextPool::Clear() {
  std::vector<Block>().swap(blocks_);
  used_ = 0;
  unused_ = 0;
}

}  // namespace vellum::volume
