// Request handling plus Discovery History with a long history: 100,000
// distinct devices each send a DHCP DISCOVER, then every one of them sends
// another. The whole handling of one datagram (copy into the message,
// classification, the DHCP reply against 256 relations, the history row and
// the status text) is timed per request; then the history alone. Replies go to a sender that drops
// them: nothing touches a network.
//
// Usage: bench_history [devices]   (default 100000, at most 1000000)

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "netconfig/host_network.h"
#include "relations/relation_table.h"
#include "server/history.h"
#include "server/server_runtime.h"

namespace corvessa {
namespace {

using Clock = std::chrono::steady_clock;

// No pass may run longer than this, whatever the machine.
constexpr std::chrono::seconds kPassTimeLimit{120};
constexpr std::size_t kDiscoverSize = 300;
constexpr int kRelations = 256;

class DropSender final : public DatagramSender {
 public:
  bool SendTo(const std::uint8_t*, std::size_t, Endpoint) override {
    ++sent;
    return true;
  }
  std::uint64_t sent = 0;
};

class SilentOwner final : public ServerReports {
 public:
  void ServerStatus(std::string_view) override {}
  void SocketChanged() override {}
};

// Device i has the locally administered address 02:00:xx:xx:xx:xx.
void WriteDeviceAddress(std::uint8_t* chaddr, std::uint32_t device) {
  chaddr[0] = 0x02;
  chaddr[1] = 0x00;
  chaddr[2] = static_cast<std::uint8_t>(device >> 24);
  chaddr[3] = static_cast<std::uint8_t>(device >> 16);
  chaddr[4] = static_cast<std::uint8_t>(device >> 8);
  chaddr[5] = static_cast<std::uint8_t>(device);
}

std::vector<std::uint8_t> PrepareDiscover() {
  std::vector<std::uint8_t> d(kDiscoverSize, 0);
  d[kOpOffset] = kOpBootRequest;
  d[kHtypeOffset] = 1;
  d[kHlenOffset] = 6;
  d[kXidOffset] = 0x12;
  std::copy(kMagicCookie.begin(), kMagicCookie.end(), d.begin() + kMagicCookieOffset);
  d[kOptionsOffset] = option::kMessageType;
  d[kOptionsOffset + 1] = 1;
  d[kOptionsOffset + 2] = dhcp_type::kDiscover;
  d[kOptionsOffset + 3] = option::kEnd;
  return d;
}

// Every 390th device is listed, so 256 of the first 100,000 are answered.
void FillRelations(RelationTable& table) {
  for (int i = 0; i < kRelations; ++i) {
    auto relation = std::make_unique<Relation>();
    WriteDeviceAddress(relation->hardwareAddress.data(), static_cast<std::uint32_t>(i) * 390);
    relation->hardwareAddressLength = 6;
    relation->ipAddress = 0x0A010000u + static_cast<std::uint32_t>(i) + 1;  // 10.1.0.x
    const std::string name = "device-" + std::to_string(i);
    std::copy(name.begin(), name.end(), relation->hostname.begin());
    relation->hostnameLength = static_cast<std::uint8_t>(name.size());
    table.Append(std::move(relation));
  }
}

struct PassResult {
  std::vector<double> micros;
  bool cutShort = false;
};

template <typename HandleOne>
PassResult RunPass(std::uint32_t devices, HandleOne&& handle) {
  PassResult result;
  result.micros.reserve(devices);
  const Clock::time_point passStart = Clock::now();
  for (std::uint32_t device = 0; device < devices; ++device) {
    const Clock::time_point start = Clock::now();
    handle(device);
    const Clock::time_point end = Clock::now();
    result.micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    if (end - passStart > kPassTimeLimit) {
      result.cutShort = true;
      break;
    }
  }
  return result;
}

void Report(const char* name, PassResult result) {
  std::vector<double>& t = result.micros;
  std::sort(t.begin(), t.end());
  auto at = [&](double q) { return t[std::min(t.size() - 1, static_cast<std::size_t>(q * static_cast<double>(t.size())))]; };
  double total = 0;
  for (double v : t) total += v;
  std::printf("%-34s %8zu requests  median %7.2f us  p99 %7.2f us  max %9.2f us  mean %7.2f us%s\n", name, t.size(),
              at(0.5), at(0.99), t.back(), total / static_cast<double>(t.size()),
              result.cutShort ? "  (cut short by the time limit)" : "");
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

}  // namespace
}  // namespace corvessa

int main(int argc, char** argv) {
  using namespace corvessa;
  std::uint32_t devices = 100000;
  if (argc > 1) devices = static_cast<std::uint32_t>(std::clamp(std::atol(argv[1]), 1L, 1000000L));

  std::printf("peak memory before: %.1f MB\n", PeakMegabytes());

  // End to end through the server runtime, as the socket's read event runs it.
  {
    RelationTable table;
    FillRelations(table);
    NetworkSettings settings;
    settings.subnetMask = 0xFFFF0000u;
    settings.gateway = 0x0A010001u;
    settings.dns1 = 0x0A010002u;
    settings.SetDomainName("plant.local");
    HistoryList history;
    SilentOwner owner;
    HostNetwork host;
    DropSender sender;
    ServerRuntime runtime(table, settings, history, owner, host);
    runtime.SetSender(&sender);

    std::vector<std::uint8_t> datagram = PrepareDiscover();
    auto handle = [&](std::uint32_t device) {
      WriteDeviceAddress(datagram.data() + kChaddrOffset, device);
      (void)runtime.HandleDatagram(datagram.data(), datagram.size());
    };
    Report("runtime, first request per device", RunPass(devices, handle));
    Report("runtime, every device again", RunPass(devices, handle));
    std::printf("  rows %d, replies sent %llu, requests counted %u\n", history.RowCount(),
                static_cast<unsigned long long>(sender.sent), runtime.RequestCounter());
    std::printf("peak memory after the runtime passes: %.1f MB\n", PeakMegabytes());
  }

  // The history alone, to separate its share.
  {
    HistoryList history;
    RequestCountTable counts;
    BootpMessage request;
    const std::vector<std::uint8_t> datagram = PrepareDiscover();
    request.Assign(datagram.data(), datagram.size());
    const LocalTime now = CurrentLocalTime();
    auto add = [&](std::uint32_t device) {
      WriteDeviceAddress(request.bytes.data() + kChaddrOffset, device);
      AddHistoryEntry(history, counts, request, nullptr, now);
    };
    Report("history only, first request", RunPass(devices, add));
    Report("history only, every device again", RunPass(devices, add));
    // Removed rows pile up behind the live ones until the store packs them:
    // one device repeating long enough makes that happen once; its cost shows
    // as the maximum.
    auto repeat = [&](std::uint32_t) { add(0); };
    Report("history only, one device repeating", RunPass(std::min<std::uint32_t>(devices, 5000), repeat));
    std::printf("  rows %d\n", history.RowCount());
  }

  std::printf("peak memory (ru_maxrss): %.1f MB\n", PeakMegabytes());
  return 0;
}
