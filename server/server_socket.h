#pragma once
// The UDP server socket on port 67. It knows nothing of windows: its owner
// watches Fd() for readability and calls Receive once per event.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "server/reply.h"

namespace corvessa {

// One byte more than a message holds, so that a longer datagram is noticed.
inline constexpr std::size_t kReceiveBufferSize = kBootpMessageSize + 1;
// Large enough that a burst of requests waits in the kernel while the window
// is busy with a command.
inline constexpr int kSocketReceiveBufferBytes = 4 * 1024 * 1024;

enum class ReceiveStatus {
  Datagram,    // one datagram of `length` bytes is in the buffer
  Nothing,     // no datagram was waiting (a spurious read event)
  TooLong,     // a datagram longer than kBootpMessageSize; it is lost
  Error,       // the receive failed
};

struct ReceiveResult {
  ReceiveStatus status = ReceiveStatus::Error;
  std::size_t length = 0;     // real datagram length, also when too long
  int interfaceIndex = 0;     // interface the datagram arrived on, 0 if unknown
  std::uint32_t source = 0;   // sender address, host order
  std::uint16_t sourcePort = 0;
};

class ServerSocket final : public DatagramSender {
 public:
  ServerSocket() = default;
  ~ServerSocket() override;
  ServerSocket(const ServerSocket&) = delete;
  ServerSocket& operator=(const ServerSocket&) = delete;

  // Creates the non-blocking socket and binds it to 0.0.0.0:`port`. With a
  // non-empty `device` it receives and sends on that interface only
  // (SO_BINDTODEVICE); the interface's index is also where unsolicited sends
  // go. Returns false, with errno kept in LastError(), and no socket left open.
  [[nodiscard]] bool Create(std::string_view device, bool bindToDevice, std::uint16_t port = kBootpServerPort);
  // SO_BROADCAST = 1.
  [[nodiscard]] bool EnableBroadcast();
  void Close();

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  int LastError() const { return lastError_; }
  // Kernel inode of the socket, as /proc/net/udp lists it; 0 when closed.
  unsigned long Inode() const;
  // Interface index of the device named at Create, 0 when none or unknown.
  int HomeInterfaceIndex() const { return homeIndex_; }

  // Address the replies leave from (host order); 0 lets the kernel choose.
  void SetSourceAddress(std::uint32_t address) { sourceAddress_ = address; }

  // Reads one datagram into `buffer`, which holds kReceiveBufferSize bytes.
  ReceiveResult Receive(std::uint8_t* buffer, std::size_t capacity);
  // True when a datagram (or an error) is waiting to be received; never blocks.
  bool DatagramWaiting() const;

  // Sends from the source address through the interface the last datagram
  // arrived on (else the home interface), so that broadcasts never leave by
  // the default route of another interface.
  bool SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) override;
  // Sends a message that answers no request (the reset message) through the
  // home interface.
  bool SendUnsolicited(const std::uint8_t* data, std::size_t length, Endpoint destination);

 private:
  int SendOnce(const std::uint8_t* data, std::size_t length, Endpoint destination, std::uint32_t source,
               int interfaceIndex);

  int fd_ = -1;
  int lastError_ = 0;
  int homeIndex_ = 0;
  int lastArrivalIndex_ = 0;
  std::uint32_t sourceAddress_ = 0;
};

}  // namespace corvessa
