#include "platform/images/signature.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace vellum::platform {

namespace {

bool StartsWith(std::span<const uint8_t> bytes, std::string_view magic, size_t at = 0) {
  return at <= bytes.size() && magic.size() <= bytes.size() - at &&
         std::memcmp(bytes.data() + at, magic.data(), magic.size()) == 0;
}

// A VHD footer: the cookie, then a big-endian one's-complement checksum over
// its 512 bytes with the checksum field taken as zero. The checksum keeps a
// raw disk whose last sector merely holds the word (a VHD file stored at the
// very end of a volume, say) from being taken for a fixed VHD.
bool IsVhdFooter(std::span<const uint8_t> footer) {
  if (footer.size() < 512 || !StartsWith(footer, "conectix")) return false;
  uint32_t sum = 0;
  for (size_t i = 0; i < 512; ++i)
    if (i < 64 || i >= 68) sum += footer[i];
  const uint32_t stored = (uint32_t{footer[64]} << 24) | (uint32_t{footer[65]} << 16) |
                          (uint32_t{footer[66]} << 8) | footer[67];
  return stored == ~sum;
}

}  // namespace

std::string ContainerName(ContainerKind kind) {
  switch (kind) {
    case ContainerKind::Ewf: return "E01";
    case ContainerKind::Ewf2: return "Ex01";
    case ContainerKind::EwfLogical: return "L01";
    case ContainerKind::Vhd: return "VHD";
    case ContainerKind::Vhdx: return "VHDX";
    case ContainerKind::Vmdk: return "VMDK";
    case ContainerKind::Qcow: return "qcow";
    case ContainerKind::Qcow2: return "qcow2";
    case ContainerKind::SplitRaw: return "split raw";
    case ContainerKind::None: break;
  }
  return "raw";
}

ContainerKind DetectContainer(std::span<const uint8_t> head, std::span<const uint8_t> tail) {
  using namespace std::string_view_literals;
  if (StartsWith(head, "EVF\x09\x0d\x0a\xff\x00"sv)) return ContainerKind::Ewf;
  if (StartsWith(head, "EVF2\x0d\x0a\x81\x00"sv)) return ContainerKind::Ewf2;
  if (StartsWith(head, "LVF\x09\x0d\x0a\xff\x00"sv) || StartsWith(head, "LEF2\x0d\x0a\x81\x00"sv))
    return ContainerKind::EwfLogical;
  if (StartsWith(head, "vhdxfile")) return ContainerKind::Vhdx;
  // Dynamic and differencing disks carry a copy of the footer at the start.
  if (IsVhdFooter(head) || IsVhdFooter(tail)) return ContainerKind::Vhd;
  if (StartsWith(head, "KDMV") || StartsWith(head, "COWD") || StartsWith(head, "# Disk DescriptorFile"))
    return ContainerKind::Vmdk;
  if (StartsWith(head, "QFI\xfb"sv))
    return head.size() >= 8 && head[4] == 0 && head[5] == 0 && head[6] == 0 && head[7] == 1 ? ContainerKind::Qcow
                                                                                         : ContainerKind::Qcow2;
  return ContainerKind::None;
}

ContainerKind DetectContainer(BlockDevice& file) {
  std::vector<uint8_t> head(512), tail;
  file.Read(0, head);
  head.resize(std::min<uint64_t>(head.size(), file.Size()));
  if (file.Size() >= 512) {
    tail.resize(512);
    file.Read(file.Size() - 512, tail);
  }
  return DetectContainer(head, tail);
}

}  // namespace vellum::platform
