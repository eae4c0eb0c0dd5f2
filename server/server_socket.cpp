#include "server/server_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <poll.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvessa {

namespace {

constexpr int kOn = 1;

// Ancillary buffer for exactly one in_pktinfo.
struct PktInfoControl {
  alignas(cmsghdr) unsigned char bytes[CMSG_SPACE(sizeof(in_pktinfo))];
};

void SetReceiveBuffer(int fd) {
  // SO_RCVBUFFORCE passes the system limit but needs CAP_NET_ADMIN; without
  // it the ordinary option still gives what the limit allows. Neither is
  // worth refusing to serve over.
  const int bytes = kSocketReceiveBufferBytes;
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
  (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

bool IsSourceAddressRefusal(int error) {
  return error == EINVAL || error == ENETUNREACH || error == EADDRNOTAVAIL;
}

}  // namespace

ServerSocket::~ServerSocket() { Close(); }

bool ServerSocket::DatagramWaiting() const {
  if (fd_ < 0) return false;
  pollfd watched{fd_, POLLIN, 0};
  return ::poll(&watched, 1, 0) > 0 && (watched.revents & (POLLIN | POLLERR)) != 0;
}

bool ServerSocket::Create(std::string_view device, bool bindToDevice, std::uint16_t port) {
  Close();
  lastError_ = 0;
  homeIndex_ = 0;
  lastArrivalIndex_ = 0;

  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  const auto fail = [&](int error) {
    lastError_ = error;
    homeIndex_ = 0;
    ::close(fd);
    return false;
  };

  // The arrival interface of each request decides where its reply leaves.
  if (setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &kOn, sizeof kOn) != 0) return fail(errno);
  SetReceiveBuffer(fd);

  if (!device.empty()) {
    const std::string name(device);
    if (name.size() >= IFNAMSIZ) return fail(ENODEV);
    homeIndex_ = static_cast<int>(if_nametoindex(name.c_str()));
    if (bindToDevice &&
        setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, name.c_str(), static_cast<socklen_t>(name.size() + 1)) != 0) {
      return fail(errno);
    }
  }

  // Requests from devices without an address are broadcasts; only a socket on
  // the wildcard address receives them on Linux.
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return fail(errno);

  fd_ = fd;
  return true;
}

bool ServerSocket::EnableBroadcast() {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  if (setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &kOn, sizeof kOn) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

void ServerSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  lastArrivalIndex_ = 0;
}

unsigned long ServerSocket::Inode() const {
  struct stat info {};
  if (fd_ < 0 || fstat(fd_, &info) != 0) return 0;
  return static_cast<unsigned long>(info.st_ino);
}

ReceiveResult ServerSocket::Receive(std::uint8_t* buffer, std::size_t capacity) {
  ReceiveResult result;
  if (fd_ < 0 || buffer == nullptr) {
    lastError_ = EBADF;
    return result;
  }
  sockaddr_in from{};
  iovec vector{buffer, capacity};
  PktInfoControl control{};
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &vector;
  message.msg_iovlen = 1;
  message.msg_control = control.bytes;
  message.msg_controllen = sizeof control.bytes;

  ssize_t n = 0;
  do {
    // MSG_TRUNC makes the kernel report the real length of a longer datagram.
    n = recvmsg(fd_, &message, MSG_TRUNC);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      result.status = ReceiveStatus::Nothing;
      return result;
    }
    lastError_ = errno;
    return result;
  }

  result.length = static_cast<std::size_t>(n);
  result.source = ntohl(from.sin_addr.s_addr);
  result.sourcePort = ntohs(from.sin_port);
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO && c->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
      in_pktinfo info{};
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      result.interfaceIndex = info.ipi_ifindex;
    }
  }
  if (result.length > kBootpMessageSize || result.length > capacity || (message.msg_flags & MSG_TRUNC) != 0) {
    result.status = ReceiveStatus::TooLong;
    lastError_ = EMSGSIZE;
    return result;
  }
  lastArrivalIndex_ = result.interfaceIndex;
  result.status = ReceiveStatus::Datagram;
  return result;
}

int ServerSocket::SendOnce(const std::uint8_t* data, std::size_t length, Endpoint destination, std::uint32_t source,
                           int interfaceIndex) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(destination.port);
  to.sin_addr.s_addr = htonl(destination.address);
  iovec vector{const_cast<std::uint8_t*>(data), length};
  PktInfoControl control{};
  msghdr message{};
  message.msg_name = &to;
  message.msg_namelen = sizeof to;
  message.msg_iov = &vector;
  message.msg_iovlen = 1;
  if (source != 0 || interfaceIndex != 0) {
    message.msg_control = control.bytes;
    message.msg_controllen = sizeof control.bytes;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = interfaceIndex;
    info.ipi_spec_dst.s_addr = htonl(source);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
  }
  ssize_t n = 0;
  do {
    n = sendmsg(fd_, &message, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno;
  return static_cast<std::size_t>(n) == length ? 0 : EMSGSIZE;
}

bool ServerSocket::SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  const int interfaceIndex = lastArrivalIndex_ != 0 ? lastArrivalIndex_ : homeIndex_;
  int error = SendOnce(data, length, destination, sourceAddress_, interfaceIndex);
  if (error != 0 && sourceAddress_ != 0 && IsSourceAddressRefusal(error)) {
    // The stored server address is not (or no longer) one of this host's
    // addresses; the kernel refuses it as a source. Sending from the
    // interface's own address still reaches the device.
    error = SendOnce(data, length, destination, 0, interfaceIndex);
  }
  lastError_ = error;
  return error == 0;
}

bool ServerSocket::SendUnsolicited(const std::uint8_t* data, std::size_t length, Endpoint destination) {
  const int arrival = lastArrivalIndex_;
  lastArrivalIndex_ = 0;
  const bool sent = SendTo(data, length, destination);
  lastArrivalIndex_ = arrival;
  return sent;
}

}  // namespace corvessa
