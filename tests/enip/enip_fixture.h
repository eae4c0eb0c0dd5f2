#pragma once
// Shared pieces of the EtherNet/IP tests: relations, a status log, scripted
// message boxes and busy cursor, and a context aimed at a simulated device.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "enip/enip_context.h"
#include "enip/socket_api.h"
#include "relations/relation_table.h"
#include "tests/enip/sim/device_sim.h"

namespace corvessa::enip_test {

using enipsim::Bytes;
using Mac = std::array<std::uint8_t, 6>;

inline constexpr Mac kDeviceMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
inline constexpr Mac kFallbackMac{0x0A, 0x00, 0x3C, 0x12, 0x34, 0x56};
inline constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1
inline constexpr std::string_view kDevice = "00:11:22:33:44:55";

inline Relation MakeRelation(const Mac& mac = kDeviceMac, std::uint8_t type = kRelationTypeNone) {
  Relation r;
  std::copy(mac.begin(), mac.end(), r.hardwareAddress.begin());
  r.hardwareAddressLength = static_cast<std::uint8_t>(mac.size());
  r.ipAddress = kLoopback;
  r.type = type;
  return r;
}

class CountingBusy : public BusyIndicator {
 public:
  void Begin() override {
    ++begins;
    ++depth;
  }
  void End() override {
    ++ends;
    --depth;
    if (depth < 0) ADD_FAILURE() << "busy cursor ended more often than shown";
  }
  int begins = 0;
  int ends = 0;
  int depth = 0;
};

// Everything a flow reports, and a context pointing at one port of 127.0.0.1.
struct Harness {
  explicit Harness(std::uint16_t port) {
    context.status = [this](std::string_view text) { status.emplace_back(text); };
    context.commandFailed = [this](std::string_view text) { failures.emplace_back(text); };
    context.busy = &busy;
    context.sleep = [this](std::chrono::milliseconds length) { pauses.push_back(length); };
    context.port = port;
    context.connectTimeout = std::chrono::seconds(5);
    context.waitPeriod = std::chrono::milliseconds(500);
  }
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  std::string Last() const { return status.empty() ? std::string() : status.back(); }
  bool Shows(std::string_view text) const {
    return std::find(status.begin(), status.end(), text) != status.end();
  }

  EnipContext context;
  std::vector<std::string> status;
  // The failure texts of the flows the user must be told of.
  std::vector<std::string> failures;
  CountingBusy busy;
  std::vector<std::chrono::milliseconds> pauses;
};

// The system's socket calls, counted, with single calls made to fail.
class ScriptedSockets : public SocketApi {
 public:
  int Socket() override {
    if (socketError != 0) return Fail(socketError);
    const int fd = SocketApi::Socket();
    if (fd >= 0) ++opened;
    return fd;
  }
  int Bind(int fd, const sockaddr_in& local) override {
    return bindError != 0 ? Fail(bindError) : SocketApi::Bind(fd, local);
  }
  int SetOption(int fd, int level, int name, int value) override {
    if (failingOptions.count(name) != 0) return Fail(EINVAL);
    return SocketApi::SetOption(fd, level, name, value);
  }
  int Connect(int fd, const sockaddr_in& remote, std::chrono::milliseconds timeout) override {
    ++connects;
    return SocketApi::Connect(fd, remote, timeout);
  }
  ssize_t Send(int fd, std::span<const std::uint8_t> bytes) override {
    ++sends;
    if (sendError != 0) return Fail(sendError);
    if (sendLimit) bytes = bytes.first(std::min(bytes.size(), *sendLimit));
    return SocketApi::Send(fd, bytes);
  }
  int WaitReadable(int fd, std::chrono::milliseconds period) override {
    ++waits;
    if (!waitErrors.empty()) {
      const int error = waitErrors.front();
      waitErrors.pop_front();
      return Fail(error);
    }
    return SocketApi::WaitReadable(fd, period);
  }
  ssize_t Receive(int fd, std::span<std::uint8_t> into) override {
    ++receives;
    if (receiveError != 0) return Fail(receiveError);
    return SocketApi::Receive(fd, into);
  }
  int Close(int fd) override {
    ++closed;
    return SocketApi::Close(fd);
  }

  int socketError = 0;
  int bindError = 0;
  std::set<int> failingOptions;  // option names
  int sendError = 0;
  std::optional<std::size_t> sendLimit;  // send only this many bytes
  std::deque<int> waitErrors;            // the next waits fail with these
  int receiveError = 0;

  int opened = 0;
  int closed = 0;
  int connects = 0;
  int sends = 0;
  int waits = 0;
  int receives = 0;

 private:
  static int Fail(int error) {
    errno = error;
    return -1;
  }
};

// Many simulated devices at once: each relation's address (10.99.x.y, never
// reached) stands for the simulator on a port of 127.0.0.1. A connect to an
// address without one is refused, so nothing ever leaves loopback. Safe for
// the worker threads of a run: the map is filled before the run starts.
class ForwardingSockets : public SocketApi {
 public:
  void Add(std::uint32_t address, std::uint16_t port) { devices_[address] = port; }

  int Socket() override {
    const int fd = SocketApi::Socket();
    if (fd >= 0) ++opened;
    return fd;
  }
  int Connect(int fd, const sockaddr_in& remote, std::chrono::milliseconds timeout) override {
    const std::uint32_t address = ntohl(remote.sin_addr.s_addr);
    {
      const std::lock_guard lock(mutex_);
      connected_.push_back(address);
    }
    const auto device = devices_.find(address);
    if (device == devices_.end()) {
      errno = ECONNREFUSED;
      return -1;
    }
    sockaddr_in loopback = remote;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    loopback.sin_port = htons(device->second);
    return SocketApi::Connect(fd, loopback, timeout);
  }
  int Close(int fd) override {
    ++closed;
    return SocketApi::Close(fd);
  }
  // Every address connected to, in order.
  std::vector<std::uint32_t> Connected() const {
    const std::lock_guard lock(mutex_);
    return connected_;
  }

  std::atomic<int> opened{0};
  std::atomic<int> closed{0};

 private:
  std::map<std::uint32_t, std::uint16_t> devices_;
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> connected_;
};

// A listener on loopback whose accept queue is full: a connect to it hangs
// like one to an address that never answers.
class HangingListener {
 public:
  HangingListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return;
    }
    for (int i = 0; i < 3; ++i) {
      const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      (void)::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
      fillers_.push_back(filler);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the queue fill
    port_ = ntohs(address.sin_port);
  }
  ~HangingListener() {
    for (const int fd : fillers_) ::close(fd);
    if (listener_ >= 0) ::close(listener_);
  }
  HangingListener(const HangingListener&) = delete;
  HangingListener& operator=(const HangingListener&) = delete;

  // 0 when it could not be set up.
  std::uint16_t Port() const { return port_; }

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
  std::uint16_t port_ = 0;
};

// A simulated device that must be listening before the test goes on.
inline void ExpectListening(const enipsim::DeviceSim& sim) {
  ASSERT_TRUE(sim.ok()) << "the simulated device could not bind 127.0.0.1";
}

// Request fields read back from recorded bytes (offsets of the request layout).
inline std::uint16_t Command(const Bytes& b) { return static_cast<std::uint16_t>(b.at(0) | b.at(1) << 8); }
inline std::uint32_t HandleOf(const Bytes& b) {
  return std::uint32_t{b.at(4)} | std::uint32_t{b.at(5)} << 8 | std::uint32_t{b.at(6)} << 16 |
         std::uint32_t{b.at(7)} << 24;
}
inline std::uint8_t ServiceOf(const Bytes& b) { return b.at(40); }
inline std::uint8_t ClassOf(const Bytes& b) { return b.at(43); }
inline std::uint8_t InstanceOf(const Bytes& b) { return b.at(45); }
inline std::uint8_t AttributeOf(const Bytes& b) { return b.at(47); }
inline std::uint32_t ValueOf(const Bytes& b) {
  return std::uint32_t{b.at(48)} | std::uint32_t{b.at(49)} << 8 | std::uint32_t{b.at(50)} << 16 |
         std::uint32_t{b.at(51)} << 24;
}

// "0E F5 00 02" for each CIP request, "RS" for Register Session: the order of
// requests a flow made, readable in a failure message.
inline std::vector<std::string> RequestTrail(const std::vector<enipsim::ReceivedRequest>& requests) {
  std::vector<std::string> trail;
  for (const auto& r : requests) {
    if (Command(r.bytes) == 0x0065) {
      trail.push_back("RS");
      continue;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", ServiceOf(r.bytes), ClassOf(r.bytes),
                  InstanceOf(r.bytes), AttributeOf(r.bytes));
    trail.emplace_back(text);
  }
  return trail;
}

}  // namespace corvessa::enip_test
