#include "netconfig/settings_entry.h"

#include "core/address.h"
#include "core/strings.h"

namespace corvessa {

namespace {

constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;
constexpr std::size_t kLongestSequence = 4;

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & kContinuationMask) == kContinuationBits;
}

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

std::string_view CutDomainName(std::string_view text) {
  if (text.size() <= kDomainNameSize) return text;
  // Step back over the continuation bytes of a character that straddles the
  // limit, so that its lead byte goes too. Bytes that are no UTF-8 sequence
  // are cut where they stand.
  std::size_t end = kDomainNameSize;
  std::size_t back = 0;
  while (back < kLongestSequence - 1 && IsContinuation(text[end - back])) ++back;
  const auto lead = static_cast<unsigned char>(text[end - back]);
  if (back > 0 && (lead & kContinuationMask) == kContinuationMask) end -= back;
  return text.substr(0, end);
}

}  // namespace corvessa
