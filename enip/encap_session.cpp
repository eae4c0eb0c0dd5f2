#include "enip/encap_session.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>

#include "core/address.h"
#include "core/strings.h"
#include "enip/cancel_token.h"
#include "enip/enip_texts.h"
#include "enip/socket_api.h"
#include "enip/wsa_error.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define CORVESSA_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define CORVESSA_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define CORVESSA_POISON(address, size) ((void)(address), (void)(size))
#define CORVESSA_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace corvessa {
namespace {

struct SocketOption {
  int level;
  int name;
  int value;
  std::string_view text;
};

// Tried in this order, all three even when one fails.
constexpr std::array<SocketOption, 3> kSocketOptions = {{
    {SOL_SOCKET, SO_SNDBUF, static_cast<int>(ResponseBlockSize), text::kOptionSendBuffer},
    {SOL_SOCKET, SO_RCVBUF, static_cast<int>(ResponseBlockSize), text::kOptionReceiveBuffer},
    {IPPROTO_TCP, TCP_NODELAY, 1, text::kOptionNoDelay},
}};

// More WSAEWOULDBLOCK restarts than this end the wait as failed, so the loop
// is bounded even when the wait keeps failing at once.
constexpr int kMaxWaitRestarts = 100;

std::string ErrorText(int error) { return WsaErrorText(WsaCodeFromErrno(error)); }

// What is left of a wait until `end`; nothing once it has passed.
std::chrono::milliseconds TimeLeft(EncapSession::Clock::time_point end) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - EncapSession::Clock::now());
  return std::max(left, std::chrono::milliseconds::zero());
}

}  // namespace

EncapSession::EncapSession(const EnipContext& context)
    : context_(context), sockets_(context.sockets ? *context.sockets : SocketApi::System()) {}

EncapSession::~EncapSession() {
  Close();
  if (response_) CORVESSA_UNPOISON(response_.get(), ResponseBlockSize);
}

void EncapSession::Status(std::string_view text) const {
  // After a cancel the sockets fail because they were shut down, not because
  // of the device: nothing of that is reported.
  if (context_.status && !Stopped()) context_.status(text);
}

bool EncapSession::Stopped() const { return context_.cancel != nullptr && context_.cancel->Cancelled(); }

bool EncapSession::BlockAvailable(MessageBlock block) const {
  return !(context_.blockUnavailable && context_.blockUnavailable(block));
}

bool EncapSession::PrepareRequestBlock() {
  Status(LoadString(kIdsPrecreatingMessages));
  if (!BlockAvailable(MessageBlock::RegisterRequest)) {
    Status(LoadString(kIdsRegisterBlockAllocFailed));
    return false;
  }
  registerRequest_ = BuildRegisterSession();
  registerReady_ = true;
  return true;
}

bool EncapSession::PrepareResponseBlock() {
  if (BlockAvailable(MessageBlock::Response)) {
    response_.reset(new (std::nothrow) std::uint8_t[ResponseBlockSize]());
  }
  if (!response_) {
    Status(LoadString(kIdsResponseBlockAllocFailed));
    return false;
  }
  // Nothing received yet: any read of the block is a fault.
  CORVESSA_POISON(response_.get(), ResponseBlockSize);
  return true;
}

bool EncapSession::ObtainCommandBlock() const {
  if (BlockAvailable(MessageBlock::CommandRequest)) return true;
  Status(LoadString(kIdsCommandBlockAllocFailed));
  return false;
}

bool EncapSession::Open(const Relation& relation) {
  Close();
  handle_ = 0;
  device_ = RelationMacText(relation);
  const char* device = device_.c_str();

  Status(FormatString(kIdsCreatingSocket, device));
  socket_ = sockets_.Socket();
  if (socket_ < 0) {
    const int error = errno;
    Status(FormatText(text::kSocketCreateFailed, device, ErrorText(error).c_str()));
    return false;
  }
  if (context_.cancel != nullptr && !context_.cancel->Watch(socket_)) return false;

  Status(FormatString(kIdsBindingSocket, device));
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = 0;
  if (sockets_.Bind(socket_, local) != 0) {
    const int error = errno;
    Status(FormatString(kIdsSocketBindFailed, device, ErrorText(error).c_str()));
    return false;
  }

  Status(FormatString(kIdsSettingSocketOptions, device));
  bool optionsSet = true;
  for (const SocketOption& option : kSocketOptions) {
    if (sockets_.SetOption(socket_, option.level, option.name, option.value) != 0) {
      const int error = errno;
      const std::string name(option.text);
      Status(FormatString(kIdsSocketOptionFailed, name.c_str(), device, ErrorText(error).c_str()));
      optionsSet = false;
    }
  }
  if (!optionsSet) return false;

  Status(FormatString(kIdsConnecting, device));
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_addr.s_addr = htonl(relation.ipAddress);
  remote.sin_port = htons(context_.port);
  if (sockets_.Connect(socket_, remote, context_.connectTimeout) != 0) {
    const int error = errno;
    Status(FormatString(kIdsSocketConnectFailed, device, ErrorText(error).c_str()));
    return false;
  }
  return true;
}

bool EncapSession::RegisterSession(bool retryWouldBlock) {
  if (!registerReady_) return false;
  if (!Transact(registerRequest_, text::kLabelRegisterSession, false, retryWouldBlock)) {
    return false;
  }
  // Only the handle is taken; Transact has made sure the header is complete.
  handle_ = little_endian::Get32(Reply(), kEncapSessionHandleOffset).value_or(0);
  return true;
}

bool EncapSession::Transact(std::span<const std::uint8_t> request, std::string_view label,
                            bool announce, bool retryWouldBlock) {
  received_ = 0;
  if (socket_ < 0 || !response_ || Stopped()) return false;
  const std::string labelText(label);
  const char* labelC = labelText.c_str();
  const char* device = device_.c_str();

  if (announce) Status(FormatString(kIdsSendingCommand, labelC, device));

  const ssize_t sent = sockets_.Send(socket_, request);
  if (sent < 0) {
    const int error = errno;
    Status(FormatString(kIdsSocketSendFailed, device, labelC, ErrorText(error).c_str()));
    return false;
  }
  if (static_cast<std::size_t>(sent) < request.size()) {
    Status(FormatString(kIdsSocketSendPartial, static_cast<int>(sent),
                        static_cast<int>(request.size()), device, labelC));
    return false;
  }

  // The periods are counted from the send: whatever the device sends, and
  // however slowly, the reply is judged when the fourth period is over.
  Clock::time_point periodEnd = Clock::now() + context_.waitPeriod;
  int period = 0;
  int restarts = 0;
  for (;;) {
    Status(FormatString(kIdsWaitingForResponse, labelC, device));
    const int ready = sockets_.WaitReadable(socket_, TimeLeft(periodEnd));
    if (Stopped()) return false;
    if (ready > 0) break;
    if (ready < 0) {
      const int error = errno;
      // A local condition, not the device's doing: the period starts again.
      if (retryWouldBlock && WsaCodeFromErrno(error) == kWsaEWouldBlock &&
          restarts++ < kMaxWaitRestarts) {
        periodEnd = Clock::now() + context_.waitPeriod;
        continue;
      }
      Status(FormatString(kIdsSocketSelectFailed, device, labelC, ErrorText(error).c_str()));
      return false;
    }
    if (++period == kReplyWaitPeriods) {
      Status(FormatString(kIdsNoResponse, device, labelC));
      return false;
    }
    periodEnd += context_.waitPeriod;
  }
  const Clock::time_point deadline = periodEnd + (kReplyWaitPeriods - period - 1) * context_.waitPeriod;

  Status(FormatString(kIdsVerifyingResponse, device, labelC));
  if (!ReceiveReply(labelC, deadline)) return false;

  const auto status = little_endian::Get32(Reply(), kEncapStatusOffset);
  if (!status) return false;  // ReceiveReply guarantees the header; kept for safety
  if (*status != 0) {
    Status(FormatString(kIdsReceivedError, device, labelC, static_cast<int>(*status)));
    return false;
  }
  return true;
}

// The first receive takes whatever has arrived. When the header says more
// follows (a reply split over several segments), the rest is awaited until
// the reply's deadline, never past the response block; then the bytes that
// have arrived are judged.
bool EncapSession::ReceiveReply(const char* label, Clock::time_point deadline) {
  const char* device = device_.c_str();
  const std::span<std::uint8_t> block(response_.get(), ResponseBlockSize);
  for (bool first = true;; first = false) {
    const std::span<std::uint8_t> free = block.subspan(received_);
    CORVESSA_UNPOISON(free.data(), free.size());
    const ssize_t count = sockets_.Receive(socket_, free);
    const int error = errno;
    const std::size_t got = count > 0 ? static_cast<std::size_t>(count) : 0;
    CORVESSA_POISON(free.data() + got, free.size() - got);
    if (Stopped()) return false;
    if (count < 0) {
      Status(FormatString(kIdsSocketReceiveFailed, device, label, ErrorText(error).c_str()));
      return false;
    }
    if (count == 0) {
      if (first) {
        Status(FormatText(text::kConnectionClosed, device, label));
      } else {
        Status(FormatText(text::kIncompleteResponse, device, label, static_cast<int>(received_)));
      }
      return false;
    }
    received_ += got;
    if (received_ >= ExpectedReplySize(Reply())) return true;

    // Wait for the rest, but not past the deadline.
    const int ready =
        Clock::now() < deadline ? sockets_.WaitReadable(socket_, TimeLeft(deadline)) : 0;
    if (Stopped()) return false;
    if (ready < 0) {
      const int waitError = errno;
      Status(FormatString(kIdsSocketSelectFailed, device, label, ErrorText(waitError).c_str()));
      return false;
    }
    if (ready == 0) {
      Status(FormatText(text::kIncompleteResponse, device, label, static_cast<int>(received_)));
      return false;
    }
  }
}

void EncapSession::Close() {
  if (socket_ >= 0) {
    if (context_.cancel != nullptr) context_.cancel->Unwatch(socket_);
    sockets_.Close(socket_);
    socket_ = -1;
  }
}

std::span<const std::uint8_t> EncapSession::Reply() const {
  if (!response_) return {};
  return {response_.get(), received_};
}

}  // namespace corvessa
