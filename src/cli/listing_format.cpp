#include "cli/listing_format.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <vector>

#include "app/drive_summary.h"
#include "app/parse_number.h"
#include "app/results_file.h"
#include "app/visible_text.h"
#include "content/content_verdict.h"
#include "ntfs/data_streams.h"
#include "ntfs/recycle_bin.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "volume/listing.h"

namespace vellum::cli {

namespace {

std::optional<uint64_t> Number(std::string_view cell) {
  if (cell.find_first_of("0123456789") == std::string_view::npos) return std::nullopt;
  return app::ParseUnsigned64(cell);
}

std::string_view CellOrEmpty(const app::ResultList& list, size_t row, size_t column) {
  return column < list.ColumnCount() ? list.Cell(row, column) : std::string_view();
}

bool IsNtfsList(const app::ResultList& list) {
  return list.ColumnCount() > 5 && list.ColumnAt(5).heading == "ファイル番号";
}

// Display columns of UTF-8 text: East Asian wide characters take two.
size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = c < 0x80 ? c : c < 0xE0 ? c & 0x1F : c < 0xF0 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < length && i + k < text.size(); ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
    const bool halfWidthKana = cp >= 0xFF61 && cp <= 0xFF9F;
    width += (cp >= 0x1100 && !halfWidthKana) ? 2 : 1;
    i += length;
  }
  return width;
}

// The characters of UTF-8 text with their display widths.
std::vector<std::pair<std::string_view, size_t>> Characters(std::string_view text) {
  std::vector<std::pair<std::string_view, size_t>> out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = std::min(text.size() - i, size_t(c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4));
    out.emplace_back(text.substr(i, length), DisplayWidth(text.substr(i, length)));
    i += length;
  }
  return out;
}

// `text` in `width` columns: when it is longer, its start and its end with
// "~" between them, so that a name keeps its extension and a folder its last
// part.
std::string Fit(std::string_view text, size_t width) {
  if (DisplayWidth(text) <= width) return std::string(text);
  if (width == 0) return {};
  const auto chars = Characters(text);
  const size_t room = width - 1;
  size_t headRoom = (room + 1) / 2, tailRoom = room - headRoom;
  std::string head, tail;
  size_t used = 0, first = 0;
  for (; first < chars.size() && used + chars[first].second <= headRoom; ++first) {
    head.append(chars[first].first);
    used += chars[first].second;
  }
  tailRoom += headRoom - used;  // a wide character that did not fit leaves its column to the end
  used = 0;
  for (size_t k = chars.size(); k > first && used + chars[k - 1].second <= tailRoom; --k) {
    tail.insert(0, chars[k - 1].first);
    used += chars[k - 1].second;
  }
  return head + "~" + tail;
}

std::string Pad(const std::string& text, size_t width, bool right) {
  const size_t w = DisplayWidth(text);
  const std::string fill(w < width ? width - w : 0, ' ');
  return right ? fill + text : text + fill;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Optional(const std::optional<uint64_t>& v) { return v ? std::to_string(*v) : std::string(); }

// The byte a damaged content row went wrong at.
std::optional<uint64_t> DamagedFrom(const std::optional<content::ContentCheck>& check) {
  if (!check || check->verdict != content::ContentCheck::Verdict::kDamaged) return std::nullopt;
  return check->damagedFrom;
}

// The root text all rows' folders begin with; empty when they differ.
std::string CommonRoot(const app::ResultList& list) {
  std::string root;
  for (size_t row = 0; row < list.RowCount(); ++row) {
    const std::string here = app::RootTextOfFolder(CellOrEmpty(list, row, 1));
    if (here.empty() || (row > 0 && here != root)) return {};
    root = here;
  }
  return root;
}

// The lines made so far go to `write` once they pass a megabyte: a listing of
// any length is never held whole as text.
void HandOnIfFull(std::string& text, const app::TextPieces& write) {
  constexpr size_t kPieceBytes = 1 << 20;
  if (text.size() < kPieceBytes) return;
  write(text);
  text.clear();
}

}  // namespace

std::optional<ListingFormat> ParseListingFormat(std::string_view text) {
  if (text == "results") return ListingFormat::kResults;
  if (text == "table") return ListingFormat::kTable;
  if (text == "json") return ListingFormat::kJson;
  if (text == "csv") return ListingFormat::kCsv;
  return std::nullopt;
}

std::string IsoLocalTime(std::string_view text) {
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
  int used = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4u/%2u/%2u %2u:%2u:%2u%n", &y, &mo, &d, &h, &mi, &s, &used) != 6) return {};
  const bool millis = copy.size() > static_cast<size_t>(used) && copy[static_cast<size_t>(used)] == '.' &&
                      std::sscanf(copy.c_str() + used, ".%3u", &ms) == 1;
  struct tm t {};
  t.tm_year = static_cast<int>(y) - 1900;
  t.tm_mon = static_cast<int>(mo) - 1;
  t.tm_mday = static_cast<int>(d);
  t.tm_hour = static_cast<int>(h);
  t.tm_min = static_cast<int>(mi);
  t.tm_sec = static_cast<int>(s);
  t.tm_isdst = -1;
  const time_t at = std::mktime(&t);
  if (at == -1) return {};
  // The zone's offset at that moment: the local fields read as UTC, less the
  // moment itself (tm_gmtoff is not on every system).
  using namespace std::chrono;
  const sys_days day{year{t.tm_year + 1900} / (t.tm_mon + 1) / t.tm_mday};
  const long offset = static_cast<long>(day.time_since_epoch().count() * 86400LL + t.tm_hour * 3600LL +
                                        t.tm_min * 60LL + t.tm_sec - static_cast<long long>(at));
  char out[48];
  std::snprintf(out, sizeof out, "%04u-%02u-%02uT%02u:%02u:%02u", y, mo, d, h, mi, s);
  std::string iso = out;
  if (millis) {
    std::snprintf(out, sizeof out, ".%03u", ms);
    iso += out;
  }
  std::snprintf(out, sizeof out, "%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 3600,
                std::labs(offset) % 3600 / 60);
  return iso + out;
}

ListedRow DescribeRow(const app::ResultList& list, size_t row, ShellInfo* shell, const RowNotes* notes) {
  ListedRow r;
  r.row = row + 1;
  r.name = std::string(list.Cell(row, 0));
  r.folder = std::string(CellOrEmpty(list, row, 1));
  // The system's separator, as the folder cells hold it.
  const bool separated = r.folder.empty() || platform::IsPathSeparator(r.folder.back());
  r.path = r.folder + (separated ? "" : std::string(1, platform::kPathSeparator)) + r.name;
  r.size = Number(CellOrEmpty(list, row, 2));
  r.type = std::string(CellOrEmpty(list, row, 3));
  const std::string_view time = CellOrEmpty(list, row, 4);
  r.mtime = IsoLocalTime(time);
  const bool ntfs = IsNtfsList(list);
  (ntfs ? r.record : r.cluster) = Number(CellOrEmpty(list, row, 5));
  r.scanCluster = Number(CellOrEmpty(list, row, 6));
  r.slot = Number(CellOrEmpty(list, row, 7));
  const uint32_t word = list.DataWord(row);
  r.isDir = (word & volume::kRowFolder) != 0;
  r.fatChain = (word & volume::kRowFatChain) != 0;
  const std::string relative = r.folder.substr(app::RootTextOfFolder(r.folder).size());
  if (time == "<不明>") r.kind = "content";
  else if (relative.starts_with("<不明>") || (ntfs && !r.record && r.scanCluster)) r.kind = "orphan";
  else r.kind = "walk";
  if (shell) r.mime = volume::LookUpShellInfo(shell, r.name, r.isDir).mimeType;
  // The bin's index and a stream are no files of their extension's type.
  if (shell && !r.isDir && (r.type == ntfs::kBinIndexTypeName || r.type == ntfs::kStreamTypeName))
    r.mime = "application/octet-stream";
  if (notes && row < notes->states.size()) r.state = notes->states[row];
  if (notes && row < notes->sameAs.size() && notes->sameAs[row]) r.sameAs = *notes->sameAs[row] + 1;
  if (notes && row < notes->checks.size()) r.check = notes->checks[row];
  if (const app::BinNote* note = notes ? app::NoteOfRow(notes->bin, row) : nullptr) r.bin = *note;
  if ((word & volume::kRowStream) != 0 && !r.isDir) r.stream = ntfs::SplitStreamRowName(r.name).stream;
  return r;
}

void WriteJsonLines(const app::ResultList& list, ShellInfo* shell, const RowNotes* notes, const app::TextPieces& write) {
  std::string out;
  auto optional = [](const std::optional<uint64_t>& v) { return v ? nlohmann::ordered_json(*v) : nullptr; };
  for (size_t row = 0; row < list.RowCount(); ++row) {
    const ListedRow r = DescribeRow(list, row, shell, notes);
    nlohmann::ordered_json j;
    j["row"] = r.row;
    j["name"] = r.name;
    j["folder"] = r.folder;
    j["path"] = r.path;
    j["size"] = optional(r.size);
    j["type"] = r.type;
    j["mtime"] = r.mtime.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.mtime);
    j["cluster"] = optional(r.cluster);
    j["record"] = optional(r.record);
    j["scan_cluster"] = optional(r.scanCluster);
    j["slot"] = optional(r.slot);
    j["is_dir"] = r.isDir;
    j["fat_chain"] = r.fatChain;
    j["kind"] = r.kind;
    j["mime"] = r.mime.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.mime);
    j["state"] = r.state ? nlohmann::ordered_json(volume::RowStateKey(r.state->state)) : nullptr;
    j["clusters_in_use"] = r.state ? nlohmann::ordered_json(r.state->clustersInUse) : nullptr;
    j["same_as"] = r.sameAs ? nlohmann::ordered_json(*r.sameAs) : nullptr;
    j["check"] = r.check ? nlohmann::ordered_json(content::ContentCheckKey(*r.check)) : nullptr;
    j["damaged_from"] = DamagedFrom(r.check) ? nlohmann::ordered_json(*DamagedFrom(r.check)) : nullptr;
    j["stream"] = r.stream.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.stream);
    j["original_path"] = r.bin ? nlohmann::ordered_json(r.bin->originalPath) : nullptr;
    j["deleted_time"] = r.bin ? nlohmann::ordered_json(IsoLocalTime(r.bin->deletedTime)) : nullptr;
    // Only a row on unreadable sectors has its file's lost bytes, [first, last] each.
    if (r.state && !r.state->unreadable.empty()) {
      nlohmann::ordered_json lost = nlohmann::ordered_json::array();
      for (const volume::ByteRange& b : r.state->unreadable) lost.push_back({b.first, b.end - 1});
      j["unreadable_bytes"] = std::move(lost);
    }
    // Names from a damaged disk need not be valid UTF-8: such bytes are replaced, not fatal.
    out += j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    HandOnIfFull(out, write);
  }
  write(out);
}

// A row's lost bytes as "first-last" pieces apart by spaces; empty for a row read whole.
std::string UnreadableText(const std::optional<volume::Recoverability>& state) {
  std::string text;
  if (!state) return text;
  for (const volume::ByteRange& b : state->unreadable)
    text += (text.empty() ? "" : " ") + std::to_string(b.first) + "-" + std::to_string(b.end - 1);
  return text;
}

void WriteCsv(const app::ResultList& list, ShellInfo* shell, const RowNotes* notes, const app::TextPieces& write) {
  std::string out =
      "row,name,folder,path,size,type,mtime,cluster,record,scan_cluster,slot,is_dir,fat_chain,kind,mime,state,"
      "clusters_in_use,same_as,check,damaged_from,stream,original_path,deleted_time,unreadable_bytes\r\n";
  for (size_t row = 0; row < list.RowCount(); ++row) {
    const ListedRow r = DescribeRow(list, row, shell, notes);
    const std::string fields[] = {std::to_string(r.row), r.name, r.folder, r.path, Optional(r.size), r.type,
                                  r.mtime, Optional(r.cluster), Optional(r.record), Optional(r.scanCluster),
                                  Optional(r.slot), r.isDir ? "1" : "0", r.fatChain ? "1" : "0", r.kind, r.mime,
                                  r.state ? std::string(volume::RowStateKey(r.state->state)) : std::string(),
                                  r.state ? std::to_string(r.state->clustersInUse) : std::string(),
                                  Optional(r.sameAs),
                                  r.check ? content::ContentCheckKey(*r.check) : std::string(),
                                  Optional(DamagedFrom(r.check)), r.stream,
                                  r.bin ? r.bin->originalPath : std::string(),
                                  r.bin ? IsoLocalTime(r.bin->deletedTime) : std::string(),
                                  UnreadableText(r.state)};
    for (size_t i = 0; i < std::size(fields); ++i) out += (i ? "," : "") + CsvField(fields[i]);
    out += "\r\n";
    HandOnIfFull(out, write);
  }
  write(out);
}

size_t TerminalColumns() {
  if (const int columns = platform::TerminalColumns(platform::StandardStream::kOutput); columns > 0)
    return static_cast<size_t>(columns);
  if (const char* columns = std::getenv("COLUMNS")) {
    const uint64_t n = app::ParseUnsigned64(columns);
    if (n > 0 && n < 10000) return static_cast<size_t>(n);
  }
  return 80;
}

std::string HumanSize(uint64_t bytes) { return app::SizeText(bytes, 1024); }

// The state in a table cell: short, the count of clusters in use again beside it.
std::string StateCell(const std::optional<volume::Recoverability>& r) {
  if (!r) return {};
  switch (r->state) {
    case volume::RowState::kIntact: return "上書きなし";
    case volume::RowState::kPartlyOverwritten: return "一部上書き " + std::to_string(r->clustersInUse);
    case volume::RowState::kOverwritten: return "上書き済み";
    case volume::RowState::kUnknown: return "不明";
    case volume::RowState::kUnreadable: return "読めない部分あり";
    case volume::RowState::kPastVolumeEnd: return "終わりを越える";
    case volume::RowState::kReadAsZeros: return "0 のみ";
  }
  return {};
}

namespace {

// The columns of the table, in the order they stand. Adding one is a line
// here, a cell in TableCells and, when it may give way, a step below.
enum TableColumn : size_t { kNumber, kName, kFolder, kSize, kType, kTime, kWhere, kState, kSlot, kCheck, kColumnCount };

struct ColumnLook {
  std::string_view heading;
  bool right;  // numbers are right-aligned
};

constexpr ColumnLook kColumns[kColumnCount] = {
    {"#", true},    {"名前", false}, {"フォルダ", false}, {"サイズ", true}, {"種類", false},
    {"更新日時", false}, {"", true}, {"状態", false},   {"番号", true}, {"検査", false}};

// What a column does when the line is too long for the terminal, in order:
// first the long forms give way, then whole columns the name can do
// without, and the name itself only when nothing else is left to give.
enum class GiveWay { kShortForm, kNarrow, kHide };
struct Step {
  TableColumn column;
  GiveWay how;
  size_t floor = 0;  // kNarrow: the fewest columns it keeps
};

constexpr Step kSteps[] = {
    {kSize, GiveWay::kShortForm},  {kType, GiveWay::kHide},       {kSlot, GiveWay::kHide}, {kCheck, GiveWay::kHide},
    {kWhere, GiveWay::kHide},      {kFolder, GiveWay::kNarrow, 16}, {kTime, GiveWay::kShortForm},
    {kFolder, GiveWay::kNarrow, 8}, {kFolder, GiveWay::kHide},     {kState, GiveWay::kNarrow, 4},
    {kName, GiveWay::kNarrow, 12}, {kTime, GiveWay::kNarrow, 10},  {kName, GiveWay::kNarrow, 4}};

// One row's cells, each in its full form and the short one it may give way to.
struct TableLine {
  std::string full[kColumnCount];
  std::string brief[kColumnCount];
};

// The name as the table shows it. Names from a disk may hold anything; this
// is the one place a listed name becomes table text.
std::string ShownName(const ListedRow& r) { return app::VisibleText(r.name) + (r.isDir ? "/" : ""); }

TableLine TableCells(const app::ResultList& list, size_t row, const RowNotes* notes, const std::string& root,
                     uint64_t& total) {
  ListedRow r = DescribeRow(list, row, nullptr, notes);
  if (!root.empty()) r.folder = root.back() + r.folder.substr(root.size());
  total += r.size.value_or(0);
  const std::optional<uint64_t> where = r.cluster ? r.cluster : r.record ? r.record : r.scanCluster;
  const std::string time(CellOrEmpty(list, row, 4));
  TableLine l;
  const std::string cells[kColumnCount] = {
      std::to_string(r.row), ShownName(r), app::VisibleText(r.folder),
      r.size ? std::to_string(*r.size) + " (" + HumanSize(*r.size) + ")" : "", r.type, time, Optional(where),
      r.sameAs ? "#" + std::to_string(*r.sameAs) + " と同じ"
      : r.bin  ? app::BinNoteText(*r.bin)
               : StateCell(r.state),
      Optional(r.slot), r.check ? content::ContentCheckText(*r.check) : std::string()};
  for (size_t c = 0; c < kColumnCount; ++c) l.full[c] = l.brief[c] = cells[c];
  if (r.size) l.brief[kSize] = HumanSize(*r.size);
  // The time to the minute ("2024/05/06 07:08").
  if (time.size() >= 16 && time[4] == '/') l.brief[kTime] = time.substr(0, 16);
  return l;
}

struct Layout {
  bool shown[kColumnCount] = {};
  bool brief[kColumnCount] = {};
  size_t widths[kColumnCount] = {};
};

size_t WidthOf(const std::vector<TableLine>& lines, const Layout& layout, size_t c, const std::string& heading) {
  size_t w = DisplayWidth(heading);
  for (const TableLine& l : lines) w = std::max(w, DisplayWidth(layout.brief[c] ? l.brief[c] : l.full[c]));
  return w;
}

size_t LineWidth(const Layout& layout) {
  size_t needed = 0, count = 0;
  for (size_t c = 0; c < kColumnCount; ++c)
    if (layout.shown[c]) needed += layout.widths[c], ++count;
  return needed + (count ? count - 1 : 0);
}

Layout LayOut(const std::vector<TableLine>& lines, const std::vector<std::string>& headings, bool withState,
              size_t width) {
  Layout layout;
  for (size_t c = 0; c < kColumnCount; ++c) layout.shown[c] = true;
  layout.shown[kState] = withState;
  for (size_t c : {kSlot, kCheck})
    layout.shown[c] = std::any_of(lines.begin(), lines.end(), [c](const TableLine& l) { return !l.full[c].empty(); });
  for (size_t c = 0; c < kColumnCount; ++c) layout.widths[c] = WidthOf(lines, layout, c, headings[c]);
  for (const Step& step : kSteps) {
    const size_t needed = LineWidth(layout);
    if (needed <= width) break;
    const size_t c = step.column;
    if (!layout.shown[c]) continue;
    if (step.how == GiveWay::kHide) layout.shown[c] = false;
    if (step.how == GiveWay::kShortForm) {
      layout.brief[c] = true;
      layout.widths[c] = WidthOf(lines, layout, c, headings[c]);
    }
    if (step.how == GiveWay::kNarrow && layout.widths[c] > step.floor)
      layout.widths[c] -= std::min(needed - width, layout.widths[c] - step.floor);
  }
  return layout;
}

}  // namespace

std::string FormatTable(const app::ResultList& list, size_t width, const RowNotes* notes) {
  std::vector<std::string> headings;
  for (const ColumnLook& column : kColumns) headings.emplace_back(column.heading);
  headings[kWhere] = IsNtfsList(list) ? "ファイル番号" : "クラスタ";
  // Every row of a search starts its folder with the volume's root text:
  // named once above the table, the column keeps its width for the folders.
  const std::string root = CommonRoot(list);
  uint64_t total = 0;
  std::vector<TableLine> lines;
  for (size_t row = 0; row < list.RowCount(); ++row) lines.push_back(TableCells(list, row, notes, root, total));
  const Layout layout = LayOut(lines, headings, notes != nullptr, width);
  auto line = [&](const std::string* cells, const std::string* brief) {
    std::string text;
    bool first = true;
    for (size_t c = 0; c < kColumnCount; ++c) {
      if (!layout.shown[c]) continue;
      const std::string& cell = layout.brief[c] && brief ? brief[c] : cells[c];
      text += (first ? "" : " ") + Pad(Fit(cell, layout.widths[c]), layout.widths[c], kColumns[c].right);
      first = false;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  std::string out = root.empty() ? std::string() : "ボリューム " + Fit(root, width > 11 ? width - 11 : 1) + "\n";
  out += line(headings.data(), nullptr);
  for (const TableLine& l : lines) out += line(l.full, l.brief);
  out += std::to_string(lines.size()) + " 件, 合計 " + std::to_string(total) + " バイト (" + HumanSize(total) + ")\n";
  return out;
}

}  // namespace vellum::cli
