#pragma once
// Runs Enable or Disable BOOTP/DHCP off the window's thread and brings what
// the run reports back to it. The workers only queue their reports; the
// window's event loop takes them in order, a bounded batch at a time, so a
// run never holds the loop up, and the callbacks always run on the window's
// thread. The run's end is reported after its last event.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>
#include <vector>

#include <QObject>

#include "enip/commissioning_run.h"

namespace corvessa {

class CommissioningRunner final : public QObject, private CommissionSink {
  Q_OBJECT

 public:
  using EventCallback = std::function<void(const CommissionEvent&)>;
  using FinishedCallback =
      std::function<void(const CommissionSummary&, const std::vector<CommissionTarget>&)>;

  // Events of one batch beyond this wait for the next turn of the loop.
  static constexpr std::chrono::milliseconds kBatchBudget{8};

  explicit CommissioningRunner(QObject* parent = nullptr);
  // Cancels a run that is still going and waits for its threads.
  ~CommissioningRunner() override;

  void OnEvent(EventCallback callback) { onEvent_ = std::move(callback); }
  void OnFinished(FinishedCallback callback) { onFinished_ = std::move(callback); }

  // False, and nothing starts, while a run is going.
  bool Start(CommissionCommand command, std::vector<CommissionTarget> targets,
             const EnipContext& context);
  void Cancel();
  // From the start until the finish callback has run.
  bool Running() const { return run_ != nullptr; }

 private:
  using Pending = std::variant<CommissionEvent, CommissionSummary>;

  // CommissionSink, on the workers.
  void Report(const CommissionEvent& event) override;
  void Finished(const CommissionSummary& summary) override;
  void Queue(Pending pending);
  // On the window's thread.
  void Deliver();

  std::unique_ptr<CommissioningRun> run_;
  EventCallback onEvent_;
  FinishedCallback onFinished_;

  std::mutex mutex_;
  std::deque<Pending> pending_;
  bool deliveryQueued_ = false;
};

}  // namespace corvessa
