#include "netconfig/firewall.h"

#include "netconfig/firewalld_dbus.h"

namespace corvessa {

namespace {

constexpr std::uint32_t kOn = 1;

}  // namespace

std::optional<FirewallProfile> HostFirewallPolicyReader::ReadProfile(std::string_view) { return std::nullopt; }

PortFinding HostFirewallPolicyReader::ReadPortFinding(std::string_view interfaceName) {
  SdBusFirewalld firewalld;
  return CheckLinuxFirewall(firewalld, UfwFiles{}, interfaceName);
}

bool ProfileFails(FirewallPolicyReader& reader, std::string_view name) {
  const std::optional<FirewallProfile> profile = reader.ReadProfile(name);
  if (!profile) return false;
  return profile->enableFirewall == kOn && profile->disableNotifications == kOn;
}

bool FirewallWarningNeeded(FirewallPolicyReader& reader) {
  for (const std::string_view name : kFirewallProfiles) {
    if (ProfileFails(reader, name)) return true;
  }
  return false;
}

}  // namespace corvessa
