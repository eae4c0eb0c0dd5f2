#include "enip/commissioning_run.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "core/address.h"
#include "core/strings.h"
#include "enip/enip_texts.h"

namespace corvessa {

int CommissionSummary::Count(DeviceOutcome outcome) const {
  return static_cast<int>(std::count_if(devices.begin(), devices.end(),
                                        [outcome](const DeviceResult& d) { return d.outcome == outcome; }));
}

std::string TargetText(const CommissionTarget& target) {
  if (!target) return std::string(text::kNoDevice);
  return RelationMacText(*target);
}

std::string_view CommandName(CommissionCommand command) {
  return command == CommissionCommand::Enable ? text::kMenuEnable : text::kMenuDisable;
}

std::string_view StepText(CommissionStep step) {
  switch (step) {
    case CommissionStep::Discovery:
      return text::kStepDiscovery;
    case CommissionStep::DhcpAttempt:
      return text::kStepDhcpAttempt;
    case CommissionStep::Pause:
      return text::kStepPause;
    case CommissionStep::BootpAttempt:
      return text::kStepBootpAttempt;
    case CommissionStep::StoredConfiguration:
      return text::kStepStoredConfiguration;
  }
  return {};
}

std::string_view OutcomeText(DeviceOutcome outcome) {
  switch (outcome) {
    case DeviceOutcome::Succeeded:
      return text::kOutcomeSucceeded;
    case DeviceOutcome::Failed:
      return text::kOutcomeFailed;
    case DeviceOutcome::Cancelled:
      return text::kOutcomeCancelled;
  }
  return {};
}

std::string ProgressText(CommissionCommand command, int done, int total) {
  const std::string name(CommandName(command));
  return FormatText(text::kRunProgress, name.c_str(), done, total);
}

std::string SummaryText(const CommissionSummary& summary) {
  const std::string name(CommandName(summary.command));
  return FormatText(text::kRunSummary, name.c_str(), summary.Count(DeviceOutcome::Succeeded),
                    summary.Count(DeviceOutcome::Failed), summary.Count(DeviceOutcome::Cancelled));
}

CommissioningRun::CommissioningRun(CommissionCommand command, std::vector<CommissionTarget> targets,
                                   const EnipContext& context, CommissionSink& sink, int concurrency)
    : command_(command),
      targets_(std::move(targets)),
      context_(context),
      sink_(sink),
      concurrency_(std::max(concurrency, 1)),
      results_(targets_.size()) {
  // Reports go to the sink only; a worker thread shows nothing.
  context_.status = nullptr;
  context_.commandFailed = nullptr;
  context_.busy = nullptr;
  context_.cancel = &cancel_;
}

CommissioningRun::~CommissioningRun() {
  Cancel();
  Wait();
}

void CommissioningRun::Start() {
  const int count = std::min<int>(concurrency_, static_cast<int>(targets_.size()));
  if (count == 0) {
    const std::lock_guard lock(sinkMutex_);
    sink_.Finished({command_, results_});
    return;
  }
  working_ = count;
  for (int i = 0; i < count; ++i) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // Fewer threads only make the run slower: the ones that started take
      // every device. With none at all the calling thread does the work.
      if (i == 0) {
        working_ = 1;
        Work();
      } else if ((working_ -= count - i) == 0) {
        const std::lock_guard lock(sinkMutex_);
        sink_.Finished({command_, results_});
      }
      return;
    }
  }
}

void CommissioningRun::Cancel() { cancel_.Cancel(); }

void CommissioningRun::Wait() {
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

void CommissioningRun::Work() {
  const int total = static_cast<int>(targets_.size());
  for (int index = next_++; index < total; index = next_++) {
    if (cancel_.Cancelled()) {
      Finish(index, DeviceOutcome::Cancelled, {});
    } else {
      RunDevice(index);
    }
  }
  if (--working_ == 0) {
    const std::lock_guard lock(sinkMutex_);
    sink_.Finished({command_, results_});
  }
}

void CommissioningRun::RunDevice(int index) {
  const CommissionTarget& target = targets_[static_cast<std::size_t>(index)];
  const Relation* relation = target ? &*target : nullptr;

  // What this device reports, in its own order; the last text is the reason
  // when the device fails.
  CommissionStep current = CommissionStep::Discovery;
  std::string lastText;
  EnipContext device = context_;
  device.status = [&](std::string_view text) {
    if (cancel_.Cancelled()) return;
    lastText.assign(text);
    Emit({CommissionEvent::Kind::Status, index, current, std::string(text), {}});
  };
  const StepSink step = [&](CommissionStep which) {
    current = which;
    Emit({CommissionEvent::Kind::Step, index, which, {}, {}});
  };

  const DeviceOutcome outcome = command_ == CommissionCommand::Enable
                                    ? EnableDevice(relation, device, step)
                                    : DisableDevice(relation, device, step);
  Finish(index, outcome, outcome == DeviceOutcome::Cancelled ? std::string() : lastText);
}

void CommissioningRun::Emit(const CommissionEvent& event) {
  const std::lock_guard lock(sinkMutex_);
  sink_.Report(event);
}

void CommissioningRun::Finish(int index, DeviceOutcome outcome, std::string text) {
  if (outcome == DeviceOutcome::Cancelled) {
    text = FormatText(text::kDeviceCancelled, TargetText(targets_[static_cast<std::size_t>(index)]).c_str());
  }
  const std::lock_guard lock(sinkMutex_);
  results_[static_cast<std::size_t>(index)] = {outcome, text};
  CommissionEvent event;
  event.kind = CommissionEvent::Kind::Finished;
  event.device = index;
  event.text = std::move(text);
  event.outcome = outcome;
  sink_.Report(event);
}

}  // namespace corvessa
