#include "ui/result_table_model.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QTimer>

#include "content/content_verdict.h"
#include "ui/text.h"
#include "volume/listing.h"

namespace vellum::ui {

namespace {

Qt::Alignment AlignmentOf(app::ColumnAlign align) {
  switch (align) {
    case app::ColumnAlign::kRight: return Qt::AlignRight | Qt::AlignVCenter;
    case app::ColumnAlign::kCentre: return Qt::AlignHCenter | Qt::AlignVCenter;
    case app::ColumnAlign::kLeft: break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

// Qt would take a tip that starts like a tag for markup; names from the disk
// are shown as they are, line breaks kept (and a very long name wrapped).
QString PlainTip(const QStringList& lines) {
  return QStringLiteral("<p style='white-space:pre-wrap'>") + lines.join(QLatin1Char('\n')).toHtmlEscaped() +
         QStringLiteral("</p>");
}

}  // namespace

ResultTableModel::ResultTableModel(app::ResultList& list, platform::QtShellInfo& shell,
                                   QObject* parent)
    : QAbstractTableModel(parent), list_(list), shell_(shell) {
  shownRows_ = static_cast<int>(list_.RowCount());
  list_.SetObserver(this);
}

ResultTableModel::~ResultTableModel() { list_.SetObserver(nullptr); }

int ResultTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.ColumnCount());
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shownRows_) return {};
  const size_t row = static_cast<size_t>(index.row());
  const size_t column = static_cast<size_t>(index.column());
  switch (role) {
    case Qt::DisplayRole: return FromUtf8(list_.Cell(row, column));
    case Qt::ToolTipRole: return ToolTip(row, column);
    case Qt::DecorationRole:
      if (column != 0) return {};
      return IconFor(list_.Icon(row), (list_.DataWord(row) & volume::kRowFolder) != 0);
    case Qt::TextAlignmentRole: return QVariant::fromValue(AlignmentOf(list_.ColumnAt(column).align));
    case Qt::ForegroundRole: {
      // A row whose clusters are not all free is greyed: its restore may not give the file back whole.
      const volume::Recoverability* state = StateOf(row);
      const bool repeated = !sameAs_.empty() && sameAs_.count(RowKey(row)) != 0;
      const auto check = checks_.empty() ? checks_.end() : checks_.find(RowKey(row));
      const bool damaged = check != checks_.end() && check->second.verdict == content::ContentCheck::Verdict::kDamaged;
      if (!repeated && !damaged && (!state || state->state == volume::RowState::kIntact)) return {};
      return QColor(Qt::gray);
    }
    default: return {};
  }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0) return {};
  const app::Column& column = list_.ColumnAt(static_cast<size_t>(section));
  if (role == Qt::DisplayRole) return FromUtf8(column.heading);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(column.align));
  return {};
}

void ResultTableModel::SortByColumn(int column) {
  FlushRows();
  beginResetModel();
  resetting_ = true;
  list_.OnColumnClick(static_cast<size_t>(column));
  resetting_ = false;
  shownRows_ = static_cast<int>(list_.RowCount());
  endResetModel();
}

void ResultTableModel::FlushRows() {
  if (pendingRows_ == 0) return;
  beginInsertRows({}, shownRows_, shownRows_ + pendingRows_ - 1);
  shownRows_ += pendingRows_;
  pendingRows_ = 0;
  endInsertRows();
}

void ResultTableModel::OnClearing(std::string_view notice) {
  emit clearing(FromUtf8(notice));
  beginResetModel();
  resetting_ = true;
}

void ResultTableModel::OnCleared() {
  resetting_ = false;
  states_.clear();
  sameAs_.clear();
  checks_.clear();
  binNotes_.clear();
  shownRows_ = static_cast<int>(list_.RowCount());
  pendingRows_ = 0;
  endResetModel();
  emit cleared();
}

void ResultTableModel::OnColumnsChanged() {
  if (!resetting_) ResetToList();
  emit columnsChanged();
}

void ResultTableModel::OnRowInserted(size_t index) {
  if (resetting_) return;
  if (index == static_cast<size_t>(shownRows_ + pendingRows_)) {
    ++pendingRows_;
    if (!flushScheduled_) {
      flushScheduled_ = true;
      QTimer::singleShot(0, this, [this] {
        flushScheduled_ = false;
        FlushRows();
      });
    }
    return;
  }
  // Walkers append; a row put anywhere else is rare enough to redraw all.
  ResetToList();
}

void ResultTableModel::OnRowChanged(size_t index) {
  if (resetting_ || index >= static_cast<size_t>(shownRows_)) return;
  const int row = static_cast<int>(index);
  emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
}

void ResultTableModel::OnRowsReordered() {
  if (!resetting_) ResetToList();
}

void ResultTableModel::OnSelectionChanged() { emit listSelectionChanged(); }

void ResultTableModel::OnFoundCountChanged(std::string_view text) {
  emit foundCountChanged(FromUtf8(text));
}

// A cut cell is seen whole on hover: the hovered cell, then the row's whole
// name and folder, which tell the rows of one name apart.
QString ResultTableModel::ToolTip(size_t row, size_t column) const {
  QStringList lines;
  if (column > 1 && !list_.Cell(row, column).empty()) lines << FromUtf8(list_.Cell(row, column));
  lines << FromUtf8(list_.Cell(row, 0));
  if (!list_.Cell(row, 1).empty()) lines << FromUtf8(list_.Cell(row, 1));
  if (const volume::Recoverability* state = StateOf(row))
    lines << QStringLiteral("状態: ") + FromUtf8(volume::RowStateText(*state));
  if (!sameAs_.empty())
    if (const auto found = sameAs_.find(RowKey(row)); found != sameAs_.end())
      lines << QStringLiteral("同じデータ: ") + FromUtf8(found->second);
  if (!checks_.empty())
    if (const auto found = checks_.find(RowKey(row)); found != checks_.end())
      lines << QStringLiteral("検査: ") + FromUtf8(content::ContentCheckText(found->second));
  if (!binNotes_.empty())
    if (const auto found = binNotes_.find(RowKey(row)); found != binNotes_.end()) lines << FromUtf8(found->second);
  return PlainTip(lines);
}

// What a row holds that tells it from every other: its cells but the type.
std::string ResultTableModel::RowKey(size_t row) const {
  std::string key;
  for (size_t column = 0; column < list_.ColumnCount(); ++column)
    if (column != 3) (key += list_.Cell(row, column)) += '\t';
  return key;
}

const volume::Recoverability* ResultTableModel::StateOf(size_t row) const {
  if (states_.empty() || row >= list_.RowCount()) return nullptr;
  const auto found = states_.find(RowKey(row));
  return found == states_.end() ? nullptr : &found->second;
}

void ResultTableModel::SetSameContentRows(const std::vector<std::optional<size_t>>& same) {
  sameAs_.clear();
  for (size_t row = 0; row < same.size() && row < list_.RowCount(); ++row) {
    if (!same[row] || *same[row] >= list_.RowCount()) continue;
    const std::string_view folder = list_.Cell(*same[row], 1);
    sameAs_.emplace(RowKey(row), std::string(folder) + (folder.ends_with('/') ? "" : "/") +
                                     std::string(list_.Cell(*same[row], 0)));
  }
  if (shownRows_ > 0) emit dataChanged(index(0, 0), index(shownRows_ - 1, columnCount() - 1));
}

void ResultTableModel::SetContentChecks(const std::vector<std::optional<content::ContentCheck>>& checks) {
  checks_.clear();
  for (size_t row = 0; row < checks.size() && row < list_.RowCount(); ++row)
    if (checks[row]) checks_.emplace(RowKey(row), *checks[row]);
  if (shownRows_ > 0) emit dataChanged(index(0, 0), index(shownRows_ - 1, columnCount() - 1));
}

void ResultTableModel::SetBinNotes(const app::BinNotes& notes) {
  binNotes_.clear();
  for (const auto& [row, note] : notes)
    if (row < list_.RowCount()) binNotes_.emplace(RowKey(row), app::BinNoteText(note));
}

void ResultTableModel::SetRowStates(const std::vector<volume::Recoverability>& states) {
  states_.clear();
  for (size_t row = 0; row < states.size() && row < list_.RowCount(); ++row) states_.emplace(RowKey(row), states[row]);
  if (shownRows_ > 0) emit dataChanged(index(0, 0), index(shownRows_ - 1, columnCount() - 1));
}

// The list has already changed; the view only reads it again once the reset
// ends, so announcing both halves now is safe.
void ResultTableModel::ResetToList() {
  beginResetModel();
  shownRows_ = static_cast<int>(list_.RowCount());
  pendingRows_ = 0;
  endResetModel();
}

QIcon ResultTableModel::IconFor(int iconIndex, bool folder) const {
  if (iconIndex < 0) return {};
  if (iconIndex < icons_.size() && !icons_[iconIndex].isNull()) return icons_[iconIndex];
  QIcon icon;
  const auto& names = shell_.Icons();
  if (static_cast<size_t>(iconIndex) < names.size()) {
    icon = QIcon::fromTheme(QString::fromStdString(names[iconIndex].iconName));
    if (icon.isNull()) icon = QIcon::fromTheme(QString::fromStdString(names[iconIndex].genericIconName));
  }
  // Without an icon theme the style's own file and folder pictures will do.
  if (icon.isNull())
    icon = QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
  if (iconIndex >= icons_.size()) icons_.resize(iconIndex + 1);
  icons_[iconIndex] = icon;
  return icon;
}

}  // namespace vellum::ui
