#pragma once
// The warnings of the Linux firewall check, with the command that opens UDP
// port 67 for the chosen interface. printf-style.

#include <string_view>

namespace corvessa::text {

// %s: the interface, the zone, the zone, the zone.
inline constexpr std::string_view kFirewalldBlocksFormat =
    "The firewall (firewalld) drops the requests of devices on %s: its zone \"%s\" allows neither the "
    "dhcp service nor UDP port 67, so no device gets an answer and the Discovery History stays empty.\n\n"
    "To open the port, run:\n\n"
    "sudo firewall-cmd --zone=%s --add-service=dhcp\n"
    "sudo firewall-cmd --permanent --zone=%s --add-service=dhcp";

// %s: the interface, the interface.
inline constexpr std::string_view kUfwBlocksFormat =
    "The firewall (ufw) drops the requests of devices on %s: none of its rules allows UDP port 67 there, "
    "so no device gets an answer and the Discovery History stays empty.\n\n"
    "To open the port for this interface, run:\n\n"
    "sudo ufw allow in on %s to any port 67 proto udp";

// ufw is on, but its rules are not readable without privileges.
// %s: the interface, the interface.
inline constexpr std::string_view kUfwMayBlockFormat =
    "The firewall (ufw) is on and drops what its rules do not allow. Unless a rule allows UDP port 67 on %s, "
    "no device gets an answer and the Discovery History stays empty.\n\n"
    "To open the port for this interface, run:\n\n"
    "sudo ufw allow in on %s to any port 67 proto udp";

}  // namespace corvessa::text
