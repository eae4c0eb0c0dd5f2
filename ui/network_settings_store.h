#pragma once
// The network settings and interface values as they are kept in the per-user
// settings: one section per interface, named by its description.

#include <string>
#include <string_view>

#include "core/network_settings.h"
#include "ui/settings_store.h"

namespace corvessa {

// Reads the four addresses (absent: 0) and the domain name (absent: "", cut
// at 32 characters) of `section`. Does not validate.
NetworkSettings ReadNetworkSettings(const SettingsStore& store, std::string_view section);

// Writes the four addresses as dwords, then the domainNameLength characters of
// the domain name. Does not validate; failures are not reported.
void SaveNetworkSettings(SettingsStore& store, std::string_view section, const NetworkSettings& settings);

// Description of the selected interface ("lastadapter"); "" when none.
std::string ReadLastAdapter(const SettingsStore& store);

// The "ipaddress" text stored for an interface; "" when none.
std::string ReadInterfaceAddressText(const SettingsStore& store, std::string_view interfaceName);

}  // namespace corvessa
