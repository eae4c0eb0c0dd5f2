#include "ui/network_settings_store.h"

#include "core/settings_names.h"

namespace corvessa {

namespace names = settings_names;

NetworkSettings ReadNetworkSettings(const SettingsStore& store, std::string_view section) {
  NetworkSettings settings;
  settings.subnetMask = store.GetDword(section, names::kSubnetMask);
  settings.gateway = store.GetDword(section, names::kGateway);
  settings.dns1 = store.GetDword(section, names::kDns1);
  settings.dns2 = store.GetDword(section, names::kDns2);
  settings.SetDomainName(store.GetString(section, names::kDomainName));
  return settings;
}

void SaveNetworkSettings(SettingsStore& store, std::string_view section, const NetworkSettings& settings) {
  // Each value is written on its own; one that fails does not hold back the rest.
  store.SetDword(section, names::kSubnetMask, settings.subnetMask);
  store.SetDword(section, names::kGateway, settings.gateway);
  store.SetDword(section, names::kDns1, settings.dns1);
  store.SetDword(section, names::kDns2, settings.dns2);
  store.SetString(section, names::kDomainName, settings.DomainName());
}

std::string ReadLastAdapter(const SettingsStore& store) {
  return store.GetString(names::kVersionSection, names::kLastAdapter);
}

std::string ReadInterfaceAddressText(const SettingsStore& store, std::string_view interfaceName) {
  return store.GetString(interfaceName, names::kIpAddress);
}

}  // namespace corvessa
