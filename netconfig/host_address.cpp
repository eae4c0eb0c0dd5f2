#include "netconfig/host_address.h"

#include "core/address.h"

namespace corvessa {

namespace {

constexpr std::uint32_t kLoopbackAddress = 0x7F000001;  // 127.0.0.1

}  // namespace

HostAddresses ResolveHostAddresses(const HostNetwork& host) {
  HostAddresses result;
  const std::vector<HostInterface> interfaces = InterfacesInIndexOrder(host);
  for (const auto& entry : interfaces) {
    if (!entry.up || entry.loopback) continue;
    for (const auto& address : entry.addresses) result.addresses.push_back(address.address);
  }
  if (!result.addresses.empty()) {
    result.resolved = true;
    return result;
  }

  const std::optional<std::string> name = host.HostName();
  if (!name) return result;
  const std::optional<std::vector<std::uint32_t>> answer = host.ResolveName(*name);
  if (!answer || answer->empty()) return result;
  result.resolved = true;
  result.addresses = *answer;
  return result;
}

bool HostHasUsableAddress(const HostNetwork& host) {
  const HostAddresses host_addresses = ResolveHostAddresses(host);
  if (!host_addresses.resolved) return true;
  const std::uint32_t first = host_addresses.addresses.front();
  return IsValidIp(first) && first != kLoopbackAddress;
}

}  // namespace corvessa
