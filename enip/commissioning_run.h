#pragma once
// Enable or Disable BOOTP/DHCP on several devices at once, off the calling
// thread. The run works on copies of the selected relations, taken when it is
// made, so the relation table may change while it runs. Each device runs its
// own unchanged sequence; at most `concurrency` devices are handled at a
// time, taken in list order. Everything a device reports goes to the sink as
// it happens; the run ends with one summary. Cancel ends the current
// transactions at once and leaves the devices not done as cancelled.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "enip/cancel_token.h"
#include "enip/commissioning.h"
#include "enip/enip_context.h"
#include "relations/relation_table.h"

namespace corvessa {

enum class CommissionCommand : std::uint8_t { Enable, Disable };

// One selected row: a copy of its relation, or nothing for a row without one.
using CommissionTarget = std::optional<Relation>;

struct CommissionEvent {
  enum class Kind : std::uint8_t {
    Step,      // `step` of the device begins
    Status,    // a status text of the device, during `step`
    Finished,  // the device is done: `outcome`, and `text` says why
  };
  Kind kind = Kind::Status;
  int device = 0;  // index among the targets
  CommissionStep step = CommissionStep::Discovery;
  std::string text;
  DeviceOutcome outcome = DeviceOutcome::Succeeded;
};

struct DeviceResult {
  DeviceOutcome outcome = DeviceOutcome::Cancelled;
  // The success text, the device's own failure text (the last text of the
  // failed step), or the cancel text.
  std::string text;
};

struct CommissionSummary {
  CommissionCommand command = CommissionCommand::Enable;
  std::vector<DeviceResult> devices;  // in target order

  [[nodiscard]] int Count(DeviceOutcome outcome) const;
};

// Receives a run's reports on its worker threads. The run makes one call at
// a time; Finished is the last.
class CommissionSink {
 public:
  virtual ~CommissionSink() = default;
  virtual void Report(const CommissionEvent& event) = 0;
  virtual void Finished(const CommissionSummary& summary) = 0;
};

// The name of the device in every text: its hardware address.
std::string TargetText(const CommissionTarget& target);

// "Enable BOOTP/DHCP" or "Disable BOOTP/DHCP".
std::string_view CommandName(CommissionCommand command);
std::string_view StepText(CommissionStep step);
std::string_view OutcomeText(DeviceOutcome outcome);
// "Enable BOOTP/DHCP: 3 of 16 devices done".
std::string ProgressText(CommissionCommand command, int done, int total);
// "Enable BOOTP/DHCP: 14 succeeded, 1 failed, 1 cancelled".
std::string SummaryText(const CommissionSummary& summary);

class CommissioningRun {
 public:
  static constexpr int kConcurrency = 8;

  // `context` gives the port, the time limits and the sockets. Its status
  // line, message boxes and busy cursor are not used: reports go to the
  // sink, and no box is shown. A `sleep` it carries is called from several
  // threads at once.
  CommissioningRun(CommissionCommand command, std::vector<CommissionTarget> targets,
                   const EnipContext& context, CommissionSink& sink,
                   int concurrency = kConcurrency);
  // Cancels what is still running and waits for it.
  ~CommissioningRun();
  CommissioningRun(const CommissioningRun&) = delete;
  CommissioningRun& operator=(const CommissioningRun&) = delete;

  void Start();
  // From any thread, any number of times.
  void Cancel();
  // Returns once every worker has ended (the sink has then seen Finished).
  void Wait();

  CommissionCommand Command() const { return command_; }
  const std::vector<CommissionTarget>& Targets() const { return targets_; }

 private:
  void Work();
  void RunDevice(int index);
  void Emit(const CommissionEvent& event);
  void Finish(int index, DeviceOutcome outcome, std::string text);

  const CommissionCommand command_;
  const std::vector<CommissionTarget> targets_;
  EnipContext context_;
  CommissionSink& sink_;
  const int concurrency_;

  CancelToken cancel_;
  std::atomic<int> next_{0};
  std::atomic<int> working_{0};
  std::mutex sinkMutex_;  // one sink call at a time; guards results_
  std::vector<DeviceResult> results_;
  std::vector<std::thread> workers_;
};

}  // namespace corvessa
