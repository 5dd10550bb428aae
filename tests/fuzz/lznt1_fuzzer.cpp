// Fuzz target: LZNT1 input of a compression unit. The first byte chooses the
// unit size (1 to 16 pieces of 4 KiB, or a size that is not a multiple).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/lznt1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  if (size < 1) return 0;
  const size_t unit = (data[0] & 0x80) ? (data[0] & 0x7F) * 97u : ((data[0] & 0x0F) + 1u) * 4096u;
  std::vector<uint8_t> out(unit);
  const size_t produced = ntfs::DecompressLznt1(ByteView(data + 1, size - 1), out);
  if (produced > out.size()) __builtin_trap();
  return 0;
}
