#include "netconfig/link_watch.h"

#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "netconfig/netlink_record.h"

namespace corvessa {

namespace {

constexpr std::size_t kReadBufferSize = 16 * 1024;
// Reads per call; whatever is left makes the socket readable again.
constexpr int kMaxReadsPerCall = 64;

// A name attribute: up to its terminating 0, never longer than a name can be.
std::string NameOf(std::span<const std::uint8_t> payload) {
  std::string name;
  for (const std::uint8_t c : payload) {
    if (c == 0 || name.size() >= IFNAMSIZ - 1) break;
    name.push_back(static_cast<char>(c));
  }
  return name;
}

std::optional<LinkEvent> LinkMessage(std::uint16_t type, std::span<const std::uint8_t> message) {
  ifinfomsg info{};
  if (!ReadNetlinkRecord(message, NLMSG_HDRLEN, info)) return std::nullopt;
  LinkEvent event;
  event.kind = type == RTM_DELLINK ? LinkEventKind::LinkRemoved : LinkEventKind::LinkChanged;
  event.index = info.ifi_index;
  for (const NetlinkAttribute& attribute : NetlinkAttributes(message, NLMSG_HDRLEN + NLMSG_ALIGN(sizeof info))) {
    if (attribute.type == IFLA_IFNAME) event.name = NameOf(attribute.payload);
  }
  return event;
}

std::optional<LinkEvent> AddressMessage(std::uint16_t type, std::span<const std::uint8_t> message) {
  ifaddrmsg info{};
  if (!ReadNetlinkRecord(message, NLMSG_HDRLEN, info) || info.ifa_family != AF_INET) return std::nullopt;
  LinkEvent event;
  event.kind = type == RTM_DELADDR ? LinkEventKind::AddressRemoved : LinkEventKind::AddressAdded;
  event.index = static_cast<int>(info.ifa_index);
  std::optional<std::uint32_t> local;
  std::optional<std::uint32_t> address;
  for (const NetlinkAttribute& attribute : NetlinkAttributes(message, NLMSG_HDRLEN + NLMSG_ALIGN(sizeof info))) {
    if ((attribute.type == IFA_LOCAL || attribute.type == IFA_ADDRESS) && attribute.payload.size() == 4) {
      // An in_addr: first octet first.
      const std::uint32_t value = (std::uint32_t{attribute.payload[0]} << 24) |
                                  (std::uint32_t{attribute.payload[1]} << 16) |
                                  (std::uint32_t{attribute.payload[2]} << 8) | std::uint32_t{attribute.payload[3]};
      (attribute.type == IFA_LOCAL ? local : address) = value;
    } else if (attribute.type == IFA_LABEL) {
      event.name = NameOf(attribute.payload);
    }
  }
  // IFA_ADDRESS is the peer's address on a point-to-point link; the own one
  // is IFA_LOCAL where both are given.
  event.address = local.value_or(address.value_or(0));
  return event;
}

}  // namespace

std::vector<LinkEvent> ParseLinkMessages(std::span<const std::uint8_t> buffer) {
  std::vector<LinkEvent> events;
  std::size_t offset = 0;
  while (offset < buffer.size()) {
    nlmsghdr header{};
    if (!ReadNetlinkRecord(buffer, offset, header)) break;
    if (header.nlmsg_len < sizeof header || header.nlmsg_len > buffer.size() - offset) break;
    const std::span<const std::uint8_t> message = buffer.subspan(offset, header.nlmsg_len);
    std::optional<LinkEvent> event;
    switch (header.nlmsg_type) {
      case RTM_NEWLINK:
      case RTM_DELLINK:
        event = LinkMessage(header.nlmsg_type, message);
        break;
      case RTM_NEWADDR:
      case RTM_DELADDR:
        event = AddressMessage(header.nlmsg_type, message);
        break;
      default:
        break;
    }
    if (event) events.push_back(std::move(*event));
    const std::size_t step = NLMSG_ALIGN(header.nlmsg_len);
    if (step > buffer.size() - offset) break;
    offset += step;
  }
  return events;
}

LinkWatch::~LinkWatch() { Close(); }

bool LinkWatch::Open() {
  Close();
  const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return false;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void LinkWatch::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::vector<LinkEvent> LinkWatch::Read() {
  std::vector<LinkEvent> events;
  if (fd_ < 0) return events;
  std::vector<std::uint8_t> buffer(kReadBufferSize);
  for (int reads = 0; reads < kMaxReadsPerCall; ++reads) {
    sockaddr_nl from{};
    iovec vector{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    const ssize_t n = recvmsg(fd_, &message, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      // The kernel dropped messages: what they said is unknown.
      if (errno == ENOBUFS) {
        events.push_back(LinkEvent{});
        continue;
      }
      break;  // EAGAIN: nothing more waiting
    }
    if (n == 0 || from.nl_pid != 0) continue;  // not the kernel's
    if ((message.msg_flags & MSG_TRUNC) != 0) {
      events.push_back(LinkEvent{});
      continue;
    }
    const auto parsed = ParseLinkMessages(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
    events.insert(events.end(), parsed.begin(), parsed.end());
  }
  return events;
}

}  // namespace corvessa
