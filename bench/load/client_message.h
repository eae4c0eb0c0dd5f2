#pragma once
// The client side of BOOTP/DHCP as the load generator speaks it: the requests
// a powering-up device sends, and the few reply fields it needs to tell which
// exchange a reply answers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvessa::load {

using Mac = std::array<std::uint8_t, 6>;

// Classic BOOTP size; every request goes out with this length.
inline constexpr std::size_t kRequestSize = 300;
// Asks the server to broadcast its reply: the client has no address yet, and
// the load generator receives on one interface for many hardware addresses.
inline constexpr std::uint16_t kBroadcastFlag = 0x8000;
inline constexpr std::uint8_t kHtypeEthernet = 1;
inline constexpr std::uint8_t kParameterRequestList = 55;
// What a device asks for: mask, router, name servers, host name, domain name.
inline constexpr std::array<std::uint8_t, 5> kRequestedParameters = {1, 3, 6, 12, 15};

enum class RequestKind : std::uint8_t { Bootp, Discover, Request };

struct RequestFields {
  RequestKind kind = RequestKind::Bootp;
  std::uint32_t xid = 0;
  Mac mac{};
  std::uint32_t requestedAddress = 0;  // option 50 of a REQUEST, host order
  std::uint32_t serverIdentifier = 0;  // option 54 of a REQUEST, host order
};

// The 300-byte request: op 1, Ethernet, broadcast flag, the cookie and, for
// DHCP, message type, parameter list (and for a REQUEST the requested address
// and server identifier), End; zeros after it.
std::array<std::uint8_t, kRequestSize> BuildRequest(const RequestFields& fields);

struct ReplyFields {
  std::uint32_t xid = 0;
  Mac mac{};                 // first six bytes of chaddr
  std::uint8_t hlen = 0;
  std::uint32_t yiaddr = 0;  // host order
  std::optional<std::uint8_t> messageType;       // option 53
  std::optional<std::uint32_t> serverIdentifier; // option 54, host order
  std::optional<std::string> hostname;           // option 12, its bytes
};

// A BOOTREPLY with an intact option area, else nothing. Pad is skipped, End
// ends the walk; an option whose header or body runs past the datagram makes
// the whole reply unusable.
[[nodiscard]] std::optional<ReplyFields> ParseReply(std::span<const std::uint8_t> datagram);

}  // namespace corvessa::load
