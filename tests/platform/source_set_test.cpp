#include "platform/source_set.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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


// A made-up machine: a kernel block-device folder, a mount table and a
// process folder, as the kernel shows them, around real files in a
// temporary folder. Device nodes cannot be made without rights, so a block
// node a test must name is one this machine has, given a part in the tables.
class FakeSystem {
 public:
  FakeSystem()
      : root_(fs::temp_directory_path() /
              ("vellum-source-set-" + std::to_string(::getpid()) + "-" + std::to_string(++count_))) {
    fs::remove_all(root_);
    fs::create_directories(root_ / "sys" / "class");
    fs::create_directories(root_ / "proc");
    tables.sysBlock = (root_ / "sys" / "class").string();
    tables.mountinfo = (root_ / "mountinfo").string();
    tables.proc = (root_ / "proc").string();
    std::ofstream(tables.mountinfo);
  }
  ~FakeSystem() { fs::remove_all(root_); }

  std::string File(const std::string& name, const std::string& bytes = "image") {
    std::ofstream(root_ / name, std::ios::binary) << bytes;
    return (root_ / name).string();
  }
  // A block device `name` (under `parent` for a partition), as /sys/class/block lists it.
  fs::path Device(const std::string& name, dev_t number, const std::string& parent = {}) {
    const fs::path dir = parent.empty() ? root_ / "sys" / "devices" / name : fs::canonical(Class(parent)) / name;
    fs::create_directories(dir);
    std::ofstream(dir / "dev") << major(number) << ':' << minor(number) << '\n';
    fs::create_directory_symlink(dir, Class(name));
    return dir;
  }
  fs::path Partition(const std::string& name, dev_t number, const std::string& disk, uint64_t start, uint64_t size) {
    const fs::path dir = Device(name, number, disk);
    std::ofstream(dir / "partition") << "1\n";
    std::ofstream(dir / "start") << start << '\n';
    std::ofstream(dir / "size") << size << '\n';
    return dir;
  }
  void Loop(const std::string& name, dev_t number, const std::string& backing, uint64_t offset = 0) {
    const fs::path dir = Device(name, number);
    fs::create_directories(dir / "loop");
    std::ofstream(dir / "loop" / "backing_file") << backing << '\n';
    std::ofstream(dir / "loop" / "offset") << offset << '\n';
    std::ofstream(dir / "loop" / "sizelimit") << 0 << '\n';
  }
  // `holder` is stacked on `under` (a device-mapper device over a partition).
  void Stack(const std::string& holder, const std::string& under) {
    fs::create_directories(fs::canonical(Class(holder)) / "slaves");
    fs::create_directories(fs::canonical(Class(under)) / "holders");
    std::ofstream(fs::canonical(Class(holder)) / "slaves" / under);
    std::ofstream(fs::canonical(Class(under)) / "holders" / holder);
  }
  void Mount(dev_t number, const std::string& point, const std::string& type, const std::string& source) {
    std::ofstream(tables.mountinfo, std::ios::app)
        << ++mountId_ << " 1 " << major(number) << ':' << minor(number) << " / " << point
        << " rw,relatime shared:1 - " << type << ' ' << source << " rw\n";
  }
  // A process holding `files` open, started with `args`.
  void Process(int pid, const std::vector<std::string>& files, const std::vector<std::string>& args) {
    const fs::path dir = root_ / "proc" / std::to_string(pid);
    fs::create_directories(dir / "fd");
    for (size_t i = 0; i < files.size(); ++i) fs::create_symlink(files[i], dir / "fd" / std::to_string(i + 3));
    std::ofstream cmdline(dir / "cmdline", std::ios::binary);
    for (const std::string& a : args) cmdline << a << '\0';
    fs::create_directory_symlink(root_, dir / "cwd");
  }
  fs::path Root() const { return root_; }

  SystemTables tables;

 private:
  fs::path Class(const std::string& name) const { return root_ / "sys" / "class" / name; }
  static inline int count_ = 0;
  fs::path root_;
  int mountId_ = 20;
};

dev_t StDev(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

// Block nodes of this machine, to stand for the made-up devices a path names.
std::vector<std::pair<std::string, dev_t>> BlockNodes(size_t wanted) {
  std::vector<std::pair<std::string, dev_t>> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/dev", ec)) {
    struct stat st {};
    if (out.size() < wanted && ::stat(e.path().c_str(), &st) == 0 && S_ISBLK(st.st_mode))
      out.emplace_back(e.path().string(), st.st_rdev);
  }
  return out;
}

// A folder standing for a mounted file system: any folder whose device
// differs from the temporary folder's.
std::string OtherFileSystem() {
  for (const char* dir : {"/proc", "/sys", "/dev", "/run"})
    if (StDev(dir) != StDev(fs::temp_directory_path().string())) return dir;
  return {};
}

TEST(SourceSet, EveryFileOfTheSourceIsTheSourceByAnyName) {
  FakeSystem sys;
  const std::string first = sys.File("card.000"), second = sys.File("card.001"), other = sys.File("other.img");
  fs::create_hard_link(second, sys.Root() / "hard.001");
  fs::create_symlink(second, sys.Root() / "soft.001");
  const SourceSet set({{first, second}}, sys.tables);
  for (const char* name : {"card.000", "card.001", "hard.001", "soft.001"})
    EXPECT_EQ(set.Relation((sys.Root() / name).string()), SourceRelation::kIsSource) << name;
  // Beside the image on a disk that is not the source: a place like any other.
  EXPECT_EQ(set.Relation(other), SourceRelation::kUnrelated);
  EXPECT_EQ(set.Relation((sys.Root() / "new" / "report.tsv").string()), SourceRelation::kUnrelated);
  EXPECT_FALSE(set.IsMounted());
  EXPECT_EQ(SourceSet().Relation(first), SourceRelation::kUnrelated);
}

TEST(SourceSet, LoopAndStackedDevicesOverTheImageAndTheirMountsAreTheSource) {
  FakeSystem sys;
  const auto nodes = BlockNodes(2);
  const std::string mounted = OtherFileSystem();
  if (nodes.size() < 2 || mounted.empty()) GTEST_SKIP() << "this machine shows too few block nodes or file systems";
  const std::string image = sys.File("card.img");
  // loop over the image, a partition of it, a device-mapper device on that
  // partition whose file system shows the device number of `mounted`.
  sys.Loop("loop7", nodes[0].second, image);
  sys.Partition("loop7p1", nodes[1].second, "loop7", 2048, 4096);
  sys.Device("dm-3", StDev(mounted));
  sys.Stack("dm-3", "loop7p1");
  const SourceSet set({{image}}, sys.tables);
  EXPECT_EQ(set.Relation(nodes[0].first), SourceRelation::kIsSource);
  EXPECT_EQ(set.Relation(nodes[1].first), SourceRelation::kIsSource);
  EXPECT_EQ(set.Relation(mounted + "/not-yet/results.txt"), SourceRelation::kOnSourceDrive);
  EXPECT_FALSE(set.IsMounted());  // no mount line names any of them
  sys.Mount(StDev(mounted), mounted, "vfat", "/dev/mapper/card");
  ASSERT_EQ(set.Mounts().size(), 1u);
  EXPECT_EQ(set.Mounts()[0].mountPoint, mounted);
  EXPECT_EQ(set.Mounts()[0].unmountCommand, "umount '" + mounted + "'");
}

TEST(SourceSet, ThePartitionsOfASourceDiskAndTheDiskOfASourcePartition) {
  FakeSystem sys;
  const auto nodes = BlockNodes(3);
  if (nodes.size() < 3) GTEST_SKIP() << "this machine shows too few block nodes";
  sys.Device("sdz", nodes[0].second);
  sys.Partition("sdz1", nodes[1].second, "sdz", 2048, 2048);
  sys.Partition("sdz2", nodes[2].second, "sdz", 4096, 2048);
  // The whole disk: every partition on it is the source.
  const SourceSet disk({{nodes[0].first}}, sys.tables);
  EXPECT_EQ(disk.Relation(nodes[2].first), SourceRelation::kIsSource);
  // One partition: the disk holding it is too (writing it writes the
  // partition), the partition beside it is not.
  const SourceSet part({{nodes[1].first}}, sys.tables);
  EXPECT_EQ(part.Relation(nodes[0].first), SourceRelation::kIsSource);
  EXPECT_EQ(part.Relation(nodes[2].first), SourceRelation::kUnrelated);
}

TEST(SourceSet, AMountOfAnotherPartitionOfTheSameDiskCountsOnlyForThatPartition) {
  FakeSystem sys;
  const std::string mounted = OtherFileSystem();
  if (mounted.empty()) GTEST_SKIP() << "no second file system to stand for the mount";
  const std::string disk = sys.File("disk.img");
  sys.Loop("loop5", makedev(7, 5), disk);
  sys.Partition("loop5p1", StDev(mounted), "loop5", 2048, 2048);  // bytes 1 MiB to 2 MiB
  sys.Partition("loop5p2", makedev(259, 2), "loop5", 4096, 2048);  // bytes 2 MiB to 3 MiB
  sys.Mount(StDev(mounted), mounted, "vfat", "/dev/loop5p1");
  const SourceSet second({{disk}, 4096 * 512, 2048 * 512}, sys.tables);
  const SourceSet first({{disk}, 2048 * 512, 2048 * 512}, sys.tables);
  const SourceSet whole({{disk}}, sys.tables);
  EXPECT_FALSE(second.IsMounted());
  EXPECT_TRUE(first.IsMounted());
  EXPECT_TRUE(whole.IsMounted());
  // Writing there is still writing onto the disk the volume lies on.
  EXPECT_EQ(second.Relation(mounted + "/out"), SourceRelation::kOnSourceDrive);
}

TEST(SourceSet, FuseMountsNamingTheImageOrServedByADriverThatHoldsIt) {
  FakeSystem sys;
  const std::string mounted = OtherFileSystem();
  if (mounted.empty()) GTEST_SKIP() << "no second file system to stand for the mount";
  const std::string image = sys.File("card.img"), other = sys.File("other.img");
  const SourceSet set({{image}}, sys.tables);
  // A FUSE line that names no device, and no driver holding the image: someone else's.
  sys.Mount(StDev(mounted), mounted, "fuse.fusefat", "fusefat");
  EXPECT_FALSE(set.IsMounted());
  EXPECT_EQ(set.Relation(mounted + "/out"), SourceRelation::kUnrelated);
  sys.Process(4242, {other, "/dev/fuse"}, {"fusefat", "-o", "ro", "other.img", mounted});
  EXPECT_FALSE(set.IsMounted());
  // fusefat holding the image and /dev/fuse, its folder named on its command line.
  sys.Process(4243, {image, "/dev/fuse"}, {"fusefat", "-o", "ro", "card.img", mounted});
  EXPECT_EQ(set.Relation(mounted + "/out"), SourceRelation::kOnSourceDrive);
  ASSERT_EQ(set.Mounts().size(), 1u);
  EXPECT_EQ(set.Mounts()[0].unmountCommand, "fusermount -u '" + mounted + "'");
}

TEST(SourceSet, AFuseLineNamingTheImageAndADriverNamingNoFolder) {
  FakeSystem sys;
  const std::string mounted = OtherFileSystem();
  if (mounted.empty()) GTEST_SKIP() << "no second file system to stand for the mount";
  const std::string image = sys.File("my card.img");
  const SourceSet set({{image}}, sys.tables);
  std::string escaped = image;
  escaped.replace(escaped.find(' '), 1, "\\040");
  sys.Mount(StDev(mounted), mounted, "fuse.archivemount", escaped);
  EXPECT_EQ(set.Relation(mounted + "/x"), SourceRelation::kOnSourceDrive);
  EXPECT_TRUE(set.IsMounted());

  FakeSystem bare;
  const std::string held = bare.File("card.img");
  bare.Process(77, {held, "/dev/fuse"}, {"fusefat"});
  const SourceSet heldSet({{held}}, bare.tables);
  ASSERT_TRUE(heldSet.IsMounted());
  EXPECT_TRUE(heldSet.Mounts()[0].mountPoint.empty());
}

}  // namespace
}  // namespace vellum::platform
