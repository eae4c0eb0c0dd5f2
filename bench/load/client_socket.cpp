#include "bench/load/client_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvessa::load {

namespace {

constexpr int kOn = 1;
constexpr int kBufferBytes = 8 * 1024 * 1024;
// The longest single wait, so that a deadline far away never overflows poll's int.
constexpr int kLongestPollMs = 1000;

void SetBuffer(int fd, int forced, int plain) {
  // The forced option passes the system limit when we may (root); otherwise
  // the plain one gives what the limit allows.
  if (setsockopt(fd, SOL_SOCKET, forced, &kBufferBytes, sizeof kBufferBytes) == 0) return;
  (void)setsockopt(fd, SOL_SOCKET, plain, &kBufferBytes, sizeof kBufferBytes);
}

}  // namespace

ClientSocket::~ClientSocket() { Close(); }

void ClientSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool ClientSocket::Open(const std::string& device) {
  Close();
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error_ = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const auto fail = [&](const char* step) {
    error_ = std::string(step) + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  };
  if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &kOn, sizeof kOn) != 0) return fail("SO_BROADCAST");
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &kOn, sizeof kOn) != 0) return fail("SO_REUSEADDR");
  if (device.size() >= IFNAMSIZ ||
      setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), static_cast<socklen_t>(device.size() + 1)) != 0) {
    return fail("SO_BINDTODEVICE");
  }
  SetBuffer(fd, SO_RCVBUFFORCE, SO_RCVBUF);
  SetBuffer(fd, SO_SNDBUFFORCE, SO_SNDBUF);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(kClientPort);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return fail("bind");
  fd_ = fd;
  return true;
}

bool ClientSocket::SendTo(std::span<const std::uint8_t> bytes, std::uint32_t address) {
  if (fd_ < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kServerPort);
  to.sin_addr.s_addr = htonl(address);
  ssize_t n = 0;
  do {
    n = sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (n < 0 && errno == EINTR);
  return n >= 0 && static_cast<std::size_t>(n) == bytes.size();
}

std::optional<std::size_t> ClientSocket::Receive(std::span<std::uint8_t> buffer, TimePoint deadline) {
  if (fd_ < 0) return std::nullopt;
  for (;;) {
    const ssize_t n = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - LoadClock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd entry{fd_, POLLIN, 0};
    const int ready = poll(&entry, 1, static_cast<int>(std::min<long long>(left, kLongestPollMs)));
    if (ready < 0 && errno != EINTR) return std::nullopt;
  }
}

}  // namespace corvessa::load
