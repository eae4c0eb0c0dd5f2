#pragma once
// Is an address already taken on the chosen interface? Before an address is
// handed out for the first time, one ICMP echo goes to it through an
// unprivileged ping socket (as dnsmasq does before it offers an address);
// where the system allows no ping socket, a UDP datagram to the discard port
// makes the kernel resolve the address instead. Either way the kernel's
// neighbour table then tells whether, and with which hardware address,
// something answered: a device that ignores echoes still answers ARP.
//
// Nothing blocks: the owner watches Fd() for reads and calls OnDeadline()
// at NextDeadline(). Every socket is bound to the chosen interface; when it
// cannot be, nothing is sent at all.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netconfig/neighbour_table.h"

namespace corvessa {

// How long a probe waits for an answer. A device on the same link answers ARP
// and echo within milliseconds, even a slow embedded stack within a few tens;
// half a second leaves room for that many times over, yet the held request is
// answered long before a client sends its request again (DHCP clients wait
// about 3-4 s, BOOTP clients at least 1 s before their first retransmission).
inline constexpr std::chrono::milliseconds kProbeWait{500};

enum class ProbeMethod {
  None,       // not open: nothing is probed
  Echo,       // ICMP echo through a ping socket, and the neighbour table
  Neighbour,  // the neighbour table alone, after a datagram made the kernel resolve the address
};

enum class ProbeEvidence {
  Nothing,     // nobody answered: the address is free
  EchoReply,   // an echo reply came from the address
  Neighbour,   // the neighbour table holds a hardware address for it
  OwnAddress,  // the chosen interface itself has the address
};

struct ProbeResult {
  std::uint32_t address = 0;  // host order
  bool held = false;
  ProbeEvidence evidence = ProbeEvidence::Nothing;
  // Who holds it, when the neighbour table (or the own interface) says so.
  std::optional<HardwareAddress> holder;

  bool operator==(const ProbeResult&) const = default;
};

class AddressProbe {
 public:
  using Clock = std::chrono::steady_clock;

  AddressProbe() = default;
  ~AddressProbe();
  AddressProbe(const AddressProbe&) = delete;
  AddressProbe& operator=(const AddressProbe&) = delete;

  // A ping socket on the named interface where the system allows one (its
  // net.ipv4.ping_group_range holds the user's group), else a UDP socket.
  // False, with Error() set, when neither can be bound to the interface.
  [[nodiscard]] bool Open(std::string_view interfaceName);
  // Ends every running probe without a result.
  void Close();
  ProbeMethod Method() const { return method_; }
  // Echo replies arrive here; -1 unless the method is Echo.
  int Fd() const { return method_ == ProbeMethod::Echo ? fd_ : -1; }
  int Error() const { return error_; }

  // Starts probing `address` (host order); an address already being probed
  // keeps its probe. An address of the chosen interface itself is held at
  // once: that result is returned and no probe runs.
  std::optional<ProbeResult> Start(std::uint32_t address, Clock::time_point now,
                                   std::chrono::milliseconds wait = kProbeWait);
  bool Probing(std::uint32_t address) const { return probes_.count(address) != 0; }
  std::vector<std::uint32_t> ProbingAddresses() const;
  // The earliest deadline of the running probes.
  std::optional<Clock::time_point> NextDeadline() const;

  // Echo replies waiting now; never blocks. Each probe answered ends held.
  std::vector<ProbeResult> OnReadable();
  // The probes whose wait has run out, held or free by the neighbour table.
  std::vector<ProbeResult> OnDeadline(Clock::time_point now);

 private:
  void Send(std::uint32_t address);
  std::optional<HardwareAddress> OwnHardwareAddress(std::uint32_t address) const;

  int fd_ = -1;
  ProbeMethod method_ = ProbeMethod::None;
  std::string interfaceName_;
  int interfaceIndex_ = 0;
  int error_ = 0;
  std::uint16_t sequence_ = 0;
  std::map<std::uint32_t, Clock::time_point> probes_;  // address -> deadline
};

}  // namespace corvessa
