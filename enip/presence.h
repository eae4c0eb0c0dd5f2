#pragma once
// What an identity scan means for the relation list: which listed devices
// are on the network, at which address and what they are; which devices
// answered that nobody listed; and where the device at an address is not the
// one that answered there before. Plain logic: the window shows the report.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "enip/identity_scan.h"
#include "relations/relation_table.h"

namespace corvessa {

enum class DeviceMatch {
  Unlisted,         // no relation has its address or its hardware address
  Listed,           // a relation has its address, and its hardware address where that is known
  OtherDevice,      // a relation has its address, but another hardware address answers there
  ListedElsewhere,  // a relation has its hardware address, with another IP address
};

// One row of the devices that answered.
struct NetworkDevice {
  ScannedDevice device;
  DeviceMatch match = DeviceMatch::Unlisted;
  // The relation it matched: by hardware address first, else by address.
  const Relation* relation = nullptr;
  // What answered at this address before, when that was another device.
  std::optional<CipIdentity> previousIdentity;
};

// What the scan says about one relation.
struct RelationPresence {
  const Relation* relation = nullptr;
  // The listed device answered: at the relation's address, or (with its
  // hardware address) at another one.
  bool online = false;
  std::uint32_t answeredFrom = 0;  // where it answered; 0 when it did not
  std::optional<CipIdentity> identity;
  // What answered at that address before, when it was another device (another
  // serial number or product). Kept until Acknowledge().
  std::optional<CipIdentity> previousIdentity;
  // Another device answers at the relation's address.
  std::optional<HardwareAddress> otherDevice;

  bool AtOtherAddress() const { return online && relation != nullptr && answeredFrom != relation->ipAddress; }
  bool IdentityChanged() const { return previousIdentity.has_value(); }
  // The product name as the window shows it; empty when offline.
  std::string ProductName() const { return identity ? ProductNameText(*identity) : std::string(); }
};

struct PresenceReport {
  std::vector<RelationPresence> relations;  // one per relation, in table order
  std::vector<NetworkDevice> devices;       // one per device that answered, in the scan's order
};

// Serial number or product differ: another device, not the same one with new
// firmware or another state.
bool IsOtherDevice(const CipIdentity& before, const CipIdentity& now);

class PresenceTracker {
 public:
  // The report for `scan` against the table as it is now. Remembers what
  // answered at each address for the next scans.
  PresenceReport Update(const RelationTable& table, std::span<const ScannedDevice> scan);
  // The user has seen that another device answers at `address`.
  void Acknowledge(std::uint32_t address);
  // Another interface, another network: nothing seen so far counts.
  void Reset() { seen_.clear(); }

 private:
  struct Seen {
    CipIdentity identity;
    std::optional<CipIdentity> previous;
  };
  std::map<std::uint32_t, Seen> seen_;
};

// A new relation for a device that answered: its hardware address, the address
// it answered from, its product name as the description. Nothing when its
// hardware address is not known.
std::optional<Relation> RelationCandidate(const ScannedDevice& device);

}  // namespace corvessa
