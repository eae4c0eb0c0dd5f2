#pragma once
// A power-up burst: every listed device asks for its address at once. DHCP
// devices go DISCOVER -> OFFER, REQUEST -> ACK; BOOTP devices send one
// BOOTREQUEST. At most `window` devices have an exchange in flight; a request
// without an answer is sent again after `timeout`, at most `maxTries` times.
// Unlisted DISCOVERs, which no server answers, are spread evenly through the
// burst. The runner knows the network only through a Wire, so the same
// schedule drives a real socket and a scripted one.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bench/load/client_message.h"
#include "bench/load/fleet.h"

namespace corvessa::load {

using LoadClock = std::chrono::steady_clock;
using TimePoint = LoadClock::time_point;
using Duration = LoadClock::duration;

class Wire {
 public:
  virtual ~Wire() = default;
  virtual TimePoint Now() = 0;
  // Sends one request to 255.255.255.255:67.
  virtual bool Send(std::span<const std::uint8_t> bytes) = 0;
  // Waits at most until `deadline` for one datagram; its length, or nothing.
  virtual std::optional<std::size_t> Receive(std::span<std::uint8_t> buffer, TimePoint deadline) = 0;
};

struct BurstPlan {
  std::vector<Device> listed;
  std::vector<Mac> unlisted;
  int window = 64;
  Duration timeout = std::chrono::seconds(1);
  int maxTries = 4;
  // The run ends here whatever is still in flight.
  Duration limit = std::chrono::seconds(60);
  std::uint32_t xidBase = 0x4C0A0000;
};

struct BurstResult {
  int exchangesPlanned = 0;     // 2 per DHCP device, 1 per BOOTP device
  int exchangesCompleted = 0;
  int devicesServed = 0;
  int devicesFailed = 0;        // out of tries, or a NAK
  int retransmissions = 0;
  int unlistedSent = 0;
  int sendFailures = 0;
  int wrongReplies = 0;         // right xid and address, wrong content
  int strayDatagrams = 0;       // unparseable, or answering nothing in flight
  int peakInFlight = 0;
  bool timedOut = false;
  std::vector<Duration> latencies;  // first try to answer, one per completed exchange
  Duration toLastServed{};          // burst start to the last served device
};

BurstResult RunBurst(const BurstPlan& plan, Wire& wire);

struct LatencySummary {
  double medianMs = 0;
  double p99Ms = 0;
  double maxMs = 0;
};

// Nearest-rank percentiles; all 0 for no samples.
LatencySummary Summarize(std::vector<Duration> latencies);

// Completed exchanges per second of the time to the last served device.
double ExchangesPerSecond(const BurstResult& result);

// The median of the figures of several runs (the lower one of an even
// count); 0 for none.
double Median(std::vector<double> values);

}  // namespace corvessa::load
