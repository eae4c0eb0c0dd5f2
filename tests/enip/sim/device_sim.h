#pragma once
// A scripted EtherNet/IP adapter on 127.0.0.1 for tests: it answers Register
// Session and SendRRData with Get/Set_Attribute_Single on the TCP/IP Interface
// (0xF5) and Ethernet Link (0xF6) objects, can be told to misbehave, and
// records everything it receives. Its replies are built here by hand from the
// field layout, independently of the client code under test.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/enip/sim/identity_responder.h"

namespace corvessa::enipsim {

enum class ConnectionMode {
  Answer,         // normal device
  Silent,         // accepts and reads, never answers
  Refuse,         // port bound but not listening: connects are refused
  CloseAtAccept,  // accepts and closes at once
  Trickle,        // every reply one byte at a time, `trickleInterval` apart
  HugeLength,     // every reply's length field says 65535 bytes follow; only the reply does
  CloseMidReply,  // the first half of the first reply, then the connection is closed
  Slow,           // every reply, complete and valid, `slowDelay` after its request
};

enum class ReplyFault {
  None,
  Split,             // `bytes` first, the rest a moment later
  Truncate,          // only the first `bytes`, then silence
  TruncateAndClose,  // only the first `bytes`, then the connection is closed
  Close,             // the connection is closed instead of answering
  Silent,            // no answer to this request
  ServiceByte,       // the reply item's service byte becomes `bytes`
};

// Applies to one request, counted from 0 over all connections.
struct FaultRule {
  int request = 0;
  ReplyFault fault = ReplyFault::None;
  std::size_t bytes = 0;
};

// A general status answered instead of the attribute; -1 matches any.
struct StatusRule {
  int service = -1;
  int cls = -1;
  int instance = -1;
  int attribute = -1;
  std::uint8_t status = 0;
};

struct DeviceConfig {
  ConnectionMode mode = ConnectionMode::Answer;
  std::chrono::milliseconds trickleInterval{1000};
  std::chrono::milliseconds slowDelay{3000};
  std::uint32_t sessionHandle = 0x11223344;
  std::uint32_t registerStatus = 0;  // encapsulation status of Register Session replies
  std::uint32_t requestStatus = 0;   // encapsulation status of SendRRData replies
  std::uint16_t maxInstance = 1;
  // TCP/IP Interface instance -> attribute 4 data (path size in words, path).
  std::map<int, Bytes> physicalLinks;
  // Ethernet Link instance -> Physical Address.
  std::map<int, Bytes> physicalAddresses;
  std::uint32_t configurationControl = 0;
  // Configuration Control value -> general status of its rejection.
  std::map<std::uint32_t, std::uint8_t> rejectedValues;
  std::vector<StatusRule> statusRules;
  // Additional status words in every CIP reply.
  std::vector<std::uint16_t> additionalStatus;
  // When set, requests to class 0xAA are served as this class, and this class
  // itself answers "path destination unknown".
  std::optional<std::uint8_t> fallbackAliasOf;
  std::vector<FaultRule> faults;
};

struct DeviceState {
  std::uint32_t configurationControl = 0;
  std::optional<std::uint32_t> lastConfigurationWrite;
};

// The reply to one complete request message; empty when there is none.
Bytes BuildSimReply(const DeviceConfig& config, DeviceState& state,
                    std::span<const std::uint8_t> request);

struct ReceivedRequest {
  int connection = 0;
  Bytes bytes;
};

inline constexpr std::uint32_t kLoopbackAddress = 0x7F000001;  // 127.0.0.1

class DeviceSim {
 public:
  // Port 0: the system chooses one (see Port()). `address` (host order) is
  // a loopback address, or one a test network namespace owns.
  explicit DeviceSim(DeviceConfig config, std::uint16_t port = 0,
                     std::uint32_t address = kLoopbackAddress);
  ~DeviceSim();
  DeviceSim(const DeviceSim&) = delete;
  DeviceSim& operator=(const DeviceSim&) = delete;

  bool ok() const { return ok_; }
  std::uint16_t Port() const { return port_; }
  void Stop();

  std::vector<ReceivedRequest> Requests() const;
  std::vector<Bytes> Replies() const;  // every reply built, before any fault
  std::optional<std::uint32_t> LastConfigurationWrite() const;
  int Connections() const;

 private:
  void Run();
  void Serve(int connection, int index);
  // False when the connection is to be closed.
  bool Answer(int connection, int index, std::span<const std::uint8_t> request);
  // Sends as the connection mode says; false when the connection is to be closed.
  bool SendReply(int connection, Bytes reply);
  // Waits, unless the test ends first; false then.
  bool Pause(std::chrono::milliseconds length);

  DeviceConfig config_;
  DeviceState state_;
  int listener_ = -1;
  int wake_ = -1;
  std::uint16_t port_ = 0;
  bool ok_ = false;
  std::atomic<bool> stopping_{false};
  std::thread thread_;

  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  std::vector<Bytes> replies_;
  int connections_ = 0;
};

// Command line of the enip_device_sim executable.
struct SimOptions {
  DeviceConfig config;
  std::uint16_t port = 0;
  std::uint32_t address = kLoopbackAddress;
  int seconds = 300;        // the process ends after this long at the latest
  std::string recordFile;   // requests written here, one hex line each, at exit
  // List Identity over UDP, answered on this port when it is not 0.
  std::uint16_t udpPort = 0;
  IdentityConfig identity;
};
[[nodiscard]] bool ParseSimArguments(std::span<const std::string> arguments, SimOptions& options,
                                     std::string& error);
// The options of the identity answered over UDP. `known` tells whether
// `flag` is one of them; the result whether its value parsed.
[[nodiscard]] bool ParseIdentityOption(std::string_view flag, std::string_view value, SimOptions& options,
                                       bool& known);

}  // namespace corvessa::enipsim
