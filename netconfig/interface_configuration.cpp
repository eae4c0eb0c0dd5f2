#include "netconfig/interface_configuration.h"

#include <algorithm>
#include <fstream>

#include "core/address.h"
#include "core/settings_names.h"
#include "netconfig/host_address.h"
#include "netconfig/resolver_config.h"
#include "netconfig/route_table.h"
#include "ui/settings_store.h"

namespace corvessa {

namespace {

// The stored address of the selected interface, else the host's first
// address. Like the server set-up, it asks for the host's own addresses
// first; when the name gives none there is no target.
std::string TargetAddressText(const SettingsStore& store, const HostNetwork& host) {
  const HostAddresses own = ResolveHostAddresses(host);
  if (!own.resolved) return {};
  const std::string adapter = store.GetString(settings_names::kVersionSection, settings_names::kLastAdapter);
  std::string stored = store.GetString(adapter, settings_names::kIpAddress);
  if (!stored.empty()) return stored;
  return IpToText(own.addresses.front());
}

std::string GatewayText(const HostNetwork& host, const std::string& interfaceName) {
  std::ifstream routes(host.routeFile);
  if (!routes) return {};
  const std::optional<std::uint32_t> gateway = FindDefaultGateway(routes, interfaceName);
  return gateway ? IpToText(*gateway) : std::string();
}

}  // namespace

InterfaceConfiguration ReadInterfaceConfiguration(const SettingsStore& store, const HostNetwork& host) {
  const std::string target = TargetAddressText(store, host);
  if (target.empty()) return {};

  const std::vector<HostInterface> interfaces = InterfacesInIndexOrder(host);
  const auto match = std::find_if(interfaces.begin(), interfaces.end(), [&](const HostInterface& entry) {
    return !entry.loopback && !entry.addresses.empty() && IpToText(entry.addresses.front().address) == target;
  });
  if (match == interfaces.end()) return {};

  InterfaceConfiguration result;
  result.address = target;
  result.subnetMask = IpToText(match->addresses.front().netmask);
  result.gateway = GatewayText(host, match->name);
  // The resolver is configured for the whole host, not per interface.
  const ResolverConfig resolver = ReadResolverConfig(host.resolvConf, host.resolvedUpstream);
  const NameServerPair servers = SplitNameServers(NameServerText(resolver));
  result.dns1 = servers.dns1;
  result.dns2 = servers.dns2;
  result.domain = resolver.domain;
  return result;
}

}  // namespace corvessa
