#pragma once
// The devices the last identity scan found, beside the session: the relation
// list's presence columns and the rows of the devices on the network. Both
// follow the relation list, so that a relation added, edited or deleted shows
// at once whether its device answered, without another scan. Nothing of it is
// saved with the relations.

#include <functional>
#include <optional>
#include <vector>

#include "enip/device_rows.h"
#include "enip/presence.h"
#include "relations/relation_entry.h"
#include "relations/relation_rows.h"
#include "session/session.h"

namespace corvessa {

class DevicePresence final : private SessionObserver {
 public:
  DevicePresence(Session& session, RelationRows& rows);
  ~DevicePresence() override;
  DevicePresence(const DevicePresence&) = delete;
  DevicePresence& operator=(const DevicePresence&) = delete;

  // A finished scan: what answered, ordered by address.
  void ShowScan(std::vector<ScannedDevice> scan);
  // Another interface, another network: nothing seen so far counts.
  void Forget();
  bool Scanned() const { return scanned_; }

  const std::vector<DeviceRow>& Devices() const { return devices_; }
  // nullptr for a row that does not exist.
  const DeviceRow* Device(int row) const;
  // The initial values of a new relation for the device of `row`: its
  // hardware address when the kernel knew it, the address it answered from
  // and its product name as the description.
  std::optional<RelationEntry> Candidate(int row) const;

  // The user has seen that another device answers at the address of `row`:
  // it is no longer marked as changed.
  void Acknowledge(int row);

  // Told after the device rows changed; empty: nobody listens.
  void SetDevicesChanged(std::function<void()> changed) { devicesChanged_ = std::move(changed); }

 private:
  void Update();
  void RelationsReset() override { Update(); }
  void RelationAdded(Relation&) override { Update(); }
  void RelationRemoved() override { Update(); }
  void RelationReplaced(Relation&) override { Update(); }

  Session& session_;
  RelationRows& rows_;
  PresenceTracker tracker_;
  std::vector<ScannedDevice> scan_;
  bool scanned_ = false;
  std::vector<DeviceRow> devices_;
  std::function<void()> devicesChanged_;
};

}  // namespace corvessa
