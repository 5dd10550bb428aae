// The interfaces through which walkers reach the user interface without
// knowing it: the progress window, message boxes, the cluster-range question,
// the result list (and, from the platform, the shell's type names). The GUI implements them with Qt,
// the command line with the terminal, tests with scripted fakes. They sit here,
// beside ScanState, because walkers below the application layer call them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell_info.h"

namespace vellum {

// The progress window of one walk.
class Progress {
 public:
  virtual ~Progress() = default;
  // Shows the window (disabling the main window); 0 when it cannot be shown.
  virtual int OpenProgress() = 0;
  // Begins a counting phase; an empty caption shows no counter text. total >= 1.
  virtual void StartPhase(std::string_view caption, uint64_t total) = 0;
  virtual void ShowFileLabel() = 0;
  // 1 to go on, 0 once the user has cancelled.
  virtual int Update(uint64_t current) = 0;
  // Lets the interface breathe; returns the cancel flag (1 cancelled).
  virtual int PumpAndCheckCancel() = 0;
  virtual void SetFileName(std::string_view name) = 0;
  virtual void CloseProgress() = 0;
};

// The caption of every pass over clusters (scans, complete deletion's passes).
inline constexpr std::string_view kClusterCaption = "クラスタ：";

// Cluster scans report their position every this many clusters and at the
// range's end: a counter redrawn for every cluster costs more than reading it.
inline constexpr uint64_t kClustersPerUpdate = 64;
inline bool ClusterUpdateDue(uint64_t cluster, uint64_t first, uint64_t last) {
  return (cluster - first) % kClustersPerUpdate == 0 || cluster == last;
}

enum class MessageButtons { Ok, YesNo, RetryCancel };
enum class MessageIcon { None, Information, Warning, Question, Stop };
enum class MessageAnswer { Ok, Yes, No, Retry, Cancel };

// Message boxes, carrying the program's title.
class Messages {
 public:
  virtual ~Messages() = default;
  virtual MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                             MessageAnswer defaultAnswer) = 0;
};

// The cluster-range question before a cluster scan: start and end are the
// proposed range and the limits; false (and both unchanged) on Cancel.
class ClusterRangeAsker {
 public:
  virtual ~ClusterRangeAsker() = default;
  virtual bool RunClusterRangeDialog(uint64_t& start, uint64_t& end) = 0;
};

// Where walkers insert their rows: the result list.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // Inserts a row at `index` with the name in column 0 and its icon; the
  // other cells follow with SetCell.
  virtual void InsertRow(size_t index, std::string_view name, int iconIndex) = 0;
  virtual void SetCell(size_t index, size_t column, std::string_view text) = 0;
  virtual void SetDataWord(size_t index, uint32_t dataWord) = 0;
  // Shows the number of files found (the counter under "ファイル数").
  virtual void ShowFoundCount(uint32_t count) = 0;
  // Adds the columns of the NTFS cluster scan: scanned cluster and slot.
  virtual void AddScanColumns() {}
};

}  // namespace vellum
