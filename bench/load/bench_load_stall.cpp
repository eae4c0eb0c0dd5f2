// Does request handling ever block the event loop? The server answers the
// power-up bursts of bench_load (without, then with 2,000 unlisted DISCOVERs)
// inside this process, on the thread of a Qt event loop, while a precise 5 ms
// timer on the same loop records the largest interval between its ticks. The
// load comes from another thread in the client namespace. The longest single
// event is also timed on the CPU, with the times the thread blocked or was
// preempted meanwhile, to tell work in the handler from waiting on a busy
// machine.
//
//   bench_load_stall            ServerRuntime driven by a QSocketNotifier in a
//                               QCoreApplication: request handling alone
//   bench_load_stall --window   the real main window (offscreen platform),
//                               with its lists, status line and painting
//
// Needs root (network namespaces, UDP port 67). Bounded: each burst ends
// after 60 s at the latest.

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMetaObject>

#include "app/main_window.h"
#include "bench/load/burst.h"
#include "bench/load/client_socket.h"
#include "bench/load/event_loop_gaps.h"
#include "bench/load/lab.h"
#include "bench/load/probe.h"
#include "bench/load/runtime_host.h"
#include "tests/support/netns.h"

namespace corvessa::load {
namespace {

using namespace std::chrono_literals;

constexpr int kListed = 256;
constexpr int kUnlisted = 2000;
constexpr std::uint8_t kUnlistedTag = 0x56;

struct ThreadWaits {
  long majorFaults = 0;
  long voluntarySwitches = 0;    // the thread blocked
  long involuntarySwitches = 0;  // the thread was preempted
};

ThreadWaits CurrentThreadWaits() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return {usage.ru_majflt, usage.ru_nvcsw, usage.ru_nivcsw};
}

qint64 ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Times every event the loop delivers while recording is on: the longest one
// and the socket-read events on their own.
template <typename Base>
class TimingApplication final : public Base {
 public:
  using Base::Base;

  bool notify(QObject* receiver, QEvent* event) override {
    if (!recording) return Base::notify(receiver, event);
    const QEvent::Type type = event->type();
    const qint64 cpuStart = ThreadCpuNs();
    const ThreadWaits waitsStart = CurrentThreadWaits();
    QElapsedTimer timer;
    timer.start();
    const bool result = Base::notify(receiver, event);
    const qint64 ns = timer.nsecsElapsed();
    if (ns > longestNs) {
      longestNs = ns;
      longestCpuNs = ThreadCpuNs() - cpuStart;
      const ThreadWaits waitsEnd = CurrentThreadWaits();
      longestWaits = {waitsEnd.majorFaults - waitsStart.majorFaults,
                      waitsEnd.voluntarySwitches - waitsStart.voluntarySwitches,
                      waitsEnd.involuntarySwitches - waitsStart.involuntarySwitches};
      longestType = type;
    }
    if (type == QEvent::SockAct) {
      ++socketEvents;
      socketNs += ns;
    }
    return result;
  }

  void Reset() {
    longestNs = 0;
    longestCpuNs = 0;
    longestWaits = {};
    longestType = QEvent::None;
    socketEvents = 0;
    socketNs = 0;
  }

  bool recording = false;
  qint64 longestNs = 0;
  qint64 longestCpuNs = 0;  // of the longest event: time on the CPU, the rest is waiting for it
  ThreadWaits longestWaits;
  QEvent::Type longestType = QEvent::None;
  qint64 socketEvents = 0;
  qint64 socketNs = 0;
};

struct ScenarioFigures {
  const char* title = "";
  BurstResult burst;
  qint64 largestGapNs = 0;
  int gapsOverStall = 0;
  qint64 longestEventNs = 0;
  qint64 longestEventCpuNs = 0;
  ThreadWaits longestEventWaits;
  int longestEventType = 0;
  qint64 socketEvents = 0;
  qint64 socketNs = 0;
};

double Ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

// The load thread: enters the client namespace, waits until the server
// offers, then plays each burst with the gap recorder running.
template <typename App>
bool PlayBursts(const Lab& lab, const std::vector<Device>& fleet, App& app, EventLoopGaps& gaps,
                std::vector<ScenarioFigures>& figures, std::string& failure) {
  testsupport::NamespaceGuard inClient(lab.Link().clientNs);
  ClientSocket socket;
  if (!inClient.ok() || !socket.Open(lab.Link().clientIf)) {
    failure = "cannot open the client socket: " + socket.Error();
    return false;
  }
  if (!WaitUntilOffering(socket, fleet.front(), 20s)) {
    failure = "the server offered nothing";
    return false;
  }
  const std::pair<const char*, int> scenarios[] = {{"burst of 256 listed devices", 0},
                                                   {"same burst + 2,000 unlisted DISCOVERs", kUnlisted}};
  for (const auto& [title, unlisted] : scenarios) {
    BurstPlan plan;
    plan.listed = fleet;
    plan.unlisted = MakeUnlistedMacs(unlisted, kUnlistedTag);
    QMetaObject::invokeMethod(
        &gaps,
        [&] {
          app.Reset();
          app.recording = true;
          gaps.Start();
        },
        Qt::BlockingQueuedConnection);
    SocketWire wire(socket);
    ScenarioFigures f;
    f.title = title;
    f.burst = RunBurst(plan, wire);
    QMetaObject::invokeMethod(
        &gaps,
        [&] {
          gaps.Stop();
          app.recording = false;
          f.largestGapNs = gaps.LargestGapNs();
          f.gapsOverStall = gaps.GapsOverStall();
          f.longestEventNs = app.longestNs;
          f.longestEventCpuNs = app.longestCpuNs;
          f.longestEventWaits = app.longestWaits;
          f.longestEventType = static_cast<int>(app.longestType);
          f.socketEvents = app.socketEvents;
          f.socketNs = app.socketNs;
        },
        Qt::BlockingQueuedConnection);
    figures.push_back(std::move(f));
    // Let the server finish what is still queued before the next burst.
    std::this_thread::sleep_for(500ms);
  }
  return true;
}

void Print(const char* mode, const std::vector<ScenarioFigures>& figures) {
  std::printf("bench_load_stall (%s): 5 ms timer on the server's event loop\n", mode);
  for (const ScenarioFigures& f : figures) {
    const double perEventUs = f.socketEvents > 0 ? static_cast<double>(f.socketNs) / f.socketEvents / 1e3 : 0;
    std::printf("\n%s\n", f.title);
    std::printf("  largest gap between ticks     %10.2f ms  (%d gaps over %lld ms)\n", Ms(f.largestGapNs),
                f.gapsOverStall, static_cast<long long>(EventLoopGaps::kStallMs));
    std::printf("  longest single event          %10.2f ms  (event type %d, %.2f ms of it on the CPU)\n",
                Ms(f.longestEventNs), f.longestEventType, Ms(f.longestEventCpuNs));
    std::printf("    while it ran the thread blocked %ld times, was preempted %ld times, waited for %ld pages\n",
                f.longestEventWaits.voluntarySwitches, f.longestEventWaits.involuntarySwitches,
                f.longestEventWaits.majorFaults);
    std::printf("  socket events                 %10lld     (mean %.1f us each)\n",
                static_cast<long long>(f.socketEvents), perEventUs);
    std::printf("  exchanges per second          %10.1f\n", ExchangesPerSecond(f.burst));
    std::printf("  retransmissions               %10d\n", f.burst.retransmissions);
    std::printf("  devices served                %10d of %zu\n", f.burst.devicesServed, static_cast<std::size_t>(kListed));
  }
}

template <typename App>
int RunLoop(const Lab& lab, const std::vector<Device>& fleet, App& app, const std::function<int()>& exec,
            const std::function<void()>& quit, const char* mode) {
  EventLoopGaps gaps;
  std::vector<ScenarioFigures> figures;
  std::string failure;
  bool ok = false;
  std::thread load([&] {
    ok = PlayBursts(lab, fleet, app, gaps, figures, failure);
    QMetaObject::invokeMethod(&gaps, quit, Qt::QueuedConnection);
  });
  exec();
  load.join();
  if (!ok) {
    std::fprintf(stderr, "bench_load_stall: %s\n", failure.c_str());
    return 1;
  }
  Print(mode, figures);
  return 0;
}

int Main(int argc, char** argv) {
  const bool window = argc == 2 && std::strcmp(argv[1], "--window") == 0;
  if (argc > 2 || (argc == 2 && !window)) {
    std::fprintf(stderr, "usage: bench_load_stall [--window]\n");
    return 2;
  }
  if (!testsupport::IsRoot()) {
    std::fprintf(stderr, "bench_load_stall: needs root (creates network namespaces, binds UDP port 67)\n");
    return 2;
  }
  const std::vector<Device> fleet = MakeFleet(kListed);
  std::string error;
  const auto lab = Lab::Create("st", fleet, error);
  if (!lab) {
    std::fprintf(stderr, "bench_load_stall: %s\n", error.c_str());
    return 1;
  }
  // The event loop and the server socket live in the server namespace.
  testsupport::NamespaceGuard inServer(lab->Link().serverNs);
  if (!inServer.ok()) {
    std::fprintf(stderr, "bench_load_stall: cannot enter the server namespace\n");
    return 1;
  }

  if (!window) {
    TimingApplication<QCoreApplication> app(argc, argv);
    RuntimeHost host(*lab, fleet);
    if (!host.Start()) {
      std::fprintf(stderr, "bench_load_stall: the server runtime did not start\n");
      return 1;
    }
    return RunLoop(
        *lab, fleet, app, [&] { return app.exec(); }, [&] { app.exit(0); }, "ServerRuntime + QSocketNotifier");
  }

  for (const auto& [name, value] : lab->ProgramEnvironment()) setenv(name.c_str(), value.c_str(), 1);
  TimingApplication<QApplication> app(argc, argv);
  Environment environment;
  environment.settingsPath = (lab->ConfigHome() / "Merrowin Software" / "corvessa.conf").string();
  environment.arguments = {lab->BpcFile().string()};
  bool fatal = false;
  environment.fatalExit = [&] { fatal = true; };
  MainWindow dialog(std::move(environment));
  if (!dialog.OnInitDialog() || fatal) {
    std::fprintf(stderr, "bench_load_stall: the main window did not start\n");
    return 1;
  }
  return RunLoop(
      *lab, fleet, app, [&] { return dialog.exec(); }, [&] { dialog.done(0); }, "real main window, offscreen");
}

}  // namespace
}  // namespace corvessa::load

int main(int argc, char** argv) { return corvessa::load::Main(argc, argv); }
