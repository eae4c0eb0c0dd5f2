// The load generator's requests byte for byte, and its reading of replies.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "bench/load/client_message.h"

namespace corvessa::load {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& bytes, std::initializer_list<int> values) {
  for (const int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
}
void Zeros(Bytes& bytes, std::size_t count) { bytes.insert(bytes.end(), count, 0); }

constexpr Mac kMac = {0x02, 0x4C, 0x00, 0x00, 0x01, 0x02};

// Offsets 0..235 of every request the generator sends.
Bytes RequestHeader() {
  Bytes b;
  Put(b, {0x01});                    // op: BOOTREQUEST
  Put(b, {0x01});                    // htype: Ethernet
  Put(b, {0x06});                    // hlen
  Put(b, {0x00});                    // hops
  Put(b, {0x12, 0x34, 0x56, 0x78});  // xid
  Put(b, {0x00, 0x00});              // secs
  Put(b, {0x80, 0x00});              // flags: broadcast
  Zeros(b, 4);                       // ciaddr
  Zeros(b, 4);                       // yiaddr
  Zeros(b, 4);                       // siaddr
  Zeros(b, 4);                       // giaddr
  Put(b, {0x02, 0x4C, 0x00, 0x00, 0x01, 0x02});  // chaddr: the hardware address
  Zeros(b, 10);                      // chaddr: the rest of its 16 bytes
  Zeros(b, 64);                      // sname
  Zeros(b, 128);                     // file
  return b;
}

Bytes Padded(Bytes b) {
  b.resize(300, 0);  // every request goes out with 300 bytes
  return b;
}

Bytes Built(const RequestFields& fields) {
  const auto request = BuildRequest(fields);
  return Bytes(request.begin(), request.end());
}

TEST(ClientRequest, DiscoverBytes) {
  Bytes expected = RequestHeader();
  Put(expected, {99, 130, 83, 99});          // magic cookie
  Put(expected, {53, 1, 1});                 // message type: DISCOVER
  Put(expected, {55, 5, 1, 3, 6, 12, 15});   // parameters: mask, router, DNS, host name, domain
  Put(expected, {255});                      // End
  EXPECT_EQ(Built({RequestKind::Discover, 0x12345678, kMac, 0, 0}), Padded(expected));
}

TEST(ClientRequest, RequestBytesCarryRequestedAddressAndServer) {
  Bytes expected = RequestHeader();
  Put(expected, {99, 130, 83, 99});          // magic cookie
  Put(expected, {53, 1, 3});                 // message type: REQUEST
  Put(expected, {50, 4, 10, 77, 1, 1});      // requested address 10.77.1.1
  Put(expected, {54, 4, 10, 77, 0, 1});      // server identifier 10.77.0.1
  Put(expected, {55, 5, 1, 3, 6, 12, 15});   // parameter request list
  Put(expected, {255});                      // End
  EXPECT_EQ(Built({RequestKind::Request, 0x12345678, kMac, 0x0A4D0101, 0x0A4D0001}), Padded(expected));
}

TEST(ClientRequest, BootpRequestHasNoDhcpOption) {
  Bytes expected = RequestHeader();
  Put(expected, {99, 130, 83, 99});  // magic cookie
  Put(expected, {255});              // End
  EXPECT_EQ(Built({RequestKind::Bootp, 0x12345678, kMac, 0, 0}), Padded(expected));
}

// An OFFER as a server sends it: options 53 = 2 at 240, 54 at 243, End at 249.
Bytes Offer() {
  Bytes b;
  Put(b, {0x02});                    // op: BOOTREPLY
  Put(b, {0x01});                    // htype
  Put(b, {0x06});                    // hlen
  Put(b, {0x00});                    // hops
  Put(b, {0xCA, 0xFE, 0x00, 0x07});  // xid
  Zeros(b, 2);                       // secs
  Zeros(b, 2);                       // flags
  Zeros(b, 4);                       // ciaddr
  Put(b, {10, 77, 1, 7});            // yiaddr 10.77.1.7
  Put(b, {10, 77, 0, 1});            // siaddr
  Zeros(b, 4);                       // giaddr
  Put(b, {0x02, 0x4C, 0x00, 0x00, 0x01, 0x02});  // chaddr
  Zeros(b, 10 + 64 + 128);           // rest of chaddr, sname, file
  Put(b, {99, 130, 83, 99});         // magic cookie
  Put(b, {53, 1, 2});                // message type: OFFER
  Put(b, {54, 4, 10, 77, 0, 1});     // server identifier
  Put(b, {255});                     // End
  return b;
}

TEST(ClientReply, ReadsTheFieldsOfAnOffer) {
  const Bytes offer = Offer();
  const auto reply = ParseReply(offer);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->xid, 0xCAFE0007u);
  EXPECT_EQ(reply->mac, kMac);
  EXPECT_EQ(reply->hlen, 6);
  EXPECT_EQ(reply->yiaddr, 0x0A4D0107u);
  EXPECT_EQ(reply->messageType, std::optional<std::uint8_t>(2));
  EXPECT_EQ(reply->serverIdentifier, std::optional<std::uint32_t>(0x0A4D0001));
}

TEST(ClientReply, ReadsTheHostNameAsItsBytes) {
  Bytes reply = Offer();
  reply.resize(240);
  Put(reply, {53, 1, 2});                          // message type: OFFER
  Put(reply, {12, 6, '"', 'p', 'l', 'c', '1', '"'});  // host name, quotes and all
  Put(reply, {255});                               // End
  const auto parsed = ParseReply(reply);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->hostname, std::optional<std::string>("\"plc1\""));
  EXPECT_FALSE(ParseReply(Offer())->hostname.has_value());
}

TEST(ClientReply, SkipsPadAndStopsAtEnd) {
  Bytes reply = Offer();
  reply.resize(240);
  Put(reply, {0, 0});        // Pad, Pad
  Put(reply, {53, 1, 5});    // message type: ACK
  Put(reply, {255});         // End
  Put(reply, {54, 4, 1, 2, 3, 4});  // after End: not an option
  const auto parsed = ParseReply(reply);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->messageType, std::optional<std::uint8_t>(5));
  EXPECT_FALSE(parsed->serverIdentifier.has_value());
}

TEST(ClientReply, RefusesRequestsAndForeignCookies) {
  Bytes request = Offer();
  request[0] = 1;
  EXPECT_FALSE(ParseReply(request).has_value());
  Bytes cookie = Offer();
  cookie[239] = 0;
  EXPECT_FALSE(ParseReply(cookie).has_value());
}

// Every cut of the OFFER: inside the fixed part it is refused; in the options
// only cuts between whole options are read, with the options before them.
TEST(ClientReply, CutAtEveryLength) {
  const Bytes offer = Offer();
  for (std::size_t length = 0; length <= offer.size(); ++length) {
    SCOPED_TRACE(length);
    const auto parsed = ParseReply(std::span<const std::uint8_t>(offer.data(), length));
    switch (length) {
      case 240:  // no options at all
        ASSERT_TRUE(parsed.has_value());
        EXPECT_FALSE(parsed->messageType.has_value());
        break;
      case 243:  // message type whole, server identifier not begun
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->messageType, std::optional<std::uint8_t>(2));
        EXPECT_FALSE(parsed->serverIdentifier.has_value());
        break;
      case 249:  // both options, End cut off
      case 250:  // the whole reply
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->serverIdentifier, std::optional<std::uint32_t>(0x0A4D0001));
        break;
      default:
        EXPECT_FALSE(parsed.has_value());
    }
  }
}

}  // namespace
}  // namespace corvessa::load
