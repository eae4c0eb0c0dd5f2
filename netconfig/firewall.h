#pragma once
// Whether the host firewall blocks programs without telling the user; the
// program warns once, on the first start, when it does.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

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
};

// Linux firewalls have no profiles that decide whether the user is told
// about a blocked program, so there is nothing to warn about.
class HostFirewallPolicyReader final : public FirewallPolicyReader {
 public:
  std::optional<FirewallProfile> ReadProfile(std::string_view name) override;
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
