#include "enip/identity_scan.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace corvessa {
namespace {

constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;
// Larger than any reply a device sends; a longer datagram is malformed.
constexpr std::size_t kReplyBufferSize = 2048;
// Reads per read event; whatever is left makes the socket readable again, so
// a flood of replies never holds the window's thread for long.
constexpr int kMaxReadsPerEvent = 64;

}  // namespace

IdentityScan::~IdentityScan() { Close(); }

void IdentityScan::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool IdentityScan::Start(std::string_view interfaceName, Clock::time_point now, std::chrono::milliseconds wait) {
  Close();
  devices_.clear();
  malformed_ = 0;
  error_ = 0;
  const std::string name(interfaceName);
  interfaceIndex_ = static_cast<int>(if_nametoindex(name.c_str()));
  if (interfaceIndex_ == 0) {
    error_ = ENODEV;
    return false;
  }
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  const int on = 1;
  // Without the interface binding the broadcast could leave on any interface:
  // no binding, no scan.
  if (::setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, name.c_str(), static_cast<socklen_t>(name.size())) != 0 ||
      ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
    error_ = errno;
    Close();
    return false;
  }
  const ListIdentityRequest request = BuildListIdentity();
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kEnipUdpPort);
  to.sin_addr.s_addr = htonl(kLimitedBroadcast);
  if (::sendto(fd_, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) !=
      static_cast<ssize_t>(request.size())) {
    error_ = errno;
    Close();
    return false;
  }
  deadline_ = now + wait;
  return true;
}

void IdentityScan::SendRequest(std::uint32_t address) {
  const ListIdentityRequest request = BuildListIdentity();
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kEnipUdpPort);
  to.sin_addr.s_addr = htonl(address);
  // A lost nudge only leaves the MAC unknown.
  (void)::sendto(fd_, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void IdentityScan::OnReadable() {
  if (fd_ < 0) return;
  const std::size_t firstNew = devices_.size();
  std::array<std::uint8_t, kReplyBufferSize> buffer{};
  for (int reads = 0; reads < kMaxReadsPerEvent; ++reads) {
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    // MSG_TRUNC: the datagram's whole length, even when it did not fit.
    const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC, reinterpret_cast<sockaddr*>(&from),
                                 &fromSize);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;  // EAGAIN: nothing more waiting
    }
    const auto received = static_cast<std::size_t>(n);
    const auto identity = received <= buffer.size()
                              ? ParseListIdentityReply(std::span<const std::uint8_t>(buffer.data(), received))
                              : std::nullopt;
    if (!identity || fromSize < sizeof from || from.sin_family != AF_INET) {
      ++malformed_;
      continue;
    }
    const std::uint32_t address = ntohl(from.sin_addr.s_addr);
    const bool known = std::any_of(devices_.begin(), devices_.end(),
                                   [&](const ScannedDevice& device) { return device.address == address; });
    if (known || devices_.size() >= kMaxScannedDevices) continue;
    devices_.push_back({address, *identity, std::nullopt});
  }
  if (devices_.size() > firstNew) ResolveNewDevices(firstNew);
}

void IdentityScan::ResolveNewDevices(std::size_t firstNew) {
  const auto entries = ReadNeighbours(interfaceIndex_);
  for (std::size_t i = firstNew; i < devices_.size(); ++i) {
    const NeighbourEntry* entry = entries ? FindNeighbour(*entries, devices_[i].address) : nullptr;
    if (entry == nullptr || ConfidenceOf(*entry) == NeighbourConfidence::None) SendRequest(devices_[i].address);
  }
}

std::vector<ScannedDevice> IdentityScan::Finish() {
  Close();
  const auto entries = ReadNeighbours(interfaceIndex_);
  for (ScannedDevice& device : devices_) {
    const NeighbourEntry* entry = entries ? FindNeighbour(*entries, device.address) : nullptr;
    if (entry != nullptr && ConfidenceOf(*entry) != NeighbourConfidence::None) device.mac = entry->mac;
  }
  std::vector<ScannedDevice> devices = std::move(devices_);
  devices_.clear();
  std::sort(devices.begin(), devices.end(),
            [](const ScannedDevice& a, const ScannedDevice& b) { return a.address < b.address; });
  return devices;
}

}  // namespace corvessa
