#pragma once
// The simulated adapter's answer to List Identity over UDP: a configurable
// CIP identity, sent at once, late, or malformed on purpose. The reply is
// built here by hand from the field layout, independently of the parser
// under test.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "tests/enip/sim/sim_bytes.h"

namespace corvessa::enipsim {

enum class IdentityFault {
  None,
  Silent,          // reads every request, answers none
  Truncate,        // only the first `faultBytes` bytes of the reply
  LongLength,      // the header's length announces more bytes than follow
  NoIdentityItem,  // the item list holds one item of another type only
  NameOverrun,     // the name's length byte runs past the end of the item
  ErrorStatus,     // the header's status is 1 (invalid command)
  Twice,           // the reply goes out twice
};

struct IdentityConfig {
  std::uint16_t protocolVersion = 1;
  std::uint16_t socketFamily = 2;  // AF_INET
  std::uint16_t socketPort = 44818;
  std::uint32_t socketAddress = 0;  // host order, as the device states it
  std::uint16_t vendorId = 1;
  std::uint16_t deviceType = 0x0C;  // communications adapter
  std::uint16_t productCode = 0x00A6;
  std::uint8_t revisionMajor = 2;
  std::uint8_t revisionMinor = 11;
  std::uint16_t status = 0x0030;
  std::uint32_t serialNumber = 0x00C0FFEE;
  std::string productName = "Simulated Adapter";
  std::optional<std::uint8_t> state = 3;  // operational; none: the item ends after the name
  std::chrono::milliseconds delay{0};     // between request and reply
  IdentityFault fault = IdentityFault::None;
  std::size_t faultBytes = 0;
};

// The reply to one datagram, after the fault is applied; empty when the
// datagram is not a List Identity request or the fault is Silent.
Bytes BuildIdentityReply(const IdentityConfig& config, std::span<const std::uint8_t> request);

class IdentityResponder {
 public:
  // Bound to every address of the namespace it is created in, so that
  // broadcasts reach it; port 0 lets the system choose (see Port()).
  explicit IdentityResponder(IdentityConfig config, std::uint16_t port);
  ~IdentityResponder();
  IdentityResponder(const IdentityResponder&) = delete;
  IdentityResponder& operator=(const IdentityResponder&) = delete;

  bool ok() const { return ok_; }
  std::uint16_t Port() const { return port_; }
  void Stop();
  // Datagrams received, List Identity or not.
  int Requests() const;

 private:
  void Run();
  bool Pause(std::chrono::milliseconds length);

  IdentityConfig config_;
  int socket_ = -1;
  int wake_ = -1;
  std::uint16_t port_ = 0;
  bool ok_ = false;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace corvessa::enipsim
