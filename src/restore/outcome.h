// What became of every item a restore was asked for. One record per command,
// shared by the FAT, exFAT, NTFS and content restores, so that the summary
// and the exit status say the same thing: what was restored intact, what
// has zeros where the disk could not be read, what was skipped and why, and
// what failed with the system's reason.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <deque>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include <utility>

#include "volume/text_pool.h"

namespace vellum::restore {

enum class ItemResult {
  kRestored,
  kZeroFilled,  // restored whole, with zeros where the volume could not be read
  kPredicted,   // restored whole, part of it from clusters guessed where the chain was gone
  kPartlyOverwritten,  // restored whole, with zeros where its clusters are in use again
  kSkipped,     // nothing written, for a reason of ours (see the reason)
  kFailed,      // the destination refused: the system's reason
  // Written at its size, but every byte read was zero (holes of the image,
  // failed reads, clusters cleared): nothing of the file itself came back.
  kReadAsZeros,
};

struct ByteRange {
  uint64_t offset = 0;
  uint64_t length = 0;
};

// An item as Outcomes hands it out, made from what it keeps of it.
struct ItemOutcome {
  std::string path;  // where it went, or where it would have gone
  bool folder = false;
  ItemResult result = ItemResult::kRestored;
  // The reason, state and check are words of a few kinds, kept once by the
  // command's Outcomes (which must outlive the item).
  std::string_view reason;
  std::vector<ByteRange> zeroFilled;
  std::vector<ByteRange> overwritten;  // zeros where the clusters hold another file now
  std::vector<ByteRange> predicted;    // read from clusters the run was predicted to take
  // For the restore report: what was written, and what the item was asked for as.
  uint64_t bytes = 0;
  std::string sha256;  // hex, of the bytes written; empty for folders and items not written
  std::optional<timespec> modified;
  size_t row = 0;      // the result row (from 1) the item was restored for; 0 for a walk
  std::string source;  // that row's path on the volume
  std::string_view state;  // that row's recoverability before the restore ("intact", ...); empty for a walk
  std::string_view check;  // a recognised file's own check ("verified", ...); empty for other rows
};

// What the restore of one file leaves for the report.
struct WrittenFile {
  uint64_t bytes = 0;
  std::string sha256;
  std::optional<timespec> modified;
};

// The parts of a written file that are not simply its recorded clusters.
struct PartNotes {
  std::vector<ByteRange> unreadable, overwritten, predicted;
  bool Empty() const { return unreadable.empty() && overwritten.empty() && predicted.empty(); }
};

// Reasons for a skip, in the words the summary uses.
inline constexpr std::string_view kReasonUnsafeName = "使えない名前";
inline constexpr std::string_view kReasonPathTooLong = "パスが長すぎる";
// One name of the path is longer than the system holds (255 bytes on Linux,
// 255 UTF-16 units on Windows): no shorter destination would help.
inline constexpr std::string_view kReasonNameTooLong = "名前が長すぎる";
inline constexpr std::string_view kReasonNoData = "データが見つからない";
inline constexpr std::string_view kReasonNotRestorable = "未対応の行";
inline constexpr std::string_view kReasonNotOnVolume = "この一覧の行がこのボリュームに見つかりません";
// The check that the row is on this volume met sectors the device cannot
// read (its folder or its first cluster): the row may well be there.
inline constexpr std::string_view kReasonUncheckedUnreadable =
    "読めないセクタがあるため、この一覧の行がこのボリュームにあるか確かめられません";
inline constexpr std::string_view kReasonLargerThanVolume = "サイズがボリュームのデータ領域より大きい";
inline constexpr std::string_view kReasonPastVolumeEnd = "先頭クラスタからのサイズがボリュームの終わりを越える";
inline constexpr std::string_view kReasonWriteFailed = "書き込みに失敗";
inline constexpr std::string_view kReasonReadFailed = "読み込みに失敗";
inline constexpr std::string_view kReasonInterrupted = "中断したため途中まで";
// Followed by the link's path: a link found where the restore must make or
// enter a folder, which it never follows.
inline constexpr std::string_view kReasonLink = "復元先にあるリンク";

// What the parts of a file written with notes were, in the summary's words.
inline constexpr std::string_view kUnreadableWords = "読めない部分を 0 で埋めた";
inline constexpr std::string_view kOverwrittenWords = "上書きされた部分を 0 で埋めた";
inline constexpr std::string_view kPredictedWords = "クラスタの並びを予測して復元した";
inline constexpr std::string_view kReadAsZerosWords = "0 としか読めなかった";

class Destination;
class Outcomes;

// The items of an Outcomes in the order recorded, each made when asked for.
class OutcomeItems {
 public:
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = ItemOutcome;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = ItemOutcome;
    Iterator(const Outcomes& outcomes, size_t at) : outcomes_(&outcomes), at_(at) {}
    ItemOutcome operator*() const;
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    const Outcomes* outcomes_;
    size_t at_;
  };
  explicit OutcomeItems(const Outcomes& outcomes) : outcomes_(outcomes) {}
  size_t size() const;
  bool empty() const { return size() == 0; }
  ItemOutcome operator[](size_t at) const;
  ItemOutcome back() const { return (*this)[size() - 1]; }
  Iterator begin() const { return Iterator(outcomes_, 0); }
  Iterator end() const { return Iterator(outcomes_, size()); }

 private:
  const Outcomes& outcomes_;
};

class Outcomes {
 public:
  Outcomes() = default;
  // Items view the words this record keeps: it moves, but is never copied.
  Outcomes(const Outcomes&) = delete;
  Outcomes& operator=(const Outcomes&) = delete;
  Outcomes(Outcomes&&) = default;
  Outcomes& operator=(Outcomes&&) = default;

  // The destination every item of this command goes below; folders and
  // files are reached from its root (see Destination). Not owned.
  void SetDestination(Destination* destination) { destination_ = destination; }
  Destination* DestinationOf() const { return destination_; }

  void Restored(std::string path, bool folder, WrittenFile written = {});
  void ZeroFilled(std::string path, std::vector<ByteRange> ranges, WrittenFile written = {});
  // A file written whole with the parts `notes` names; the worst of them
  // gives its result: overwritten, then unreadable, then predicted.
  void WrittenWithNotes(std::string path, PartNotes notes, WrittenFile written = {});
  // A file written at its size whose every byte was zero.
  void ReadAsZeros(std::string path, PartNotes notes, WrittenFile written = {});
  void Skipped(std::string path, std::string_view reason, bool folder = false);
  void Failed(std::string path, std::string_view reason, bool folder = false);
  // Entries below a folder skipped for `reason`, which was not entered:
  // counted as skipped files, with no path of their own (a hostile tree
  // may hold hundreds of thousands).
  void SkippedBelow(std::string_view reason, uint32_t count);
  // The row being restored: stamped on every item recorded until the next.
  void SetCurrentRow(size_t row, std::string source, std::string_view state = {}) {
    row_ = row;
    source_ = std::move(source);
    state_ = WordNumber(state);
    check_ = 0;
  }
  // What the current row's own check said (recognised files only).
  void SetCurrentCheck(std::string_view check) { check_ = WordNumber(check); }
  // In a walk restore (no row), the entry on the volume the next items come
  // from: its path and where it was found (a cluster, a record).
  void SetWalkSource(std::string source) {
    if (row_ == 0) source_ = std::move(source);
  }
  // A name the destination refused, written with full-width characters instead.
  void Renamed() { ++renamed_; }
  // An alternate data stream written as "FILE_STREAM": the destination
  // takes no "FILE:STREAM".
  void StreamBesideName() { ++streamsBeside_; }

  uint32_t Count(ItemResult result, bool folders) const;
  uint32_t Files() const {
    return Count(ItemResult::kRestored, false) + Count(ItemResult::kZeroFilled, false) +
           Count(ItemResult::kPredicted, false) + Count(ItemResult::kPartlyOverwritten, false) +
           Count(ItemResult::kReadAsZeros, false);
  }
  uint32_t Folders() const { return Count(ItemResult::kRestored, true); }
  uint32_t RenamedCount() const { return renamed_; }
  uint32_t StreamsBesideNameCount() const { return streamsBeside_; }
  // Items skipped for `reason` (alone, or followed by what it concerns in brackets).
  uint32_t WithReason(std::string_view reason) const;
  // True when every item asked for was restored byte for byte.
  bool AllIntact() const;
  OutcomeItems Items() const { return OutcomeItems(*this); }
  size_t ItemCount() const { return items_.size(); }
  ItemOutcome ItemAt(size_t at) const;

  // Items already written in this command, so that a file chosen together
  // with the folder that holds it is written once: a key is taken when it
  // is first restored.
  bool AlreadyDone(const std::string& key) const { return done_.count(key) != 0; }
  void MarkDone(const std::string& key) { done_.insert(key); }

  // Folders made by this command get their recorded times once everything
  // has been written into them (each new file changes a folder's time).
  // Applying may be repeated: a later write into a folder is undone by the
  // next application, and the command applies them all once more at its end.
  void SetFolderTimeLater(std::string path, timespec written);
  void ApplyFolderTimes();

 private:
  // What an item keeps beyond its texts and words: only files written
  // have any, and a list of millions of rows skips most of its items.
  struct Written {
    uint64_t bytes = 0;
    std::string sha256;
    std::optional<timespec> modified;
    std::vector<ByteRange> zeroFilled, overwritten, predicted;
  };
  // One item as kept: its path and source each as a folder (with its
  // separator, shared by the items of that folder) and a last name, the
  // names side by side in the text pool, and the source's name left out
  // when it is the path's; its words by number.
  struct Kept {
    uint32_t pathFolder = kNoText;
    uint32_t sourceFolder = kNoText;
    volume::TextPool::Ref names;  // the path's last name, then the source's
    uint32_t pathNameLength = 0;
    uint32_t row = 0;
    uint32_t written = kNoText;  // in written_
    uint32_t reason = 0;  // in words_, from 1; 0 for none
    uint32_t state = 0, check = 0;  // in words_, as reason (a check can name a byte offset)
    ItemResult result = ItemResult::kRestored;
    bool folder = false;
    bool sameName = false;  // the source's last name is the path's
  };
  static constexpr uint32_t kNoText = UINT32_MAX;

  void Add(ItemOutcome o);
  // The number of `text` in words_, which holds each text once where it
  // stays; 0 for an empty text.
  uint32_t WordNumber(std::string_view text);
  std::string_view WordAt(uint32_t number) const { return number == 0 ? std::string_view() : words_[number - 1]; }
  uint32_t FolderNumber(std::string_view folder);
  std::string FolderAt(uint32_t number) const { return number == kNoText ? std::string() : folders_[number]; }

  friend class OutcomeItems;
  // A deque, not a vector: a list of millions of rows leaves as many
  // outcomes, and growing a vector of them would need twice their memory.
  std::deque<Kept> items_;
  std::deque<Written> written_;
  volume::TextPool names_;
  std::deque<std::string> folders_;
  std::unordered_map<std::string_view, uint32_t> folderIndex_;
  uint32_t lastFolder_ = kNoText;
  // Items by result and by file (0) or folder (1): a restore asks after
  // every row, and counting the items each time made it quadratic.
  std::array<std::array<uint32_t, 2>, 7> counts_{};
  uint32_t renamed_ = 0;
  uint32_t streamsBeside_ = 0;
  std::vector<std::pair<std::string, uint32_t>> skippedBelow_;
  size_t row_ = 0;
  std::string source_;
  uint32_t state_ = 0;
  uint32_t check_ = 0;
  // Few: the reasons (some naming a link), states and checks.
  std::deque<std::string> words_;
  std::unordered_map<std::string_view, uint32_t> wordIndex_;
  std::set<std::string> done_;
  struct FolderTime {
    std::string path;
    timespec written;
  };
  std::vector<FolderTime> folderTimes_;
  Destination* destination_ = nullptr;
};

// The lines naming every item not restored intact, "  path: reason", at
// most `limit` of them and then a line with how many more there are; each
// begins with its line break.
std::string DetailLines(const Outcomes& outcomes, size_t limit);
// The same lines handed out one at a time, for a caller that writes them
// as they come: on a long list they would make a text of hundreds of MB.
void EachDetailLine(const Outcomes& outcomes, size_t limit, const std::function<void(std::string_view)>& line);

}  // namespace vellum::restore
