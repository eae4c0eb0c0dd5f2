#include "netconfig/settings_entry.h"

#include "core/address.h"
#include "core/strings.h"
#include "core/utf8.h"

namespace corvessa {

namespace {

std::uint32_t IpOrZero(std::string_view text) {
  std::uint32_t address = 0;
  // A text that is no address leaves 0.
  (void)TextToIp(text, address);
  return address;
}

}  // namespace

std::optional<EntryProblem> CheckSettingsEntry(const SettingsEntry& entry) {
  if (!IsValidMask(entry.subnetMask)) return EntryProblem{kIdsInvalidSubnetMask, SettingsField::SubnetMask};
  if (entry.gateway) {
    if (!IsValidIp(*entry.gateway)) return EntryProblem{kIdsInvalidGateway, SettingsField::Gateway};
    const std::uint32_t server = IpOrZero(entry.serverAddressText);
    if (!SameSubnet(entry.subnetMask, *entry.gateway, server)) {
      return EntryProblem{kIdsInvalidGateway, SettingsField::Gateway};
    }
  }
  if (entry.dns1 && !IsValidIp(*entry.dns1)) return EntryProblem{kIdsInvalidPrimaryDns, SettingsField::PrimaryDns};
  if (entry.dns2 && !IsValidIp(*entry.dns2)) {
    return EntryProblem{kIdsInvalidSecondaryDns, SettingsField::SecondaryDns};
  }
  return std::nullopt;
}

bool HasNoAddresses(const NetworkSettings& settings) {
  return settings.subnetMask == 0 && settings.gateway == 0 && settings.dns1 == 0 && settings.dns2 == 0;
}

void ApplyConfigurationDefaults(NetworkSettings& settings, const InterfaceConfiguration& configuration) {
  settings.gateway = IpOrZero(configuration.gateway);
  std::uint32_t mask = 0;
  // The mask is read laxly; a text that is no mask leaves 0.
  (void)TextToMask(configuration.subnetMask, mask);
  settings.subnetMask = mask;
  settings.SetDomainName(CutDomainName(configuration.domain));
  settings.dns1 = IpOrZero(configuration.dns1);
  settings.dns2 = IpOrZero(configuration.dns2);
}

std::string_view CutDomainName(std::string_view text) { return CutUtf8(text, kDomainNameSize); }

}  // namespace corvessa
