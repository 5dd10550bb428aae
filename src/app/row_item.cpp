#include "app/row_item.h"

#include <algorithm>
#include <cstdio>

#include "app/parse_number.h"
#include "app/results_file.h"
#include "ntfs/data_streams.h"
#include "platform/file_system.h"
#include "volume/listing.h"

namespace vellum::app {

namespace {

// The six numbers of "YYYY/MM/DD hh:mm:ss", read as sscanf's "%u/%u/%u
// %u:%u:%u" reads them (each number after any white space, with a sign,
// as strtoul takes it), without making a C string of every row's cell: a
// restore reads each row's time more than once.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool ReadScanfUnsigned(std::string_view text, size_t& at, unsigned& number) {
  while (at < text.size() && IsSpace(text[at])) ++at;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  const size_t digits = at;
  uint64_t value = 0;
  bool overflow = false;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    const unsigned digit = static_cast<unsigned>(text[at] - '0');
    if (value > (UINT64_MAX - digit) / 10) overflow = true;
    value = value * 10 + digit;
  }
  if (at == digits) return false;
  if (overflow) value = UINT64_MAX;
  else if (negative) value = 0 - value;
  number = static_cast<unsigned>(value);
  return true;
}

bool ReadTimeNumbers(std::string_view text, unsigned (&n)[6]) {
  static constexpr char kAfter[] = {'/', '/', ' ', ':', ':'};
  size_t at = 0;
  for (size_t i = 0; i < 6; ++i) {
    if (!ReadScanfUnsigned(text, at, n[i])) return false;
    if (i == 5) break;
    if (kAfter[i] == ' ') {
      while (at < text.size() && IsSpace(text[at])) ++at;
    } else if (at >= text.size() || text[at++] != kAfter[i]) {
      return false;
    }
  }
  return true;
}

// "YYYY/MM/DD hh:mm:ss" of a row, as a FAT date and time: the exact inverse
// of how the walks print them.
bool RowDosTime(std::string_view text, uint16_t& date, uint16_t& time, uint8_t& tenMs) {
  unsigned n[6] = {};
  if (!ReadTimeNumbers(text, n) || n[0] < 1980) return false;
  const unsigned y = n[0], mo = n[1], d = n[2], h = n[3], mi = n[4], s = n[5];
  date = static_cast<uint16_t>(((y - 1980) << 9) | (mo << 5) | d);
  time = static_cast<uint16_t>((h << 11) | (mi << 5) | (s / 2));
  tenMs = static_cast<uint8_t>(s % 2 * 100);  // an odd second of an exFAT time
  return true;
}

// A time as the walks print them, whatever its year.
bool IsTimeText(std::string_view text) {
  unsigned n[6] = {};
  return ReadTimeNumbers(text, n);
}

// A recognised file's name is "不明" + its first cluster + "." + extension.
bool IsContentName(std::string_view name, uint64_t cluster) {
  const std::string stem = "不明" + std::to_string(cluster) + ".";
  return name.starts_with(stem) && std::none_of(name.begin(), name.end(), platform::IsPathSeparator);
}

RowItem ContentItem(const ResultList& rows, size_t row, size_t clusterColumn) {
  content::FoundContent c;
  c.name = rows.Cell(row, 0);
  c.folder = RowFolderBelowRoot(rows, row);
  c.firstCluster = ParseUnsigned64(rows.Cell(row, clusterColumn));
  c.size = ParseUnsigned64(rows.Cell(row, 2));
  if (rows.Cell(row, clusterColumn).empty() || !IsContentName(c.name, c.firstCluster)) return UnusableRow{};
  return c;
}

RowItem FatFamilyItem(const ResultList& rows, size_t row) {
  fat::FoundEntry e;
  if (!RowDosTime(rows.Cell(row, 4), e.dosDate, e.dosTime, e.tenMs)) return ContentItem(rows, row, 5);
  const uint32_t word = rows.DataWord(row);
  e.name = rows.Cell(row, 0);
  e.folder = RowFolderBelowRoot(rows, row);
  e.firstCluster = ParseUnsigned64(rows.Cell(row, 5));
  e.size = ParseUnsigned64(rows.Cell(row, 2));
  e.isFolder = (word & volume::kRowFolder) != 0;
  e.fatChain = (word & volume::kRowFatChain) != 0;
  e.slotCluster = volume::RowSlotCluster(word);
  return e;
}

RowItem NtfsItem(const ResultList& rows, size_t row) {
  if (rows.Cell(row, 5).empty() && rows.Cell(row, 7).empty()) return ContentItem(rows, row, 6);
  ntfs::FoundRecord r;
  r.source.recordNumber = static_cast<uint32_t>(ParseUnsigned64(rows.Cell(row, 5)));
  r.source.cluster = ParseUnsigned64(rows.Cell(row, 6));
  r.source.slot = static_cast<uint32_t>(ParseUnsigned64(rows.Cell(row, 7)));
  r.name = rows.Cell(row, 0);
  r.folder = RowFolderBelowRoot(rows, row);
  r.isFolder = (rows.DataWord(row) & volume::kRowFolder) != 0;
  if ((rows.DataWord(row) & volume::kRowStream) != 0 && !r.isFolder) {
    const ntfs::StreamRowName split = ntfs::SplitStreamRowName(r.name);
    r.name = split.file;
    r.stream = split.stream;
  }
  return r;
}

}  // namespace

ListKind KindOfList(const ResultList& rows) {
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    if (!rows.Cell(row, 6).empty() || !rows.Cell(row, 7).empty()) return ListKind::kNtfs;
    // "YYYY/MM/DD hh:mm:ss" of an entry, ".mmm" after it of a record.
    const std::string_view when = rows.Cell(row, 4);
    if (IsTimeText(when)) return when.find('.') != std::string_view::npos ? ListKind::kNtfs : ListKind::kFatFamily;
  }
  return ListKind::kFatFamily;
}

std::string RowFolderBelowRoot(const ResultList& rows, size_t row) {
  std::string folder(rows.Cell(row, 1));
  folder.erase(0, RootTextOfFolder(folder).size());
  while (!folder.empty() && platform::IsPathSeparator(folder.back())) folder.pop_back();
  return folder;
}

bool IsContentRow(const ResultList& rows, size_t row) {
  return std::holds_alternative<content::FoundContent>(ReadRowItem(rows, row, KindOfList(rows)));
}

RowItem ReadRowItem(const ResultList& rows, size_t row, ListKind kind) {
  if (row >= rows.RowCount()) return UnusableRow{};
  return kind == ListKind::kNtfs ? NtfsItem(rows, row) : FatFamilyItem(rows, row);
}

}  // namespace vellum::app
