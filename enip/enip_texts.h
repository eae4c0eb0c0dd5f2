#pragma once
// Status texts of the EtherNet/IP session that have no number of their own.

#include <string_view>

namespace corvessa::text {

inline constexpr std::string_view kSocketCreateFailed = "Socket creation failed for %s. (%s)";
inline constexpr std::string_view kConnectionClosed = "Connection closed by %s. [%s]";
inline constexpr std::string_view kIncompleteResponse =
    "Received an incomplete response from %s. [%s] (%d bytes)";

}  // namespace corvessa::text
