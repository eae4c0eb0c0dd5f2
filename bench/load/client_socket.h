#pragma once
// The load generator's UDP socket: port 68 on one interface of the namespace
// the calling thread is in, broadcast allowed, with a receive buffer large
// enough that no reply of a burst is lost on this side.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bench/load/burst.h"

namespace corvessa::load {

inline constexpr std::uint16_t kServerPort = 67;
inline constexpr std::uint16_t kClientPort = 68;
inline constexpr std::uint32_t kBroadcastAddress = 0xFFFFFFFF;

class ClientSocket {
 public:
  ClientSocket() = default;
  ~ClientSocket();
  ClientSocket(const ClientSocket&) = delete;
  ClientSocket& operator=(const ClientSocket&) = delete;

  // Binds 0.0.0.0:68 on `device`. False, with the reason in Error(), when a
  // step fails.
  [[nodiscard]] bool Open(const std::string& device);
  void Close();
  int Fd() const { return fd_; }
  const std::string& Error() const { return error_; }

  // One datagram to `address`:67 (host order). Waits while the send buffer is full.
  bool SendTo(std::span<const std::uint8_t> bytes, std::uint32_t address);
  // Waits at most until `deadline` for one datagram.
  std::optional<std::size_t> Receive(std::span<std::uint8_t> buffer, TimePoint deadline);

 private:
  int fd_ = -1;
  std::string error_;
};

// A Wire over a ClientSocket: every request is broadcast.
class SocketWire final : public Wire {
 public:
  explicit SocketWire(ClientSocket& socket) : socket_(socket) {}
  TimePoint Now() override { return LoadClock::now(); }
  bool Send(std::span<const std::uint8_t> bytes) override { return socket_.SendTo(bytes, kBroadcastAddress); }
  std::optional<std::size_t> Receive(std::span<std::uint8_t> buffer, TimePoint deadline) override {
    return socket_.Receive(buffer, deadline);
  }

 private:
  ClientSocket& socket_;
};

}  // namespace corvessa::load
