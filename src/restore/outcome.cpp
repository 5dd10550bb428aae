#include "restore/outcome.h"

#include <algorithm>

#include "platform/file_system.h"
#include "restore/restore_output.h"

namespace vellum::restore {

namespace {

ItemOutcome Item(std::string path, bool folder, ItemResult result) {
  ItemOutcome o;
  o.path = std::move(path);
  o.folder = folder;
  o.result = result;
  return o;
}

}  // namespace

std::string_view Outcomes::Word(std::string_view text) {
  if (text.empty()) return {};
  auto at = words_.find(text);
  if (at == words_.end()) at = words_.emplace(text).first;
  return *at;
}

void Outcomes::Add(ItemOutcome o) {
  o.row = row_;
  o.source = source_;
  o.state = state_;
  o.check = check_;
  const size_t result = static_cast<size_t>(o.result);
  if (result < counts_.size()) ++counts_[result][o.folder ? 1 : 0];
  items_.push_back(std::move(o));
}

void Outcomes::Restored(std::string path, bool folder, WrittenFile written) {
  ItemOutcome o = Item(std::move(path), folder, ItemResult::kRestored);
  o.bytes = written.bytes;
  o.sha256 = std::move(written.sha256);
  o.modified = written.modified;
  Add(std::move(o));
}

void Outcomes::ZeroFilled(std::string path, std::vector<ByteRange> ranges, WrittenFile written) {
  ItemOutcome o = Item(std::move(path), false, ItemResult::kZeroFilled);
  o.zeroFilled = std::move(ranges);
  o.bytes = written.bytes;
  o.sha256 = std::move(written.sha256);
  o.modified = written.modified;
  Add(std::move(o));
}

void Outcomes::WrittenWithNotes(std::string path, PartNotes notes, WrittenFile written) {
  const ItemResult result = !notes.overwritten.empty()  ? ItemResult::kPartlyOverwritten
                            : !notes.unreadable.empty() ? ItemResult::kZeroFilled
                            : !notes.predicted.empty()  ? ItemResult::kPredicted
                                                        : ItemResult::kRestored;
  ItemOutcome o = Item(std::move(path), false, result);
  o.zeroFilled = std::move(notes.unreadable);
  o.overwritten = std::move(notes.overwritten);
  o.predicted = std::move(notes.predicted);
  o.bytes = written.bytes;
  o.sha256 = std::move(written.sha256);
  o.modified = written.modified;
  Add(std::move(o));
}

void Outcomes::ReadAsZeros(std::string path, PartNotes notes, WrittenFile written) {
  WrittenWithNotes(std::move(path), std::move(notes), std::move(written));
  ItemOutcome& o = items_.back();
  --counts_[static_cast<size_t>(o.result)][0];
  o.result = ItemResult::kReadAsZeros;
  ++counts_[static_cast<size_t>(o.result)][0];
}

void Outcomes::Skipped(std::string path, std::string_view reason, bool folder) {
  ItemOutcome o = Item(std::move(path), folder, ItemResult::kSkipped);
  o.reason = Word(reason);
  Add(std::move(o));
}

void Outcomes::Failed(std::string path, std::string_view reason, bool folder) {
  ItemOutcome o = Item(std::move(path), folder, ItemResult::kFailed);
  o.reason = Word(reason);
  Add(std::move(o));
}

void Outcomes::SkippedBelow(std::string_view reason, uint32_t count) {
  if (count > 0) skippedBelow_.emplace_back(std::string(reason), count);
}

uint32_t Outcomes::Count(ItemResult result, bool folders) const {
  const size_t r = static_cast<size_t>(result);
  uint32_t n = r < counts_.size() ? counts_[r][folders ? 1 : 0] : 0;
  if (result == ItemResult::kSkipped && !folders)
    for (const auto& [reason, count] : skippedBelow_) n += count;
  return n;
}

uint32_t Outcomes::WithReason(std::string_view reason) const {
  uint32_t n = static_cast<uint32_t>(std::count_if(items_.begin(), items_.end(), [&](const ItemOutcome& o) {
    return o.result == ItemResult::kSkipped && o.reason.starts_with(reason) &&
           (o.reason.size() == reason.size() || o.reason.compare(reason.size(), 2, " (") == 0);
  }));
  for (const auto& [why, count] : skippedBelow_)
    if (why == reason) n += count;
  return n;
}

bool Outcomes::AllIntact() const {
  if (!skippedBelow_.empty()) return false;
  return std::all_of(items_.begin(), items_.end(),
                     [](const ItemOutcome& o) { return o.result == ItemResult::kRestored; });
}

void Outcomes::SetFolderTimeLater(std::string path, timespec written) {
  folderTimes_.push_back({std::move(path), written});
}

void Outcomes::ApplyFolderTimes() {
  for (const FolderTime& f : folderTimes_) SetFolderTime(destination_, f.path, f.written);
}

namespace {

std::string RangesText(std::string_view what, const std::vector<ByteRange>& ranges) {
  std::string text = std::string(what) + " (バイト ";
  for (size_t i = 0; i < ranges.size(); ++i) {
    if (i == 3) {
      text += ", ...";
      break;
    }
    if (i) text += ", ";
    text += std::to_string(ranges[i].offset) + "-" + std::to_string(ranges[i].offset + ranges[i].length - 1);
  }
  return text + ")";
}

// Every kind of part the item has, worst first.
std::string PartsText(const ItemOutcome& o) {
  std::string text;
  const std::pair<std::string_view, const std::vector<ByteRange>*> parts[] = {
      {kOverwrittenWords, &o.overwritten}, {kUnreadableWords, &o.zeroFilled}, {kPredictedWords, &o.predicted}};
  for (const auto& [what, ranges] : parts)
    if (!ranges->empty()) text += (text.empty() ? "" : "、") + RangesText(what, *ranges);
  return text;
}

}  // namespace

void EachDetailLine(const Outcomes& outcomes, size_t limit, const std::function<void(std::string_view)>& line) {
  size_t shown = 0, more = 0;
  std::string text;
  for (const ItemOutcome& o : outcomes.Items()) {
    if (o.result == ItemResult::kRestored) continue;
    if (shown == limit) {
      ++more;
      continue;
    }
    ++shown;
    const std::string parts = o.result == ItemResult::kReadAsZeros ? std::string(kReadAsZerosWords) : PartsText(o);
    text = "\n  " + platform::WithSystemSeparators(o.path) + ": ";
    text += o.reason.empty() ? std::string_view(parts) : o.reason;
    line(text);
  }
  if (more) line("\n  ほか " + std::to_string(more) + " 件");
}

std::string DetailLines(const Outcomes& outcomes, size_t limit) {
  std::string text;
  EachDetailLine(outcomes, limit, [&](std::string_view line) { text += line; });
  return text;
}

}  // namespace vellum::restore
