// The entry points of the disk BIOS layer's two modules, as the program and
// the modules see them. The 32-bit module (what the program loads) offers
// the BIOS's four calls and a call that names a unit; it reaches the disks
// through the 16-bit module, which it needs to load at all.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define VELLUM_LAYER_EXPORT extern "C" __declspec(dllexport)
#else
#define VELLUM_LAYER_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vellum::bios_layer {

inline constexpr const char kModule16[] = "Qiv16.dll";
inline constexpr const char kModule32[] = "Qiv32.dll";

// The 32-bit module.
using LbaCheckCall = int (*)(uint8_t unit);
using DriveParameterCall = int (*)(uint8_t unit, uint8_t* parameters16);
using ExtendedIoCall = int (*)(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                               uint32_t sector, uint32_t count);
using ChsIoCall = int (*)(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function, uint32_t head,
                          uint32_t cylinder, uint32_t sector, uint32_t count);
// Makes the disk named "FILE[:HEADSxSECTORS][:chs|:fd]" the next unit: its
// number (0x80 upwards, a diskette 0x00 or 0x01), or -1 with the reason
// (UTF-8) in `error`.
using AddUnitCall = int (*)(const char* name, int writable, char* error, uint32_t errorSize);
inline constexpr const char kAddUnitName[] = "qiv_add_unit";

}  // namespace vellum::bios_layer
