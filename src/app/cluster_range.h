// The checks of the cluster-range dialog (CClusterDlg), shared by the dialog
// and the command line's --range flag so both refuse exactly the same ranges
// with exactly the same words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vellum::app {

inline constexpr int kClusterRangeDialogId = 138;
inline constexpr int kStartClusterLabelId = 1027;
inline constexpr int kStartClusterEditId = 1023;
inline constexpr int kEndClusterLabelId = 1028;
inline constexpr int kEndClusterEditId = 1024;

inline constexpr std::string_view kStartClusterLabel = "開始クラスタ";
inline constexpr std::string_view kEndClusterLabel = "終了クラスタ";
inline constexpr std::string_view kStartTooSmallMessage = "開始クラスタが小さ過ぎます。";
inline constexpr std::string_view kEndTooLargeMessage = "終了クラスタが大き過ぎます。";
inline constexpr std::string_view kEndBeforeStartMessage =
    "終了クラスタは開始クラスタ以上の値を入力してください。";

// The outcome of pressing OK. When ok is false, message is the warning to
// show and focusId the edit (1023 or 1024) that gets the focus; the dialog
// stays open and the caller's values are untouched.
struct ClusterRangeCheck {
  bool ok = false;
  uint64_t start = 0;
  uint64_t end = 0;
  std::string_view message;
  int focusId = 0;
};

// limitStart and limitEnd are the values the dialog was opened with, which
// are also the limits of the range.
ClusterRangeCheck CheckClusterRange(uint64_t first, uint64_t last, uint64_t limitStart,
                                    uint64_t limitEnd);

// The same with the two edit texts, read as the dialog reads them.
ClusterRangeCheck CheckClusterRangeTexts(std::string_view startText, std::string_view endText,
                                         uint64_t limitStart, uint64_t limitEnd);

// What an edit shows for a value: plain decimal, all 64 bits.
std::string ClusterNumberText(uint64_t value);

}  // namespace vellum::app
