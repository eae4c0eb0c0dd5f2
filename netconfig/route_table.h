#pragma once
// The kernel's IPv4 routing table as /proc/net/route prints it.

#include <cstdint>
#include <istream>
#include <optional>
#include <string_view>

namespace corvessa {

// Flags column (linux/route.h).
inline constexpr unsigned kRouteFlagGateway = 0x0002;  // RTF_GATEWAY
inline constexpr unsigned kRouteFlagReject = 0x0200;   // RTF_REJECT

// The gateway (host order) of the default route through the named interface:
// destination and mask 0, a gateway flag, not a reject route. With several,
// the one with the lowest metric, the first one on a tie (the kernel's
// choice). Lines that do not parse, the header among them, are skipped.
[[nodiscard]] std::optional<std::uint32_t> FindDefaultGateway(std::istream& routes, std::string_view interfaceName);

}  // namespace corvessa
