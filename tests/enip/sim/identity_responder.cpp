// List Identity over UDP: one socket on every address of the namespace, one
// thread, an eventfd that wakes it when the test ends.

#include "tests/enip/sim/identity_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "tests/enip/sim/sim_bytes.h"

namespace corvessa::enipsim {
namespace {

constexpr std::uint16_t kListIdentity = 0x0063;
constexpr std::uint16_t kIdentityItem = 0x000C;
// Some item type that is not an identity (a vendor-specific one).
constexpr std::uint16_t kOtherItem = 0x8001;
constexpr std::uint32_t kInvalidCommand = 0x0001;


Bytes IdentityItem(const IdentityConfig& config) {
  Bytes item;
  Le16(item, config.protocolVersion);       // encapsulation protocol version
  Be16(item, config.socketFamily);          // sin_family
  Be16(item, config.socketPort);            // sin_port
  Be32(item, config.socketAddress);         // sin_addr
  item.insert(item.end(), 8, 0);            // sin_zero
  Le16(item, config.vendorId);              // vendor ID
  Le16(item, config.deviceType);            // device type
  Le16(item, config.productCode);           // product code
  item.push_back(config.revisionMajor);     // revision: major
  item.push_back(config.revisionMinor);     //           minor
  Le16(item, config.status);                // status
  Le32(item, config.serialNumber);          // serial number
  const std::size_t nameLength = std::min<std::size_t>(config.productName.size(), 255);
  const bool overrun = config.fault == IdentityFault::NameOverrun;
  item.push_back(static_cast<std::uint8_t>(overrun ? nameLength + 40 : nameLength));  // name length
  item.insert(item.end(), config.productName.begin(), config.productName.begin() + static_cast<std::ptrdiff_t>(nameLength));
  if (config.state && !overrun) item.push_back(*config.state);  // state
  return item;
}

}  // namespace

Bytes BuildIdentityReply(const IdentityConfig& config, std::span<const std::uint8_t> request) {
  if (request.size() < 24 || request[0] != (kListIdentity & 0xFF) || request[1] != (kListIdentity >> 8)) return {};
  if (config.fault == IdentityFault::Silent) return {};

  Bytes body;
  Le16(body, 1);  // item count
  const Bytes item = config.fault == IdentityFault::NoIdentityItem ? Bytes{0x01, 0x02, 0x03} : IdentityItem(config);
  Le16(body, config.fault == IdentityFault::NoIdentityItem ? kOtherItem : kIdentityItem);  // item type
  Le16(body, static_cast<std::uint16_t>(item.size()));                                    // item length
  body.insert(body.end(), item.begin(), item.end());

  Bytes reply;
  Le16(reply, kListIdentity);  // command
  const std::size_t announced = config.fault == IdentityFault::LongLength ? body.size() + 16 : body.size();
  Le16(reply, static_cast<std::uint16_t>(announced));  // length
  Le32(reply, 0);                                      // session handle
  Le32(reply, config.fault == IdentityFault::ErrorStatus ? kInvalidCommand : 0);  // status
  reply.insert(reply.end(), request.begin() + 12, request.begin() + 20);         // sender context, echoed
  Le32(reply, 0);                                                                 // options
  reply.insert(reply.end(), body.begin(), body.end());
  if (config.fault == IdentityFault::Truncate) reply.resize(std::min(reply.size(), config.faultBytes));
  return reply;
}

IdentityResponder::IdentityResponder(IdentityConfig config, std::uint16_t port) : config_(std::move(config)) {
  socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  wake_ = ::eventfd(0, EFD_CLOEXEC);
  if (socket_ < 0 || wake_ < 0) return;
  const int yes = 1;
  ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return;
  socklen_t size = sizeof local;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return;
  port_ = ntohs(local.sin_port);
  ok_ = true;
  thread_ = std::thread([this] { Run(); });
}

IdentityResponder::~IdentityResponder() {
  Stop();
  if (socket_ >= 0) ::close(socket_);
  if (wake_ >= 0) ::close(wake_);
}

void IdentityResponder::Stop() {
  stopping_ = true;
  if (wake_ >= 0) {
    const std::uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
  }
  if (thread_.joinable()) thread_.join();
}

int IdentityResponder::Requests() const { return requests_; }

void IdentityResponder::Run() {
  while (!stopping_) {
    pollfd waits[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) continue;
    if (waits[1].revents != 0) return;
    std::uint8_t request[1500];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t n = ::recvfrom(socket_, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) continue;
    ++requests_;
    const Bytes reply = BuildIdentityReply(config_, std::span<const std::uint8_t>(request, static_cast<std::size_t>(n)));
    if (reply.empty()) continue;
    if (config_.delay.count() > 0 && !Pause(config_.delay)) return;
    const int copies = config_.fault == IdentityFault::Twice ? 2 : 1;
    for (int i = 0; i < copies; ++i) {
      ::sendto(socket_, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from), fromSize);
    }
  }
}

bool IdentityResponder::Pause(std::chrono::milliseconds length) {
  pollfd wait{wake_, POLLIN, 0};
  const int ready = ::poll(&wait, 1, static_cast<int>(length.count()));
  return ready == 0 && !stopping_;
}

}  // namespace corvessa::enipsim
