#pragma once
// The kernel's table of IPv4 UDP sockets, as far as an unprivileged process
// can read it: through sock_diag (which also gives the device a socket is
// bound to) or, where that is refused, through /proc/net/udp.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "netconfig/netlink_dump.h"

namespace corvessa {

// Bound device of a socket read from /proc/net/udp, which does not say.
inline constexpr int kUnknownDevice = -1;

struct UdpSocketEntry {
  std::uint32_t localAddress = 0;  // host order
  std::uint16_t localPort = 0;     // host order
  unsigned long inode = 0;
  std::uint32_t uid = 0;           // the user that created the socket
  int boundDevice = 0;             // interface index; 0 none; kUnknownDevice
};

// One row of /proc/net/udp.
struct UdpTableRow {
  std::uint32_t localAddress = 0;  // as the kernel prints it (network order read as a host number)
  std::uint16_t localPort = 0;     // host order
  std::uint32_t uid = 0;
  unsigned long inode = 0;
};

// Parses one data line of /proc/net/udp; the header line and malformed lines
// give nothing.
[[nodiscard]] std::optional<UdpTableRow> ParseUdpTableLine(std::string_view line);

// The sockets on `port` in <procRoot>/net/udp (the table of the calling
// thread's network namespace where the kernel offers one); nullopt when the
// table cannot be read.
[[nodiscard]] std::optional<std::vector<UdpSocketEntry>> ReadUdpTable(const std::string& procRoot,
                                                                      std::uint16_t port);

// What one sock_diag reply buffer held.
using DiagPart = NetlinkDumpPart;

// Appends the IPv4 sockets on `port` found in one buffer of sock_diag
// replies (netlink messages carrying inet_diag_msg records).
[[nodiscard]] DiagPart ParseSockDiagReply(std::span<const std::uint8_t> buffer, std::uint16_t port,
                                          std::vector<UdpSocketEntry>& sockets);

// Asks the kernel (NETLINK_SOCK_DIAG) for the IPv4 UDP sockets on `port` of
// the calling thread's network namespace; nullopt when it does not answer.
[[nodiscard]] std::optional<std::vector<UdpSocketEntry>> ReadUdpSocketsByDiag(std::uint16_t port);

}  // namespace corvessa
