#pragma once
// The real main window serving a fleet in a Lab while EtherNet/IP simulators
// play some of the fleet's devices: the window lives in the server namespace
// (the calling thread enters it for the lab's life, and the commissioning
// run's threads, started from it, follow), the simulators in the client
// namespace on the devices' own addresses at the far end of the veth pair.
// Nothing leaves the two namespaces.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "bench/load/burst.h"
#include "bench/load/fleet.h"
#include "bench/load/lab.h"
#include "tests/enip/sim/device_sim.h"
#include "tests/support/netns.h"
#include "ui/scripted_prompts.h"

namespace corvessa::load {

class CommissionLab {
 public:
  // A fleet of `fleetSize` listed devices; the first `simulated` of them
  // answer EtherNet/IP as `config` says. A QApplication must exist.
  static std::unique_ptr<CommissionLab> Create(const std::string& tag, int fleetSize, int simulated,
                                               const enipsim::DeviceConfig& config, std::string& error);
  ~CommissionLab();
  CommissionLab(const CommissionLab&) = delete;
  CommissionLab& operator=(const CommissionLab&) = delete;

  const Lab& Network() const { return *lab_; }
  const std::vector<Device>& Fleet() const { return fleet_; }
  MainWindow& Window() { return *window_; }
  ScriptedPrompts& Prompts() { return prompts_; }
  const std::vector<std::unique_ptr<enipsim::DeviceSim>>& Sims() const { return sims_; }

  // Selects exactly the simulated devices' rows of the relation list.
  bool SelectSimulatedDevices();

 private:
  CommissionLab() = default;
  bool Build(const std::string& tag, int fleetSize, int simulated, const enipsim::DeviceConfig& config,
             std::string& error);

  std::vector<Device> fleet_;
  std::unique_ptr<Lab> lab_;
  std::vector<std::unique_ptr<enipsim::DeviceSim>> sims_;
  std::unique_ptr<testsupport::NamespaceGuard> inServer_;
  ScriptedPrompts prompts_{PromptAnswer::No};
  std::unique_ptr<MainWindow> window_;
};

// Plays a burst from the Lab's client namespace on a thread of its own, once
// the server answers; `failure` says why there is no result.
class BurstThread {
 public:
  BurstThread(const Lab& lab, BurstPlan plan);
  ~BurstThread();
  bool Done() const { return done_; }
  // After Done().
  const BurstResult& Result() const { return result_; }
  const std::string& Failure() const { return failure_; }

 private:
  BurstResult result_;
  std::string failure_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace corvessa::load
