#pragma once
// Which other processes hold UDP port 67, read from the kernel's socket table
// and the processes' open descriptors under /proc.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

inline constexpr std::uint16_t kOwnerCheckPort = 67;

// One row of /proc/net/udp.
struct UdpTableRow {
  std::uint32_t localAddress = 0;  // as the kernel prints it (network order read as a host number)
  std::uint16_t localPort = 0;     // host order
  unsigned long inode = 0;
};

// Parses one data line of /proc/net/udp; the header line and malformed lines
// give nothing.
[[nodiscard]] std::optional<UdpTableRow> ParseUdpTableLine(std::string_view line);

// " - <name>, PID: <pid>;\n" for each socket on local port 67 whose owning
// process is still there, in table order; empty when there is none or the
// table cannot be read. `procRoot` is normally "/proc"; `ownInode` (when not
// 0) is the server's own socket, which is never reported.
std::string FindPort67Owners(const std::string& procRoot = "/proc", unsigned long ownInode = 0);

}  // namespace corvessa
