#include "app/commissioning_runner.h"

#include <QElapsedTimer>
#include <QMetaObject>

namespace corvessa {

CommissioningRunner::CommissioningRunner(QObject* parent) : QObject(parent) {}

CommissioningRunner::~CommissioningRunner() {
  // The run's own destructor cancels and joins its workers; nothing is
  // queued for this object afterwards.
  run_.reset();
}

bool CommissioningRunner::Start(CommissionCommand command, std::vector<CommissionTarget> targets,
                                const EnipContext& context) {
  if (run_) return false;
  CommissionSink& sink = *this;
  run_ = std::make_unique<CommissioningRun>(command, std::move(targets), context, sink);
  run_->Start();
  return true;
}

void CommissioningRunner::Cancel() {
  if (run_) run_->Cancel();
}

void CommissioningRunner::Report(const CommissionEvent& event) { Queue(event); }

void CommissioningRunner::Finished(const CommissionSummary& summary) { Queue(summary); }

void CommissioningRunner::Queue(Pending pending) {
  const std::lock_guard lock(mutex_);
  pending_.push_back(std::move(pending));
  if (deliveryQueued_) return;
  deliveryQueued_ = true;
  QMetaObject::invokeMethod(this, &CommissioningRunner::Deliver, Qt::QueuedConnection);
}

void CommissioningRunner::Deliver() {
  QElapsedTimer started;
  started.start();
  for (;;) {
    Pending next;
    {
      const std::lock_guard lock(mutex_);
      if (pending_.empty()) {
        deliveryQueued_ = false;
        return;
      }
      if (started.nsecsElapsed() >= std::chrono::nanoseconds(kBatchBudget).count()) {
        // The rest in the next turn of the loop, after input and painting.
        QMetaObject::invokeMethod(this, &CommissioningRunner::Deliver, Qt::QueuedConnection);
        return;
      }
      next = std::move(pending_.front());
      pending_.pop_front();
    }
    if (const auto* event = std::get_if<CommissionEvent>(&next)) {
      if (onEvent_) onEvent_(*event);
      continue;
    }
    // The last report of the run: its workers are ending.
    const CommissionSummary summary = std::get<CommissionSummary>(std::move(next));
    std::unique_ptr<CommissioningRun> run = std::move(run_);
    run->Wait();
    const std::vector<CommissionTarget> targets = run->Targets();
    run.reset();
    if (onFinished_) onFinished_(summary, targets);
  }
}

}  // namespace corvessa
