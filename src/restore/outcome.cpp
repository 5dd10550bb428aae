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

namespace {

// Where a text's last name begins: after its last separator.
size_t LastNameAt(std::string_view text) {
  for (size_t i = text.size(); i > 0; --i)
    if (platform::IsPathSeparator(text[i - 1])) return i;
  return 0;
}

}  // namespace

uint32_t Outcomes::WordNumber(std::string_view text) {
  if (text.empty()) return 0;
  if (const auto found = wordIndex_.find(text); found != wordIndex_.end()) return found->second;
  const uint32_t number = static_cast<uint32_t>(words_.size() + 1);
  wordIndex_.emplace(words_.emplace_back(text), number);
  return number;
}

uint32_t Outcomes::FolderNumber(std::string_view folder) {
  if (folder.empty()) return kNoText;
  if (lastFolder_ != kNoText && folders_[lastFolder_] == folder) return lastFolder_;
  if (const auto found = folderIndex_.find(folder); found != folderIndex_.end()) return lastFolder_ = found->second;
  lastFolder_ = static_cast<uint32_t>(folders_.size());
  folderIndex_.emplace(folders_.emplace_back(folder), lastFolder_);
  return lastFolder_;
}

void Outcomes::Add(ItemOutcome o) {
  Kept k;
  const std::string_view path = o.path, source = source_;
  const size_t pathCut = LastNameAt(path), sourceCut = LastNameAt(source);
  k.pathFolder = FolderNumber(path.substr(0, pathCut));
  k.sourceFolder = FolderNumber(source.substr(0, sourceCut));
  k.sameName = path.substr(pathCut) == source.substr(sourceCut);
  k.pathNameLength = static_cast<uint32_t>(path.size() - pathCut);
  k.names = names_.Append(std::string(path.substr(pathCut)) + std::string(k.sameName ? "" : source.substr(sourceCut)));
  k.row = static_cast<uint32_t>(std::min<size_t>(row_, UINT32_MAX));
  k.reason = WordNumber(o.reason);
  k.state = state_;
  k.check = check_;
  k.result = o.result;
  k.folder = o.folder;
  if (o.bytes != 0 || !o.sha256.empty() || o.modified || !o.zeroFilled.empty() || !o.overwritten.empty() ||
      !o.predicted.empty()) {
    k.written = static_cast<uint32_t>(written_.size());
    written_.push_back({o.bytes, std::move(o.sha256), o.modified, std::move(o.zeroFilled), std::move(o.overwritten),
                        std::move(o.predicted)});
  }
  const size_t result = static_cast<size_t>(o.result);
  if (result < counts_.size()) ++counts_[result][o.folder ? 1 : 0];
  items_.push_back(k);
}

ItemOutcome Outcomes::ItemAt(size_t at) const {
  const Kept& k = items_[at];
  const std::string_view names = names_.View(k.names);
  ItemOutcome o;
  o.path = FolderAt(k.pathFolder);
  o.path += names.substr(0, k.pathNameLength);
  o.source = FolderAt(k.sourceFolder);
  o.source += k.sameName ? names.substr(0, k.pathNameLength) : names.substr(k.pathNameLength);
  o.folder = k.folder;
  o.result = k.result;
  o.reason = WordAt(k.reason);
  o.row = k.row;
  o.state = WordAt(k.state);
  o.check = WordAt(k.check);
  if (k.written != kNoText) {
    const Written& w = written_[k.written];
    o.bytes = w.bytes;
    o.sha256 = w.sha256;
    o.modified = w.modified;
    o.zeroFilled = w.zeroFilled;
    o.overwritten = w.overwritten;
    o.predicted = w.predicted;
  }
  return o;
}

size_t OutcomeItems::size() const { return outcomes_.ItemCount(); }
ItemOutcome OutcomeItems::operator[](size_t at) const { return outcomes_.ItemAt(at); }
ItemOutcome OutcomeItems::Iterator::operator*() const { return outcomes_->ItemAt(at_); }

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
  Kept& o = items_.back();
  --counts_[static_cast<size_t>(o.result)][0];
  o.result = ItemResult::kReadAsZeros;
  ++counts_[static_cast<size_t>(o.result)][0];
}

void Outcomes::Skipped(std::string path, std::string_view reason, bool folder) {
  ItemOutcome o = Item(std::move(path), folder, ItemResult::kSkipped);
  o.reason = reason;
  Add(std::move(o));
}

void Outcomes::Failed(std::string path, std::string_view reason, bool folder) {
  ItemOutcome o = Item(std::move(path), folder, ItemResult::kFailed);
  o.reason = reason;
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
  // Counted by word, then by item: few words, many items.
  std::vector<bool> matches(words_.size() + 1, false);
  for (size_t w = 0; w < words_.size(); ++w) {
    const std::string_view word = words_[w];
    matches[w + 1] = word.starts_with(reason) && (word.size() == reason.size() || word.compare(reason.size(), 2, " (") == 0);
  }
  uint32_t n = static_cast<uint32_t>(std::count_if(items_.begin(), items_.end(), [&](const Kept& o) {
    return o.result == ItemResult::kSkipped && matches[o.reason];
  }));
  for (const auto& [why, count] : skippedBelow_)
    if (why == reason) n += count;
  return n;
}

bool Outcomes::AllIntact() const {
  if (!skippedBelow_.empty()) return false;
  return std::all_of(items_.begin(), items_.end(),
                     [](const Kept& o) { return o.result == ItemResult::kRestored; });
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
