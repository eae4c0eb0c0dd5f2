#pragma once
// The BOOTP and DHCP replies and the FORCERENEW reset message.

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/network_settings.h"
#include "relations/relation_table.h"
#include "server/bootp_message.h"

namespace corvessa {

inline constexpr std::uint16_t kBootpServerPort = 67;
inline constexpr std::uint16_t kBootpClientPort = 68;
inline constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

struct Endpoint {
  std::uint32_t address = 0;  // host order
  std::uint16_t port = 0;
  bool operator==(const Endpoint&) const = default;
};

// The server socket's send-to, behind an interface so that the replies can be
// checked without a socket.
class DatagramSender {
 public:
  virtual ~DatagramSender() = default;
  virtual bool SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) = 0;
};

// What the replies read besides the request.
struct ServerContext {
  RelationTable& table;
  const NetworkSettings& settings;
  const ServerIdentity& identity;
  DatagramSender& sender;
};

// ciaddr:68, else giaddr:67, else 255.255.255.255:68. Never yiaddr.
Endpoint ReplyDestination(const BootpMessage& request);

// The relation whose address a reply to `request` would hand out (a
// BOOTREPLY, OFFER or ACK), by the rules the two Serve functions follow;
// nullptr when the request gets no such reply (not listed, meant for another
// server, answered with a NAK, no request at all).
Relation* AddressReplyRelation(const BootpMessage& request, const RelationTable& table,
                               const ServerIdentity& identity);

// Each returns the served relation, or nullptr when nothing was served.
Relation* ServeBootp(const BootpMessage& request, ServerContext& context);
// Served means an ACK was sent; an OFFER or a NAK returns nullptr.
Relation* ServeDhcp(const BootpMessage& request, ServerContext& context);

// The 300-byte FORCERENEW message for one relation; xid goes out least
// significant byte first.
std::array<std::uint8_t, kBootpReplySize> BuildForceRenew(std::uint32_t xid, const Relation& relation);

}  // namespace corvessa
