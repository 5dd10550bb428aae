#include "volume/drives.h"
#include "volume/scan_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace vellum::volume {
namespace {

namespace fs = std::filesystem;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

// A /sys/class/block and /dev laid out as the kernel and udev do: the class
// folder holds links into the device tree, partitions are folders of their disk.
class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("vellum-sysfs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "class/block");
    fs::create_directories(root_ / "dev/disk/by-label");
  }
  void TearDown() override { fs::remove_all(root_); }

  void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << '\n';
  }
  // Adds devices/<path> with its size in 512-byte units and links it into the class folder.
  fs::path Device(const std::string& path, uint64_t sectors, const std::string& dev,
                  std::map<std::string, std::string> files = {}) {
    const fs::path dir = root_ / "devices" / path;
    Write(dir / "size", std::to_string(sectors));
    Write(dir / "dev", dev);
    fs::create_directories(dir / "holders");
    for (const auto& [name, text] : files) Write(dir / name, text);
    fs::create_symlink(fs::path("../../devices") / path, root_ / "class/block" / dir.filename());
    return dir;
  }
  std::vector<DriveEntry> List() {
    return ListBlockDevices((root_ / "class/block").string(), (root_ / "dev").string());
  }

  fs::path root_;
};

TEST_F(FakeSysfs, ListsVolumesAndSkipsWhatCannotBeSearched) {
  Device("sda", 1000000, "8:0", {{"removable", "0"}, {"device/vendor", "ATA"}, {"device/model", "Disk One"}});
  Device("sda/sda1", 500000, "8:1", {{"partition", "1"}});
  Device("sda/sda2", 2, "8:2", {{"partition", "2"}});  // an extended container
  Device("sda/sda10", 4000, "8:10", {{"partition", "10"}});
  Device("sdb", 60000, "8:16", {{"removable", "1"}, {"device/vendor", "0x1af4"}, {"device/model", "Flash Disk"}});
  Device("sdc", 80000, "8:32", {{"removable", "1"}});
  Device("sdc/sdc1", 70000, "8:33", {{"partition", "1"}, {"holders/dm-0", ""}});  // under LVM
  Device("dm-0", 70000, "254:0", {{"removable", "0"}, {"dm/name", "vg-root"}});
  Device("sr0", 2000, "11:0", {{"removable", "1"}});
  Device("ram0", 8192, "1:0");
  Device("zram0", 8192, "252:0");
  Device("loop0", 0, "7:0");
  Device("loop1", 4096, "7:1");
  Device("fd0", 2880, "2:0", {{"removable", "1"}});
  fs::create_symlink("../../sda1", root_ / "dev/disk/by-label/MY\\x20DATA");

  const auto drives = List();
  std::vector<std::string> roots;
  for (const auto& d : drives) roots.push_back(d.rootText);
  EXPECT_EQ(roots, (std::vector<std::string>{"dm-0:/", "fd0:/", "loop1:/", "sda1:/", "sda10:/", "sdb:/"}));
  std::map<std::string, DriveEntry> by;
  for (const auto& d : drives) by[d.rootText] = d;
  EXPECT_EQ(by["sda1:/"].driveType, kDriveFixed);
  EXPECT_EQ(by["sdb:/"].driveType, kDriveRemovable);
  EXPECT_EQ(by["fd0:/"].driveType, kDriveRemovable);
  EXPECT_EQ(by["dm-0:/"].driveType, kDriveFixed);
  EXPECT_EQ(by["sda1:/"].displayName, "MY DATA (sda1)");
  EXPECT_EQ(by["sda10:/"].displayName, "ATA Disk One (sda10)");
  EXPECT_EQ(by["sdb:/"].displayName, "Flash Disk (sdb)");
  EXPECT_EQ(by["dm-0:/"].displayName, "vg-root (dm-0)");
  EXPECT_EQ(by["loop1:/"].displayName, "loop1");
  EXPECT_EQ(by["sda1:/"].sourcePath, (root_ / "dev/sda1").string());
  EXPECT_EQ(by["sda1:/"].length, 500000u * 512);
  EXPECT_EQ(by["sda1:/"].deviceNumber, "8:1");
}

TEST_F(FakeSysfs, DefaultIsTheSystemDriveElseTheFirst) {
  Device("sda", 1000, "8:0", {{"removable", "1"}});
  Device("vda", 1000, "253:0");
  Device("vda/vda1", 900, "253:1", {{"partition", "1"}});
  DriveSources sources;
  sources.sysfsBlock = (root_ / "class/block").string();
  sources.devDir = (root_ / "dev").string();
  sources.systemDevice = "253:1";
  DriveTable t = EnumerateDrives(sources);
  ASSERT_EQ(t.entries.size(), 2u);
  EXPECT_EQ(t.defaultIndex, 1);
  sources.systemDevice = "0:42";  // an overlay root: no drive of ours
  EXPECT_EQ(EnumerateDrives(sources).defaultIndex, 0);
  fs::remove_all(root_ / "class/block");
  EXPECT_EQ(EnumerateDrives(sources).defaultIndex, -1);
}

TEST_F(FakeSysfs, ImagesFollowTheDevicesOneEntryPerPartition) {
  Device("sda", 1000, "8:0");
  DriveSources sources;
  sources.sysfsBlock = (root_ / "class/block").string();
  sources.devDir = (root_ / "dev").string();
  sources.systemDevice = "0:0";
  sources.images = {Image("disk-mbr.img"), Image("no-such.img"), Image("fat16.img"), Image("disk-gpt.img")};
  const DriveTable t = EnumerateDrives(sources);
  std::vector<std::string> roots;
  for (const auto& d : t.entries) {
    EXPECT_EQ(d.index, static_cast<int32_t>(roots.size()));
    roots.push_back(d.rootText);
  }
  EXPECT_EQ(roots, (std::vector<std::string>{"sda:/", "disk-mbr.img#1:/", "disk-mbr.img#2:/",
                                             "disk-mbr.img#3:/", "disk-mbr.img#4:/", "fat16.img:/",
                                             "disk-gpt.img#1:/", "disk-gpt.img#2:/", "disk-gpt.img#3:/"}));
  ASSERT_EQ(t.errors.size(), 1u);
  EXPECT_NE(t.errors[0].find("no-such.img"), std::string::npos);
  const DriveEntry& logical = t.entries[3];
  EXPECT_EQ(logical.partitionNumber, 3u);
  EXPECT_EQ(logical.offset, 86016u * 512);
  EXPECT_EQ(logical.length, 16384u * 512);
  EXPECT_EQ(logical.sourcePath, Image("disk-mbr.img"));
  EXPECT_EQ(t.entries[5].partitionNumber, 0u);
  EXPECT_EQ(t.entries[5].displayName, "fat16.img");
}

TEST(DriveSelection, InUseOptionFollowsTheFileSystem) {
  DriveTable t;
  std::string error;
  ASSERT_TRUE(AppendImage(t, Image("disk-mbr.img"), error)) << error;
  ASSERT_EQ(t.entries.size(), 4u);
  EXPECT_EQ(OnDriveSelected(t.entries[0]), InUseOption::Enable);   // FAT16
  EXPECT_EQ(OnDriveSelected(t.entries[2]), InUseOption::Disable);  // NTFS
  EXPECT_EQ(OnDriveSelected(t.entries[3]), InUseOption::Enable);   // exFAT
  DriveEntry gone = t.entries[2];
  gone.sourcePath = Image("no-such.img");
  EXPECT_EQ(OnDriveSelected(gone), InUseOption::Keep);
  // A floppy is never opened to decide.
  DriveEntry floppy;
  floppy.rootText = "fd0:/";
  floppy.driveType = kDriveRemovable;
  floppy.sourcePath = Image("no-such-floppy");
  floppy.deviceNumber = "2:0";
  EXPECT_EQ(OnDriveSelected(floppy), InUseOption::Enable);

  // The legacy path leaves the option as it is, NTFS or not.
  ScanState legacy;
  legacy.isNt = 0;
  EXPECT_EQ(OnDriveSelected(legacy, t.entries[2]), InUseOption::Keep);
  EXPECT_EQ(OnDriveSelected(legacy, floppy), InUseOption::Keep);
  EXPECT_EQ(OnDriveSelected(ScanState{}, t.entries[2]), InUseOption::Disable);
}

}  // namespace
}  // namespace vellum::volume
