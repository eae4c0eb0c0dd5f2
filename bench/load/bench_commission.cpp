// Commissioning a line with the real main window (offscreen) in network
// namespaces, against simulated EtherNet/IP devices on their own addresses:
//
// 1. Time to commission 64 responsive devices with Enable BOOTP/DHCP:
//    devices that take DHCP at once, and devices that refuse DHCP and take
//    BOOTP after the 1 s pause. Each also one device after the other (one
//    at a time, as the command used to run), for comparison.
// 2. Event-loop gaps during Enable on 64 devices (those that take BOOTP
//    after the pause) while a power-up burst of 256 listed devices (128
//    DHCP, 128 BOOTP) arrives: a precise 5 ms timer on the window's thread
//    records the largest interval between its ticks, from the command to
//    the end of both the run and the burst.
//
// Usage: bench_commission [--runs N]   (N from 1 to 10, default 1)
// Needs root. Bounded: every run ends after 120 s at the latest, every
// burst after 60 s.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "app/command_ids.h"
#include "bench/load/commission_lab.h"
#include "bench/load/event_loop_gaps.h"
#include "enip/commissioning_run.h"
#include "enip/widgets/commissioning_dialog.h"
#include "tests/support/netns.h"

namespace corvessa::load {
namespace {

constexpr int kFleet = 256;
constexpr int kDevices = 64;
constexpr int kMaxRuns = 10;
constexpr int kRunLimitMs = 120000;
constexpr int kBurstLimitMs = 60000;

double Seconds(qint64 ms) { return static_cast<double>(ms) / 1000.0; }

enipsim::DeviceConfig Responsive(bool refusesDhcp) {
  enipsim::DeviceConfig config;
  if (refusesDhcp) config.rejectedValues[2] = 9;
  return config;
}

// Waits for a Qt-free run on this thread's namespace.
class WaitingSink final : public CommissionSink {
 public:
  void Report(const CommissionEvent&) override {}
  void Finished(const CommissionSummary& summary) override {
    const std::lock_guard lock(mutex_);
    summary_ = summary;
    done_ = true;
    finished_.notify_all();
  }
  CommissionSummary Wait() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return done_; });
    return summary_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  CommissionSummary summary_;
};

struct CommissionFigures {
  double windowSeconds = 0;   // the window's command, to the end of the run
  double oneAtATimeSeconds = 0;
  int succeeded = 0;
};

// The window's Enable on the selected devices; false when it did not end in time.
bool RunFromWindow(CommissionLab& lab, qint64& elapsedMs, int& succeeded) {
  MainWindow& window = lab.Window();
  if (!lab.SelectSimulatedDevices()) return false;
  QElapsedTimer clock;
  clock.start();
  window.OnCommand(ids::kEnableBootpDhcp);
  if (!QTest::qWaitFor([&] { return !window.CommissioningRunning(); }, kRunLimitMs)) return false;
  elapsedMs = clock.elapsed();
  succeeded = 0;
  const std::string summary = window.StatusText();
  // "Enable BOOTP/DHCP: 64 succeeded, ..."
  const auto colon = summary.find(": ");
  if (colon != std::string::npos) succeeded = std::atoi(summary.c_str() + colon + 2);
  window.CommissioningProgress().hide();
  return true;
}

// The same devices one after the other, on this thread's namespace.
qint64 RunOneAtATime(CommissionLab& lab) {
  std::vector<CommissionTarget> targets;
  for (std::size_t i = 0; i < lab.Sims().size(); ++i) {
    Relation relation;
    const Device& device = lab.Fleet()[i];
    std::copy(device.mac.begin(), device.mac.end(), relation.hardwareAddress.begin());
    relation.hardwareAddressLength = static_cast<std::uint8_t>(device.mac.size());
    relation.ipAddress = device.ipAddress;
    targets.emplace_back(relation);
  }
  WaitingSink sink;
  QElapsedTimer clock;
  clock.start();
  CommissioningRun run(CommissionCommand::Enable, targets, lab.Window().EnipSettings(), sink, 1);
  run.Start();
  sink.Wait();
  run.Wait();
  return clock.elapsed();
}

bool MeasureCommissioning(bool refusesDhcp, int runs, CommissionFigures& figures, std::string& error) {
  std::vector<double> window, sequential;
  for (int i = 0; i < runs; ++i) {
    auto lab = CommissionLab::Create("bc", kFleet, kDevices, Responsive(refusesDhcp), error);
    if (!lab) return false;
    qint64 ms = 0;
    if (!RunFromWindow(*lab, ms, figures.succeeded)) {
      error = "the window's run did not end in time";
      return false;
    }
    window.push_back(Seconds(ms));
    sequential.push_back(Seconds(RunOneAtATime(*lab)));
  }
  figures.windowSeconds = Median(window);
  figures.oneAtATimeSeconds = Median(sequential);
  return true;
}

struct GapFigures {
  double largestGapMs = 0;
  int gapsOverStall = 0;
  double runSeconds = 0;
  int retransmissions = 0;
  int devicesServed = 0;
  double exchangesPerSecond = 0;
};

bool MeasureGaps(int runs, GapFigures& figures, std::string& error) {
  std::vector<double> gaps, runSeconds, rates;
  for (int i = 0; i < runs; ++i) {
    auto lab = CommissionLab::Create("bg", kFleet, kDevices, Responsive(true), error);
    if (!lab) return false;
    MainWindow& window = lab->Window();
    if (!lab->SelectSimulatedDevices()) {
      error = "cannot select the simulated devices";
      return false;
    }
    EventLoopGaps recorder;
    recorder.Start();
    QElapsedTimer clock;
    clock.start();
    window.OnCommand(ids::kEnableBootpDhcp);
    BurstPlan plan;
    plan.listed = lab->Fleet();
    BurstThread burst(lab->Network(), plan);
    qint64 runMs = -1;
    const bool ended = QTest::qWaitFor(
        [&] {
          if (runMs < 0 && !window.CommissioningRunning()) runMs = clock.elapsed();
          return runMs >= 0 && burst.Done();
        },
        kRunLimitMs + kBurstLimitMs);
    recorder.Stop();
    if (!ended) {
      error = "the run or the burst did not end in time";
      return false;
    }
    if (!burst.Failure().empty()) {
      error = burst.Failure();
      return false;
    }
    gaps.push_back(static_cast<double>(recorder.LargestGapNs()) / 1e6);
    figures.gapsOverStall += recorder.GapsOverStall();
    runSeconds.push_back(Seconds(runMs));
    figures.retransmissions += burst.Result().retransmissions;
    figures.devicesServed = burst.Result().devicesServed;
    rates.push_back(ExchangesPerSecond(burst.Result()));
  }
  figures.largestGapMs = *std::max_element(gaps.begin(), gaps.end());
  figures.runSeconds = Median(runSeconds);
  figures.exchangesPerSecond = Median(rates);
  return true;
}

int Main(int argc, char** argv) {
  int runs = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else {
      runs = 0;
      break;
    }
  }
  if (runs < 1 || runs > kMaxRuns) {
    std::fprintf(stderr, "usage: bench_commission [--runs N]   (1 <= N <= %d)\n", kMaxRuns);
    return 2;
  }
  if (!testsupport::IsRoot()) {
    std::fprintf(stderr, "bench_commission: needs root (creates network namespaces, binds UDP port 67)\n");
    return 2;
  }
  // As the other window benchmarks: offscreen unless CORVESSA_BENCH_PLATFORM names another.
  const char* platform = std::getenv("CORVESSA_BENCH_PLATFORM");
  setenv("QT_QPA_PLATFORM", platform != nullptr && *platform != '\0' ? platform : "offscreen", 1);
  QApplication app(argc, argv);

  std::string error;
  CommissionFigures dhcp, bootp;
  GapFigures gaps;
  if (!MeasureCommissioning(false, runs, dhcp, error) || !MeasureCommissioning(true, runs, bootp, error) ||
      !MeasureGaps(runs, gaps, error)) {
    std::fprintf(stderr, "bench_commission: %s\n", error.c_str());
    return 1;
  }

  std::printf("bench_commission: Enable BOOTP/DHCP on %d simulated devices, real main window (offscreen), "
              "median of %d run(s)\n\n", kDevices, runs);
  std::printf("time to commission                       window (8 at a time)   one after the other\n");
  std::printf("  devices that take DHCP                 %10.2f s            %10.2f s   (%d succeeded)\n",
              dhcp.windowSeconds, dhcp.oneAtATimeSeconds, dhcp.succeeded);
  std::printf("  devices that take BOOTP after the pause %9.2f s            %10.2f s   (%d succeeded)\n",
              bootp.windowSeconds, bootp.oneAtATimeSeconds, bootp.succeeded);
  std::printf("\nevent loop during Enable on %d devices (BOOTP after the pause) + burst of %d listed devices\n",
              kDevices, kFleet);
  std::printf("  largest gap between 5 ms ticks  %10.2f ms  (%d gaps over %lld ms, all runs)\n", gaps.largestGapMs,
              gaps.gapsOverStall, static_cast<long long>(EventLoopGaps::kStallMs));
  std::printf("  run took                        %10.2f s\n", gaps.runSeconds);
  std::printf("  burst: devices served           %10d of %d\n", gaps.devicesServed, kFleet);
  std::printf("  burst: exchanges per second     %10.1f\n", gaps.exchangesPerSecond);
  std::printf("  burst: retransmissions          %10d  (all runs)\n", gaps.retransmissions);
  return 0;
}

}  // namespace
}  // namespace corvessa::load

int main(int argc, char** argv) { return corvessa::load::Main(argc, argv); }
