#pragma once
// Texts of the headless service for what only a command line can get wrong:
// an interface or a server address named by the user. printf-style.

#include <string_view>

namespace corvessa::service::text {

// %s: the interface.
inline constexpr std::string_view kNoInterfaceFormat =
    "There is no network interface %s.\nApplication cannot continue.";
inline constexpr std::string_view kInterfaceWithoutAddressFormat =
    "The network interface %s has no IPv4 address, and replies must name one as the server.\n"
    "Give it one, or name the server's address with --server-address.\nApplication cannot continue.";
// %s: the text given.
inline constexpr std::string_view kInvalidServerAddressFormat =
    "--server-address=%s is not a valid IPv4 host address.\nApplication cannot continue.";
// %s: the address, the interface, the interface's addresses.
inline constexpr std::string_view kAddressNotOnInterfaceFormat =
    "%s is not an address of %s (it has %s): replies must leave from an address of the interface.\n"
    "Application cannot continue.";

// What systemctl status shows while the service serves. %s: the interface,
// the server's address; %d: the relations.
inline constexpr std::string_view kServingStatusFormat = "Serving on %s as %s (relations: %d)";

// The kernel refused a descriptor the loop needs. %s: the call and its error.
inline constexpr std::string_view kNoEventSourceFormat = "The service cannot run: %s.";

// The log without an interface watch.
inline constexpr std::string_view kNoInterfaceWatch =
    "The kernel refused the interface watch: a change of the interface will not be followed.";

}  // namespace corvessa::service::text
