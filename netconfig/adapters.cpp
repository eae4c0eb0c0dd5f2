#include "netconfig/adapters.h"

#include "core/address.h"
#include "core/settings_names.h"
#include "core/strings.h"
#include "ui/settings_store.h"

namespace corvessa {

namespace {

bool IsAdapter(const HostInterface& entry) {
  return !entry.loopback && entry.linkType == kEthernetLinkType;
}

}  // namespace

std::vector<Adapter> EnumerateAdapters(const HostNetwork& host) {
  const std::vector<HostInterface> interfaces = InterfacesInIndexOrder(host);

  std::vector<Adapter> adapters;
  for (const auto& entry : interfaces) {
    if (!IsAdapter(entry)) continue;
    Adapter adapter;
    adapter.description = entry.name;
    adapter.address = entry.addresses.empty() ? kNoAdapterAddress : IpToText(entry.addresses.front().address);
    adapters.push_back(std::move(adapter));
  }
  return adapters;
}

std::string AdapterAddressText(const Adapter& adapter) {
  if (adapter.address == kNoAdapterAddress) return std::string(LoadString(kIdsUnknownAddress));
  return adapter.address;
}

void RememberInterface(SettingsStore& store, const Adapter& adapter) {
  // A failed write leaves the previous choice; nothing to report.
  (void)store.SetString(settings_names::kVersionSection, settings_names::kLastAdapter, adapter.description);
  (void)store.SetString(adapter.description, settings_names::kIpAddress, AdapterAddressText(adapter));
}

bool AutoSelectInterface(SettingsStore& store, const HostNetwork& host) {
  const std::vector<Adapter> adapters = EnumerateAdapters(host);
  if (adapters.size() > 1) return true;
  if (adapters.size() == 1) RememberInterface(store, adapters.front());
  return false;
}

}  // namespace corvessa
