#include "platform/source_set.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace vellum::platform {
namespace {

namespace fs = std::filesystem;

bool IsOnSourceDevice(const std::string& target, const std::string& source) {
  return SourceSet({{source}}).Relation(target) != SourceRelation::kUnrelated;
}

// The /dev node of the device holding `path`, when this machine shows one.
std::string DeviceNodeOf(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  std::ifstream uevent("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                       std::to_string(minor(st.st_dev)) + "/uevent");
  for (std::string line; std::getline(uevent, line);)
    if (line.starts_with("DEVNAME=")) return "/dev/" + line.substr(8);
  return {};
}

TEST(SourceSet, ImageSourcesAreNeverTheDeviceOfAPath) {
  const fs::path dir = fs::temp_directory_path();
  const fs::path image = dir / "vellum-identity.img";
  std::ofstream(image) << "x";
  EXPECT_FALSE(IsOnSourceDevice((dir / "results.txt").string(), image.string()));
  EXPECT_FALSE(IsOnSourceDevice((dir / "results.txt").string(), "/no/such/device"));
  fs::remove(image);
}

TEST(SourceSet, APathOnTheSourceDeviceIsSeenEvenBeforeItExists) {
  const fs::path dir = fs::temp_directory_path();
  const std::string node = DeviceNodeOf(dir);
  struct stat st {};
  if (node.empty() || ::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
    GTEST_SKIP() << "the temporary folder is not on a block device this machine shows";
  EXPECT_TRUE(IsOnSourceDevice((dir / "not-yet" / "deeper" / "results.txt").string(), node));
}

}  // namespace
}  // namespace vellum::platform
