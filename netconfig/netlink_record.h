#pragma once
// Netlink messages come from the kernel in the host's own byte order, laid
// out as the kernel's structures. A record is copied out of a received buffer
// only after its length has been checked against the buffer's, and so is
// each attribute that follows it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include <linux/rtnetlink.h>

namespace corvessa {

template <typename T>
[[nodiscard]] bool ReadNetlinkRecord(std::span<const std::uint8_t> buffer, std::size_t offset, T& record) {
  if (offset > buffer.size() || sizeof(T) > buffer.size() - offset) return false;
  std::memcpy(&record, buffer.data() + offset, sizeof(T));
  return true;
}

struct NetlinkAttribute {
  unsigned short type = 0;
  std::span<const std::uint8_t> payload;
};

// The attributes that follow a message's fixed part; stops at the first
// one that does not fit.
inline std::vector<NetlinkAttribute> NetlinkAttributes(std::span<const std::uint8_t> message, std::size_t offset) {
  std::vector<NetlinkAttribute> attributes;
  while (offset < message.size()) {
    rtattr header{};
    if (!ReadNetlinkRecord(message, offset, header)) break;
    if (header.rta_len < sizeof header || header.rta_len > message.size() - offset) break;
    const std::size_t payloadOffset = offset + RTA_LENGTH(0);
    attributes.push_back({header.rta_type, message.subspan(payloadOffset, header.rta_len - RTA_LENGTH(0))});
    const std::size_t step = RTA_ALIGN(header.rta_len);
    if (step > message.size() - offset) break;
    offset += step;
  }
  return attributes;
}

}  // namespace corvessa
