#pragma once
// One identity scan: a List Identity broadcast on the chosen interface and the
// replies that come back within a wait. Nothing blocks: the owner watches
// Fd() for reads (a QSocketNotifier in the window, poll() elsewhere), calls
// OnReadable() for each read event and Finish() once Deadline() has passed.
//
// The socket is bound to the interface itself, so the broadcast leaves on that
// interface only and replies arriving on others are never seen.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "enip/list_identity.h"
#include "netconfig/neighbour_table.h"

namespace corvessa {

// Devices wait a random time of up to two seconds before they answer a
// broadcast List Identity; a second more covers the way there and back.
inline constexpr std::chrono::milliseconds kIdentityScanWait{3000};
// More answers than a plant network holds; the rest of a flood is dropped.
inline constexpr std::size_t kMaxScannedDevices = 1024;

// One device that answered.
struct ScannedDevice {
  std::uint32_t address = 0;  // host order: the address its reply came from
  CipIdentity identity;
  // From the neighbour table once the scan has finished; unknown when the
  // kernel has no usable entry for the address.
  std::optional<HardwareAddress> mac;

  bool operator==(const ScannedDevice&) const = default;
};

class IdentityScan {
 public:
  using Clock = std::chrono::steady_clock;

  IdentityScan() = default;
  ~IdentityScan();
  IdentityScan(const IdentityScan&) = delete;
  IdentityScan& operator=(const IdentityScan&) = delete;

  // Opens a UDP socket bound to the named interface, allows broadcasts and
  // sends one List Identity to 255.255.255.255:44818. False when any step
  // fails (Error() holds its errno); then nothing was sent. A running scan is
  // ended first, its results dropped.
  [[nodiscard]] bool Start(std::string_view interfaceName, Clock::time_point now,
                           std::chrono::milliseconds wait = kIdentityScanWait);
  bool Running() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  Clock::time_point Deadline() const { return deadline_; }
  int Error() const { return error_; }

  // Takes the replies waiting now; never blocks. A device that answers twice
  // is kept once; replies that do not parse are counted and dropped.
  void OnReadable();

  // Ends the scan (at its deadline, or earlier to cancel it), closes the
  // socket and returns the devices that answered, ordered by address, with
  // their hardware addresses from the neighbour table.
  std::vector<ScannedDevice> Finish();

  std::size_t MalformedReplies() const { return malformed_; }

 private:
  void Close();
  // Devices whose MAC the kernel does not know yet are asked again directly:
  // the unicast makes the kernel resolve them.
  void ResolveNewDevices(std::size_t firstNew);
  void SendRequest(std::uint32_t address);

  int fd_ = -1;
  int interfaceIndex_ = 0;
  int error_ = 0;
  Clock::time_point deadline_{};
  std::vector<ScannedDevice> devices_;
  std::size_t malformed_ = 0;
};

}  // namespace corvessa
