#include "volume/source.h"

#include "platform/file_system.h"
#include "platform/images/open_image.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vellum::volume {

namespace {

namespace fs = std::filesystem;

const char* TableName(TableKind kind) { return kind == TableKind::Gpt ? "GPT" : "MBR"; }

OpenedSource Failure(std::string error) {
  OpenedSource r;
  r.error = std::move(error);
  return r;
}

OpenedSource OpenPartition(std::unique_ptr<platform::BlockDevice> disk, const std::string& path,
                           const PartitionTable& table, uint32_t number) {
  const Partition& p = table.partitions[number - 1];
  OpenedSource r;
  std::shared_ptr<platform::BlockDevice> whole(std::move(disk));
  r.device = std::make_unique<platform::OffsetWindow>(whole, p.startByte, p.lengthBytes);
  r.rootText = RootText(SourceName(path), number);
  return r;
}

}  // namespace

std::string RootText(const std::string& name, uint32_t partitionNumber) {
  const std::string end(platform::kRootTextEnd);
  return partitionNumber == 0 ? name + end : name + "#" + std::to_string(partitionNumber) + end;
}

std::string SourceName(const std::string& path) {
  if (platform::IsDevicePath(path)) {
    if (std::string name = platform::DeviceName(path); !name.empty()) return name;
  }
  const fs::path p = platform::PathFromUtf8(path);
  return platform::Utf8FromPath(p.has_filename() ? p.filename() : p.parent_path().filename());
}

std::string FormatSize(uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 6) value /= 1024, ++unit;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string DescribePartitions(const std::string& name, const PartitionTable& table) {
  std::string text;
  for (const Partition& p : table.partitions) {
    text += "  " + std::to_string(p.number) + "  " + RootText(name, p.number) + "  " +
            FormatSize(p.lengthBytes) + "  " + PartitionFsText(p);
    if (p.clipped) text += p.lengthBytes == 0 ? "  （ディスクの終わりより後ろ）" : "  （ディスクの終わりで切れている）";
    text += '\n';
  }
  if (!text.empty()) text.pop_back();
  return text;
}

std::string PartitionChoiceError(const std::string& path, const PartitionTable& table, uint32_t partitionNumber) {
  if (partitionNumber != 0) {
    if (table.kind == TableKind::None)
      return path + " にはパーティションテーブルがありません。--partition はディスク全体にだけ使えます。";
    if (partitionNumber > table.partitions.size())
      return path + " にパーティション " + std::to_string(partitionNumber) + " はありません。パーティションは次のとおりです:\n" +
             DescribePartitions(SourceName(path), table);
    if (table.partitions[partitionNumber - 1].lengthBytes == 0)
      return path + " のパーティション " + std::to_string(partitionNumber) + " はディスクの終わりより後ろにあります。";
    return {};
  }
  if (table.kind == TableKind::None) return {};
  if (table.partitions.empty())
    return path + " はディスク全体ですが、" + std::string(TableName(table.kind)) +
           " パーティションテーブルにパーティションがありません。";
  return path + " はディスク全体です (" + TableName(table.kind) +
         " パーティションテーブル)。--partition N でパーティションを選んでください:\n" +
         DescribePartitions(SourceName(path), table);
}

OpenedSource OpenSource(const std::string& path, uint32_t partitionNumber,
                        platform::OpenAccess access) {
  auto opened = platform::OpenSourceFile(path, access);
  if (!opened.device) {
    OpenedSource r = Failure(opened.error);
    r.errorCode = opened.errorCode;
    r.systemText = opened.systemText;
    r.containerKind = opened.kind;
    return r;
  }
  const PartitionTable table = ReadPartitionTable(*opened.device);
  if (std::string why = PartitionChoiceError(path, table, partitionNumber); !why.empty()) {
    OpenedSource r = Failure(why);
    r.partitionChoice = true;
    return r;
  }
  OpenedSource r;
  if (partitionNumber != 0) {
    r = OpenPartition(std::move(opened.device), path, table, partitionNumber);
  } else {
    r.device = std::move(opened.device);
    r.rootText = RootText(SourceName(path), 0);
  }
  r.containerKind = opened.kind;
  return r;
}

}  // namespace vellum::volume
