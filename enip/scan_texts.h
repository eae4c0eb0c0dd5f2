#pragma once
// Texts of the identity scan: its commands, its status lines and the window
// of the devices on the network.

#include <array>
#include <string_view>

namespace corvessa::scan_text {

inline constexpr std::string_view kMenuView = "&View";
inline constexpr std::string_view kMenuScan = "&Scan";
inline constexpr std::string_view kMenuScanRepeat = "Scan &Every 10 s";
inline constexpr std::string_view kMenuDevices = "&Devices on the Network";

inline constexpr std::string_view kScanning = "Scanning %s for EtherNet/IP devices...";
inline constexpr std::string_view kAnsweredNone = "No EtherNet/IP device answered on %s.";
inline constexpr std::string_view kAnsweredOne = "1 EtherNet/IP device answered on %s.";
inline constexpr std::string_view kAnsweredMany = "%d EtherNet/IP devices answered on %s.";
inline constexpr std::string_view kNoInterface = "No scan: the server runs on no network interface.";
inline constexpr std::string_view kStartFailed = "The scan on %s could not start: %s.";

inline constexpr std::string_view kWindowTitle = "Devices on the network";
inline constexpr std::string_view kAddAsRelation = "Add as Relation";
inline constexpr std::string_view kAcknowledge = "Accept Change";
inline constexpr std::string_view kClose = "Close";
inline constexpr std::string_view kAddAsRelationTip =
    "Create a new address relation for the selected device, with its address and product name";

inline constexpr std::string_view kAcknowledgeTip =
    "Take the device that answers now at the selected address as the one that belongs there";

inline constexpr std::array<std::string_view, 10> kDeviceColumns = {
    "IP Address", "Ethernet Address (MAC)", "Vendor ID", "Device Type", "Product Code",
    "Revision",   "Serial Number",          "Product Name", "State",    "Listed"};

inline constexpr std::string_view kUnknown = "unknown";
inline constexpr std::string_view kListed = "Yes";
inline constexpr std::string_view kListedAs = "Yes, as %s";
inline constexpr std::string_view kNotListed = "No";
inline constexpr std::string_view kAddressListedFor = "No; the address is listed for %s";
inline constexpr std::string_view kChangedTip =
    "Another device answers at this address than at an earlier scan.\nBefore: %s, serial number %s";

// States of the CIP Identity object, by value.
inline constexpr std::array<std::string_view, 6> kStates = {
    "Nonexistent", "Self testing", "Standby", "Operational", "Major recoverable fault", "Major unrecoverable fault"};

}  // namespace corvessa::scan_text
