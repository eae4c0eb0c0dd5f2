#pragma once
// Netlink messages come from the kernel in the host's own byte order, laid
// out as the kernel's structures. A record is copied out of a received buffer
// only after its length has been checked against the buffer's.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace corvessa {

template <typename T>
[[nodiscard]] bool ReadNetlinkRecord(std::span<const std::uint8_t> buffer, std::size_t offset, T& record) {
  if (offset > buffer.size() || sizeof(T) > buffer.size() - offset) return false;
  std::memcpy(&record, buffer.data() + offset, sizeof(T));
  return true;
}

}  // namespace corvessa
