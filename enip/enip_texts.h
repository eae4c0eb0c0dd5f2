#pragma once
// Status texts of the EtherNet/IP session and of a commissioning run that
// have no number of their own.

#include <string_view>

namespace corvessa::text {

inline constexpr std::string_view kSocketCreateFailed = "Socket creation failed for %s. (%s)";
inline constexpr std::string_view kConnectionClosed = "Connection closed by %s. [%s]";
inline constexpr std::string_view kIncompleteResponse =
    "Received an incomplete response from %s. [%s] (%d bytes)";

// A device that a cancelled run did not finish.
inline constexpr std::string_view kDeviceCancelled = "Command cancelled for %s.";
// A device whose row had no relation: it has no hardware address to name it by.
inline constexpr std::string_view kNoDevice = "(no relation)";

}  // namespace corvessa::text
