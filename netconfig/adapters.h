#pragma once
// The host's network adapters: the list the user chooses from, the automatic
// choice when there is only one, and the record of the choice in the settings.

#include <string>
#include <vector>

#include "netconfig/host_network.h"

namespace corvessa {

class SettingsStore;

struct Adapter {
  std::string description;  // the interface name; names the settings section
  std::string address;      // first IPv4 address, dotted, or "0.0.0.0"

  bool operator==(const Adapter&) const = default;
};

inline constexpr const char* kNoAdapterAddress = "0.0.0.0";

// The non-loopback Ethernet-type interfaces in interface-index order.
std::vector<Adapter> EnumerateAdapters(const HostNetwork& host);

// The address as shown and stored: "0.0.0.0" reads "Unknown".
std::string AdapterAddressText(const Adapter& adapter);

// Records the adapter as the selected interface: "lastadapter" and the
// adapter's "ipaddress".
void RememberInterface(SettingsStore& store, const Adapter& adapter);

// True when the user has to choose (more than one adapter). With exactly one
// adapter it is remembered; with none nothing changes.
bool AutoSelectInterface(SettingsStore& store, const HostNetwork& host);

}  // namespace corvessa
