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

// The bind of port 67 was refused for lack of privilege; %s is the program's
// executable, for the command that grants it.
inline constexpr std::string_view kNoPrivilegeFormat =
    "Unable to use UDP port 67: ports below 1024 need a privilege this program has not been given.\n\n"
    "Grant it once (again after every rebuild) with:\n\n"
    "sudo setcap cap_net_bind_service=+ep %s\n\n"
    "Application cannot continue.";

// Status line. %s: the interface; the reason, from the texts below.
inline constexpr std::string_view kNotServingFormat = "Not serving on %s: %s. Trying again in %u s.";
inline constexpr std::string_view kServingAgainFormat = "Serving again on %s.";
inline constexpr std::string_view kInterfaceGoneFormat =
    "The network interface %s is gone: not serving until it returns.";
inline constexpr std::string_view kInterfaceBackFormat = "The network interface %s is back: serving again.";
// %s: the interface, the new server address, the old one.
inline constexpr std::string_view kServerAddressMovedFormat =
    "The address of %s changed: replies now name the server %s instead of %s.";
// %u: the datagram's length; %s: its sender; %lu: how many so far.
inline constexpr std::string_view kOversizedDatagramFormat =
    "Ignored a datagram of %u bytes from %s: longer than any BOOTP/DHCP request (%lu so far).";

// Why binding port 67 again failed.
inline constexpr std::string_view kReasonPortTakenFormat = "UDP port 67 is taken by %s";
inline constexpr std::string_view kReasonNoPrivilege = "no privilege to use UDP port 67";
inline constexpr std::string_view kReasonNoInterface = "the interface does not exist";
// A holder of port 67 in a reason: its name and process ID, or its user.
inline constexpr std::string_view kHolderProcessFormat = "%s (PID %u)";
inline constexpr std::string_view kHolderUserFormat = "a process of user %s";
inline constexpr std::string_view kHolderUnknown = "another program";

}  // namespace corvessa::text
