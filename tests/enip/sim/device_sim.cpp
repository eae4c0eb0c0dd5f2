// The simulated adapter's socket side: one listening socket on 127.0.0.1, one
// connection served at a time (the client under test is sequential), and an
// eventfd that wakes every wait when the test ends.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <utility>

#include "core/bytes.h"
#include "tests/enip/sim/device_sim.h"

namespace corvessa::enipsim {
namespace {

constexpr std::size_t kHeaderSize = 24;
// Pause between the pieces of a split reply, long enough for the client to
// receive the first piece on its own.
constexpr auto kSplitPause = std::chrono::milliseconds(200);

bool SendAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace

DeviceSim::DeviceSim(DeviceConfig config, std::uint16_t port, std::uint32_t address)
    : config_(std::move(config)) {
  state_.configurationControl = config_.configurationControl;
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  wake_ = ::eventfd(0, EFD_CLOEXEC);
  if (listener_ < 0 || wake_ < 0) return;
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(address);
  local.sin_port = htons(port);
  if (::bind(listener_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return;
  socklen_t size = sizeof local;
  if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return;
  port_ = ntohs(local.sin_port);
  // A bound socket that does not listen refuses every connection.
  if (config_.mode == ConnectionMode::Refuse) {
    ok_ = true;
    return;
  }
  if (::listen(listener_, 16) != 0) return;
  ok_ = true;
  thread_ = std::thread([this] { Run(); });
}

DeviceSim::~DeviceSim() {
  Stop();
  if (listener_ >= 0) ::close(listener_);
  if (wake_ >= 0) ::close(wake_);
}

void DeviceSim::Stop() {
  stopping_ = true;
  if (wake_ >= 0) {
    const std::uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
  }
  if (thread_.joinable()) thread_.join();
}

void DeviceSim::Run() {
  int index = 0;
  while (!stopping_) {
    pollfd waits[2] = {{listener_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) continue;
    if (waits[1].revents != 0) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    {
      const std::lock_guard lock(mutex_);
      ++connections_;
    }
    if (config_.mode != ConnectionMode::CloseAtAccept) {
      const int yes = 1;
      ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
      Serve(connection, index);
    }
    ::close(connection);
    ++index;
  }
}

void DeviceSim::Serve(int connection, int index) {
  Bytes pending;
  while (!stopping_) {
    pollfd waits[2] = {{connection, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) continue;
    if (waits[1].revents != 0) return;
    std::uint8_t chunk[4096];
    const ssize_t count = ::recv(connection, chunk, sizeof chunk, 0);
    if (count <= 0) return;
    pending.insert(pending.end(), chunk, chunk + count);
    // Answer every complete message that has arrived.
    for (;;) {
      const auto length = little_endian::Get16(pending, 2);
      if (pending.size() < kHeaderSize || !length) break;
      const std::size_t size = kHeaderSize + *length;
      if (pending.size() < size) break;
      const Bytes request(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      if (!Answer(connection, index, request)) return;
    }
  }
}

bool DeviceSim::Answer(int connection, int index, std::span<const std::uint8_t> request) {
  int number = 0;
  Bytes reply;
  {
    const std::lock_guard lock(mutex_);
    number = static_cast<int>(requests_.size());
    requests_.push_back({index, Bytes(request.begin(), request.end())});
    if (config_.mode == ConnectionMode::Silent) return true;
    reply = BuildSimReply(config_, state_, request);
    replies_.push_back(reply);
  }
  FaultRule fault;
  for (const FaultRule& rule : config_.faults) {
    if (rule.request == number) fault = rule;
  }
  const std::size_t cut = std::min(fault.bytes, reply.size());
  switch (fault.fault) {
    case ReplyFault::None:
      return SendReply(connection, std::move(reply));
    case ReplyFault::Split:
      if (!SendAll(connection, std::span(reply).first(cut))) return false;
      std::this_thread::sleep_for(kSplitPause);
      return SendAll(connection, std::span(reply).subspan(cut));
    case ReplyFault::Truncate:
      return SendAll(connection, std::span(reply).first(cut));
    case ReplyFault::TruncateAndClose:
      SendAll(connection, std::span(reply).first(cut));
      return false;
    case ReplyFault::Close:
      return false;
    case ReplyFault::Silent:
      return true;
    case ReplyFault::ServiceByte:
      // The reply item's data starts after the header, the interface handle,
      // the timeout, the item count and the two item headers.
      if (reply.size() > 40) reply[40] = static_cast<std::uint8_t>(fault.bytes);
      return SendAll(connection, reply);
  }
  return false;
}

bool DeviceSim::SendReply(int connection, Bytes reply) {
  switch (config_.mode) {
    case ConnectionMode::Trickle:
      for (std::size_t i = 0; i < reply.size(); ++i) {
        if ((i > 0 && !Pause(config_.trickleInterval)) || !SendAll(connection, std::span(reply).subspan(i, 1))) {
          return false;
        }
      }
      return true;
    case ConnectionMode::HugeLength:
      if (reply.size() >= kHeaderSize) {
        reply[2] = 0xFF;
        reply[3] = 0xFF;
      }
      return SendAll(connection, reply);
    case ConnectionMode::CloseMidReply:
      SendAll(connection, std::span(reply).first(reply.size() / 2));
      return false;
    case ConnectionMode::Slow:
      return Pause(config_.slowDelay) && SendAll(connection, reply);
    default:
      return SendAll(connection, reply);
  }
}

bool DeviceSim::Pause(std::chrono::milliseconds length) {
  pollfd wait{wake_, POLLIN, 0};
  const auto end = std::chrono::steady_clock::now() + length;
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return !stopping_;
    const int ready = ::poll(&wait, 1, static_cast<int>(left));
    if (ready > 0 || stopping_) return false;
  }
}

std::vector<ReceivedRequest> DeviceSim::Requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<Bytes> DeviceSim::Replies() const {
  const std::lock_guard lock(mutex_);
  return replies_;
}

std::optional<std::uint32_t> DeviceSim::LastConfigurationWrite() const {
  const std::lock_guard lock(mutex_);
  return state_.lastConfigurationWrite;
}

int DeviceSim::Connections() const {
  const std::lock_guard lock(mutex_);
  return connections_;
}

}  // namespace corvessa::enipsim
