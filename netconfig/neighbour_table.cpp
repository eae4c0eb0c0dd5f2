#include "netconfig/neighbour_table.h"

#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <string>

#include "netconfig/netlink_dump.h"
#include "netconfig/netlink_record.h"

namespace corvessa {
namespace {

std::optional<NeighbourEntry> EntryOf(std::span<const std::uint8_t> message) {
  ndmsg info{};
  if (!ReadNetlinkRecord(message, NLMSG_HDRLEN, info) || info.ndm_family != AF_INET) return std::nullopt;
  NeighbourEntry entry;
  entry.index = info.ndm_ifindex;
  entry.state = info.ndm_state;
  bool hasAddress = false;
  for (const NetlinkAttribute& attribute : NetlinkAttributes(message, NLMSG_HDRLEN + NLMSG_ALIGN(sizeof info))) {
    if (attribute.type == NDA_DST && attribute.payload.size() == 4) {
      // An in_addr: first octet first.
      const auto& p = attribute.payload;
      entry.address = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
                      std::uint32_t{p[3]};
      hasAddress = true;
    } else if (attribute.type == NDA_LLADDR && attribute.payload.size() == 6) {
      HardwareAddress mac{};
      std::copy(attribute.payload.begin(), attribute.payload.end(), mac.begin());
      entry.mac = mac;
    }
  }
  if (!hasAddress) return std::nullopt;
  return entry;
}

NetlinkDumpPart Walk(std::span<const std::uint8_t> buffer, std::vector<NeighbourEntry>& entries) {
  std::size_t offset = 0;
  while (offset < buffer.size()) {
    nlmsghdr header{};
    if (!ReadNetlinkRecord(buffer, offset, header)) return NetlinkDumpPart::Error;
    if (header.nlmsg_len < sizeof header || header.nlmsg_len > buffer.size() - offset) return NetlinkDumpPart::Error;
    if (header.nlmsg_type == NLMSG_DONE) return NetlinkDumpPart::Done;
    if (header.nlmsg_type == NLMSG_ERROR) return NetlinkDumpPart::Error;
    if (header.nlmsg_type == RTM_NEWNEIGH) {
      if (auto entry = EntryOf(buffer.subspan(offset, header.nlmsg_len))) entries.push_back(*entry);
    }
    const std::size_t step = NLMSG_ALIGN(header.nlmsg_len);
    if (step > buffer.size() - offset) break;
    offset += step;
  }
  return NetlinkDumpPart::More;
}

}  // namespace

std::vector<NeighbourEntry> ParseNeighbourMessages(std::span<const std::uint8_t> buffer) {
  std::vector<NeighbourEntry> entries;
  (void)Walk(buffer, entries);
  return entries;
}

NeighbourConfidence ConfidenceOf(const NeighbourEntry& entry) {
  if (!entry.mac) return NeighbourConfidence::None;
  if ((entry.state & (NUD_REACHABLE | NUD_PERMANENT)) != 0) return NeighbourConfidence::Confirmed;
  if ((entry.state & (NUD_STALE | NUD_DELAY | NUD_PROBE)) != 0) return NeighbourConfidence::Earlier;
  return NeighbourConfidence::None;
}

std::optional<std::vector<NeighbourEntry>> ReadNeighbours(int interfaceIndex) {
  struct Request {
    nlmsghdr header;
    ndmsg body;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = RTM_GETNEIGH;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.body.ndm_family = AF_INET;
  request.body.ndm_ifindex = interfaceIndex;

  std::vector<NeighbourEntry> entries;
  const bool read = RunNetlinkDump(NETLINK_ROUTE,
                                   std::span(reinterpret_cast<const std::uint8_t*>(&request), sizeof request),
                                   [&](std::span<const std::uint8_t> buffer) { return Walk(buffer, entries); });
  if (!read) return std::nullopt;
  // Older kernels dump every interface whatever the request names.
  std::erase_if(entries, [&](const NeighbourEntry& e) { return e.index != interfaceIndex; });
  return entries;
}

const NeighbourEntry* FindNeighbour(std::span<const NeighbourEntry> entries, std::uint32_t address) {
  for (const NeighbourEntry& entry : entries) {
    if (entry.address == address && entry.mac) return &entry;
  }
  return nullptr;
}

std::optional<HardwareAddress> NeighbourMac(std::string_view interfaceName, std::uint32_t address) {
  const std::string name(interfaceName);
  const int index = static_cast<int>(if_nametoindex(name.c_str()));
  if (index == 0) return std::nullopt;
  const auto entries = ReadNeighbours(index);
  if (!entries) return std::nullopt;
  const NeighbourEntry* entry = FindNeighbour(*entries, address);
  if (entry == nullptr || ConfidenceOf(*entry) == NeighbourConfidence::None) return std::nullopt;
  return entry->mac;
}

}  // namespace corvessa
