#pragma once
// What the network settings dialog does with its values, without the window:
// the defaults it offers from the interface's configuration, and the checks
// of an entry before it is taken.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/network_settings.h"
#include "netconfig/interface_configuration.h"

namespace corvessa {

// The values as entered. A blank address control is nullopt.
struct SettingsEntry {
  std::uint32_t subnetMask = 0;  // a blank mask reads as 0
  std::optional<std::uint32_t> gateway;
  std::optional<std::uint32_t> dns1;
  std::optional<std::uint32_t> dns2;
  std::string serverAddressText;  // as shown, possibly "Unknown"
};

// The address fields a failed check sends the user back to.
enum class SettingsField { SubnetMask, Gateway, PrimaryDns, SecondaryDns };

// The one message an entry gets and the field that takes the focus.
struct EntryProblem {
  int messageId = 0;
  SettingsField field = SettingsField::SubnetMask;

  bool operator==(const EntryProblem&) const = default;
};

// The first failing check in the order mask, gateway, primary and secondary
// name server; nullopt when the entry can be taken. A gateway must lie in the
// server's subnet under the mask entered; a server address that is no address
// counts as 0, so then no valid gateway passes.
[[nodiscard]] std::optional<EntryProblem> CheckSettingsEntry(const SettingsEntry& entry);

// True when nothing has been set yet: all four addresses are 0.
bool HasNoAddresses(const NetworkSettings& settings);

// Replaces the addresses and the domain with the configuration's. Texts that
// are no address give 0.
void ApplyConfigurationDefaults(NetworkSettings& settings, const InterfaceConfiguration& configuration);

// At most 32 bytes of a UTF-8 text, cut before a character that would not fit
// whole, so the stored name never ends in half a character.
std::string_view CutDomainName(std::string_view text);

}  // namespace corvessa
