#include <windows.h>

#include <algorithm>

#include "platform/crc32.h"

namespace vellum::platform {

namespace {

using RtlCrc32 = DWORD(WINAPI*)(DWORD, const BYTE*, INT);

RtlCrc32 Ntdll() {
  static const RtlCrc32 fn = reinterpret_cast<RtlCrc32>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlComputeCrc32")));
  return fn;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  const RtlCrc32 fn = Ntdll();
  if (fn == nullptr) return crc ^ 0xFFFFFFFFu;  // never right: the check reports damage, not a false "verified"
  while (size > 0) {
    const auto n = static_cast<INT>(std::min<size_t>(size, 1u << 30));
    crc = fn(crc, data, n);
    data += n;
    size -= static_cast<size_t>(n);
  }
  return crc;
}

}  // namespace vellum::platform
