#pragma once
// Names under which the per-user settings are stored.

#include <string_view>

namespace corvessa::settings_names {

inline constexpr std::string_view kCompanyKey = "Merrowin Software";
inline constexpr std::string_view kApplicationName = "corvessa";
inline constexpr std::string_view kVersionSection = "Version 3.06.00";
inline constexpr std::string_view kLastAdapter = "lastadapter";
inline constexpr std::string_view kIpAddress = "ipaddress";
inline constexpr std::string_view kSubnetMask = "subnetmask";
inline constexpr std::string_view kGateway = "gateway";
inline constexpr std::string_view kDns1 = "dns1";
inline constexpr std::string_view kDns2 = "dns2";
inline constexpr std::string_view kDomainName = "domainname";

}  // namespace corvessa::settings_names
