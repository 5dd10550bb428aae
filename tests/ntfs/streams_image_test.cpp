// Alternate data streams and the emptied Recycle Bin on an image made by
// ntfs-3g: each stream is a row named as fls names it and comes back with the
// bytes icat reads from its attribute; each $R file or folder whose $I index
// is listed carries the original path and deletion time, and goes back there
// when asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/recycle_bin_rows.h"
#include "app/restore_command.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/recycle_bin.h"
#include "restore/restore_output.h"
#include "support/command_fixture.h"
#include "support/open_image.h"
#include "support/run_command.h"
#include "volume/listing.h"

namespace vellum::ntfs {
namespace {

namespace fs = std::filesystem;
using testing::Command;
using testing::RunCommand;

std::string Image() { return std::string(VELLUM_TEST_IMAGES) + "/ntfs-streams.img"; }

class TempDir : public testing::TempDir {
 public:
  TempDir() : testing::TempDir("vellum-ntfs-streams-") {}
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// fls -rd -p: every deleted file's path with the attribute (REC-128-ID) that holds it.
std::map<std::string, std::string> FlsFiles() {
  std::map<std::string, std::string> files;
  std::istringstream lines(RunCommand("fls -rd -p '" + Image() + "'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t tab = line.find('\t'), colon = line.find(':');
    if (!line.starts_with("-/r") && !line.starts_with("r/r")) continue;
    if (tab == std::string::npos || colon > tab) continue;
    const std::string path = line.substr(tab + 1);
    if (path.starts_with("$OrphanFiles")) continue;
    files[path] = line.substr(line.rfind(' ', colon) + 1, colon - line.rfind(' ', colon) - 1);
  }
  return files;
}

std::string RowPath(const app::ResultList& list, size_t row) {
  std::string folder(list.Cell(row, 1));
  folder.erase(0, folder.find(":/") + 2);
  return (folder.empty() ? "" : folder + "/") + std::string(list.Cell(row, 0));
}

void Search(Command& c) {
  c.context.options.zeroSize = true;
  ASSERT_EQ(app::OnSearch(c.context), 1);
}

TEST(NtfsStreams, EveryStreamIsARowNamedAsFlsNamesIt) {
  Command c(Image());
  Search(c);
  std::set<std::string> ours, theirs;
  for (size_t row = 0; row < c.list.RowCount(); ++row) {
    if ((c.list.DataWord(row) & volume::kRowStream) == 0) continue;
    ours.insert(RowPath(c.list, row));
    EXPECT_EQ(c.list.Cell(row, 3), kStreamTypeName);
  }
  for (const auto& [path, attribute] : FlsFiles())
    if (path.find(':') != std::string::npos) theirs.insert(path);
  EXPECT_EQ(ours, theirs);
  EXPECT_EQ(ours.count("Report.docx:summary"), 1u);
  // The stream's size, the file's record and time.
  const auto rows = testing::RowsNamed(c.list, "Report.docx:summary");
  const auto file = testing::RowsNamed(c.list, "Report.docx");
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(file.size(), 1u);
  EXPECT_EQ(c.list.Cell(rows[0], 2), "27000");
  EXPECT_EQ(c.list.Cell(rows[0], 4), c.list.Cell(file[0], 4));
  EXPECT_EQ(c.list.Cell(rows[0], 5), c.list.Cell(file[0], 5));
}

// Resident, non-resident, compressed and sparse streams alike.
TEST(NtfsStreams, EveryFileAndStreamRestoresAsIcatReadsItsAttribute) {
  Command c(Image());
  Search(c);
  TempDir out;
  Command restore(Image());
  app::RestoreSummary summary;
  ASSERT_EQ(app::OnRestore(restore.context, {out.Path(), &c.list, {}, 0}, summary), 1);
  EXPECT_TRUE(summary.outcomes.AllIntact()) << app::SummaryText(summary);
  size_t streams = 0;
  for (const auto& [path, attribute] : FlsFiles()) {
    SCOPED_TRACE(path + " " + attribute);
    ASSERT_TRUE(fs::exists(out.Path(path)));
    EXPECT_TRUE(ReadWhole(out.Path(path)) == RunCommand("icat '" + Image() + "' " + attribute));
    streams += path.find(':') != std::string::npos;
  }
  EXPECT_EQ(streams, 8u);  // Docs:about is the folder's own
}

TEST(NtfsStreams, AStreamRowAloneIsWrittenOnceAndAFolderWalkBringsItsFilesStreams) {
  Command c(Image());
  Search(c);
  const auto summaryRow = testing::RowsNamed(c.list, "Report.docx:summary");
  const auto fileRow = testing::RowsNamed(c.list, "Report.docx");
  ASSERT_EQ(summaryRow.size(), 1u);
  TempDir out;
  Command restore(Image());
  app::RestoreSummary alone;
  // The stream's row with its file's: the stream is written once.
  ASSERT_EQ(app::OnRestore(restore.context, {out.Path("rows"), &c.list, {summaryRow[0], fileRow[0]}, 0}, alone), 1);
  EXPECT_EQ(alone.outcomes.Files(), 4u) << app::SummaryText(alone);
  EXPECT_FALSE(fs::exists(out.Path("rows/Report.docx:summary_1")));
  EXPECT_TRUE(ReadWhole(out.Path("rows/Report.docx:summary")) == RunCommand("icat '" + Image() + "' 64-128-4"));

  // The folder's row alone: its own stream beside it, its files' below it.
  Command docs(Image());
  app::RestoreSummary withStreams;
  const auto docsRow = testing::RowsNamed(c.list, "Docs");
  ASSERT_EQ(docsRow.size(), 1u);
  ASSERT_EQ(app::OnRestore(docs.context, {out.Path("docs"), &c.list, {docsRow[0]}, 0}, withStreams), 1);
  EXPECT_TRUE(ReadWhole(out.Path("docs/Docs:about")) == RunCommand("icat '" + Image() + "' 65-128-4"));
  EXPECT_TRUE(ReadWhole(out.Path("docs/Docs/notes.txt:author")) == RunCommand("icat '" + Image() + "' 66-128-4"));

  Command walk(Image());
  app::RestoreSummary folder;
  ASSERT_EQ(app::OnRestore(walk.context, {out.Path("walk"), nullptr, {}, 65}, folder), 1);
  EXPECT_TRUE(ReadWhole(out.Path("walk/notes.txt:author")) == RunCommand("icat '" + Image() + "' 66-128-4"));
  EXPECT_TRUE(ReadWhole(out.Path("walk/plan.txt:review")) == RunCommand("icat '" + Image() + "' 67-128-4"));
}

TEST(RecycleBin, RowsOfTheBinCarryTheOriginalPathAndDeletionTime) {
  ::setenv("TZ", "UTC", 1);
  Command c(Image());
  Search(c);
  const auto notes = app::RecycleBinNotes(c.state, c.list);
  auto noteOf = [&](std::string_view name) -> std::optional<app::BinNote> {
    const auto rows = testing::RowsNamed(c.list, name);
    const app::BinNote* note = rows.size() == 1 ? app::NoteOfRow(notes, rows[0]) : nullptr;
    return note ? std::optional(*note) : std::nullopt;
  };
  const auto report = noteOf("$RABC123.docx");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->originalPath, "C:\\Users\\owner\\Documents\\report.docx");
  EXPECT_EQ(report->deletedTime, FormatFileTime(133590294000000000));
  EXPECT_EQ(report->version, 2u);
  EXPECT_FALSE(report->index);
  const auto index = noteOf("$IABC123.docx");
  ASSERT_TRUE(index);
  EXPECT_TRUE(index->index);
  EXPECT_EQ(index->originalPath, report->originalPath);
  const auto old = noteOf("$RDEF456.txt");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->originalPath, "D:\\Archive\\2014\\notes.txt");
  EXPECT_EQ(old->version, 1u);
  const auto folder = noteOf("$RFLD789");
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->originalPath, "C:\\Users\\owner\\Projects\\old-project");
  // An index whose file is gone still tells where it was.
  const auto gone = noteOf("$IGONE00.pdf");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->originalPath, "C:\\Users\\owner\\Downloads\\manual.pdf");
  // A file whose index was left in use: the index is read from the table.
  const auto live = noteOf("$RLIVE01.txt");
  ASSERT_TRUE(live);
  EXPECT_EQ(live->originalPath, "C:\\Users\\owner\\Desktop\\todo.txt");
  EXPECT_EQ(live->size, 4000u);
  EXPECT_FALSE(noteOf("draft.txt"));
  EXPECT_FALSE(noteOf("Report.docx"));
  // The index is typed as what it is, not by its extension.
  for (std::string_view name : {"$IABC123.docx", "$IDEF456.txt", "$IGONE00.pdf"})
    EXPECT_EQ(c.list.Cell(testing::RowsNamed(c.list, name).at(0), 3), kBinIndexTypeName) << name;
  EXPECT_NE(c.list.Cell(testing::RowsNamed(c.list, "$RABC123.docx").at(0), 3), kBinIndexTypeName);
}

TEST(RecycleBin, OriginalNamesPutEachFileAndFolderWhereItWas) {
  Command c(Image());
  Search(c);
  TempDir out;
  Command restore(Image());
  app::RestoreRequest request{out.Path(), &c.list, {}, 0};
  request.originalNames = true;
  app::RestoreSummary summary;
  ASSERT_EQ(app::OnRestore(restore.context, request, summary), 1);
  EXPECT_TRUE(summary.outcomes.AllIntact()) << app::SummaryText(summary);
  const std::pair<const char*, const char*> placed[] = {
      {"Users/owner/Documents/report.docx", "73-128-2"},
      {"Archive/2014/notes.txt", "75-128-2"},
      {"Users/owner/Projects/old-project/draft.txt", "78-128-2"},
      {"Users/owner/Projects/old-project/figure.dat", "79-128-2"}};
  for (const auto& [path, attribute] : placed) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(ReadWhole(out.Path(path)) == RunCommand("icat '" + Image() + "' " + attribute));
  }
  const std::string bin = out.Path("$Recycle.Bin/S-1-5-21-1111111111-2222222222-3333333333-1001");
  EXPECT_FALSE(fs::exists(bin + "/$RABC123.docx"));
  EXPECT_FALSE(fs::exists(bin + "/$RFLD789"));
  EXPECT_TRUE(fs::exists(bin + "/$IGONE00.pdf"));  // an index has no other place
}

// A recorded path is the disk's word: one that climbs is refused, and
// nothing is written outside the destination.
TEST(RecycleBin, AnOriginalPathThatClimbsIsRefused) {
  volume::ScanState state;
  ASSERT_EQ(testing::OpenImage(Image(), state), "");
  TempDir out;
  const std::string root = out.Path("dest");
  fs::create_directories(root);
  restore::Outcomes outcomes;
  restore::RestoreTarget target{root, nullptr, &outcomes};
  FoundRecord climbing{{73, 0, 0}, "$RABC123.docx", "../..", false, {}, "escaped.docx"};
  RestoreFoundRecord(state, target, climbing);
  FoundRecord named{{73, 0, 0}, "$RABC123.docx", "x", false, {}, ".."};
  RestoreFoundRecord(state, target, named);
  EXPECT_EQ(outcomes.Files(), 0u);
  EXPECT_EQ(outcomes.WithReason(restore::kReasonUnsafeName), 2u);
  EXPECT_FALSE(fs::exists(fs::path(root) / "../../escaped.docx"));
  for (const auto& entry : fs::recursive_directory_iterator(out.Path()))
    EXPECT_TRUE(entry.is_directory()) << entry.path();
}

}  // namespace
}  // namespace vellum::ntfs
