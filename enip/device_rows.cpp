#include "enip/device_rows.h"

#include "core/address.h"
#include "core/strings.h"
#include "enip/scan_texts.h"

namespace corvessa {

namespace {

std::string ListedText(const NetworkDevice& device) {
  switch (device.match) {
    case DeviceMatch::Listed:
      return std::string(scan_text::kListed);
    case DeviceMatch::ListedElsewhere:
      return FormatText(scan_text::kListedAs, IpToText(device.relation->ipAddress).c_str());
    case DeviceMatch::OtherDevice:
      return FormatText(scan_text::kAddressListedFor, RelationMacText(*device.relation).c_str());
    case DeviceMatch::Unlisted:
      break;
  }
  return std::string(scan_text::kNotListed);
}

}  // namespace

std::string DeviceStateText(const std::optional<std::uint8_t>& state) {
  if (!state) return std::string(scan_text::kUnknown);
  if (*state < scan_text::kStates.size()) return std::string(scan_text::kStates[*state]);
  return std::to_string(*state);
}

PresenceCells PresenceCellsOf(const PresenceReport& report) {
  std::map<std::uint32_t, PresenceCell> cells;
  for (const RelationPresence& presence : report.relations) {
    if (presence.relation == nullptr) continue;
    PresenceCell cell;
    cell.online = presence.online;
    cell.answeredFrom = presence.answeredFrom;
    if (presence.identity) {
      cell.product = presence.ProductName();
      cell.serialNumber = presence.identity->serialNumber;
    }
    if (presence.previousIdentity) {
      cell.previous = PresenceCell::Previous{ProductNameText(*presence.previousIdentity),
                                             presence.previousIdentity->serialNumber};
    }
    if (presence.otherDevice) cell.otherDevice = MacToText(presence.otherDevice->data(), presence.otherDevice->size());
    if (cell.online || !cell.otherDevice.empty()) cells.emplace(presence.relation->ipAddress, std::move(cell));
  }
  return PresenceCells(std::move(cells));
}

std::vector<DeviceRow> DeviceRowsOf(const PresenceReport& report) {
  std::vector<DeviceRow> rows;
  rows.reserve(report.devices.size());
  for (const NetworkDevice& device : report.devices) {
    const CipIdentity& identity = device.device.identity;
    DeviceRow row;
    row.device = device.device;
    row.match = device.match;
    row.texts[kDeviceColumnIp] = IpToText(device.device.address);
    row.texts[kDeviceColumnMac] = device.device.mac ? MacToText(device.device.mac->data(), device.device.mac->size())
                                                    : std::string(scan_text::kUnknown);
    row.texts[kDeviceColumnVendor] = std::to_string(identity.vendorId);
    row.texts[kDeviceColumnDeviceType] = std::to_string(identity.deviceType);
    row.texts[kDeviceColumnProductCode] = std::to_string(identity.productCode);
    row.texts[kDeviceColumnRevision] =
        std::to_string(identity.revisionMajor) + "." + std::to_string(identity.revisionMinor);
    row.texts[kDeviceColumnSerial] = SerialNumberText(identity.serialNumber);
    row.texts[kDeviceColumnProductName] = ProductNameText(identity);
    row.texts[kDeviceColumnState] = DeviceStateText(identity.state);
    row.texts[kDeviceColumnListed] = ListedText(device);
    if (device.previousIdentity) {
      row.changeToolTip = FormatText(scan_text::kChangedTip, ProductNameText(*device.previousIdentity).c_str(),
                                     SerialNumberText(device.previousIdentity->serialNumber).c_str());
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace corvessa
