#pragma once
// Control IDs of the interface selection and network settings dialogs. Each
// control carries its ID as the dynamic property "controlId".

namespace corvessa::netconfig_ids {

inline constexpr int kStatic = -1;  // labels and frames without an ID of their own
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// Interface selection
inline constexpr int kAdapterList = 1076;

// Network settings
inline constexpr int kResetDefaults = 1040;
inline constexpr int kSubnetMask = 1059;
inline constexpr int kGateway = 1060;
inline constexpr int kPrimaryDns = 1061;
inline constexpr int kSecondaryDns = 1062;
inline constexpr int kDomainName = 1071;
inline constexpr int kServerAddress = 1073;
inline constexpr int kAdapterName = 1077;

}  // namespace corvessa::netconfig_ids
