#include "session/device_presence.h"

namespace corvessa {

DevicePresence::DevicePresence(Session& session, RelationRows& rows) : session_(session), rows_(rows) {
  session_.AddObserver(*this);
}

DevicePresence::~DevicePresence() { session_.RemoveObserver(*this); }

void DevicePresence::ShowScan(std::vector<ScannedDevice> scan) {
  scan_ = std::move(scan);
  scanned_ = true;
  Update();
}

void DevicePresence::Forget() {
  tracker_.Reset();
  scan_.clear();
  scanned_ = false;
  Update();
}

const DeviceRow* DevicePresence::Device(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= devices_.size()) return nullptr;
  return &devices_[static_cast<std::size_t>(row)];
}

std::optional<RelationEntry> DevicePresence::Candidate(int row) const {
  const DeviceRow* device = Device(row);
  if (device == nullptr) return std::nullopt;
  ScannedDevice scanned = device->device;
  const bool macKnown = scanned.mac.has_value();
  // Without a known hardware address the user types it in the editor.
  if (!macKnown) scanned.mac = HardwareAddress{};
  Relation relation = RelationCandidate(scanned).value_or(Relation{});
  if (!macKnown) relation.hardwareAddressLength = 0;
  RelationEntry entry;
  SetEntryHardwareAddress(entry, relation.hardwareAddress.data(), relation.hardwareAddressLength);
  entry.ipAddress = relation.ipAddress;
  SetEntryDescription(entry, relation.description.data(), relation.descriptionLength);
  return entry;
}

void DevicePresence::Acknowledge(int row) {
  const DeviceRow* device = Device(row);
  if (device == nullptr || device->changeToolTip.empty()) return;
  tracker_.Acknowledge(device->device.address);
  Update();
}

void DevicePresence::Update() {
  // The tracker remembers by address what answered, so the same scan again
  // against a changed list gives the same identities and no new change.
  const PresenceReport report = tracker_.Update(session_.Relations(), scan_);
  rows_.SetPresence(PresenceCellsOf(report));
  devices_ = DeviceRowsOf(report);
  if (devicesChanged_) devicesChanged_();
}

}  // namespace corvessa
