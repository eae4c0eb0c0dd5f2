// What the kernel sends on netlink sockets: rtnetlink link and address
// messages (the interface watch), sock_diag dumps of UDP sockets (the
// port-67 holders) and neighbour table dumps (the identity scan and the
// address probe). The first byte picks the parser, the rest is the buffer.
// Each result is checked against what the buffer can hold.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "netconfig/link_watch.h"
#include "netconfig/neighbour_table.h"
#include "server/socket_table.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

// Header and fixed part of the smallest message that gives a result: an
// address message (ifaddrmsg, 8 bytes) without attributes.
constexpr std::size_t kSmallestLinkMessage = 16 + 8;
constexpr std::size_t kSmallestDiagMessage = 16 + 72;
constexpr std::size_t kSmallestNeighbourMessage = 16 + 12 + 8;
constexpr std::uint16_t kPort = 67;

void CheckLinkMessages(const std::vector<std::uint8_t>& buffer) {
  const std::vector<LinkEvent> events = ParseLinkMessages(buffer);
  FUZZ_CHECK(events.size() <= buffer.size() / kSmallestLinkMessage);
  for (const LinkEvent& event : events) {
    FUZZ_CHECK(event.kind != LinkEventKind::Overrun);  // only the watch itself reports lost messages
    FUZZ_CHECK(event.name.size() <= 15);
    FUZZ_CHECK(event.name.find('\0') == std::string::npos);
    const bool addressEvent = event.kind == LinkEventKind::AddressAdded || event.kind == LinkEventKind::AddressRemoved;
    if (!addressEvent) FUZZ_CHECK(event.address == 0);
  }
}

void CheckDiagReply(const std::vector<std::uint8_t>& buffer) {
  std::vector<UdpSocketEntry> sockets;
  (void)ParseSockDiagReply(buffer, kPort, sockets);
  FUZZ_CHECK(sockets.size() <= buffer.size() / kSmallestDiagMessage);
  for (const UdpSocketEntry& entry : sockets) FUZZ_CHECK(entry.localPort == kPort);
}

void CheckNeighbourMessages(const std::vector<std::uint8_t>& buffer) {
  const std::vector<NeighbourEntry> entries = ParseNeighbourMessages(buffer);
  FUZZ_CHECK(entries.size() <= buffer.size() / kSmallestNeighbourMessage);
  for (const NeighbourEntry& entry : entries) {
    if (ConfidenceOf(entry) != NeighbourConfidence::None) FUZZ_CHECK(entry.mac.has_value());
    if (entry.mac) FUZZ_CHECK(FindNeighbour(entries, entry.address) != nullptr);
  }
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // A copy of exactly the buffer's size, so a read past it is caught.
  const std::vector<std::uint8_t> buffer(data + 1, data + size);
  switch (data[0] % 3) {
    case 0:
      corvessa::fuzz::CheckLinkMessages(buffer);
      break;
    case 1:
      corvessa::fuzz::CheckDiagReply(buffer);
      break;
    default:
      corvessa::fuzz::CheckNeighbourMessages(buffer);
      break;
  }
  return 0;
}
