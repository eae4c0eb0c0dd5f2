// The FORCERENEW reset message, compared byte for byte with a message written
// out by hand.

#include <gtest/gtest.h>

#include "server/reply.h"
#include "tests/server/reply_fixture.h"

namespace corvessa::reply_test {
namespace {

Bytes ExpectedForceRenew(std::initializer_list<std::uint8_t> xid) {
  Bytes b;
  Append(b, {0x02});                                   // op: BOOTREPLY
  Append(b, {0x01});                                   // htype: Ethernet
  Append(b, {0x06});                                   // hlen
  Append(b, {0x00});                                   // hops
  Append(b, xid);                                      // xid, least significant byte first
  AppendZeros(b, 2);                                   // secs
  AppendZeros(b, 2);                                   // flags
  AppendZeros(b, 4);                                   // ciaddr
  AppendZeros(b, 4);                                   // yiaddr
  AppendZeros(b, 4);                                   // siaddr
  AppendZeros(b, 4);                                   // giaddr
  Append(b, {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34});     // chaddr: the relation's address
  AppendZeros(b, 10);                                  //   rest of chaddr
  AppendZeros(b, 64);                                  // sname
  AppendZeros(b, 128);                                 // file
  Append(b, {99, 130, 83, 99});                        // magic cookie
  Append(b, {53, 1, 9});                               // DHCP message type: FORCERENEW
  Append(b, {255});                                    // End
  AppendZeros(b, 56);                                  // padding to 300
  return b;
}

Bytes ToBytes(const std::array<std::uint8_t, kBootpReplySize>& message) { return Bytes(message.begin(), message.end()); }

TEST(ForceRenew, MessageLayout) {
  const auto relation = MakeRelation(kDeviceMac, kDeviceAddress, "plc-01");
  struct Case {
    std::uint32_t xid;
    std::initializer_list<std::uint8_t> wire;
  };
  const Case cases[] = {
      {6, {0x06, 0x00, 0x00, 0x00}},
      {7, {0x07, 0x00, 0x00, 0x00}},
      {1, {0x01, 0x00, 0x00, 0x00}},
      {0x01020304, {0x04, 0x03, 0x02, 0x01}},
      {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToBytes(BuildForceRenew(c.xid, *relation)), ExpectedForceRenew(c.wire)) << c.xid;
  }
}

}  // namespace
}  // namespace corvessa::reply_test
