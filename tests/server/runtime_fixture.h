#pragma once
// Scripted surroundings of a ServerRuntime: what it reports, and a sender
// that records what would go to the wire.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "server/reply.h"
#include "server/server_runtime.h"

namespace corvessa::testing_runtime {

using Mac = std::array<std::uint8_t, 6>;

// A request as a device sends it: op, Ethernet, hlen 6, the hardware address,
// the magic cookie and `options`, zero-padded to `size` bytes.
inline std::vector<std::uint8_t> Request(const Mac& mac, const std::vector<std::uint8_t>& options, std::size_t size = 300,
                                  std::uint8_t op = 1) {
  std::vector<std::uint8_t> bytes(size, 0);
  bytes[0] = op;
  bytes[1] = 1;
  bytes[2] = 6;
  bytes[4] = 0x12;
  bytes[5] = 0x34;
  bytes[6] = 0x56;
  bytes[7] = 0x78;
  std::copy(mac.begin(), mac.end(), bytes.begin() + 28);
  const std::uint8_t cookie[] = {99, 130, 83, 99};
  std::copy(std::begin(cookie), std::end(cookie), bytes.begin() + 236);
  std::copy(options.begin(), options.end(), bytes.begin() + 240);
  return bytes;
}

inline std::unique_ptr<Relation> MakeRelation(const Mac& mac, std::uint32_t ip, std::string_view hostname) {
  auto relation = std::make_unique<Relation>();
  std::copy(mac.begin(), mac.end(), relation->hardwareAddress.begin());
  relation->hardwareAddressLength = 6;
  relation->ipAddress = ip;
  std::copy(hostname.begin(), hostname.end(), relation->hostname.begin());
  relation->hostnameLength = static_cast<std::uint8_t>(hostname.size());
  return relation;
}


// What the runtime reports between requests, and what the window would show
// of each request's outcome (Show).
class RecordingOwner final : public ServerReports {
 public:
  void ServerStatus(std::string_view text) override {
    statuses.emplace_back(text);
    calls.push_back("status");
  }
  void SocketChanged() override { calls.push_back("socket"); }
  void ScheduleRebind(std::chrono::milliseconds delay) override {
    rebindDelays.push_back(delay);
    rebindRequested = std::chrono::steady_clock::now();
    calls.push_back("rebind");
  }
  void ServerAddressMoved(std::string_view interfaceName, std::uint32_t address) override {
    movedAddresses.emplace_back(std::string(interfaceName), address);
    calls.push_back("moved");
    if (onAddressMoved) onAddressMoved(interfaceName, address);
  }
  // The status line's text of a request, as the window writes it.
  void Show(const std::optional<RequestOutcome>& outcome) {
    if (!outcome) return;
    if (outcome->served != nullptr) calls.push_back("served");
    ServerStatus(outcome->statusText);
  }

  std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

  std::vector<std::chrono::milliseconds> rebindDelays;
  std::chrono::steady_clock::time_point rebindRequested;
  std::vector<std::pair<std::string, std::uint32_t>> movedAddresses;
  // What the window does with a moved address: remember it for the interface.
  std::function<void(std::string_view, std::uint32_t)> onAddressMoved;
  std::vector<std::string> statuses;
  std::vector<std::string> calls;
};

class RecordingSender final : public DatagramSender {
 public:
  struct Sent {
    std::vector<std::uint8_t> bytes;
    Endpoint destination;
  };
  bool SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) override {
    ++attempts;
    if (failFromAttempt != 0 && attempts >= failFromAttempt) return false;
    sent.push_back({std::vector<std::uint8_t>(data, data + length), destination});
    return true;
  }
  int attempts = 0;
  int failFromAttempt = 0;  // 0: never fail
  std::vector<Sent> sent;
};

}  // namespace corvessa::testing_runtime
