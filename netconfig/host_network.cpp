#include "netconfig/host_network.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>

namespace corvessa {

namespace {

std::uint32_t HostOrder(const sockaddr* address) {
  if (address == nullptr || address->sa_family != AF_INET) return 0;
  const auto* in = reinterpret_cast<const sockaddr_in*>(address);
  return ntohl(in->sin_addr.s_addr);
}

// Addresses with a label ("eth0:1") are reported under the label; they belong
// to the interface the label starts with.
HostInterface* FindByName(std::vector<HostInterface>& interfaces, const std::string& name) {
  for (auto& entry : interfaces) {
    if (entry.name == name) return &entry;
  }
  for (auto& entry : interfaces) {
    if (name.size() > entry.name.size() && name.compare(0, entry.name.size(), entry.name) == 0 &&
        name[entry.name.size()] == ':') {
      return &entry;
    }
  }
  return nullptr;
}

struct IfaddrsDeleter {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

struct AddrinfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

std::vector<HostInterface> HostNetwork::Interfaces() const {
  std::vector<HostInterface> interfaces;
  ifaddrs* raw = nullptr;
  if (getifaddrs(&raw) != 0) return interfaces;
  const std::unique_ptr<ifaddrs, IfaddrsDeleter> list(raw);

  // Link entries (AF_PACKET) come first and name every interface, also those
  // without any address.
  for (const ifaddrs* it = list.get(); it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_PACKET || it->ifa_name == nullptr) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
    HostInterface entry;
    entry.name = it->ifa_name;
    entry.index = static_cast<unsigned>(link->sll_ifindex);
    entry.linkType = link->sll_hatype;
    entry.up = (it->ifa_flags & IFF_UP) != 0;
    entry.loopback = (it->ifa_flags & IFF_LOOPBACK) != 0;
    interfaces.push_back(std::move(entry));
  }

  for (const ifaddrs* it = list.get(); it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET || it->ifa_name == nullptr) continue;
    HostInterface* owner = FindByName(interfaces, it->ifa_name);
    if (owner == nullptr) continue;
    owner->addresses.push_back({HostOrder(it->ifa_addr), HostOrder(it->ifa_netmask)});
  }
  return interfaces;
}

std::optional<std::string> HostNetwork::HostName() const {
  // Linux host names are at most HOST_NAME_MAX (64) bytes, so this buffer
  // always holds the whole name and its terminator.
  std::array<char, HOST_NAME_MAX + 1> buffer{};
  if (gethostname(buffer.data(), buffer.size()) != 0) return std::nullopt;
  buffer.back() = '\0';
  return std::string(buffer.data());
}

std::optional<std::vector<std::uint32_t>> HostNetwork::ResolveName(const std::string& name) const {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;  // one answer per address
  addrinfo* raw = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &raw) != 0) return std::nullopt;
  const std::unique_ptr<addrinfo, AddrinfoDeleter> list(raw);

  std::vector<std::uint32_t> addresses;
  for (const addrinfo* it = list.get(); it != nullptr; it = it->ai_next) {
    if (it->ai_addr == nullptr || it->ai_addr->sa_family != AF_INET) continue;
    const std::uint32_t address = HostOrder(it->ai_addr);
    if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
  }
  if (addresses.empty()) return std::nullopt;
  return addresses;
}

std::vector<HostInterface> InterfacesInIndexOrder(const HostNetwork& host) {
  std::vector<HostInterface> interfaces = host.Interfaces();
  std::stable_sort(interfaces.begin(), interfaces.end(),
                   [](const HostInterface& a, const HostInterface& b) { return a.index < b.index; });
  return interfaces;
}

}  // namespace corvessa
