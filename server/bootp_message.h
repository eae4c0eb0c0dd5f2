#pragma once
// The BOOTP/DHCP message: a 2284-byte buffer with a 236-byte fixed header, the
// magic cookie and the options from offset 240. All fields big-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvessa {

inline constexpr std::size_t kBootpMessageSize = 2284;
inline constexpr std::size_t kBootpReplySize = 300;  // BOOTP reply and FORCERENEW
inline constexpr std::size_t kDhcpReplySize = 358;

inline constexpr std::size_t kOpOffset = 0;
inline constexpr std::size_t kHtypeOffset = 1;
inline constexpr std::size_t kHlenOffset = 2;
inline constexpr std::size_t kHopsOffset = 3;
inline constexpr std::size_t kXidOffset = 4;
inline constexpr std::size_t kSecsOffset = 8;
inline constexpr std::size_t kFlagsOffset = 10;
inline constexpr std::size_t kCiaddrOffset = 12;
inline constexpr std::size_t kYiaddrOffset = 16;
inline constexpr std::size_t kSiaddrOffset = 20;
inline constexpr std::size_t kGiaddrOffset = 24;
inline constexpr std::size_t kChaddrOffset = 28;
inline constexpr std::size_t kChaddrSize = 16;
inline constexpr std::size_t kSnameOffset = 44;
inline constexpr std::size_t kSnameSize = 64;
inline constexpr std::size_t kFileOffset = 108;
inline constexpr std::size_t kFileSize = 128;
inline constexpr std::size_t kMagicCookieOffset = 236;
inline constexpr std::size_t kOptionsOffset = 240;
// Only option codes that start within this many bytes of the options area are examined.
inline constexpr std::size_t kOptionScanLimit = 122;

inline constexpr std::array<std::uint8_t, 4> kMagicCookie = {99, 130, 83, 99};

inline constexpr std::uint8_t kOpBootRequest = 1;
inline constexpr std::uint8_t kOpBootReply = 2;

namespace option {
inline constexpr std::uint8_t kPad = 0;
inline constexpr std::uint8_t kSubnetMask = 1;
inline constexpr std::uint8_t kRouter = 3;
inline constexpr std::uint8_t kDomainNameServers = 6;
inline constexpr std::uint8_t kHostName = 12;
inline constexpr std::uint8_t kDomainName = 15;
inline constexpr std::uint8_t kRequestedAddress = 50;
inline constexpr std::uint8_t kLeaseTime = 51;
inline constexpr std::uint8_t kMessageType = 53;
inline constexpr std::uint8_t kServerIdentifier = 54;
inline constexpr std::uint8_t kRenewalTime = 58;
inline constexpr std::uint8_t kRebindingTime = 59;
inline constexpr std::uint8_t kEnd = 255;
}  // namespace option

namespace dhcp_type {
inline constexpr std::uint8_t kDiscover = 1;
inline constexpr std::uint8_t kOffer = 2;
inline constexpr std::uint8_t kRequest = 3;
inline constexpr std::uint8_t kDecline = 4;
inline constexpr std::uint8_t kAck = 5;
inline constexpr std::uint8_t kNak = 6;
inline constexpr std::uint8_t kRelease = 7;
inline constexpr std::uint8_t kForceRenew = 9;
}  // namespace dhcp_type

struct BootpMessage {
  std::array<std::uint8_t, kBootpMessageSize> bytes{};

  // Takes a received datagram: copies at most kBootpMessageSize bytes and
  // zero-fills the rest, so nothing of an earlier datagram is ever read.
  void Assign(const std::uint8_t* data, std::size_t length);

  std::uint8_t Op() const { return bytes[kOpOffset]; }
  std::uint8_t Hlen() const { return bytes[kHlenOffset]; }
  const std::uint8_t* Chaddr() const { return bytes.data() + kChaddrOffset; }
  std::uint32_t Ciaddr() const;  // host order
  std::uint32_t Giaddr() const;  // host order
};

// Position (an offset into the message) and length of an option value.
struct OptionValue {
  std::size_t position = 0;
  std::uint8_t length = 0;
};

// Walks the options from offset 240; a Pad byte ends the walk like End.
[[nodiscard]] std::optional<OptionValue> FindOption(const BootpMessage& message, std::uint8_t code);

enum class RequestKind {
  NotARequest,   // op is not 1: no trace at all
  Bootp,         // no option 53
  DhcpAnswered,  // option 53 is DISCOVER or REQUEST
  DhcpIgnored,   // option 53 with any other value
};

RequestKind ClassifyRequest(const BootpMessage& message);

// The hardware address text of a request (MacToText of chaddr and hlen). An
// hlen above 16 shows the 16 bytes of chaddr and never reads beyond it.
std::string RequestMacText(const BootpMessage& message);

// "DHCP" for a request that carries option 53 (whatever its value), else
// "BOOTP": how the history and the status line name the request.
std::string_view RequestTypeText(const BootpMessage& message);

}  // namespace corvessa
