#include "content/content_row.h"

#include <cinttypes>
#include <cstdio>

#include "content/cluster_follow.h"
#include "platform/codepage.h"
#include "restore/restore_output.h"
#include "volume/listing.h"

namespace vellum::content {

namespace {

std::string RightAligned(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%8" PRIu64, value);
  return text;
}

}  // namespace

bool PassesNameFilter(const ScanState& state, std::string_view ext) {
  const std::string& filter = state.options.filter;
  if (filter.empty()) return true;
  return ("." + platform::UpperAscii(ext)).find(filter) != std::string::npos;
}

bool PickCandidateExtension(const ScanState& state, std::initializer_list<std::string_view> candidates,
                            std::string& ext) {
  if (state.options.filter.empty()) return true;
  for (std::string_view candidate : candidates) {
    if (PassesNameFilter(state, candidate)) {
      ext = candidate;
      return true;
    }
  }
  return false;
}

void AddContentRow(ScanState& state, std::string_view ext, uint64_t cluster, uint64_t size) {
  const std::string name = "不明" + std::to_string(cluster) + "." + std::string(ext);
  std::string_view typeName;
  const size_t row = volume::ListFoundEntry(state, name, false, &typeName);
  RowSink* rows = state.rows;
  if (rows == nullptr) return;
  rows->SetCell(row, 1, state.rootPath + "<不明>");
  rows->SetCell(row, 2, RightAligned(size));
  rows->SetCell(row, 3, typeName);
  rows->SetCell(row, 4, "<不明>");
  rows->SetCell(row, state.fsKind == volume::kNtfs ? 6 : 5, RightAligned(cluster));
  rows->SetDataWord(row, 0);
}

bool RestoreFoundContent(ScanState& s, const restore::RestoreTarget& target, const FoundContent& found) {
  if (!restore::IsSafeComponent(found.name)) return false;
  restore::Outcomes& outcomes = restore::OutcomesOf(target);
  const std::string key = "content:" + std::to_string(found.firstCluster) + ":" + std::to_string(found.size);
  if (outcomes.AlreadyDone(key)) return true;
  outcomes.MarkDone(key);
  const std::string parent = restore::ParentOf(target, found.folder);
  const std::string item = parent + "/" + found.name;
  if (found.size > s.dataAreaBytes) {
    outcomes.Skipped(item, restore::kReasonLargerThanVolume);
    return true;
  }
  const std::string folder = restore::ResolveFolder(target, parent, item);
  if (folder.empty()) return true;
  restore::WriteRestoredFile(s, target, folder, found.name, timespec{0, UTIME_OMIT}, [&](restore::RestoredFile& file) {
    return CopyFollowedClusters(s, file, found.firstCluster, found.size);
  });
  return true;
}

}  // namespace vellum::content
