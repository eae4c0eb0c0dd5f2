#pragma once
// The socket calls an EtherNet/IP session makes, behind an interface so tests
// can make single calls fail. Every call returns -1 and sets errno on failure,
// as the system calls do.

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <sys/types.h>

namespace corvessa {

class SocketApi {
 public:
  virtual ~SocketApi() = default;

  // IPv4 stream socket.
  virtual int Socket();
  virtual int Bind(int fd, const sockaddr_in& local);
  // A 4-byte integer option.
  virtual int SetOption(int fd, int level, int name, int value);
  // A blocking connect that gives up after `timeout` with ETIMEDOUT; the
  // socket is blocking again afterwards.
  virtual int Connect(int fd, const sockaddr_in& remote, std::chrono::milliseconds timeout);
  virtual ssize_t Send(int fd, std::span<const std::uint8_t> bytes);
  // 1 when readable, 0 when `period` passed without data, -1 on error.
  virtual int WaitReadable(int fd, std::chrono::milliseconds period);
  virtual ssize_t Receive(int fd, std::span<std::uint8_t> into);
  virtual int Close(int fd);

  // The real calls.
  static SocketApi& System();
};

}  // namespace corvessa
