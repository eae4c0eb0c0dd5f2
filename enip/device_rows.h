#pragma once
// What the window shows of a scan: the presence cells of the relation list
// and one row of texts per device that answered. Made at once from a
// presence report, whose relation pointers are only good until the relation
// list next changes; the rows keep no pointer.

#include <array>
#include <string>
#include <vector>

#include "enip/presence.h"
#include "relations/relation_presence.h"

namespace corvessa {

enum DeviceColumn : int {
  kDeviceColumnIp,
  kDeviceColumnMac,
  kDeviceColumnVendor,
  kDeviceColumnDeviceType,
  kDeviceColumnProductCode,
  kDeviceColumnRevision,
  kDeviceColumnSerial,
  kDeviceColumnProductName,
  kDeviceColumnState,
  kDeviceColumnListed,
  kDeviceColumnCount,
};

struct DeviceRow {
  ScannedDevice device;
  DeviceMatch match = DeviceMatch::Unlisted;
  std::array<std::string, kDeviceColumnCount> texts;
  // Says what answered at the address before; empty when nothing changed.
  std::string changeToolTip;
};

// The presence cells of the relations in the report, keyed by their addresses.
PresenceCells PresenceCellsOf(const PresenceReport& report);
std::vector<DeviceRow> DeviceRowsOf(const PresenceReport& report);

// "Operational", "Standby", ...; the number for a state without a name,
// "unknown" when the device did not say.
std::string DeviceStateText(const std::optional<std::uint8_t>& state);

}  // namespace corvessa
