#include "netconfig/netlink_dump.h"

#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace corvessa {
namespace {

// A dump of a busy host spans several reads; each is at most this long.
constexpr std::size_t kDumpBufferSize = 32 * 1024;
// The kernel answers at once; this only guards against a socket that never does.
constexpr int kDumpWaitMs = 1000;
constexpr int kDumpMaxReads = 4096;

}  // namespace

bool RunNetlinkDump(int protocol, std::span<const std::uint8_t> request,
                    const std::function<NetlinkDumpPart(std::span<const std::uint8_t>)>& walk) {
  const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, protocol);
  if (fd < 0) return false;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  bool done = false;
  if (sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) ==
      static_cast<ssize_t>(request.size())) {
    std::vector<std::uint8_t> buffer(kDumpBufferSize);
    for (int reads = 0; reads < kDumpMaxReads; ++reads) {
      pollfd waiting{fd, POLLIN, 0};
      if (poll(&waiting, 1, kDumpWaitMs) <= 0) break;
      const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      const NetlinkDumpPart part = walk(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
      if (part == NetlinkDumpPart::Error) break;
      if (part == NetlinkDumpPart::Done) {
        done = true;
        break;
      }
    }
  }
  close(fd);
  return done;
}

}  // namespace corvessa
