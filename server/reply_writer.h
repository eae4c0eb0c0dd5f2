#pragma once
// The pieces every reply is written from. A reply is written front to back
// with one ByteWriter limited to the reply's send length: a write that does not
// fit fails the writer, and a failed reply is never sent, so nothing is cut
// short or written past the length that goes out.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/bytes.h"
#include "core/network_settings.h"
#include "relations/relation_table.h"
#include "server/bootp_message.h"

namespace corvessa {

using ReplyBytes = std::array<std::uint8_t, kBootpMessageSize>;

// Lease, renewal and rebinding time of every address handed out.
inline constexpr std::uint32_t kInfiniteTime = 0xFFFFFFFFu;

// A writer over the first `length` bytes of the reply buffer.
inline ByteWriter ReplyWriter(ReplyBytes& reply, std::size_t length) {
  return ByteWriter(std::span<std::uint8_t>(reply).first(length));
}

// Offsets 0..235, the header both replies share: op 2; htype, hlen, hops, xid,
// secs, ciaddr, giaddr and all of chaddr copied; flags 0; yiaddr the
// relation's address; siaddr the server's; sname the server's host name; file
// empty.
void WriteReplyHeader(ByteWriter& writer, const BootpMessage& request, const Relation& relation,
                      const ServerIdentity& identity);

void PutCookie(ByteWriter& writer);
// Code, length, value. Every value written here comes from a field of at
// most 32 bytes, so its length fits the length byte.
void PutOption(ByteWriter& writer, std::uint8_t code, std::span<const std::uint8_t> value);
void PutU32Option(ByteWriter& writer, std::uint8_t code, std::uint32_t value);
void PutEnd(ByteWriter& writer);

// Option 6: both servers (length 8), or the one that is set (length 4), or nothing.
void PutNameServers(ByteWriter& writer, const NetworkSettings& settings);
// Option 15, when a domain name is set.
void PutDomainName(ByteWriter& writer, const NetworkSettings& settings);

// A relation has a hostname when its first byte is not 0.
bool HasHostName(const Relation& relation);
// The hostname length, never more than the field holds.
std::size_t HostNameLength(const Relation& relation);
// Option 12 with the relation's hostname.
void PutHostName(ByteWriter& writer, const Relation& relation);

}  // namespace corvessa
