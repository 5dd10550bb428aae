#include "app/results_file.h"

#include "app/parse_number.h"
#include "app/write_guard.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "volume/listing.h"
#include "platform/system_error_text.h"

namespace vellum::app {

namespace {

constexpr int32_t kHeaderTextFlag = 16384;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The format value and width of a column, read as atoi would, but saturating
// where atoi's result is undefined.
int32_t ParseInt32(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT32_MAX} + 1);
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

// The data word, read as strtoul would: the largest value for anything
// beyond 32 bits.
uint32_t ParseDataWord(std::string_view text) {
  return static_cast<uint32_t>(std::min<uint64_t>(ParseUnsigned64(text), UINT32_MAX));
}

ColumnAlign AlignFromFormat(int32_t format) {
  switch (format & 3) {
    case 1: return ColumnAlign::kRight;
    case 2: return ColumnAlign::kCentre;
    default: return ColumnAlign::kLeft;
  }
}

size_t Utf8SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 6) return 2;
  if ((lead >> 4) == 14) return 3;
  if ((lead >> 3) == 30) return 4;
  return 1;  // a stray byte stands alone
}

// A line of a code page 932 file. A byte pair without a mapping becomes
// U+FFFD instead of ending the line there.
std::string Cp932LineToUtf8(std::string_view bytes) {
  std::string out;
  if (platform::Cp932ToUtf8(bytes, out)) return out;
  out.clear();
  std::string piece;
  for (size_t i = 0; i < bytes.size();) {
    const bool pair =
        platform::IsCp932LeadByte(static_cast<uint8_t>(bytes[i])) && i + 1 < bytes.size();
    const size_t n = pair ? 2 : 1;
    out +=
        platform::Cp932ToUtf8(bytes.substr(i, n), piece) ? std::string_view(piece) : kReplacement;
    i += n;
  }
  return out;
}

std::string FileErrorText(const std::string& path, const std::string& error) {
  return path + "\n" + error;
}

bool IsEscapedByte(unsigned char c) { return c < 0x20 || c == 0x7F; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendRowLine(const ResultList& list, size_t row, std::vector<std::string_view>& cells, std::string& text) {
  list.RowCells(row, cells);
  for (size_t c = 0; c < cells.size(); ++c) {
    const std::string_view cell = c == 1 ? cells[c] : CutToCp932Length(cells[c], kMaxSavedCellLength);
    if (c <= 1) text += EscapeNameCell(cell);
    else text += cell;
    text += '\t';
  }
  // The data word right-aligned in eight characters, as "%8u" gives it.
  char word[16];
  const size_t length = static_cast<size_t>(std::to_chars(word, word + sizeof word, list.DataWord(row)).ptr - word);
  if (length < 8) text.append(8 - length, ' ');
  text.append(word, length);
  text += "\r\n";
}

}  // namespace

std::string EscapeNameCell(std::string_view cell) {
  std::string out;
  out.reserve(cell.size());
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char ch : cell) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (!IsEscapedByte(c)) {
      out += ch;
      continue;
    }
    out += "//";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

std::string UnescapeNameCell(std::string_view cell) {
  if (cell.find("//") == std::string_view::npos) return std::string(cell);
  std::string out;
  out.reserve(cell.size());
  for (size_t i = 0; i < cell.size(); ++i) {
    if (cell.compare(i, 2, "//") == 0 && i + 3 < cell.size() && HexValue(cell[i + 2]) >= 0 &&
        HexValue(cell[i + 3]) >= 0) {
      const unsigned char c = static_cast<unsigned char>(HexValue(cell[i + 2]) * 16 + HexValue(cell[i + 3]));
      if (IsEscapedByte(c)) {
        out += static_cast<char>(c);
        i += 3;
        continue;
      }
    }
    out += cell[i];
  }
  return out;
}

std::string_view CutToCp932Length(std::string_view utf8, size_t limit) {
  // No character is longer in code page 932 than in UTF-8.
  if (utf8.size() <= limit) return utf8;
  size_t length = 0;
  size_t i = 0;
  while (i < utf8.size()) {
    if (static_cast<uint8_t>(utf8[i]) < 0x80) {  // ASCII, one byte either way
      if (length + 1 > limit) break;
      ++length;
      ++i;
      continue;
    }
    const size_t n = std::min(Utf8SequenceLength(static_cast<uint8_t>(utf8[i])), utf8.size() - i);
    const size_t characterLength = platform::Cp932Length(utf8.substr(i, n));
    if (length + characterLength > limit) break;
    length += characterLength;
    i += n;
  }
  return utf8.substr(0, i);
}

std::string FormatResultsText(const ResultList& list, int32_t driveIndex) {
  std::string text;
  WriteResultsText(list, driveIndex, [&text](std::string_view piece) { text += piece; });
  return text;
}

void WriteResultsText(const ResultList& list, int32_t driveIndex, const TextPieces& write) {
  constexpr size_t kPieceBytes = 1 << 20;
  std::string text = std::to_string(driveIndex) + "\r\n";
  for (size_t column = 0; column < list.ColumnCount(); ++column) {
    const Column& c = list.ColumnAt(column);
    if (column > 0) text += '\t';
    text += CutToCp932Length(c.heading, kMaxSavedCellLength);
    text += '\t' + std::to_string(kHeaderTextFlag | static_cast<int32_t>(c.align));
    text += '\t' + std::to_string(c.width);
  }
  text += "\r\n";
  std::vector<std::string_view> cells;
  for (size_t row = 0; row < list.RowCount(); ++row) {
    AppendRowLine(list, row, cells, text);
    if (text.size() >= kPieceBytes) {
      write(text);
      text.clear();
    }
  }
  write(text);
}

std::string ResultsFileBytes(platform::PathStyle style, std::string text) {
  if (style == platform::PathStyle::kPosix) return text;
  std::string cp932;
  if (platform::Utf8ToCp932(text, cp932)) return cp932;
  return std::string(kUtf8Bom) + text;
}

void WriteResultsFileBytes(platform::PathStyle style, const ResultList& list, int32_t driveIndex,
                           const TextPieces& write) {
  if (style == platform::PathStyle::kPosix) return WriteResultsText(list, driveIndex, write);
  // Every piece ends a line, and the conversion goes character by character:
  // piece by piece it gives what it gives for the whole text.
  std::string cp932;
  bool fits = true;
  WriteResultsText(list, driveIndex, [&](std::string_view piece) { fits = fits && platform::Utf8ToCp932(piece, cp932); });
  if (!fits) {
    write(kUtf8Bom);
    return WriteResultsText(list, driveIndex, write);
  }
  WriteResultsText(list, driveIndex, [&](std::string_view piece) {
    platform::Utf8ToCp932(piece, cp932);
    write(cp932);
  });
}

bool ParseDriveLine(std::string_view line, int32_t& driveIndex) {
  if (line.empty() || line.size() > 2) return false;
  if (line[0] < '0' || line[0] > '9') return false;
  if (line.size() == 2 && (line[1] < '0' || line[1] > '5')) return false;
  driveIndex = line[0] - '0';
  if (line.size() == 2) driveIndex = driveIndex * 10 + (line[1] - '0');
  return true;
}

std::vector<Column> ParseColumnLine(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t begin = 0;;) {
    const size_t tab = line.find('\t', begin);
    fields.push_back(line.substr(begin, tab == std::string_view::npos ? tab : tab - begin));
    if (tab == std::string_view::npos) break;
    begin = tab + 1;
  }
  std::vector<Column> columns;
  for (size_t i = 0; i + 3 <= fields.size(); i += 3) {
    // A negative width would be meaningless to any view.
    columns.push_back({std::string(fields[i]), AlignFromFormat(ParseInt32(fields[i + 1])),
                       std::max(0, ParseInt32(fields[i + 2]))});
  }
  return columns;
}

bool ParseRowLine(std::string_view line, RowLine& row) {
  row.cells.clear();
  const size_t lastTab = line.rfind('\t');
  if (lastTab == std::string_view::npos) return false;
  for (size_t begin = 0; begin <= lastTab;) {
    const size_t tab = line.find('\t', begin);
    row.cells.push_back(line.substr(begin, tab - begin));
    begin = tab + 1;
  }
  row.dataWord = ParseDataWord(line.substr(lastTab + 1));
  return true;
}

namespace {

// What Problem reads of a file: its drive and column lines lie in these.
constexpr size_t kHeadBytes = 1 << 20;

// The line (from 1) of the first NUL in `bytes`, counting `linesBefore`
// lines before them; 0 when they hold none.
size_t NulLineIn(std::string_view bytes, size_t linesBefore) {
  const size_t nul = bytes.find('\0');
  if (nul == std::string_view::npos) return 0;
  return linesBefore + 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(nul), '\n'));
}

// Reads a file through once: its first bytes, whether it is UTF-8 and the
// line of its first NUL. A line end never falls inside a UTF-8 sequence, so
// each run of whole lines is checked on its own.
// The lines after the first two that hold a TAB: the rows a file makes,
// counted before any is made (a TAB or a line end is never the second
// byte of a code page 932 character).
class RowLineCounter {
 public:
  void Take(std::string_view piece) {
    for (const char c : piece) {
      if (c == '\t') {
        tab_ = true;
      } else if (c == '\n') {
        if (tab_ && line_ >= 2) ++rows_;
        tab_ = false;
        ++line_;
      }
    }
  }
  uint64_t Rows() const { return rows_ + (tab_ && line_ >= 2 ? 1 : 0); }

 private:
  uint64_t line_ = 0;
  uint64_t rows_ = 0;
  bool tab_ = false;
};

struct FileFacts {
  std::string head;
  bool utf8 = true;
  size_t nulLine = 0;
  size_t bomBytes = 0;
  RowLineCounter rows;
};

bool ReadFacts(std::FILE* file, FileFacts& facts) {
  std::string pending;
  size_t lines = 0;
  bool first = true;
  std::vector<char> chunk(1 << 20);
  size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
    std::string_view piece(chunk.data(), n);
    if (first && piece.starts_with(kUtf8Bom)) {
      facts.bomBytes = kUtf8Bom.size();
      piece.remove_prefix(kUtf8Bom.size());
    }
    first = false;
    if (facts.head.size() < kHeadBytes) facts.head.append(piece.substr(0, kHeadBytes - facts.head.size()));
    if (facts.nulLine == 0) facts.nulLine = NulLineIn(piece, lines);
    facts.rows.Take(piece);
    lines += static_cast<size_t>(std::count(piece.begin(), piece.end(), '\n'));
    if (!facts.utf8) continue;
    pending.append(piece);
    const size_t lastEnd = pending.rfind('\n');
    if (lastEnd == std::string::npos) continue;
    facts.utf8 = platform::IsValidUtf8(std::string_view(pending).substr(0, lastEnd + 1));
    pending.erase(0, lastEnd + 1);
  }
  if (facts.utf8) facts.utf8 = platform::IsValidUtf8(pending);
  return !std::ferror(file);
}

}  // namespace

ResultsFileLines::ReadResult ResultsFileLines::Read(const std::string& path, std::string& error) {
  file_.reset(platform::OpenStdioFile(path, "rb"));
  if (!file_) {
    error = platform::SystemErrorText(errno);
    return ReadResult::kOpenFailed;
  }
  FileFacts facts;
  bool read = false;
  try {
    read = ReadFacts(file_.get(), facts);
  } catch (const std::bad_alloc&) {
    error = platform::SystemErrorText(ENOMEM);
    return ReadResult::kReadFailed;
  }
  if (!read || std::fseek(file_.get(), static_cast<long>(facts.bomBytes), SEEK_SET) != 0) {
    error = platform::SystemErrorText(errno);
    return ReadResult::kReadFailed;
  }
  bytes_.clear();
  position_ = 0;
  cp932_ = !facts.utf8;
  head_ = std::move(facts.head);
  nulLine_ = facts.nulLine;
  rowLines_ = facts.rows.Rows();
  return ReadResult::kOk;
}

void ResultsFileLines::Assign(std::string bytes) {
  file_.reset();
  bytes_ = std::move(bytes);
  // Editors like to put a byte order mark in front of UTF-8; it is no part of
  // the drive line.
  position_ = std::string_view(bytes_).starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
  const std::string_view rest = std::string_view(bytes_).substr(position_);
  cp932_ = !platform::IsValidUtf8(rest);
  head_ = std::string(rest.substr(0, kHeadBytes));
  nulLine_ = NulLineIn(rest, 0);
  RowLineCounter rows;
  rows.Take(rest);
  rowLines_ = rows.Rows();
}

bool ResultsFileLines::ReadMore() {
  if (!file_) return false;
  bytes_.erase(0, position_);
  position_ = 0;
  char chunk[1 << 16];
  const size_t n = std::fread(chunk, 1, sizeof chunk, file_.get());
  if (n == 0) {
    file_.reset();
    return false;
  }
  bytes_.append(chunk, n);
  return true;
}

bool ResultsFileLines::Next(std::string& line) {
  size_t newline = bytes_.find('\n', position_);
  while (newline == std::string::npos) {
    const size_t looked = bytes_.size() - position_;  // of the line, looked at already
    if (!ReadMore()) break;
    newline = bytes_.find('\n', looked);  // the line now begins the bytes
  }
  if (position_ >= bytes_.size()) return false;
  const std::string_view rest = std::string_view(bytes_).substr(position_);
  const size_t end = newline == std::string::npos ? std::string_view::npos : newline - position_;
  std::string_view raw = rest.substr(0, end);
  position_ += end == std::string_view::npos ? rest.size() : end + 1;
  if (end != std::string_view::npos && raw.ends_with('\r')) raw.remove_suffix(1);
  // A NUL ends the line's text, as it ends a C string.
  raw = raw.substr(0, raw.find('\0'));
  if (cp932_)
    line = Cp932LineToUtf8(raw);
  else
    line.assign(raw);
  return true;
}

namespace {

// UTF-16 holds a NUL in every other byte of ASCII text, and mostly starts
// with a byte order mark.
std::string_view Utf16Kind(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return "UTF-16 (リトルエンディアン)";
  if (bytes.starts_with("\xFE\xFF")) return "UTF-16 (ビッグエンディアン)";
  if (bytes.size() >= 4 && bytes[0] != 0 && bytes[1] == 0 && bytes[2] != 0 && bytes[3] == 0) return "UTF-16 (リトルエンディアン)";
  if (bytes.size() >= 4 && bytes[0] == 0 && bytes[1] != 0 && bytes[2] == 0 && bytes[3] != 0) return "UTF-16 (ビッグエンディアン)";
  return {};
}

bool AllDigits(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Heading, format and width for each column: at least the name, folder and
// size columns, the two numbers of each group numbers.
bool IsColumnLine(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t begin = 0;;) {
    const size_t tab = line.find('\t', begin);
    fields.push_back(line.substr(begin, tab == std::string_view::npos ? tab : tab - begin));
    if (tab == std::string_view::npos) break;
    begin = tab + 1;
  }
  if (fields.size() < 9 || fields.size() % 3 != 0) return false;
  for (size_t i = 0; i < fields.size(); i += 3)
    if (!AllDigits(fields[i + 1]) || !AllDigits(fields[i + 2])) return false;
  return true;
}

}  // namespace

std::string ResultsFileLines::Problem(const std::string& path) const {
  if (const std::string_view kind = Utf16Kind(head_); !kind.empty())
    return path + " は " + std::string(kind) + " で保存されています。UTF-8 (または Shift_JIS) で保存し直してください。";
  if (nulLine_ != 0)
    return path + " の " + std::to_string(nulLine_) + " 行目に NUL バイトがあります。検索結果ファイルではないか、壊れています。";
  ResultsFileLines copy;
  copy.bytes_ = head_;
  copy.cp932_ = cp932_;
  std::string drive, columns;
  int32_t index = 0;
  if (!copy.Next(drive) || !ParseDriveLine(drive, index) || !copy.Next(columns) || !IsColumnLine(columns))
    return path + " は検索結果ファイルではありません (1 行目にドライブの番号、2 行目に列の見出しがありません)。";
  return {};
}

std::string RootTextOfFolder(std::string_view folder) {
  const size_t end = folder.find(platform::kRootTextEnd);
  return end == std::string_view::npos ? std::string()
                                       : std::string(folder.substr(0, end + platform::kRootTextEnd.size()));
}

std::string FolderCellFor(platform::PathStyle style, std::string_view folder) {
  using platform::PathStyle;
  // A name on Linux may hold ":\\" but never '/'; on Windows neither: the
  // first ":/" is a Linux root text's end, else the first ":\\" a Windows one.
  const PathStyle posix = PathStyle::kPosix, windows = PathStyle::kWindows;
  size_t end = folder.find(platform::RootTextEndOf(posix));
  const PathStyle from = end != std::string_view::npos ? posix : windows;
  if (end == std::string_view::npos) end = folder.find(platform::RootTextEndOf(windows));
  if (end == std::string_view::npos || (from == posix && style == posix)) return std::string(folder);
  // Past here one side is Windows, where both characters separate.
  std::string cell(folder.substr(0, end));
  cell += platform::RootTextEndOf(style);
  for (char c : folder.substr(end + 2)) cell += platform::IsSeparatorIn(windows, c) ? platform::SeparatorOf(style) : c;
  return cell;
}

std::string VolumeNotFoundMessage(std::string_view rootText) {
  return "この検索結果のボリューム「" + std::string(rootText) +
         "」が見つからないため、読み込めません。\n\n"
         "そのドライブを接続するか、イメージファイルを開いてから読み込んでください。";
}

namespace {

// The drive box entry the rows belong to. The stored index is trusted when
// that entry shows the rows' root text (or nothing is known about it);
// otherwise the entry showing that text, or an image the user opens for it.
int32_t DriveOfList(int32_t stored, std::string_view root, ResultsFileHost& host, const std::string& listPath) {
  if (root.empty() || !host.KnowsRootTexts() || host.DriveRootText(stored) == root) return stored;
  const int32_t found = host.FindDrive(root);
  return found >= 0 ? found : host.OpenImageFor(root, listPath);
}

}  // namespace

namespace {

// "10,000,000": a count as the messages write it.
std::string GroupedDigits(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

std::string TooManyRowsMessage(const std::string& path, uint64_t rows) {
  return path + " には " + GroupedDigits(rows) + " 行あります。検索結果ファイルから読み込めるのは " +
         GroupedDigits(kMaxResultRows) + " 行までです。";
}

namespace {

// The rows of a file added to the list, each made from its line and let go:
// the lines are not held beside the rows made from them. Rows past the cap
// are counted, not added.
class RowAdder {
 public:
  RowAdder(ResultList& list, ShellInfo* shell) : list_(list), shell_(shell) {}
  void Add(std::string_view text) {
    // A line without a TAB holds no cell; it makes no row and, unlike an
    // index that counted it anyway, leaves the rows after it in place.
    if (!ParseRowLine(text, row_)) return;
    if (rowCount_ >= kMaxResultRows) {
      ++refused_;
      return;
    }
    const bool folder = (row_.dataWord & volume::kRowFolder) != 0;
    const std::string name = UnescapeNameCell(row_.cells[0]);
    const int icon = volume::LookUpShellInfo(shell_, name, folder).iconIndex;
    list_.InsertRow(rowCount_, name, icon);
    for (size_t column = 1; column < row_.cells.size(); ++column)
      list_.SetCell(rowCount_, column,
                    column == 1 ? FolderCellForSystem(UnescapeNameCell(row_.cells[1])) : std::string(row_.cells[column]));
    list_.SetDataWord(rowCount_, row_.dataWord);
    ++rowCount_;
  }
  uint32_t Count() const { return rowCount_; }
  uint64_t Refused() const { return refused_; }

 private:
  ResultList& list_;
  ShellInfo* shell_;
  RowLine row_;
  uint32_t rowCount_ = 0;
  uint64_t refused_ = 0;
};

}  // namespace

int64_t ApplyResultsFile(ResultsFileLines& lines, ResultList& list, ResultsFileHost& host,
                         ShellInfo* shell, Messages* messages, const std::string& listPath) {
  std::string line;
  int32_t driveIndex = 0;
  if (!lines.Next(line) || !ParseDriveLine(line, driveIndex)) return -1;
  // The rows, not the index, tell which volume the list is of: the lines
  // are read ahead up to the first row with a folder cell.
  std::string columnLine;
  const bool hasColumns = lines.Next(columnLine);
  std::vector<std::string> ahead;
  std::string root;
  RowLine row;
  while (lines.Next(line)) {
    ahead.push_back(std::move(line));
    if (ParseRowLine(ahead.back(), row) && row.cells.size() > 1) {
      root = RootTextOfFolder(FolderCellForSystem(UnescapeNameCell(row.cells[1])));
      break;
    }
  }
  const int32_t drive = DriveOfList(driveIndex, root, host, listPath);
  if (drive < 0) {
    if (messages)
      messages->Show(VolumeNotFoundMessage(root), MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    return -1;
  }
  if (!host.SelectDrive(drive)) return -1;
  // A volume that cannot be opened has said so; its rows are still worth seeing.
  host.OpenVolume();
  // An opening that stopped before it reached the list leaves the old rows.
  if (list.RowCount() > 0) list.ClearRows();
  list.ReplaceColumns(hasColumns ? ParseColumnLine(columnLine) : std::vector<Column>{});
  RowAdder adder(list, shell);
  for (const std::string& text : ahead) adder.Add(text);
  std::vector<std::string>().swap(ahead);
  while (lines.Next(line)) adder.Add(line);
  list.ShowFoundCount(adder.Count());
  if (adder.Refused() > 0 && messages)
    messages->Show(TooManyRowsMessage(listPath, adder.Count() + adder.Refused()) + "\n最初の " +
                       GroupedDigits(kMaxResultRows) + " 行だけを読み込みました。",
                   MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
  return adder.Count();
}

std::string SaveOntoSourceMessage(const std::string& path, const std::string& source) {
  return "保存先は検索したボリュームそのものです。保存すると復元するデータが失われるため、保存できません。\n\n"
         "保存先: " + path + "\n検索したボリューム: " + source;
}

void SaveResults(ResultList& list, int32_t driveIndex, ResultsFileHost& host,
                 Messages& messages) {
  if (list.RowCount() == 0) {
    messages.Show(kNothingToSave, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    return;
  }
  const WriteGuard guard([&host](const std::string& p) { return host.RelationToSource(p); }, host.SourceName());
  std::string path;
  do {
    path = host.AskSavePath(kResultsInitialName);
    if (path.empty()) return;
  } while (!guard.MayWrite(path, WriteKind::kResultsFile, messages));
  std::string error;
  const auto bytes = [&](const TextPieces& write) {
    WriteResultsFileBytes(platform::kSystemPathStyle, list, driveIndex, write);
  };
  if (!guard.WriteFileInPieces(path, bytes, error)) {
    messages.Show(FileErrorText(path, error), MessageButtons::Ok, MessageIcon::Warning,
                  MessageAnswer::Ok);
    return;
  }
  list.MarkSaved();
}

void LoadResults(ResultList& list, ResultsFileHost& host, Messages& messages, ShellInfo* shell) {
  const std::string path = host.AskOpenPath(kResultsInitialName);
  if (path.empty()) return;
  // The rows shown stay until the file's rows replace them: a file that
  // cannot be read, or a No to opening its volume, loses nothing.
  ResultsFileLines lines;
  std::string error;
  switch (lines.Read(path, error)) {
    case ResultsFileLines::ReadResult::kOpenFailed:
      messages.Show(FileErrorText(path, error), MessageButtons::Ok, MessageIcon::Warning,
                    MessageAnswer::Ok);
      return;
    case ResultsFileLines::ReadResult::kReadFailed:
      messages.Show(kResultsReadFailed, MessageButtons::Ok, MessageIcon::Warning,
                    MessageAnswer::Ok);
      return;
    case ResultsFileLines::ReadResult::kOk: break;
  }
  if (ApplyResultsFile(lines, list, host, shell, &messages, path) >= 0) list.MarkSaved();
}

}  // namespace vellum::app
