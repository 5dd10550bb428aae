// How often reading one file goes to the disk. A fragmented file whose
// extents sit behind an attribute list in an extension record must cost the
// reads of its data and one read of each structure that leads to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ntfs/attribute.h"
#include "ntfs/file_data.h"
#include "ntfs/find_attribute.h"
#include "ntfs/record.h"
#include "support/faulty_device.h"
#include "support/open_image.h"

namespace vellum::ntfs {
namespace {

TEST(NtfsFileDataReads, AFragmentedFileBehindAnAttributeListReadsEachRecordOnce) {
  volume::ScanState state;
  testing::FaultyDevice* device = nullptr;
  ASSERT_EQ(testing::OpenImage(std::string(VELLUM_TEST_IMAGES) + "/ntfs-special-512.img", state,
                               [&](auto base) {
                                 auto counting = std::make_unique<testing::FaultyDevice>(std::move(base));
                                 device = counting.get();
                                 return counting;
                               }),
            "");
  // pieces.bin, record 74: its later extents are in an extension record.
  std::vector<uint8_t> record(state.mftRecordSize);
  ASSERT_TRUE(ReadMftRecord(state, 74, record));
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const auto data = FindHeader(state, record, kAttrData, copy, ref);
  ASSERT_TRUE(data && data->nonResident);
  const uint64_t steps = (data->dataSize + 16 * state.clusterBytes - 1) / (16 * state.clusterBytes);

  device->readOffsets.clear();
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileData(state, 74, bytes));
  EXPECT_EQ(bytes.size(), data->dataSize);
  std::map<uint64_t, int> times;
  for (uint64_t offset : device->readOffsets) ++times[offset];
  for (const auto& [offset, count] : times) EXPECT_EQ(count, 1) << "offset " << offset;
  // Each 16-cluster step reads its clusters, one read per fragment it
  // crosses. Finding the attribute again for every step read the list and
  // the extension record once per step: 396 reads where 196 do.
  EXPECT_LT(device->readOffsets.size(), 2 * steps);
}

}  // namespace
}  // namespace vellum::ntfs
