#include "service/list_changes.h"

#include <algorithm>
#include <map>

#include "core/address.h"

namespace corvessa::service {

namespace {

// The first relation of each hardware address, as the server finds it.
std::map<std::string, const Relation*> ByMac(const RelationTable& table) {
  std::map<std::string, const Relation*> byMac;
  for (const auto& relation : table) byMac.emplace(RelationMacText(*relation), relation.get());
  return byMac;
}

std::string AddressOrNone(std::uint32_t address) { return address == 0 ? std::string() : IpToText(address); }

}  // namespace

int ListChanges::Count(ChangeKind kind) const {
  return static_cast<int>(
      std::count_if(relations.begin(), relations.end(), [&](const RelationChange& c) { return c.kind == kind; }));
}

std::vector<NamedSetting> NamedSettings(const NetworkSettings& settings) {
  return {{"subnet-mask", AddressOrNone(settings.subnetMask)},
          {"gateway", AddressOrNone(settings.gateway)},
          {"dns1", AddressOrNone(settings.dns1)},
          {"dns2", AddressOrNone(settings.dns2)},
          {"domain", settings.DomainName()}};
}

RelationFields FieldsOf(const Relation& relation) {
  return {RelationMacText(relation), IpToText(relation.ipAddress), std::string(HostnameText(relation)),
          std::string(DescriptionText(relation))};
}

ListChanges CompareLists(const RelationTable& before, const NetworkSettings& settingsBefore,
                         const RelationTable& now, const NetworkSettings& settingsNow) {
  ListChanges changes;
  const auto oldByMac = ByMac(before);
  const auto newByMac = ByMac(now);
  for (const auto& relation : now) {
    const RelationFields fields = FieldsOf(*relation);
    // A hardware address listed twice is served by its first relation only.
    if (newByMac.at(fields.mac) != relation.get()) continue;
    const auto old = oldByMac.find(fields.mac);
    if (old == oldByMac.end()) {
      changes.relations.push_back({ChangeKind::Added, fields, {}});
    } else if (const RelationFields oldFields = FieldsOf(*old->second); oldFields != fields) {
      changes.relations.push_back({ChangeKind::Changed, fields, oldFields});
    }
  }
  for (const auto& relation : before) {
    const RelationFields fields = FieldsOf(*relation);
    if (oldByMac.at(fields.mac) == relation.get() && newByMac.count(fields.mac) == 0) {
      changes.relations.push_back({ChangeKind::Removed, {}, fields});
    }
  }

  const std::vector<NamedSetting> is = NamedSettings(settingsNow), was = NamedSettings(settingsBefore);
  for (std::size_t i = 0; i < is.size(); ++i) {
    if (is[i].value != was[i].value) changes.settings.push_back({is[i].name, is[i].value, was[i].value});
  }
  return changes;
}

}  // namespace corvessa::service
