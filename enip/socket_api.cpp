#include "enip/socket_api.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace corvessa {
namespace {

using Clock = std::chrono::steady_clock;

// Rounded up: a wait never ends before its deadline.
int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// poll() until `events` or the deadline. A signal does not end the wait early:
// the remaining time is waited for again.
int PollUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int result = ::poll(&entry, 1, MillisecondsLeft(deadline));
    if (result >= 0 || errno != EINTR) return result;
  }
}

bool SetBlocking(int fd, bool blocking) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return ::fcntl(fd, F_SETFL, wanted) == 0;
}

}  // namespace

int SocketApi::Socket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }

int SocketApi::Bind(int fd, const sockaddr_in& local) {
  return ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
}

int SocketApi::SetOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value);
}

// A blocking connect to an address that never answers would hold the window
// for about two minutes; the connect runs non-blocking and is given up after
// the time-out instead.
int SocketApi::Connect(int fd, const sockaddr_in& remote, std::chrono::milliseconds timeout) {
  if (!SetBlocking(fd, false)) return -1;
  int error = 0;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
    error = errno;
    if (error == EINPROGRESS || error == EINTR) {
      const int ready = PollUntil(fd, POLLOUT, Clock::now() + timeout);
      if (ready == 0) {
        error = ETIMEDOUT;
      } else if (ready < 0) {
        error = errno;
      } else {
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
      }
    }
  }
  if (!SetBlocking(fd, true) && error == 0) error = errno;
  if (error != 0) {
    errno = error;
    return -1;
  }
  return 0;
}

ssize_t SocketApi::Send(int fd, std::span<const std::uint8_t> bytes) {
  // MSG_NOSIGNAL: a device that has closed the connection must fail the send,
  // not end the program with SIGPIPE.
  for (;;) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent >= 0 || errno != EINTR) return sent;
  }
}

int SocketApi::WaitReadable(int fd, std::chrono::milliseconds period) {
  return PollUntil(fd, POLLIN, Clock::now() + period);
}

ssize_t SocketApi::Receive(int fd, std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t received = ::recv(fd, into.data(), into.size(), 0);
    if (received >= 0 || errno != EINTR) return received;
  }
}

int SocketApi::Close(int fd) { return ::close(fd); }

SocketApi& SocketApi::System() {
  static SocketApi system;
  return system;
}

}  // namespace corvessa
