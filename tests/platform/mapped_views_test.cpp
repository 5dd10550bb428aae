// An image file read in place must show exactly the bytes a read returns, at
// any offset, and a page that goes away under a view must not end the program.
#include "platform/posix/mapped_views.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/posix/posix_block_device.h"

namespace vellum::platform {
namespace {

constexpr uint64_t kChunk = MappedViews::kChunkBytes;
constexpr uint64_t kWindow = MappedViews::kWindowBytes;

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  return bytes;
}

class ImageFile : public ::testing::Test {
 protected:
  void Write(const std::vector<uint8_t>& bytes) {
    path_ = (std::filesystem::temp_directory_path() /
             ("vellum-mapped-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".img"))
                .string();
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  }
  // The tests of views in place see them whatever this machine's timing would choose.
  void SetUp() override { SetInPlaceReading(InPlaceReading::kAlways); }
  void TearDown() override {
    SetInPlaceReading(InPlaceReading::kTimed);
    if (!path_.empty()) std::filesystem::remove(path_);
  }
  std::string path_;
};

TEST_F(ImageFile, ViewsInPlaceShowTheFilesBytesAnywhere) {
  const uint64_t size = kWindow + 3 * kChunk + 123;  // a last page the file only partly fills
  const std::vector<uint8_t> bytes = Pattern(size);
  Write(bytes);
  OpenResult opened = OpenPosixDevice(path_);
  ASSERT_TRUE(opened.device);
  BlockDevice& device = *opened.device;
  const struct {
    uint64_t offset;
    size_t size;
  } cases[] = {
      {0, 4096},
      {kChunk - 100, 4096},              // across two chunks
      {kWindow - 512, 32768},            // across the end of a window
      {kWindow + 5, 77},                 // the next window
      {size - 123, 123},                 // the file's last bytes
      {size - 4096, 4096},
      {3, 2 * kChunk + 1},               // larger than a chunk
  };
  int holder = 0;
  for (const auto& c : cases) {
    const auto view = device.View(c.offset, c.size, holder);
    ASSERT_EQ(view.size(), c.size) << "at " << c.offset;
    EXPECT_TRUE(std::equal(view.begin(), view.end(), bytes.begin() + static_cast<ptrdiff_t>(c.offset)))
        << "at " << c.offset;
    holder = (holder + 1) % 3;
  }
  // Each holder's view stays valid while the others move to other windows.
  const auto first = device.View(100, 4096, 0);
  ASSERT_EQ(first.size(), 4096u);
  ASSERT_EQ(device.View(kWindow + kChunk, 4096, 1).size(), 4096u);
  ASSERT_EQ(device.View(kWindow + 2 * kChunk, 4096, 2).size(), 4096u);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), bytes.begin() + 100));
  // Past the end, nothing is shown: the read reports it.
  EXPECT_TRUE(device.View(size - 10, 11, 0).empty());
  EXPECT_TRUE(device.View(size, 1, 0).empty());
  EXPECT_TRUE(device.View(0, 0, 0).empty());
  EXPECT_TRUE(device.View(0, 16, 3).empty());
}

TEST_F(ImageFile, AFileOpenedForWritingIsNeverMapped) {
  Write(Pattern(2 * kChunk));
  OpenResult opened = OpenPosixDevice(path_, OpenAccess::ReadWrite);
  ASSERT_TRUE(opened.device);
  EXPECT_TRUE(opened.device->View(0, 4096, 0).empty());
}

// Never in place: nothing is shown, and the reads give the file's bytes.
// Timed: the first chunks decide once; views after that are given for every
// chunk or for none, and any view shows the file's bytes.
TEST_F(ImageFile, TheTimingChoosesOnceAndChangesNoByte) {
  const std::vector<uint8_t> bytes = Pattern(12 * kChunk);
  Write(bytes);
  SetInPlaceReading(InPlaceReading::kNever);
  OpenResult never = OpenPosixDevice(path_);
  ASSERT_TRUE(never.device);
  EXPECT_TRUE(never.device->View(0, 4096, 0).empty());
  std::vector<uint8_t> out(4096);
  ASSERT_TRUE(never.device->Read(kChunk + 7, out));
  EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + kChunk + 7));

  SetInPlaceReading(InPlaceReading::kTimed);
  OpenResult timed = OpenPosixDevice(path_);
  ASSERT_TRUE(timed.device);
  std::vector<bool> shown;
  for (uint64_t chunk = 0; chunk < 12; ++chunk) {
    const auto view = timed.device->View(chunk * kChunk + 100, 4096, 0);
    shown.push_back(!view.empty());
    if (!view.empty()) {
      EXPECT_TRUE(std::equal(view.begin(), view.end(), bytes.begin() + static_cast<ptrdiff_t>(chunk * kChunk + 100)));
    }
  }
  // The chunks after the trials all go one way.
  EXPECT_TRUE(std::all_of(shown.begin() + 5, shown.end(), [&](bool v) { return v == shown.back(); }));
}

// Bytes the system would first have to fetch from the disk are read as
// before (a hole of a sparse image, too, which the system would otherwise
// make up page by page); once in memory, they are shown in place.
TEST_F(ImageFile, OnlyPagesAlreadyInMemoryAreShownInPlace) {
  const std::vector<uint8_t> bytes = Pattern(4 * kChunk);
  Write(bytes);
  const int fd = ::open(path_.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  void* map = ::mmap(nullptr, 4 * kChunk, PROT_READ, MAP_SHARED, fd, 0);
  ASSERT_NE(map, MAP_FAILED);
  unsigned char page = 0;
  ::mincore(static_cast<uint8_t*>(map) + 2 * kChunk, 4096, &page);
  ::munmap(map, 4 * kChunk);
  ::close(fd);
  if (page & 1) GTEST_SKIP() << "the temporary folder's file system keeps every page in memory";
  OpenResult opened = OpenPosixDevice(path_);
  ASSERT_TRUE(opened.device);
  BlockDevice& device = *opened.device;
  EXPECT_TRUE(device.View(2 * kChunk, 4096, 0).empty());
  std::vector<uint8_t> out(kChunk);
  ASSERT_TRUE(device.Read(kChunk, out));
  const auto view = device.View(kChunk + 64, 4096, 0);
  ASSERT_EQ(view.size(), 4096u);
  EXPECT_TRUE(std::equal(view.begin(), view.end(), bytes.begin() + kChunk + 64));
}

// Someone cuts the image short while a view of its end is being read: the
// page is gone, and touching it would raise a bus error.
TEST_F(ImageFile, APageCutOffUnderAViewReadsAsZerosAndReadsReportIt) {
  const std::vector<uint8_t> bytes = Pattern(4 * kChunk);
  Write(bytes);
  OpenResult opened = OpenPosixDevice(path_);
  ASSERT_TRUE(opened.device);
  BlockDevice& device = *opened.device;
  const auto view = device.View(3 * kChunk, 4096, 0);
  ASSERT_EQ(view.size(), 4096u);
  ASSERT_EQ(view[7], bytes[3 * kChunk + 7]);
  ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(kChunk)), 0);

  EXPECT_TRUE(std::all_of(view.begin(), view.end(), [](uint8_t b) { return b == 0; }));
  // From now on the device only reads, and says what it could not read.
  EXPECT_TRUE(device.View(0, 4096, 0).empty());
  std::vector<uint8_t> out(4096, 0xEE);
  EXPECT_FALSE(device.Read(3 * kChunk, out));
  EXPECT_TRUE(device.Read(0, out));
  EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin()));
}

}  // namespace
}  // namespace vellum::platform
