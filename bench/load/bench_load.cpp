// Power-up burst against Corvessa and dnsmasq, one after the other, in the
// same pair of network namespaces. 256 listed devices (128 DHCP doing
// DISCOVER/OFFER and REQUEST/ACK, 128 BOOTP) ask at once, at most 64
// exchanges in flight, retransmitting after 1 s, at most 4 tries. Scenario 2
// adds 2,000 DISCOVERs from unlisted addresses spread through the burst.
// Every server is started afresh for each run; figures are the median of the
// runs (retransmissions and failures are summed over them).
//
// Usage: bench_load [--runs N] [--program PATH] [--only corvessa|dnsmasq]
// Needs root (network namespaces, UDP port 67). Bounded: every burst ends
// after 60 s at the latest, at most 20 runs.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/load/fleet.h"
#include "bench/load/lab.h"
#include "bench/load/server_run.h"
#include "tests/support/netns.h"

namespace corvessa::load {
namespace {

constexpr int kListed = 256;
constexpr int kUnlisted = 2000;
constexpr std::uint8_t kUnlistedTag = 0x55;
constexpr int kMaxRuns = 20;

struct Options {
  int runs = 3;
  std::string program;
  std::vector<ServerKind> servers = {ServerKind::Corvessa, ServerKind::Dnsmasq};
};

struct Scenario {
  const char* title;
  int unlisted;
};

struct Figures {
  double exchangesPerSecond = 0;
  double medianMs = 0;
  double p99Ms = 0;
  double toLastServedMs = 0;
  double peakMiB = 0;
  int retransmissions = 0;
  int devicesFailed = 0;
  int wrongReplies = 0;
  double socketDrops = 0;
  int runs = 0;
};

Figures Combine(const std::vector<ServerRun>& runs) {
  Figures figures;
  std::vector<double> rate, median, p99, last, memory;
  for (const ServerRun& run : runs) {
    const LatencySummary latency = Summarize(run.burst.latencies);
    rate.push_back(ExchangesPerSecond(run.burst));
    median.push_back(latency.medianMs);
    p99.push_back(latency.p99Ms);
    last.push_back(std::chrono::duration<double, std::milli>(run.burst.toLastServed).count());
    memory.push_back(run.peakKiB ? static_cast<double>(*run.peakKiB) / 1024.0 : 0);
    figures.retransmissions += run.burst.retransmissions;
    figures.devicesFailed += run.burst.devicesFailed;
    figures.wrongReplies += run.burst.wrongReplies;
    figures.socketDrops += static_cast<double>(run.socketDrops);
  }
  figures.exchangesPerSecond = Median(rate);
  figures.medianMs = Median(median);
  figures.p99Ms = Median(p99);
  figures.toLastServedMs = Median(last);
  figures.peakMiB = Median(memory);
  figures.runs = static_cast<int>(runs.size());
  return figures;
}

void PrintRow(const char* name, const std::vector<double>& values, const char* format) {
  std::printf("  %-28s", name);
  for (const double v : values) {
    std::printf(" ");
    std::printf(format, v);
  }
  if (values.size() == 2) {
    if (values[1] != 0) {
      std::printf("  %8.2f", values[0] / values[1]);
    } else {
      std::printf("  %8s", "-");
    }
  }
  std::printf("\n");
}

void PrintScenario(const Scenario& scenario, const std::vector<ServerKind>& servers,
                   const std::map<ServerKind, Figures>& figures) {
  std::printf("\n%s\n  %-28s", scenario.title, "");
  for (const ServerKind kind : servers) std::printf(" %12s", ServerName(kind));
  if (servers.size() == 2) std::printf("  %8s", "ratio");
  std::printf("\n");
  const auto column = [&](auto member) {
    std::vector<double> values;
    for (const ServerKind kind : servers) values.push_back(static_cast<double>(figures.at(kind).*member));
    return values;
  };
  PrintRow("exchanges per second", column(&Figures::exchangesPerSecond), "%12.1f");
  PrintRow("latency median (ms)", column(&Figures::medianMs), "%12.3f");
  PrintRow("latency p99 (ms)", column(&Figures::p99Ms), "%12.3f");
  PrintRow("last device served (ms)", column(&Figures::toLastServedMs), "%12.1f");
  PrintRow("retransmissions (all runs)", column(&Figures::retransmissions), "%12.0f");
  PrintRow("devices not served (all)", column(&Figures::devicesFailed), "%12.0f");
  PrintRow("wrong replies (all runs)", column(&Figures::wrongReplies), "%12.0f");
  PrintRow("dropped at port 67 (all)", column(&Figures::socketDrops), "%12.0f");
  PrintRow("peak resident memory (MiB)", column(&Figures::peakMiB), "%12.1f");
}

bool ParseOptions(int argc, char** argv, Options& options) {
#ifdef CORVESSA_PROGRAM
  options.program = CORVESSA_PROGRAM;
#endif
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--runs" && hasValue) {
      options.runs = std::atoi(argv[++i]);
    } else if (arg == "--program" && hasValue) {
      options.program = argv[++i];
    } else if (arg == "--only" && hasValue) {
      const std::string name = argv[++i];
      if (name == "corvessa") {
        options.servers = {ServerKind::Corvessa};
      } else if (name == "dnsmasq") {
        options.servers = {ServerKind::Dnsmasq};
      } else {
        return false;
      }
    } else {
      return false;
    }
  }
  return options.runs >= 1 && options.runs <= kMaxRuns;
}

int Main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: bench_load [--runs 1..%d] [--program PATH] [--only corvessa|dnsmasq]\n", kMaxRuns);
    return 2;
  }
  if (!testsupport::IsRoot()) {
    std::fprintf(stderr, "bench_load: needs root (creates network namespaces, binds UDP port 67)\n");
    return 2;
  }
  const bool wantsCorvessa =
      std::find(options.servers.begin(), options.servers.end(), ServerKind::Corvessa) != options.servers.end();
  if (wantsCorvessa && access(options.program.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "bench_load: no corvessa program at '%s' (give --program)\n", options.program.c_str());
    return 2;
  }

  const std::vector<Device> fleet = MakeFleet(kListed);
  std::string error;
  const auto lab = Lab::Create("ld", fleet, error);
  if (!lab) {
    std::fprintf(stderr, "bench_load: %s\n", error.c_str());
    return 1;
  }

  const Scenario scenarios[] = {
      {"Scenario 1: power-up burst of 256 listed devices", 0},
      {"Scenario 2: the same burst with 2,000 unlisted DISCOVERs spread through it", kUnlisted},
  };
  std::printf("bench_load: %d listed devices (%d DHCP, %d BOOTP), 64 in flight, retry after 1 s, 4 tries; "
              "%d run(s) each, medians shown; ratio = %s / %s\n"
              "an exchange is one listed request and its reply; unlisted DISCOVERs get none and are not counted\n",
              kListed, kListed / 2, kListed / 2, options.runs, ServerName(ServerKind::Corvessa),
              ServerName(ServerKind::Dnsmasq));

  int status = 0;
  {
    // The load generator speaks from the client namespace; the servers are
    // started into the server namespace by `ip netns exec`.
    testsupport::NamespaceGuard inClient(lab->Link().clientNs);
    if (!inClient.ok()) {
      std::fprintf(stderr, "bench_load: cannot enter the client namespace\n");
      return 1;
    }
    for (const Scenario& scenario : scenarios) {
      BurstPlan plan;
      plan.listed = fleet;
      plan.unlisted = MakeUnlistedMacs(scenario.unlisted, kUnlistedTag);
      std::map<ServerKind, Figures> figures;
      for (const ServerKind kind : options.servers) {
        std::vector<ServerRun> runs;
        for (int r = 0; r < options.runs; ++r) {
          ServerRun run = RunAgainstServer(*lab, kind, options.program, plan);
          if (!run.ok) {
            std::fprintf(stderr, "bench_load: %s: %s\n", ServerName(kind), run.failure.c_str());
            status = 1;
            break;
          }
          std::fprintf(stderr, "  %s run %d: %d/%d exchanges, %d retransmissions, %.1f ms to the last device\n",
                       ServerName(kind), r + 1, run.burst.exchangesCompleted, run.burst.exchangesPlanned,
                       run.burst.retransmissions,
                       std::chrono::duration<double, std::milli>(run.burst.toLastServed).count());
          runs.push_back(std::move(run));
        }
        figures[kind] = Combine(runs);
      }
      PrintScenario(scenario, options.servers, figures);
    }
  }
  return status;
}

}  // namespace
}  // namespace corvessa::load

int main(int argc, char** argv) { return corvessa::load::Main(argc, argv); }
