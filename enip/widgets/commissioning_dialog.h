#pragma once
// The progress window of Enable or Disable BOOTP/DHCP while the run goes on
// off the window's thread: one row per selected device with its step and its
// latest status text, how many devices are done, and Cancel. When the run is
// over the same window shows the summary: each device's outcome and its own
// success or failure text. It is modeless: the main window, its server and
// its other commands go on meanwhile.

#include <vector>

#include <QDialog>
#include <QTimer>

#include "enip/commissioning_run.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace corvessa {

class Table;

class CommissioningDialog : public QDialog {
  Q_OBJECT

 public:
  // A single device's run shows the window only when it is still going
  // after this long, so a device that answers at once does not flash it.
  static constexpr int kSingleDeviceDelayMs = 500;

  explicit CommissioningDialog(QWidget* parent = nullptr);

  // A run of `command` over these devices begins.
  void Begin(CommissionCommand command, const std::vector<CommissionTarget>& targets);
  void Apply(const CommissionEvent& event);
  // The run is over. With several devices the window stays (or comes) up
  // with the summary; with one it goes, the caller reports the outcome.
  void End(const CommissionSummary& summary);

  bool Running() const { return running_; }
  Table& Devices() const { return *devices_; }
  QPushButton& Button() const { return *button_; }
  QLabel& Heading() const { return *heading_; }
  QProgressBar& Progress() const { return *progress_; }

 signals:
  // Cancel, Escape or the close box while the run goes on.
  void CancelRequested();

 protected:
  void reject() override;

 private:
  void SetButton(std::string_view text);
  void UpdateHeading();

  Table* devices_ = nullptr;
  QLabel* heading_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* button_ = nullptr;
  QTimer showLater_;
  CommissionCommand command_ = CommissionCommand::Enable;
  int total_ = 0;
  int done_ = 0;
  bool running_ = false;
};

}  // namespace corvessa
