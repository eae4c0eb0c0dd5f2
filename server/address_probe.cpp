#include "server/address_probe.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace corvessa {
namespace {

constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpEchoRequest = 8;
constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kIcmpSequenceOffset = 6;
// The discard port: a datagram there asks nothing of the device; it only
// makes the kernel resolve the address.
constexpr std::uint16_t kDiscardPort = 9;
// Reads per read event, as for the server socket: a flood of echo replies
// never holds the window's thread for long.
constexpr int kMaxReadsPerEvent = 64;

int BoundSocket(int protocol, const std::string& interfaceName, int& error) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  if (::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                   static_cast<socklen_t>(interfaceName.size())) != 0) {
    error = errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

AddressProbe::~AddressProbe() { Close(); }

bool AddressProbe::Open(std::string_view interfaceName) {
  Close();
  error_ = 0;
  interfaceName_ = std::string(interfaceName);
  interfaceIndex_ = static_cast<int>(if_nametoindex(interfaceName_.c_str()));
  if (interfaceIndex_ == 0) {
    error_ = ENODEV;
    return false;
  }
  // EACCES here means the user's group is outside net.ipv4.ping_group_range.
  fd_ = BoundSocket(IPPROTO_ICMP, interfaceName_, error_);
  if (fd_ >= 0) {
    method_ = ProbeMethod::Echo;
    return true;
  }
  fd_ = BoundSocket(0, interfaceName_, error_);
  if (fd_ >= 0) {
    method_ = ProbeMethod::Neighbour;
    error_ = 0;
    return true;
  }
  return false;
}

void AddressProbe::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  method_ = ProbeMethod::None;
  probes_.clear();
}

std::optional<HardwareAddress> AddressProbe::OwnHardwareAddress(std::uint32_t address) const {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return std::nullopt;
  bool own = false;
  HardwareAddress mac{};
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr || interfaceName_ != entry->ifa_name) continue;
    if (entry->ifa_addr->sa_family == AF_INET) {
      sockaddr_in in{};
      std::memcpy(&in, entry->ifa_addr, sizeof in);
      if (ntohl(in.sin_addr.s_addr) == address) own = true;
    } else if (entry->ifa_addr->sa_family == AF_PACKET) {
      sockaddr_ll link{};
      std::memcpy(&link, entry->ifa_addr, sizeof link);
      if (link.sll_halen == mac.size()) std::copy_n(link.sll_addr, mac.size(), mac.begin());
    }
  }
  ::freeifaddrs(list);
  if (!own) return std::nullopt;
  return mac;
}

std::optional<ProbeResult> AddressProbe::Start(std::uint32_t address, Clock::time_point now,
                                               std::chrono::milliseconds wait) {
  if (method_ == ProbeMethod::None || Probing(address)) return std::nullopt;
  if (const auto own = OwnHardwareAddress(address)) {
    return ProbeResult{address, true, ProbeEvidence::OwnAddress, own};
  }
  probes_[address] = now + wait;
  Send(address);
  return std::nullopt;
}

void AddressProbe::Send(std::uint32_t address) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(address);
  ssize_t sent = 0;
  if (method_ == ProbeMethod::Echo) {
    // Type, code, checksum, identifier, sequence: the kernel fills in the
    // checksum and the identifier of a ping socket.
    std::array<std::uint8_t, kIcmpHeaderSize> echo{kIcmpEchoRequest};
    ++sequence_;
    echo[kIcmpSequenceOffset] = static_cast<std::uint8_t>(sequence_ >> 8);
    echo[kIcmpSequenceOffset + 1] = static_cast<std::uint8_t>(sequence_);
    sent = ::sendto(fd_, echo.data(), echo.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } else {
    to.sin_port = htons(kDiscardPort);
    sent = ::sendto(fd_, nullptr, 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  // No route through the interface to the address: nothing on this link can
  // hold it, and the neighbour table at the deadline says just that.
  if (sent < 0) error_ = errno;
}

std::vector<std::uint32_t> AddressProbe::ProbingAddresses() const {
  std::vector<std::uint32_t> addresses;
  for (const auto& [address, deadline] : probes_) addresses.push_back(address);
  return addresses;
}

std::optional<AddressProbe::Clock::time_point> AddressProbe::NextDeadline() const {
  std::optional<Clock::time_point> next;
  for (const auto& [address, deadline] : probes_) {
    if (!next || deadline < *next) next = deadline;
  }
  return next;
}

std::vector<ProbeResult> AddressProbe::OnReadable() {
  std::vector<ProbeResult> results;
  if (method_ != ProbeMethod::Echo) return results;
  std::array<std::uint8_t, 512> buffer{};
  for (int reads = 0; reads < kMaxReadsPerEvent; ++reads) {
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t n =
        ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;  // EAGAIN: nothing more waiting
    }
    if (static_cast<std::size_t>(n) < kIcmpHeaderSize || buffer[0] != kIcmpEchoReply) continue;
    const std::uint32_t address = ntohl(from.sin_addr.s_addr);
    if (probes_.erase(address) == 0) continue;  // late, or not ours
    results.push_back({address, true, ProbeEvidence::EchoReply, std::nullopt});
  }
  if (!results.empty()) {
    // The echo could only come back once the kernel had resolved the sender.
    const auto entries = ReadNeighbours(interfaceIndex_);
    for (ProbeResult& result : results) {
      const NeighbourEntry* entry = entries ? FindNeighbour(*entries, result.address) : nullptr;
      if (entry != nullptr) result.holder = entry->mac;
    }
  }
  return results;
}

std::vector<ProbeResult> AddressProbe::OnDeadline(Clock::time_point now) {
  std::vector<ProbeResult> results;
  for (auto it = probes_.begin(); it != probes_.end();) {
    if (it->second <= now) {
      results.push_back({it->first, false, ProbeEvidence::Nothing, std::nullopt});
      it = probes_.erase(it);
    } else {
      ++it;
    }
  }
  if (results.empty()) return results;
  const auto entries = ReadNeighbours(interfaceIndex_);
  for (ProbeResult& result : results) {
    const NeighbourEntry* entry = entries ? FindNeighbour(*entries, result.address) : nullptr;
    if (entry == nullptr) continue;
    const NeighbourConfidence confidence = ConfidenceOf(*entry);
    // A device that ignores echoes has still answered ARP just now. With the
    // echo method, an entry not confirmed since some time ago most likely
    // belongs to a device that has gone, or it would have answered the echo;
    // without echoes it is all there is to go by.
    const bool held = confidence == NeighbourConfidence::Confirmed ||
                      (method_ == ProbeMethod::Neighbour && confidence == NeighbourConfidence::Earlier);
    if (!held) continue;
    result.held = true;
    result.evidence = ProbeEvidence::Neighbour;
    result.holder = entry->mac;
  }
  return results;
}

}  // namespace corvessa
