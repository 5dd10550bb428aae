// The search command: open the selected drive, walk its deleted entries,
// offer the free-cluster scan, and report an empty outcome.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "app/open_volume.h"
#include "app/result_list.h"
#include "content/analyse_cluster.h"
#include "fat/cluster_scan.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::app {

inline constexpr std::string_view kFreeScanQuestion = "空きクラスタをスキャンしますか。";
inline constexpr std::string_view kNothingFoundMessage = "ファイルは１件も見つかりませんでした。";
inline constexpr std::string_view kWalkMissingMessage =
    "このファイルシステムの削除ファイル検索には、まだ対応していません。";

// Everything a command reaches beyond the scan state: the main window's
// controls and the interface it talks through.
struct CommandContext {
  CommandContext(volume::ScanState& s, ResultList& l, Messages& m)
      : state(s), list(l), messages(m), analyse(content::AnalyseClusterContents) {}

  volume::ScanState& state;
  ResultList& list;
  Messages& messages;
  VolumeRequest volume;            // the drive box and the name filter
  volume::SearchOptions options;   // the filter and the check boxes
  // A fresh progress window for each walk; may be empty (no progress shown).
  std::function<std::unique_ptr<Progress>()> newProgress;
  // The cluster-range question of the cluster scans; none: no scan runs.
  ClusterRangeAsker* rangeAsker = nullptr;
  // Content analysis of scanned clusters (with the analyse option on);
  // empty: clusters are only read as entries and records.
  fat::ContentAnalyser analyse;
};

inline constexpr std::string_view kFullScanQuestion =
    "使用クラスタを含めて全てのクラスタ（FAT12、FAT16 のルートディレクトリはクラスタに含まれません。）をスキャンし、"
    "ファイル情報である可能性があるものを全て表示します。\n削除されていないファイルも対象となります。\n\n処理を続けますか。";

// The search button (and Enter in the main window).
// 1 when the volume was opened and walked (also when nothing was found or the
// walk was cancelled); 0 when the command stopped on a reported failure.
int OnSearch(CommandContext& context);

// The search run again without its questions, after a command changed the
// volume: the deleted-entry walk, then, when asked, the free-cluster scan
// over every free cluster (no range dialog). 1 when the volume was opened.
int SearchAgain(CommandContext& context, bool withFreeScan);

// The full cluster scan command: every cluster of a range, used ones too.
// 1 when the scan ran; 0 when it stopped on a failure, a No or a cancelled range.
int OnFullClusterScan(CommandContext& context);

}  // namespace vellum::app
