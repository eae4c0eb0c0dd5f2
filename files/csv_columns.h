#pragma once
// The columns of a relation CSV file.

#include <array>
#include <string_view>

namespace corvessa::csv {

inline constexpr std::string_view kMac = "MAC";
inline constexpr std::string_view kIp = "IP";
inline constexpr std::string_view kHostname = "Hostname";
inline constexpr std::string_view kDescription = "Description";
inline constexpr std::string_view kHeader = "MAC,IP,Hostname,Description";
inline constexpr char kLineEnd = '\n';
inline constexpr char kSeparator = ',';

}  // namespace corvessa::csv
