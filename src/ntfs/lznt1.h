// LZNT1, the compression of NTFS compressed attributes, decompressed one
// compression unit at a time.
#pragma once

#include <cstddef>

#include "volume/le.h"

namespace vellum::ntfs {

inline constexpr size_t kLznt1ChunkBytes = 4096;

// Decompresses the chunks in `input` into consecutive 4096-byte pieces of
// `output`, which is first cleared to zeros. Decoding ends at a zero chunk
// header, at the end of the input or when the output is full. A chunk that is
// damaged (a back-reference before the start of its piece, a header claiming
// more bytes than the input holds) ends the stream after what it decoded.
// Returns the number of output bytes up to the end of the last decoded data.
size_t DecompressLznt1(ByteView input, MutableBytes output);

}  // namespace vellum::ntfs
