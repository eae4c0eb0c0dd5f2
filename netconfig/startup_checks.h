#pragma once
// The checks of the host before the server starts, in the order the user
// meets them: on a user's first start the firewall warning, the sockets, a
// usable host address, and the choice of interface when there are several.
// And, once the server is bound, the warning of a Linux firewall that drops
// the requests on the chosen interface.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "netconfig/firewall.h"
#include "netconfig/host_network.h"
#include "ui/prompts.h"
#include "ui/settings_store.h"

namespace corvessa {

// The exit status after a fatal start: 0 would report the failure as success
// to a script or service manager.
inline constexpr int kFatalExitStatus = 1;

struct StartupSurroundings {
  SettingsStore& store;
  const HostNetwork& host;
  FirewallPolicyReader& firewall;
  Prompts& prompts;
  // The sockets start-up; empty: always succeeds (nothing to start on Linux).
  std::function<bool()> startSockets;
  // The interface selection dialog; true when it ended with OK.
  std::function<bool()> selectInterface;
};

enum class StartupVerdict {
  Go,        // the server may start on the interface "lastadapter" names
  Fatal,     // a box has said why; the program ends with kFatalExitStatus
  Declined,  // the user gave up the choice of interface; the program ends quietly
};

StartupVerdict RunStartupChecks(const StartupSurroundings& surroundings);

// The warning of a firewall that drops (or may drop) the requests arriving
// on the interface; nothing when none is due. A warning that cannot be sure
// is given once per interface, and noted as given.
std::optional<std::string> PortFirewallWarning(FirewallPolicyReader& firewall, SettingsStore& store,
                                               std::string_view interfaceName);

}  // namespace corvessa
