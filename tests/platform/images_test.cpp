#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/images/open_image.h"
#include "platform/images/parent_path.h"
#include "platform/images/signature.h"
#include "platform/images/split_pieces.h"
#include "volume/source.h"

namespace vellum::platform {
namespace {

namespace fs = std::filesystem;

std::string Container(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/containers/" + name; }

TEST(SplitPieceNames, NumberedAndLetteredSetsCountUpInTheirWidth) {
  EXPECT_EQ(NextPieceName("card.001"), "card.002");
  EXPECT_EQ(NextPieceName("card.img.009"), "card.img.010");
  EXPECT_EQ(NextPieceName("card.000"), "card.001");
  EXPECT_EQ(NextPieceName("disk.99"), std::nullopt);  // the width would change
  EXPECT_EQ(NextPieceName("card.img.aa"), "card.img.ab");
  EXPECT_EQ(NextPieceName("xaz"), "xba");
  EXPECT_EQ(NextPieceName("xzz"), std::nullopt);
  // Digits must follow a dot: "card01" is a name, not a piece number.
  EXPECT_EQ(NextPieceName("card01"), std::nullopt);
  EXPECT_EQ(NextPieceName("card.img"), "card.imh");  // letters count, but no set starts there

  for (const char* first : {"card.000", "card.001", "card.img.0001", "card.aa", "xaa"}) EXPECT_TRUE(IsFirstPieceName(first)) << first;
  for (const char* other : {"card.002", "card.010", "card.ab", "card.img", "card01", "card.1", "a"})
    EXPECT_FALSE(IsFirstPieceName(other)) << other;
}

TEST(PieceMap, SplitsARangeAtPieceEndsAndSkipsEmptyPieces) {
  PieceMap map;
  ASSERT_TRUE(map.Assign({100, 0, 50, 30}));
  EXPECT_EQ(map.Size(), 180u);
  const auto spans = map.Locate(90, 70);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(spans[0].piece, 0u);
  EXPECT_EQ(spans[0].offsetInPiece, 90u);
  EXPECT_EQ(spans[0].length, 10u);
  EXPECT_EQ(spans[1].piece, 2u);  // the empty piece 1 holds nothing
  EXPECT_EQ(spans[1].offsetInPiece, 0u);
  EXPECT_EQ(spans[1].length, 50u);
  EXPECT_EQ(spans[2].piece, 3u);
  EXPECT_EQ(spans[2].offsetInPiece, 0u);
  EXPECT_EQ(spans[2].length, 10u);
  // Clipped at the end; nothing past it.
  const auto tail = map.Locate(170, 1000);
  ASSERT_EQ(tail.size(), 1u);
  EXPECT_EQ(tail[0].piece, 3u);
  EXPECT_EQ(tail[0].offsetInPiece, 20u);
  EXPECT_EQ(tail[0].length, 10u);
  EXPECT_TRUE(map.Locate(180, 1).empty());
  EXPECT_TRUE(map.Locate(UINT64_MAX, UINT64_MAX).empty());
  // Sizes that add up past a file offset are refused, not wrapped.
  EXPECT_FALSE(map.Assign({UINT64_MAX / 2, UINT64_MAX / 2, 10}));
  EXPECT_EQ(map.Size(), 0u);
}

std::vector<uint8_t> VhdFooter(bool goodChecksum) {
  std::vector<uint8_t> f(512, 0);
  std::memcpy(f.data(), "conectix", 8);
  f[60] = 2;  // fixed disk
  uint32_t sum = 0;
  for (uint8_t b : f) sum += b;
  const uint32_t stored = goodChecksum ? ~sum : sum;
  f[64] = static_cast<uint8_t>(stored >> 24);
  f[65] = static_cast<uint8_t>(stored >> 16);
  f[66] = static_cast<uint8_t>(stored >> 8);
  f[67] = static_cast<uint8_t>(stored);
  return f;
}

TEST(ContainerSignature, ToldByContentAndAFixedVhdByItsCheckedFooter) {
  auto head = [](std::string_view magic) {
    std::vector<uint8_t> h(512, 0);
    std::memcpy(h.data(), magic.data(), magic.size());
    return h;
  };
  using namespace std::string_view_literals;
  EXPECT_EQ(DetectContainer(head("EVF\x09\x0d\x0a\xff\x00"sv), {}), ContainerKind::Ewf);
  EXPECT_EQ(DetectContainer(head("EVF2\x0d\x0a\x81\x00"sv), {}), ContainerKind::Ewf2);
  EXPECT_EQ(DetectContainer(head("LVF\x09\x0d\x0a\xff\x00"sv), {}), ContainerKind::EwfLogical);
  EXPECT_EQ(DetectContainer(head("vhdxfile"), {}), ContainerKind::Vhdx);
  EXPECT_EQ(DetectContainer(head("KDMV"), {}), ContainerKind::Vmdk);
  EXPECT_EQ(DetectContainer(head("# Disk DescriptorFile\n"), {}), ContainerKind::Vmdk);
  EXPECT_EQ(DetectContainer(head("QFI\xfb\0\0\0\x01"sv), {}), ContainerKind::Qcow);
  EXPECT_EQ(DetectContainer(head("QFI\xfb\0\0\0\x03"sv), {}), ContainerKind::Qcow2);
  EXPECT_EQ(DetectContainer(head("\xeb\x3c\x90mkfs.fat"sv), {}), ContainerKind::None);
  EXPECT_EQ(DetectContainer(head(""), VhdFooter(true)), ContainerKind::Vhd);
  // The word alone at a raw disk's end is not a footer.
  EXPECT_EQ(DetectContainer(head(""), VhdFooter(false)), ContainerKind::None);
  // A file too short for any signature is raw.
  EXPECT_EQ(DetectContainer(std::vector<uint8_t>{'Q', 'F'}, {}), ContainerKind::None);
}

TEST(ParentPath, LooksBesideTheChildFirstAndNeverInTheWorkingFolder) {
  EXPECT_EQ(ParentCandidates("/img/child.vhd", "C:\\VMs\\base.vhd"),
            (std::vector<std::string>{"/img/base.vhd", "/img/C:/VMs/base.vhd"}));
  EXPECT_EQ(ParentCandidates("/img/child.qcow2", "../old/base.qcow2"),
            (std::vector<std::string>{"/img/base.qcow2", "/old/base.qcow2"}));
  EXPECT_EQ(ParentCandidates("/img/child.vmdk", "/vm/base.vmdk"),
            (std::vector<std::string>{"/img/base.vmdk", "/vm/base.vmdk"}));
}

// Everything a container reads, for the checks that keep writes off the source.
TEST(BackingFiles, ListEverySegmentParentAndPiece) {
  auto files = [](const std::string& path, uint32_t partition = 0) {
    auto opened = vellum::volume::OpenSource(path, partition);
    EXPECT_TRUE(opened.device) << opened.error;
    return opened.device ? opened.device->BackingFiles() : std::vector<std::string>{};
  };
  EXPECT_EQ(files(Container("ntfs-512.E01")),
            (std::vector<std::string>{Container("ntfs-512.E01"), Container("ntfs-512.E02"), Container("ntfs-512.E03")}));
  EXPECT_EQ(files(Container("fat16-zeroed.qcow2")),
            (std::vector<std::string>{Container("fat16-zeroed.qcow2"), Container("fat16-base.qcow2")}));
  EXPECT_EQ(files(Container("fat16-child.qcow2")),
            (std::vector<std::string>{Container("fat16-child.qcow2"), Container("fat16-base.qcow2")}));
  EXPECT_EQ(files(Container("fat16-child.vhd")),
            (std::vector<std::string>{Container("fat16-child.vhd"), Container("fat16-base.vhd")}));
  EXPECT_EQ(files(Container("fat12.img.001")),
            (std::vector<std::string>{Container("fat12.img.001"), Container("fat12.img.002"), Container("fat12.img.003")}));
  EXPECT_EQ(files(Container("ntfs-512.vmdk")), (std::vector<std::string>{Container("ntfs-512.vmdk")}));
  // A partition's window forwards the container's files.
  EXPECT_EQ(files(Container("disk-mbr.E01"), 2), (std::vector<std::string>{Container("disk-mbr.E01")}));
  EXPECT_TRUE(files(std::string(VELLUM_TEST_IMAGES) + "/fat12.img").empty());
}

TEST(ContainerDevice, ReadsLikeABlockDeviceAtItsEdges) {
  for (const char* name : {"fat16.E01", "fat16.vhd", "exfat.vhdx", "ntfs-512.vmdk", "disk-mbr.qcow2", "fat12.img.001"}) {
    SCOPED_TRACE(name);
    SourceFile f = OpenSourceFile(Container(name));
    ASSERT_TRUE(f.device) << f.error;
    EXPECT_FALSE(f.device->Writable());
    std::vector<uint8_t> buf(1024, 0xAA);
    EXPECT_FALSE(f.device->Write(0, buf));
    const uint64_t size = f.device->Size();
    ASSERT_GT(size, 1024u);
    // Across the end: the part inside is read, the rest zero, and it says so.
    EXPECT_FALSE(f.device->Read(size - 512, buf));
    EXPECT_TRUE(std::all_of(buf.begin() + 512, buf.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_FALSE(f.device->Read(UINT64_MAX - 10, buf));
    EXPECT_TRUE(f.device->Read(size - 1024, buf));
  }
}

TEST(ContainerDevice, AChunkThatFailsItsChecksumReadsAsZerosAndFails) {
  const fs::path copy = fs::temp_directory_path() / ("vellum-bad-" + std::to_string(::getpid()) + ".E01");
  fs::copy_file(Container("fat16.E01"), copy, fs::copy_options::overwrite_existing);
  {
    std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(40000);
    f.write(std::string(64, '\0').data(), 64);
  }
  SourceFile f = OpenSourceFile(copy.string());
  ASSERT_TRUE(f.device) << f.error;
  std::vector<uint8_t> chunk(32768);
  size_t failed = 0;
  for (uint64_t at = 0; at < f.device->Size(); at += chunk.size())
    if (!f.device->Read(at, chunk)) ++failed;
  EXPECT_GE(failed, 1u);
  EXPECT_NE(f.device->LastError(), "");
  fs::remove(copy);
}

TEST(ContainerWrite, IsRefusedForEveryKindAndAllowedForRawImages) {
  for (const char* name : {"fat16.E01", "exfat.vhd", "fat12.img.001"}) {
    SourceFile f = OpenSourceFile(Container(name), OpenAccess::ReadWrite);
    EXPECT_FALSE(f.device) << name;
    EXPECT_NE(f.error.find("完全削除にはボリュームそのもの"), std::string::npos) << f.error;
  }
  const fs::path raw = fs::temp_directory_path() / ("vellum-raw-" + std::to_string(::getpid()) + ".img");
  std::ofstream(raw) << std::string(4096, '\0');
  SourceFile f = OpenSourceFile(raw.string(), OpenAccess::ReadWrite);
  ASSERT_TRUE(f.device) << f.error;
  EXPECT_TRUE(f.device->Writable());
  EXPECT_EQ(f.kind, "");
  fs::remove(raw);
}

}  // namespace
}  // namespace vellum::platform
