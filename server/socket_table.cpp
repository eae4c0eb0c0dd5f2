#include "server/socket_table.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <fstream>

#include "netconfig/netlink_record.h"

namespace corvessa {

namespace {

// Field positions in a data line of /proc/net/udp.
constexpr std::size_t kSlotField = 0;
constexpr std::size_t kLocalAddressField = 1;
constexpr std::size_t kUidField = 7;
constexpr std::size_t kInodeField = 9;
constexpr std::size_t kAddressDigits = 8;
constexpr std::size_t kPortDigits = 4;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t p = 0;
  while (p < line.size()) {
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    const std::size_t start = p;
    while (p < line.size() && line[p] != ' ' && line[p] != '\t') ++p;
    if (p > start) fields.push_back(line.substr(start, p - start));
  }
  return fields;
}

template <typename T>
bool ParseWhole(std::string_view text, int base, T& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

// The kernel's table of the network namespace of this thread; /proc/net
// follows the process's main thread instead.
std::string UdpTablePath(const std::string& procRoot) {
  const std::string threadTable = procRoot + "/thread-self/net/udp";
  if (access(threadTable.c_str(), R_OK) == 0) return threadTable;
  return procRoot + "/net/udp";
}

}  // namespace

std::optional<UdpTableRow> ParseUdpTableLine(std::string_view line) {
  const auto fields = SplitFields(line);
  if (fields.size() <= kInodeField) return std::nullopt;
  const std::string_view slot = fields[kSlotField];
  if (slot.size() < 2 || slot.back() != ':') return std::nullopt;
  unsigned slotNumber = 0;
  if (!ParseWhole(slot.substr(0, slot.size() - 1), 10, slotNumber)) return std::nullopt;

  const std::string_view local = fields[kLocalAddressField];
  if (local.size() != kAddressDigits + 1 + kPortDigits || local[kAddressDigits] != ':') return std::nullopt;
  UdpTableRow row;
  if (!ParseWhole(local.substr(0, kAddressDigits), 16, row.localAddress)) return std::nullopt;
  if (!ParseWhole(local.substr(kAddressDigits + 1), 16, row.localPort)) return std::nullopt;
  if (!ParseWhole(fields[kUidField], 10, row.uid)) return std::nullopt;
  if (!ParseWhole(fields[kInodeField], 10, row.inode)) return std::nullopt;
  return row;
}

std::optional<std::vector<UdpSocketEntry>> ReadUdpTable(const std::string& procRoot, std::uint16_t port) {
  std::ifstream table(UdpTablePath(procRoot));
  if (!table) return std::nullopt;
  std::vector<UdpSocketEntry> sockets;
  std::string line;
  while (std::getline(table, line)) {
    const auto row = ParseUdpTableLine(line);
    if (!row || row->localPort != port) continue;
    UdpSocketEntry entry;
    // The kernel prints the address as the number its network-order bytes
    // make in the host's order.
    entry.localAddress = ntohl(row->localAddress);
    entry.localPort = row->localPort;
    entry.inode = row->inode;
    entry.uid = row->uid;
    entry.boundDevice = kUnknownDevice;
    sockets.push_back(entry);
  }
  return sockets;
}

DiagPart ParseSockDiagReply(std::span<const std::uint8_t> buffer, std::uint16_t port,
                            std::vector<UdpSocketEntry>& sockets) {
  std::size_t offset = 0;
  while (offset < buffer.size()) {
    nlmsghdr header{};
    if (!ReadNetlinkRecord(buffer, offset, header)) return DiagPart::Error;
    if (header.nlmsg_len < sizeof header || header.nlmsg_len > buffer.size() - offset) return DiagPart::Error;
    const std::span<const std::uint8_t> message = buffer.subspan(offset, header.nlmsg_len);
    if (header.nlmsg_type == NLMSG_DONE) return DiagPart::Done;
    if (header.nlmsg_type == NLMSG_ERROR) return DiagPart::Error;
    if (header.nlmsg_type == SOCK_DIAG_BY_FAMILY) {
      inet_diag_msg record{};
      if (!ReadNetlinkRecord(message, NLMSG_HDRLEN, record)) return DiagPart::Error;
      if (record.idiag_family == AF_INET && ntohs(record.id.idiag_sport) == port) {
        UdpSocketEntry entry;
        entry.localAddress = ntohl(record.id.idiag_src[0]);
        entry.localPort = port;
        entry.inode = record.idiag_inode;
        entry.uid = record.idiag_uid;
        entry.boundDevice = static_cast<int>(record.id.idiag_if);
        sockets.push_back(entry);
      }
    }
    const std::size_t step = NLMSG_ALIGN(header.nlmsg_len);
    if (step > buffer.size() - offset) break;
    offset += step;
  }
  return DiagPart::More;
}

std::optional<std::vector<UdpSocketEntry>> ReadUdpSocketsByDiag(std::uint16_t port) {
  struct Request {
    nlmsghdr header;
    inet_diag_req_v2 body;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.body.sdiag_family = AF_INET;
  request.body.sdiag_protocol = IPPROTO_UDP;
  request.body.idiag_states = ~0u;
  // The kernel's UDP dump keeps only the sockets on this local port.
  request.body.id.idiag_sport = htons(port);

  std::vector<UdpSocketEntry> sockets;
  const bool read = RunNetlinkDump(NETLINK_SOCK_DIAG,
                                   std::span(reinterpret_cast<const std::uint8_t*>(&request), sizeof request),
                                   [&](std::span<const std::uint8_t> buffer) {
                                     return ParseSockDiagReply(buffer, port, sockets);
                                   });
  if (!read) return std::nullopt;
  return sockets;
}

}  // namespace corvessa
