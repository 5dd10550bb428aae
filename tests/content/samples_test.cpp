// Real files, made by the programs that write them (tools/fixtures/
// make_content_samples.sh), laid out on a volume as a deleted file would be
// and found by their first cluster. Each is listed with the extension and the
// size its format's rule gives; where the rule's size is not the file's true
// size, the case says both and why.
#include <gtest/gtest.h>

#include "support/content_samples.h"

#include <string>

#include "content/analyse_cluster.h"
#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;
using testing::ReadSample;
using testing::kSamples;
using testing::kToVolumeEnd;
using testing::Sample;


// Bytes that would end a scan at once if a used cluster were read as the file's.
std::vector<uint8_t> Bait(size_t n) {
  const std::string pattern = "\xFF\xD9\x00\x3BPK\x05\x06%%EOF\x00\x00\x00\x00IEND\x00\x00\x01\xB9\x00\x00\x01\xB7";
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(pattern[i % pattern.size()]);
  return out;
}

class Samples : public ::testing::TestWithParam<Sample> {};

void ExpectListed(ContentVolume& v, uint64_t cluster, const Sample& s, uint64_t trueSize,
                  uint64_t volumeEndSize) {
  v.Attach();
  content::AnalyseClusterContents(v.state, cluster, v.Cluster(cluster));
  ASSERT_EQ(v.rows.rows.size(), 1u) << s.file;
  const auto& row = v.rows.rows[0];
  EXPECT_EQ(row.name, "不明" + std::to_string(cluster) + "." + s.ext) << s.file;
  const uint64_t expected = s.ruleSize == kToVolumeEnd ? volumeEndSize : s.ruleSize != 0 ? s.ruleSize : trueSize;
  EXPECT_EQ(std::stoull(row.Cell(2)), expected) << s.file << " " << s.why;
}

TEST_P(Samples, ContiguousOnFat32With4KClusters) {
  const Sample& s = GetParam();
  const std::vector<uint8_t> bytes = ReadSample(s.file);
  ASSERT_FALSE(bytes.empty()) << s.file;
  ContentVolume v(volume::kFat32, 4096, bytes.size() / 4096 + 8);
  v.Put(5, bytes);
  // Clusters 5 to lastCluster, less the 7 bytes carried for an end code.
  ExpectListed(v, 5, s, bytes.size(), (v.state.lastCluster - 4) * 4096 - 7);
}

// 512-byte clusters, and a used cluster full of end markers after the file's
// second cluster: the deleted file is read around it.
TEST_P(Samples, AroundAUsedClusterOnNtfsWith512ByteClusters) {
  const Sample& s = GetParam();
  const std::vector<uint8_t> bytes = ReadSample(s.file);
  ContentVolume v(volume::kNtfs, 512, bytes.size() / 512 + 16);
  std::vector<uint64_t> clusters = {3, 4};
  for (uint64_t c = 6; clusters.size() * 512 < bytes.size(); ++c) clusters.push_back(c);
  v.Put(5, Bait(512));
  v.MarkUsed(5);
  v.PutScattered(clusters, bytes);
  ExpectListed(v, 3, s, bytes.size(), (v.state.lastCluster - 3) * 512 - 7);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, Samples, ::testing::ValuesIn(kSamples),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace vellum::content
