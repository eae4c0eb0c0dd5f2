#pragma once
// Whether the host firewall blocks programs without telling the user; the
// program warns once, on the first start, when it does. And whether the
// host's own Linux firewall drops the requests on the chosen interface.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "netconfig/linux_firewall.h"

namespace corvessa {

// One firewall profile's two settings; a value that cannot be read is absent.
struct FirewallProfile {
  std::optional<std::uint32_t> enableFirewall;
  std::optional<std::uint32_t> disableNotifications;
};

class FirewallPolicyReader {
 public:
  virtual ~FirewallPolicyReader() = default;
  // nullopt when the host has no such profile.
  virtual std::optional<FirewallProfile> ReadProfile(std::string_view name) = 0;
  // What the host's firewall does with DHCP requests to UDP port 67 arriving
  // on `interfaceName`; Unknown where nothing can be read.
  virtual PortFinding ReadPortFinding(std::string_view interfaceName) {
    (void)interfaceName;
    return {};
  }
};

// Linux firewalls have no profiles that decide whether the user is told
// about a blocked program, so the profile check finds nothing. What they do
// with port 67 is read from firewalld (system bus) and ufw (its files).
class HostFirewallPolicyReader final : public FirewallPolicyReader {
 public:
  std::optional<FirewallProfile> ReadProfile(std::string_view name) override;
  PortFinding ReadPortFinding(std::string_view interfaceName) override;
};

// Tested in this order; the first failing profile decides.
inline constexpr std::array<std::string_view, 3> kFirewallProfiles = {"PublicProfile", "StandardProfile",
                                                                      "DomainProfile"};

// A profile fails when the firewall is on (1) and notifications are off (1);
// anything missing or unreadable passes.
bool ProfileFails(FirewallPolicyReader& reader, std::string_view name);

// True when one of the profiles fails.
bool FirewallWarningNeeded(FirewallPolicyReader& reader);

}  // namespace corvessa
