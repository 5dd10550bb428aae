// The search-results file: a long search is saved as TAB-separated text and
// loaded again later, for example to restore after a restart. The file holds
// the drive box index, the columns, and every row's cells and data word:
//
//   2
//   名前<TAB>16384<TAB>110<TAB>フォルダ名<TAB>16384<TAB>210<TAB>...
//   README.TXT<TAB>sdb1:/DOCS<TAB>1234<TAB>...<TAB>     345<TAB>       0
//
// Lines end with CR LF (LF alone is read too). We write UTF-8; files written
// in code page 932 are still read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/result_list.h"
#include "platform/file_system.h"
#include "platform/source_set.h"
#include "volume/seams.h"

namespace vellum::app {

inline constexpr std::string_view kResultsInitialName = "結果";
inline constexpr std::string_view kNothingToSave = "保存する検索結果は1件もありません。";
// Saving onto the volume itself would overwrite what is to be restored.
std::string SaveOntoSourceMessage(const std::string& path, const std::string& source);

inline constexpr std::string_view kSaveOnSourceQuestion =
    "復元元のドライブに保存する場合、復元元のデータが破壊されることがあります。\n"
    "他のドライブが使用可能な場合は、そちらに保存することをお勧めします。\n\n"
    "処理を続けますか。";
inline constexpr std::string_view kResultsReadFailed = "ファイルがＯＰＥＮできません。";

// Cells and headings are saved with at most this many bytes as code page 932
// counts them; the folder cell is saved whole, so that a list of a deep tree
// names every folder as the walk finds it again.
inline constexpr size_t kMaxSavedCellLength = 519;

// A name or folder cell as a line of the file holds it. A name from a disk
// may hold control characters: a TAB would split the row (a crafted name
// could make a whole row of its own), CR and LF the line. Each of them (and
// every other character below U+0020, and DEL) is written as "//" and its
// two hexadecimal digits: TAB as //09, ESC as //1B. No cell written without
// them holds "//": a name holds no '/', and a folder's names are never
// empty. Cells without control characters are written as they are.
std::string EscapeNameCell(std::string_view cell);
// The cell as the list held it: every "//" with two hexadecimal digits of a
// control character turned back into it; anything else stays as it is.
std::string UnescapeNameCell(std::string_view cell);

// The most rows a results file is read with: 10,000,000. Rows past them
// are not read (the window says so and shows the first ones; a restore
// from the command line refuses the file). A list of 2,000,000 rows
// restores within 512 MiB; a list near the cap needs some 2 GB.
inline constexpr size_t kMaxResultRows = 10'000'000;
// "PATH には N 行あります。..." for a file of `rows` rows, more than the cap.
std::string TooManyRowsMessage(const std::string& path, uint64_t rows);

// What saving and loading need of the main window; the GUI and the command
// line provide it.
class ResultsFileHost {
 public:
  virtual ~ResultsFileHost() = default;
  // The save dialog ("名前を付けて保存") and the open dialog ("開く", existing
  // files only), filter "すべてのﾌｧｲﾙ(*.*)", no default extension. Empty when
  // cancelled.
  virtual std::string AskSavePath(std::string_view initialName) = 0;
  virtual std::string AskOpenPath(std::string_view initialName) = 0;
  // How `path` relates to the volume the results were found on: the volume
  // itself, a file system on it, or neither.
  virtual platform::SourceRelation RelationToSource(const std::string& path) = 0;
  // The device or image file the results were found on, for messages.
  virtual std::string SourceName() = 0;
  // Selects drive box entry `index` without running the selection-change
  // handling; false when the box has no such entry.
  virtual bool SelectDrive(int32_t index) = 0;
  // Whether the host can tell the drive box entries' root texts; a host
  // that cannot has the stored index trusted, as the file format intends.
  virtual bool KnowsRootTexts() { return false; }
  // The root text of drive box entry `index` ("card.img#2:/"); empty when
  // the box has no such entry.
  virtual std::string DriveRootText(int32_t /*index*/) { return {}; }
  // The entry whose root text is `rootText`; -1 when none is.
  virtual int32_t FindDrive(std::string_view /*rootText*/) { return -1; }
  // Asks whether to open the image file a list names, starting the file
  // dialog in the list's folder; the new entry with that root text, or -1
  // when the user declines or the image chosen shows no such volume.
  virtual int32_t OpenImageFor(std::string_view /*rootText*/, const std::string& /*listPath*/) { return -1; }
  // Opens the selected volume, clearing the list and setting its column 5;
  // 1 opened, 0 failed (the failure has been reported).
  virtual int OpenVolume() = 0;
};

// The complete file text of the list as saved, with CR LF line ends.
std::string FormatResultsText(const ResultList& list, int32_t driveIndex);

// Takes a file's bytes a piece at a time.
using TextPieces = std::function<void(std::string_view)>;
// The text of FormatResultsText handed to `write` in pieces of about a
// megabyte, each ending with a line: a long list is never held whole as text.
void WriteResultsText(const ResultList& list, int32_t driveIndex, const TextPieces& write);
// ResultsFileBytes(style, FormatResultsText(list, driveIndex)) in pieces. On
// Windows the lines are made twice: which encoding the file takes is known
// only once every line has been tried in code page 932.
void WriteResultsFileBytes(platform::PathStyle style, const ResultList& list, int32_t driveIndex,
                           const TextPieces& write);

// The bytes of a results file as the build for `style` saves it: UTF-8 on
// Linux; on Windows code page 932, which its own tools (type, more, the
// spreadsheet) take a file without a byte order mark to be in, unless a
// cell holds a character code page 932 lacks: then UTF-8 with a byte order
// mark, so that no name is lost. The loader reads all three.
std::string ResultsFileBytes(platform::PathStyle style, std::string text);

// The longest prefix of `utf8` that is at most `limit` bytes long in code
// page 932, ending on a character boundary.
std::string_view CutToCp932Length(std::string_view utf8, size_t limit);

// The parts of a file, for anyone who reads one without the window.
// The drive line: one or two digits, the second (if any) 0-5.
bool ParseDriveLine(std::string_view line, int32_t& driveIndex);
// Three fields per column: heading, format (alignment in the low two bits),
// width. An incomplete group at the end makes no column.
std::vector<Column> ParseColumnLine(std::string_view line);
struct RowLine {
  std::vector<std::string_view> cells;  // views into the line
  uint32_t dataWord = 0;
};
// Every TAB-terminated field is a cell, the rest the data word. False for a
// line that holds no TAB: it makes no row.
bool ParseRowLine(std::string_view line, RowLine& row);

// The lines of a results file as UTF-8, whichever encoding it was saved in.
// A file is read through once for its encoding and any NUL byte, then line
// by line: a list of millions of rows is never held whole in memory.
class ResultsFileLines {
 public:
  enum class ReadResult { kOk, kOpenFailed, kReadFailed };
  // Opens the file and reads it through once; on failure `error` holds the
  // system's text.
  ReadResult Read(const std::string& path, std::string& error);
  // Takes the bytes of a file directly.
  void Assign(std::string bytes);
  bool IsCp932() const { return cp932_; }
  // The lines after the first two that hold a TAB: as many as the rows the
  // file makes, known before any line is taken.
  uint64_t RowLineCount() const { return rowLines_; }
  // The next line without its line end, cut at a NUL byte; false at the end.
  bool Next(std::string& line);
  // Why the bytes read cannot be a results file, in a message naming
  // `path`; empty when they can. A results file begins with its drive line
  // and its column line; it holds no NUL byte (a file saved as UTF-16 is
  // told by its byte order mark or its NULs and named so).
  std::string Problem(const std::string& path) const;

 private:
  // More of the file behind the bytes not yet taken; false at its end.
  bool ReadMore();

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
  std::string bytes_;  // Assign's bytes, or what was read of the file and not yet taken
  size_t position_ = 0;
  bool cp932_ = false;
  std::string head_;  // the first bytes past a byte order mark, for Problem
  size_t nulLine_ = 0;  // the line of the first NUL byte; 0 for none
  uint64_t rowLines_ = 0;
};

// The menu commands: save the list to a file the user chooses, and load one
// back, reopening its drive. Every failure is reported through `messages`.
// A list saved (or loaded) is marked so: its rows are no longer lost with the window.
void SaveResults(ResultList& list, int32_t driveIndex, ResultsFileHost& host,
                 Messages& messages);
void LoadResults(ResultList& list, ResultsFileHost& host, Messages& messages, ShellInfo* shell);

// The volume a list belongs to: the root text its rows' folder cells start
// with ("card.img#2:/" of "card.img#2:/DOCS"); empty when there is none.
std::string RootTextOfFolder(std::string_view folder);

// A folder cell as `style` writes it. A list saved on the other system is
// told by its root text's end (":/" or ":\\"); its root text and separators
// are turned into those of `style`. Windows holds no name with '/', so there
// every '/' is a separator. A cell without a root text is left as it is.
std::string FolderCellFor(platform::PathStyle style, std::string_view folder);
inline std::string FolderCellForSystem(std::string_view folder) {
  return FolderCellFor(platform::kSystemPathStyle, folder);
}

// "この検索結果のボリューム ... が見つかりません": the list's volume is not in
// the drive box and no image showing it was opened.
std::string VolumeNotFoundMessage(std::string_view rootText);
inline constexpr std::string_view kOpenImageQuestion =
    "この検索結果のボリュームは開かれていません。\n\nイメージファイルを開きますか。";

// Loading from the drive line on, once the file has been read: selects and
// opens the drive the rows belong to, replaces the columns and adds the
// rows. Returns the number of rows added; -1 when the load ended without
// rows (a bad drive line, or the list's volume is nowhere to be found, which
// has been said through `messages`).
int64_t ApplyResultsFile(ResultsFileLines& lines, ResultList& list, ResultsFileHost& host,
                         ShellInfo* shell, Messages* messages = nullptr, const std::string& listPath = {});

}  // namespace vellum::app
