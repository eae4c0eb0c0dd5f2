#pragma once
// Texts of the server for what only happens on a Linux desktop: port 67
// holders that cannot be seen, a missing privilege, interfaces that come and
// go, a server socket that has to be bound again. printf-style.

#include <string_view>

namespace corvessa::text {

// Port-67 holder lines in the form of the owner line " - <name>, PID: <id>;",
// for a holder whose process this user may not see, and for one of which
// nothing at all could be learned.
inline constexpr std::string_view kPort67UserOwnerFormat = " - a process of user %s, PID: unknown;";
inline constexpr std::string_view kPort67UnknownOwner = " - an unknown process, PID: unknown;";

// A holder of port 67 in a reason: its name and process ID, or its user.
inline constexpr std::string_view kHolderProcessFormat = "%s (PID %u)";
inline constexpr std::string_view kHolderUserFormat = "a process of user %s";
inline constexpr std::string_view kHolderUnknown = "another program";

}  // namespace corvessa::text
