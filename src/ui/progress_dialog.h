// The progress window of a walk (template 105): modeless, with the main
// window disabled while it exists. The walk runs on this thread, so the
// window only lives while the walk asks it whether to cancel, which is when
// it lets the event loop run.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <functional>
#include <memory>

#include "app/progress_model.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vellum::ui {

// Events are handled at most this often; a walk asks far more often than the
// screen can show.
inline constexpr int kPumpIntervalMs = 30;

class ProgressDialog : public QDialog, public app::ProgressView {
 public:
  // `owner` is the window disabled while this one exists.
  explicit ProgressDialog(QWidget* owner);

  bool Create(std::string_view title) override;
  void Destroy() override;
  void SetLabelText(int id, std::string_view text) override;
  void SetLabelVisible(int id, bool visible) override;
  void SetBarPosition(int position) override;
  bool PumpEvents() override;
  bool IsOwnerEnabled() override;
  void SetOwnerEnabled(bool enabled) override;

  QLabel* Label(int id) const { return labels_.value(id, nullptr); }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

 public slots:
  // Esc and the Cancel button ask the walk to stop; the window stays until
  // the walk closes it. The OK command does nothing.
  void reject() override { cancelRequested_ = true; }
  void accept() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddLabel(int id, const QRect& dlu, const QString& text);

  QPointer<QWidget> owner_;
  QHash<int, QLabel*> labels_;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QElapsedTimer sincePump_;
  bool cancelRequested_ = false;
};

// The Progress a walker is given: the model deciding what to show, drawn by
// a ProgressDialog.
class GuiProgress : public Progress {
 public:
  explicit GuiProgress(QWidget* owner)
      : dialog_(std::make_unique<ProgressDialog>(owner)), model_(*dialog_) {}

  int OpenProgress() override { return model_.OpenProgress(); }
  void StartPhase(std::string_view caption, uint64_t total) override {
    model_.StartPhase(caption, total);
  }
  void ShowFileLabel() override { model_.ShowFileLabel(); }
  int Update(uint64_t current) override { return model_.Update(current); }
  int PumpAndCheckCancel() override { return model_.PumpAndCheckCancel(); }
  void SetFileName(std::string_view name) override { model_.SetFileName(name); }
  void CloseProgress() override { model_.CloseProgress(); }

  void SetUnitBytes(std::function<uint64_t(std::string_view)> unitBytes) { model_.SetUnitBytes(std::move(unitBytes)); }

  ProgressDialog& Dialog() { return *dialog_; }
  const app::ProgressModel& Model() const { return model_; }

 private:
  std::unique_ptr<ProgressDialog> dialog_;  // outlives the model, which closes it
  app::ProgressModel model_;
};

}  // namespace vellum::ui
