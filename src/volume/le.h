// Little-endian field readers over disk buffers.
//
// Everything read from a disk is hostile. Every field of every structure is read
// through these helpers, which check the buffer's bounds: a field that lies
// (partly) outside the buffer reads as 0 and a write there does nothing. Callers
// never cast a pointer into a buffer to a struct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vellum {

using ByteView = std::span<const uint8_t>;
using MutableBytes = std::span<uint8_t>;

// True when [offset, offset + length) lies inside a buffer of `size` bytes,
// without overflowing on hostile offsets.
constexpr bool InBounds(size_t size, uint64_t offset, uint64_t length) {
  return offset <= size && length <= size - offset;
}

inline uint8_t Le8(ByteView b, uint64_t off) { return off < b.size() ? b[off] : 0; }

inline uint16_t Le16(ByteView b, uint64_t off) {
  if (!InBounds(b.size(), off, 2)) return 0;
  return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}

inline uint32_t Le32(ByteView b, uint64_t off) {
  if (!InBounds(b.size(), off, 4)) return 0;
  return static_cast<uint32_t>(b[off]) | (static_cast<uint32_t>(b[off + 1]) << 8) |
         (static_cast<uint32_t>(b[off + 2]) << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}

inline uint64_t Le64(ByteView b, uint64_t off) {
  if (!InBounds(b.size(), off, 8)) return 0;
  return static_cast<uint64_t>(Le32(b, off)) | (static_cast<uint64_t>(Le32(b, off + 4)) << 32);
}

inline void PutLe16(MutableBytes b, uint64_t off, uint16_t v) {
  if (!InBounds(b.size(), off, 2)) return;
  b[off] = static_cast<uint8_t>(v);
  b[off + 1] = static_cast<uint8_t>(v >> 8);
}

inline void PutLe32(MutableBytes b, uint64_t off, uint32_t v) {
  if (!InBounds(b.size(), off, 4)) return;
  for (int i = 0; i < 4; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

// One field of an on-disk structure: its offset from the structure's first
// byte, and its width in bytes in the type. The layout headers name every
// field once this way; the readers below take the names, so no offset is
// written out twice.
template <unsigned Width>
struct LeField {
  static_assert(Width == 1 || Width == 2 || Width == 4 || Width == 8);
  uint64_t offset;
  static constexpr unsigned kWidth = Width;
  constexpr uint64_t End() const { return offset + Width; }
};
using Field8 = LeField<1>;
using Field16 = LeField<2>;
using Field32 = LeField<4>;
using Field64 = LeField<8>;

// A run of bytes of a structure (a name, a signature): offset and length.
struct ByteField {
  uint64_t offset;
  uint64_t length;
  constexpr uint64_t End() const { return offset + length; }
};

inline uint8_t Le(ByteView b, Field8 f) { return Le8(b, f.offset); }
inline uint16_t Le(ByteView b, Field16 f) { return Le16(b, f.offset); }
inline uint32_t Le(ByteView b, Field32 f) { return Le32(b, f.offset); }
inline uint64_t Le(ByteView b, Field64 f) { return Le64(b, f.offset); }
// The same fields of the structure that begins `base` bytes into `b`.
template <unsigned W>
inline auto Le(ByteView b, uint64_t base, LeField<W> f) {
  return Le(b, LeField<W>{base + f.offset});
}

inline void PutLe(MutableBytes b, Field16 f, uint16_t v) { PutLe16(b, f.offset, v); }
inline void PutLe(MutableBytes b, Field32 f, uint32_t v) { PutLe32(b, f.offset, v); }

// Compares the bytes at `off` with an ASCII text (no terminator).
inline bool BytesEqual(ByteView b, uint64_t off, std::string_view text) {
  if (!InBounds(b.size(), off, text.size())) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (b[off + i] != static_cast<uint8_t>(text[i])) return false;
  return true;
}

// Whether the bytes of `f` in `b` are all 0 (a byte past the buffer reads as 0).
inline bool FieldIsZero(ByteView b, ByteField f) {
  for (uint64_t i = f.offset; i < f.End(); ++i)
    if (Le8(b, i) != 0) return false;
  return true;
}

// Reads the fields of one structure and remembers the first that lay (partly)
// outside it: that read and every read after it give 0, so a parser reads a
// run of fields and asks once, at the end, whether the structure held them
// all (the error sticks, as with LLVM's DataExtractor cursor). Offsets are
// relative to the structure's first byte.
class FieldReader {
 public:
  explicit FieldReader(ByteView bytes) : bytes_(bytes) {}

  uint8_t U8(uint64_t off) { return static_cast<uint8_t>(Unsigned(off, 1)); }
  uint16_t U16(uint64_t off) { return static_cast<uint16_t>(Unsigned(off, 2)); }
  uint32_t U32(uint64_t off) { return static_cast<uint32_t>(Unsigned(off, 4)); }
  uint64_t U64(uint64_t off) { return Unsigned(off, 8); }
  // The named fields of a layout header.
  uint8_t Read(Field8 f) { return U8(f.offset); }
  uint16_t Read(Field16 f) { return U16(f.offset); }
  uint32_t Read(Field32 f) { return U32(f.offset); }
  uint64_t Read(Field64 f) { return U64(f.offset); }
  ByteView Read(ByteField f) { return Bytes(f.offset, f.length); }
  // A little-endian field of `width` bytes (1 to 8).
  uint64_t Unsigned(uint64_t off, unsigned width) {
    if (!Require(off, width) || width > 8) return Fail(off);
    uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= uint64_t{bytes_[off + i]} << (8 * i);
    return v;
  }
  // The same, sign-extended from its top bit.
  int64_t Signed(uint64_t off, unsigned width) {
    uint64_t v = Unsigned(off, width);
    if (width > 0 && width < 8 && ((v >> (8 * width - 1)) & 1)) v |= ~uint64_t{0} << (8 * width);
    return static_cast<int64_t>(v);
  }
  // The bytes [off, off + length), or empty once anything was out of range.
  ByteView Bytes(uint64_t off, uint64_t length) {
    if (!Require(off, length)) return {};
    return bytes_.subspan(off, length);
  }
  // Marks the structure short unless it holds [off, off + length).
  bool Require(uint64_t off, uint64_t length) {
    if (!failed_ && !InBounds(bytes_.size(), off, length)) Fail(off);
    return !failed_;
  }

  bool Ok() const { return !failed_; }
  // The offset of the first read that did not fit; meaningful when !Ok().
  uint64_t FailedAt() const { return failedAt_; }

 private:
  uint64_t Fail(uint64_t off) {
    if (!failed_) failedAt_ = off;
    failed_ = true;
    return 0;
  }

  ByteView bytes_;
  bool failed_ = false;
  uint64_t failedAt_ = 0;
};

// Multiplication that reports overflow instead of wrapping: disk fields are
// multiplied into byte offsets, and a wrapped offset would read the wrong place.
inline bool CheckedMul(uint64_t a, uint64_t b, uint64_t& out) {
  return !__builtin_mul_overflow(a, b, &out);
}

inline bool CheckedAdd(uint64_t a, uint64_t b, uint64_t& out) {
  return !__builtin_add_overflow(a, b, &out);
}

}  // namespace vellum
