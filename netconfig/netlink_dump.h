#pragma once
// One netlink dump: a request to the kernel and the buffers of messages it
// sends back, read until the dump's end with every wait and read bounded.

#include <cstdint>
#include <functional>
#include <span>

namespace corvessa {

// What one buffer of a dump held.
enum class NetlinkDumpPart {
  More,   // the dump goes on in the next buffer
  Done,   // the end of the dump was in this buffer
  Error,  // the kernel refused the dump, or the buffer is malformed
};

// Sends `request` (a whole netlink message) to the kernel on a new socket of
// `protocol` and hands each buffer that comes back to `walk`. True once walk
// has seen the end of the dump; false when the socket cannot be used, the
// kernel refuses or falls silent, or walk reports an error.
[[nodiscard]] bool RunNetlinkDump(int protocol, std::span<const std::uint8_t> request,
                                  const std::function<NetlinkDumpPart(std::span<const std::uint8_t>)>& walk);

}  // namespace corvessa
