#include "enip/presence.h"

#include <algorithm>
#include <set>

namespace corvessa {
namespace {

// Addresses remembered across scans; past this, those that did not answer
// in the latest scan are forgotten, so a flood of made-up senders cannot
// grow the memory without end.
constexpr std::size_t kMaxRememberedAddresses = 4096;

const Relation* ByMac(const RelationTable& table, const std::optional<HardwareAddress>& mac) {
  if (!mac) return nullptr;
  return table.FindByMac(mac->data(), static_cast<int>(mac->size()));
}

RelationPresence* PresenceOf(std::vector<RelationPresence>& relations, const Relation* relation) {
  for (RelationPresence& presence : relations) {
    if (presence.relation == relation) return &presence;
  }
  return nullptr;
}

}  // namespace

bool IsOtherDevice(const CipIdentity& before, const CipIdentity& now) {
  return before.serialNumber != now.serialNumber || before.vendorId != now.vendorId ||
         before.deviceType != now.deviceType || before.productCode != now.productCode ||
         before.productName != now.productName;
}

void PresenceTracker::Acknowledge(std::uint32_t address) {
  const auto found = seen_.find(address);
  if (found != seen_.end()) found->second.previous.reset();
}

PresenceReport PresenceTracker::Update(const RelationTable& table, std::span<const ScannedDevice> scan) {
  PresenceReport report;
  for (const auto& relation : table) {
    RelationPresence presence;
    presence.relation = relation.get();
    report.relations.push_back(std::move(presence));
  }

  std::set<std::uint32_t> answered;
  for (const ScannedDevice& device : scan) {
    answered.insert(device.address);
    Seen& seen = seen_.try_emplace(device.address, Seen{device.identity, std::nullopt}).first->second;
    if (IsOtherDevice(seen.identity, device.identity)) seen.previous = seen.identity;
    seen.identity = device.identity;

    NetworkDevice row;
    row.device = device;
    row.previousIdentity = seen.previous;
    const Relation* byMac = ByMac(table, device.mac);
    const Relation* byAddress = table.FindByIp(device.address);
    if (byMac != nullptr) {
      row.relation = byMac;
      row.match = byMac->ipAddress == device.address ? DeviceMatch::Listed : DeviceMatch::ListedElsewhere;
    } else if (byAddress != nullptr) {
      row.relation = byAddress;
      // Without a known hardware address the device at the address is taken
      // for the listed one.
      row.match = device.mac ? DeviceMatch::OtherDevice : DeviceMatch::Listed;
    }
    if (byAddress != nullptr && byAddress != byMac && device.mac) {
      if (RelationPresence* presence = PresenceOf(report.relations, byAddress)) presence->otherDevice = device.mac;
    }
    if (row.match == DeviceMatch::Listed || row.match == DeviceMatch::ListedElsewhere) {
      RelationPresence* presence = PresenceOf(report.relations, row.relation);
      // A device at the relation's own address wins over one elsewhere.
      if (presence != nullptr && (!presence->online || row.match == DeviceMatch::Listed)) {
        presence->online = true;
        presence->answeredFrom = device.address;
        presence->identity = device.identity;
        presence->previousIdentity = seen.previous;
      }
    }
    report.devices.push_back(std::move(row));
  }

  if (seen_.size() > kMaxRememberedAddresses) {
    std::erase_if(seen_, [&](const auto& entry) { return answered.count(entry.first) == 0; });
  }
  return report;
}

std::optional<Relation> RelationCandidate(const ScannedDevice& device) {
  if (!device.mac) return std::nullopt;
  Relation relation;
  std::copy(device.mac->begin(), device.mac->end(), relation.hardwareAddress.begin());
  relation.hardwareAddressLength = static_cast<std::uint8_t>(device.mac->size());
  relation.ipAddress = device.address;
  std::string description = ProductNameText(device.identity);
  // Cut at a character boundary: a UTF-8 continuation byte never starts the rest.
  std::size_t length = std::min(description.size(), relation.description.size());
  while (length < description.size() && length > 0 &&
         (static_cast<std::uint8_t>(description[length]) & 0xC0) == 0x80) {
    --length;
  }
  std::copy_n(description.begin(), length, relation.description.begin());
  relation.descriptionLength = static_cast<std::uint8_t>(length);
  return relation;
}

}  // namespace corvessa
