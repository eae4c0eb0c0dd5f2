#pragma once
// The host's network facts, read from the live system. Everything the
// adapter and configuration logic learns about the host goes through this
// class, so that tests can point the file paths at their own files and
// script the live calls.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvessa {

// ARPHRD_ETHER: Ethernet, and everything that looks like it to IP (veth,
// Wi-Fi, bridges, dummy interfaces).
inline constexpr unsigned kEthernetLinkType = 1;

struct InterfaceAddress {
  std::uint32_t address = 0;  // host order
  std::uint32_t netmask = 0;  // host order
};

// One network interface as the kernel reports it.
struct HostInterface {
  std::string name;
  unsigned index = 0;     // interface index (ifindex)
  unsigned linkType = 0;  // ARPHRD_* hardware type, as in /sys/class/net/<if>/type
  bool up = false;
  bool loopback = false;
  std::vector<InterfaceAddress> addresses;  // IPv4 only, in the kernel's order
};

class HostNetwork {
 public:
  HostNetwork() = default;
  virtual ~HostNetwork() = default;
  HostNetwork(const HostNetwork&) = default;
  HostNetwork& operator=(const HostNetwork&) = default;

  // The routing table; /proc/net follows the network namespace of the process.
  std::string routeFile = "/proc/net/route";
  // The resolver configuration, and the upstream servers systemd-resolved
  // keeps when resolv.conf only names its local stub.
  std::string resolvConf = "/etc/resolv.conf";
  std::string resolvedUpstream = "/run/systemd/resolve/resolv.conf";

  // Every interface with its link facts and IPv4 addresses (getifaddrs). The
  // link type and index come from the same netlink answer as the addresses,
  // so they describe the network namespace of the calling thread, whatever
  // namespace /sys happens to show. Empty when getifaddrs fails.
  virtual std::vector<HostInterface> Interfaces() const;

  // gethostname; nullopt when it fails.
  virtual std::optional<std::string> HostName() const;

  // The resolver's IPv4 answer for a name (getaddrinfo, AF_INET), host order,
  // in the resolver's order without repeats; nullopt when the name does not
  // resolve.
  virtual std::optional<std::vector<std::uint32_t>> ResolveName(const std::string& name) const;
};

// host.Interfaces() in interface-index order, the order of every list and
// search over the host's interfaces.
std::vector<HostInterface> InterfacesInIndexOrder(const HostNetwork& host);

}  // namespace corvessa
