#pragma once
// The relation list as a complete kea-dhcp4 configuration: one subnet without
// pools, one reservation per relation, infinite leases, the network settings
// as options sent to every client, the BOOTP hook for devices that ask
// without DHCP, and optionally the high-availability hook for a hot-standby
// pair of servers.

#include <optional>
#include <string>

#include "files/handoff_source.h"

namespace corvessa {

// Kea's hook libraries in Debian: the multiarch library folder of the
// machine this program was built for.
std::string DefaultKeaHooksDirectory();
inline constexpr std::string_view kDefaultKeaLeaseFile = "/var/lib/kea/kea-leases4.csv";

// Two servers serving the same list: the primary answers, the standby takes
// over when the primary stops answering its heartbeats. The URLs are where
// each server's own HTTP listener for the pair is reached (http only).
struct KeaHighAvailability {
  std::string primaryUrl;
  std::string standbyUrl;
  enum class Role { Primary, Standby } thisServer = Role::Primary;
  // Heartbeats every 10 s; the standby takes over once the primary has not
  // answered for a minute.
  int heartbeatDelayMs = 10000;
  int maxResponseDelayMs = 60000;
};

struct KeaOptions {
  // Loads libdhcp_bootp.so so that devices asking by BOOTP are answered.
  bool bootpHook = true;
  std::string hooksDirectory = DefaultKeaHooksDirectory();
  std::string leaseFile = std::string(kDefaultKeaLeaseFile);
  std::optional<KeaHighAvailability> highAvailability;
};

// The configuration text, or the problems that prevent a faithful one.
HandoffExport WriteKeaConfig(const HandoffSource& source, const KeaOptions& options);

// "http://host:port/" with a host and a port, as Kea's HA hook takes it.
bool IsKeaPeerUrl(std::string_view url);

}  // namespace corvessa
