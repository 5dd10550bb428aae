// The cluster-range question before a cluster scan (template 138): two
// numbers, checked against the proposed range before the dialog lets go.
#pragma once

#include "ui/small_dialog.h"
#include "volume/seams.h"

class QLabel;

namespace vellum::ui {

// Ours: the line that shows the volume's first and last cluster.
inline constexpr int kClusterLimitsLabelId = 1070;

class CClusterDlg : public SmallDialog, public ClusterRangeAsker {
 public:
  // The range messages go through `messages`.
  CClusterDlg(Messages& messages, QWidget* parent);

  // Shows start and end, which are also the limits; false (and both
  // unchanged) on Cancel.
  bool RunClusterRangeDialog(uint64_t& start, uint64_t& end) override;

  QLineEdit* StartEdit() const { return start_; }
  QLineEdit* EndEdit() const { return end_; }

 private:
  void OnOk();

  Messages& messages_;
  QLineEdit* start_ = nullptr;
  QLineEdit* end_ = nullptr;
  QLabel* limits_ = nullptr;
  uint64_t limitStart_ = 0;
  uint64_t limitEnd_ = 0;
  uint64_t chosenStart_ = 0;
  uint64_t chosenEnd_ = 0;
};

}  // namespace vellum::ui
