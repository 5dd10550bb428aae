#include <gtest/gtest.h>

#include <sstream>

#include "cli/drives_command.h"
#include "cli/info_command.h"
#include "cli/source_args.h"

namespace vellum::cli {
namespace {

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

struct Outcome {
  int status;
  std::string out, err;
};

Outcome Info(const std::string& source, uint32_t partition) {
  std::ostringstream out, err;
  const int status = RunInfo(source, partition, out, err);
  return {status, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(InfoPartition, WholeDiskNeedsAPartitionNumber) {
  const Outcome r = Info(Image("disk-mbr.img"), 0);
  EXPECT_EQ(r.status, 2);  // bad usage: the partition to use is missing
  EXPECT_TRUE(r.out.empty());
  EXPECT_TRUE(Has(r.err, "vellum-cli: " + Image("disk-mbr.img"))) << r.err;
  EXPECT_TRUE(Has(r.err, "--partition N")) << r.err;
  EXPECT_TRUE(Has(r.err, "  3  disk-mbr.img#3:/  8.0 MiB  NTFS\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "  4  disk-mbr.img#4:/  4.0 MiB  exFAT\n")) << r.err;
}

TEST(InfoPartition, OpensThePartitionItIsGiven) {
  Outcome r = Info(Image("disk-mbr.img"), 3);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "fsKind\tNTFS\n"));
  r = Info(Image("disk-gpt.img"), 2);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "fsKind\tFAT12\n"));
  // Sector numbers stay relative to the partition, as fsstat -o shows them.
  EXPECT_TRUE(Has(r.out, "fatStartSector\t1\n")) << r.out;
}

TEST(InfoPartition, RefusesNumbersThatNameNoPartition) {
  // Bad usage, and the message lists the partitions there are.
  Outcome r = Info(Image("disk-gpt.img"), 4);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "パーティション 4 はありません")) << r.err;
  EXPECT_TRUE(Has(r.err, "disk-gpt.img#2:/")) << r.err;
  r = Info(Image("fat16.img"), 1);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "パーティションテーブルがありません")) << r.err;
  EXPECT_EQ(Info(Image("fat16.img"), 0).status, 0);
}

TEST(SourceArgs, PartitionOption) {
  SourceArgs a;
  std::string error;
  ASSERT_TRUE(ParseSourceArgs({"--partition", "3", "disk.img", "--in-use"}, a, error)) << error;
  EXPECT_EQ(a.source, "disk.img");
  EXPECT_EQ(a.partition, 3u);
  EXPECT_EQ(a.rest, (std::vector<std::string>{"--in-use"}));
  SourceArgs b;
  ASSERT_TRUE(ParseSourceArgs({"disk.img", "--partition=12"}, b, error));
  EXPECT_EQ(b.partition, 12u);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"disk.img", "--partition"}, {"disk.img", "--partition", "0"},
        {"disk.img", "--partition", "-1"}, {"disk.img", "--partition", "4294967296"},
        {"disk.img", "--partition", "2x"}, {"disk.img", "--partition=1", "--partition=2"},
        {"--partition", "1"}}) {
    SourceArgs c;
    EXPECT_FALSE(ParseSourceArgs(bad, c, error)) << bad.back();
  }
}

// A drive as a Windows user names it: the letter with or without the
// root's separator, in either case; nothing else is taken for one.
TEST(SourceArgs, DriveLettersNameTheirRawVolume) {
  for (const char* text : {"C:", "c:", "C:\\", "C:/"}) EXPECT_EQ(LetterDriveVolume(text), "\\\\.\\C:") << text;
  for (const char* text : {"", "C", "C:\\x", "CD:", "1:", "\\\\.\\C:", "card.img:\\"})
    EXPECT_EQ(LetterDriveVolume(text), "") << text;
}

TEST(DrivesCommand, OneTabSeparatedLinePerEntry) {
  std::ostringstream out, err;
  EXPECT_EQ(RunDrives({Image("disk-gpt.img"), Image("exfat.img")}, false, out, err), 0) << err.str();
  // The machine's own devices come first (those holding something to
  // search); the images' lines are the last four, numbered in the table.
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 4u);
  const size_t first = lines.size() - 4;
  const std::string index = lines[first].substr(0, lines[first].find('\t'));
  const auto at = [&](size_t k) { return std::to_string(std::stoul(index) + k); };
  // The five columns, then the file system, the size in bytes and the label.
  EXPECT_EQ(lines[first + 1], at(1) + "\tdisk-gpt.img#2:/\t3\tdisk-gpt.img partition 2\t" + Image("disk-gpt.img") +
                                  "\tFAT12\t2097152\tGPTFAT12");
  EXPECT_EQ(lines[first + 3], at(3) + "\texfat.img:/\t3\texfat.img\t" + Image("exfat.img") +
                                  "\texFAT\t33554432\tVELLUMEXFAT");

  std::ostringstream out2, err2;
  EXPECT_EQ(RunDrives({Image("no-such.img")}, false, out2, err2), 1);
  EXPECT_TRUE(Has(err2.str(), "vellum-cli: " + Image("no-such.img") + " を開けません: "));
}

}  // namespace
}  // namespace vellum::cli
