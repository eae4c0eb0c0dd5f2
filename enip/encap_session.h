#pragma once
// One TCP connection to a device's EtherNet/IP port, its registered session
// handle and the block into which its replies are received. A session lives
// for one flow; its socket is closed on every way out.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "enip/enip_context.h"
#include "enip/encap_message.h"
#include "relations/relation_table.h"

namespace corvessa {

// Wait periods per reply: the first and three more.
inline constexpr int kReplyWaitPeriods = 4;

class EncapSession {
 public:
  using Clock = std::chrono::steady_clock;

  explicit EncapSession(const EnipContext& context);
  ~EncapSession();
  EncapSession(const EncapSession&) = delete;
  EncapSession& operator=(const EncapSession&) = delete;

  // "Precreating messages..." and the Register Session request.
  [[nodiscard]] bool PrepareRequestBlock();
  [[nodiscard]] bool PrepareResponseBlock();
  // A CIP request block of an operation (reported when it cannot be had).
  [[nodiscard]] bool ObtainCommandBlock() const;

  // Creates, binds, tunes and connects the socket to the relation's address.
  [[nodiscard]] bool Open(const Relation& relation);
  // `retryWouldBlock`: a wait that fails with WSAEWOULDBLOCK starts again.
  [[nodiscard]] bool RegisterSession(bool retryWouldBlock = false);
  // Sends one request and receives one complete reply into the response
  // block; fails on a transport error or a non-zero encapsulation status.
  // The reply has kReplyWaitPeriods wait periods from the send, however the
  // device sends it; then what has arrived is judged.
  [[nodiscard]] bool Transact(std::span<const std::uint8_t> request, std::string_view label,
                              bool announce, bool retryWouldBlock = false);
  void Close();

  std::uint32_t Handle() const { return handle_; }
  // The bytes of the last reply that were actually received.
  std::span<const std::uint8_t> Reply() const;
  const std::string& DeviceText() const { return device_; }
  void Status(std::string_view text) const;
  // The context's cancel token has been cancelled: the flow stops silently.
  [[nodiscard]] bool Stopped() const;

 private:
  [[nodiscard]] bool BlockAvailable(MessageBlock block) const;
  [[nodiscard]] bool ReceiveReply(const char* label, Clock::time_point deadline);

  const EnipContext& context_;
  SocketApi& sockets_;
  int socket_ = -1;
  std::uint32_t handle_ = 0;
  std::string device_;
  bool registerReady_ = false;
  RegisterSessionRequest registerRequest_{};
  std::unique_ptr<std::uint8_t[]> response_;
  std::size_t received_ = 0;
};

}  // namespace corvessa
