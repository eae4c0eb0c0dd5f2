#include "server/reply.h"

#include <algorithm>
#include <optional>

#include "core/ascii.h"
#include "server/reply_writer.h"

namespace corvessa {

namespace {

constexpr std::array<std::uint8_t, 4> kNoServer{};

// The client's sname is read only within its 64 bytes: a name without a
// terminating 0 counts as 64 characters long and so names no host of ours.
std::size_t SnameLength(const BootpMessage& request) {
  const auto begin = request.bytes.begin() + static_cast<std::ptrdiff_t>(kSnameOffset);
  return static_cast<std::size_t>(std::find(begin, begin + kSnameSize, std::uint8_t{0}) - begin);
}

bool SnameIsEmpty(const BootpMessage& request) { return SnameLength(request) == 0; }

bool SnameNamesServer(const BootpMessage& request, const ServerIdentity& identity) {
  const std::string_view sname(reinterpret_cast<const char*>(request.bytes.data() + kSnameOffset),
                               SnameLength(request));
  const auto& name = identity.hostName;
  const std::string_view hostName(name.data(),
                                  static_cast<std::size_t>(std::find(name.begin(), name.end(), '\0') - name.begin()));
  return EqualsIgnoringAsciiCase(sname, hostName);
}

// The relation for the request's chaddr. chaddr holds 16 bytes; a longer hlen
// matches no relation rather than comparing bytes of sname.
Relation* FindRequestRelation(const BootpMessage& request, const RelationTable& table) {
  if (request.Hlen() > kChaddrSize) return nullptr;
  return table.FindByMac(request.Chaddr(), request.Hlen());
}

// An address option shorter than four bytes carries no address: reading four
// bytes would take the following option's bytes for it.
std::optional<std::size_t> AddressOptionPosition(const BootpMessage& request, std::uint8_t code) {
  const auto found = FindOption(request, code);
  if (!found || found->length < 4) return std::nullopt;
  return found->position;
}

// Option 54 as it arrived (network order), or 0.0.0.0 when absent.
std::array<std::uint8_t, 4> RequestedServer(const BootpMessage& request) {
  std::array<std::uint8_t, 4> server{};
  const auto position = AddressOptionPosition(request, option::kServerIdentifier);
  if (!position) return server;
  if (const auto value = GetBytes(request.bytes, *position, server.size())) {
    std::copy(value->begin(), value->end(), server.begin());
  }
  return server;
}

// Option 50 in host order, or 0 when absent.
std::uint32_t RequestedAddress(const BootpMessage& request) {
  const auto position = AddressOptionPosition(request, option::kRequestedAddress);
  if (!position) return 0;
  return big_endian::Get32(request.bytes, *position).value_or(0);
}

bool AcceptsDhcp(const BootpMessage& request, const ServerIdentity& identity) {
  if (SnameNamesServer(request, identity)) return true;
  if (!SnameIsEmpty(request)) return false;
  const auto server = RequestedServer(request);
  return server == kNoServer || server == identity.serverAddress;
}

// The listed relation a BOOTP request is for, when this server answers it.
Relation* BootpRelation(const BootpMessage& request, const RelationTable& table, const ServerIdentity& identity) {
  if (!SnameIsEmpty(request) && !SnameNamesServer(request, identity)) return nullptr;
  return FindRequestRelation(request, table);
}

// The same for a DHCPDISCOVER or DHCPREQUEST; the answer may still be a NAK.
Relation* DhcpRelation(const BootpMessage& request, const RelationTable& table, const ServerIdentity& identity) {
  if (!AcceptsDhcp(request, identity)) return nullptr;
  return FindRequestRelation(request, table);
}

// A DHCPREQUEST for another address than the relation's gets a NAK.
bool AsksForAnotherAddress(const BootpMessage& request, const Relation& relation) {
  const std::uint32_t requested = RequestedAddress(request);
  return requested != 0 && requested != relation.ipAddress;
}

}  // namespace

Endpoint ReplyDestination(const BootpMessage& request) {
  if (request.Ciaddr() != 0) return {request.Ciaddr(), kBootpClientPort};
  if (request.Giaddr() != 0) return {request.Giaddr(), kBootpServerPort};
  return {kLimitedBroadcast, kBootpClientPort};
}

Relation* AddressReplyRelation(const BootpMessage& request, const RelationTable& table,
                               const ServerIdentity& identity) {
  switch (ClassifyRequest(request)) {
    case RequestKind::Bootp:
      return BootpRelation(request, table, identity);
    case RequestKind::DhcpAnswered: {
      Relation* relation = DhcpRelation(request, table, identity);
      if (relation == nullptr) return nullptr;
      const auto type = FindOption(request, option::kMessageType);
      const bool nak = type && request.bytes[type->position] == dhcp_type::kRequest &&
                       AsksForAnotherAddress(request, *relation);
      return nak ? nullptr : relation;
    }
    default:
      return nullptr;
  }
}

Relation* ServeBootp(const BootpMessage& request, ServerContext& context) {
  Relation* relation = BootpRelation(request, context.table, context.identity);
  if (relation == nullptr) return nullptr;
  // Marked before sending; the mark stays when the send fails.
  relation->type = kRelationTypeBootp;

  ReplyBytes reply{};
  ByteWriter writer = ReplyWriter(reply, kBootpReplySize);
  WriteReplyHeader(writer, request, *relation, context.identity);
  const NetworkSettings& settings = context.settings;
  PutCookie(writer);
  if (settings.subnetMask != 0) PutU32Option(writer, option::kSubnetMask, settings.subnetMask);
  if (settings.subnetMask != 0 && settings.gateway != 0) PutU32Option(writer, option::kRouter, settings.gateway);
  PutNameServers(writer, settings);
  PutDomainName(writer, settings);
  // The hostname goes in only when at least the End byte still fits after it.
  if (HasHostName(*relation) && kBootpReplySize - writer.Position() > HostNameLength(*relation) + 2) {
    PutHostName(writer, *relation);
  }
  PutEnd(writer);
  if (writer.Failed()) return nullptr;

  if (!context.sender.SendTo(reply.data(), kBootpReplySize, ReplyDestination(request))) return nullptr;
  return relation;
}

Relation* ServeDhcp(const BootpMessage& request, ServerContext& context) {
  const auto type = FindOption(request, option::kMessageType);
  if (!type || type->length == 0) return nullptr;
  const std::uint8_t requestType = request.bytes[type->position];
  if (requestType != dhcp_type::kDiscover && requestType != dhcp_type::kRequest) return nullptr;

  Relation* relation = DhcpRelation(request, context.table, context.identity);
  if (relation == nullptr) return nullptr;
  // Marked whatever the answer is, and also when the send fails.
  relation->type = kRelationTypeDhcp;

  ReplyBytes reply{};
  ByteWriter writer = ReplyWriter(reply, kDhcpReplySize);
  WriteReplyHeader(writer, request, *relation, context.identity);
  PutCookie(writer);

  std::uint8_t replyType = dhcp_type::kOffer;
  if (requestType == dhcp_type::kRequest) {
    replyType = AsksForAnotherAddress(request, *relation) ? dhcp_type::kNak : dhcp_type::kAck;
  }
  PutOption(writer, option::kMessageType, std::span(&replyType, 1));

  if (replyType == dhcp_type::kNak) {
    // RFC 2131 requires the server identifier in a NAK, and clients that
    // insist on it (dhcpcd's default configuration) drop a NAK without it
    // and keep asking for the old address. Nothing else goes in.
    PutOption(writer, option::kServerIdentifier, context.identity.serverAddress);
  } else {
    const NetworkSettings& settings = context.settings;
    if (settings.subnetMask != 0) PutU32Option(writer, option::kSubnetMask, settings.subnetMask);
    PutU32Option(writer, option::kRenewalTime, kInfiniteTime);
    PutU32Option(writer, option::kRebindingTime, kInfiniteTime);
    PutU32Option(writer, option::kLeaseTime, kInfiniteTime);
    PutOption(writer, option::kServerIdentifier, context.identity.serverAddress);
    PutDomainName(writer, settings);
    if (settings.subnetMask != 0 && settings.gateway != 0) PutU32Option(writer, option::kRouter, settings.gateway);
    PutNameServers(writer, settings);
    // No room test: 358 bytes hold the largest set of options exactly.
    if (HasHostName(*relation)) PutHostName(writer, *relation);
  }
  PutEnd(writer);
  if (writer.Failed()) return nullptr;

  // A NAK goes where an ACK would.
  if (!context.sender.SendTo(reply.data(), kDhcpReplySize, ReplyDestination(request))) return nullptr;
  return replyType == dhcp_type::kAck ? relation : nullptr;
}

}  // namespace corvessa
