// List Identity request and reply, byte for byte: the request against its
// field table, the reply parser against replies built here by hand and cut
// at every length and every field boundary.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "enip/list_identity.h"

namespace corvessa {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ListIdentityLayout, NamesPinnedToTheirNumbers) {
  EXPECT_EQ(kEncapListIdentity, 0x0063);
  EXPECT_EQ(kEnipUdpPort, 44818);
  EXPECT_EQ(kListIdentityRequestSize, 24u);
  EXPECT_EQ(kCpfItemCountOffset, 24u);
  EXPECT_EQ(kCpfFirstItemOffset, 26u);
  EXPECT_EQ(kCpfItemHeaderSize, 4u);
  EXPECT_EQ(kCipIdentityItem, 0x000C);
  EXPECT_EQ(kIdentityProtocolVersionOffset, 0u);
  EXPECT_EQ(kIdentitySinFamilyOffset, 2u);
  EXPECT_EQ(kIdentitySinPortOffset, 4u);
  EXPECT_EQ(kIdentitySinAddressOffset, 6u);
  EXPECT_EQ(kIdentitySinZeroOffset, 10u);
  EXPECT_EQ(kIdentitySinZeroSize, 8u);
  EXPECT_EQ(kIdentityVendorOffset, 18u);
  EXPECT_EQ(kIdentityDeviceTypeOffset, 20u);
  EXPECT_EQ(kIdentityProductCodeOffset, 22u);
  EXPECT_EQ(kIdentityRevisionMajorOffset, 24u);
  EXPECT_EQ(kIdentityRevisionMinorOffset, 25u);
  EXPECT_EQ(kIdentityStatusOffset, 26u);
  EXPECT_EQ(kIdentitySerialOffset, 28u);
  EXPECT_EQ(kIdentityNameLengthOffset, 32u);
  EXPECT_EQ(kIdentityNameOffset, 33u);
  EXPECT_EQ(kIdentityFixedSize, 33u);
}

TEST(ListIdentityLayout, Request) {
  const Bytes expected = {
      0x63, 0x00,              // command: ListIdentity
      0x00, 0x00,              // length: nothing follows the header
      0x00, 0x00, 0x00, 0x00,  // session handle: none
      0x00, 0x00, 0x00, 0x00,  // status
      0x00, 0x00, 0x00, 0x00,  // sender context (8 bytes)
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  // options
  };
  const auto request = BuildListIdentity();
  EXPECT_EQ(Bytes(request.begin(), request.end()), expected);
}

// The identity item of a device at 192.168.78.11: every multi-byte field
// has two different bytes, so a swapped byte order shows.
const Bytes kItem = {
    0x01, 0x00,                                      // encapsulation protocol version 1
    0x00, 0x02,                                      // sin_family: AF_INET, big-endian
    0xAF, 0x12,                                      // sin_port: 44818, big-endian
    0xC0, 0xA8, 0x4E, 0x0B,                          // sin_addr: 192.168.78.11
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // sin_zero
    0x23, 0x01,                                      // vendor ID 0x0123
    0x0C, 0x00,                                      // device type 0x000C
    0x67, 0x45,                                      // product code 0x4567
    0x03,                                            // revision major 3
    0x11,                                            // revision minor 17
    0x31, 0x0A,                                      // status 0x0A31
    0xEF, 0xCD, 0xAB, 0x89,                          // serial number 0x89ABCDEF
    0x0C,                                            // product name length 12
    'P',  'L',  'C',  '-',  '5',  ' ',  'B',  'r',  'i', 'd', 'g', 'e',
    0x03,                                            // state 3
};
constexpr std::size_t kNameLength = 12;

void Le16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

struct Item {
  std::uint16_t type;
  Bytes data;
};

// A reply around the given items; `lengthDelta` bends the header's length.
Bytes Reply(const std::vector<Item>& items, int lengthDelta = 0, std::uint16_t count = 0xFFFF) {
  Bytes body;
  Le16(body, count == 0xFFFF ? static_cast<std::uint16_t>(items.size()) : count);  // item count
  for (const Item& item : items) {
    Le16(body, item.type);                                    // item type
    Le16(body, static_cast<std::uint16_t>(item.data.size())); // item length
    body.insert(body.end(), item.data.begin(), item.data.end());
  }
  Bytes reply = {0x63, 0x00};                                           // command: ListIdentity
  Le16(reply, static_cast<std::uint16_t>(static_cast<int>(body.size()) + lengthDelta));  // length
  reply.insert(reply.end(), {0, 0, 0, 0});                              // session handle
  reply.insert(reply.end(), {0, 0, 0, 0});                              // status
  reply.insert(reply.end(), {1, 2, 3, 4, 5, 6, 7, 8});                  // sender context
  reply.insert(reply.end(), {0, 0, 0, 0});                              // options
  reply.insert(reply.end(), body.begin(), body.end());
  return reply;
}

CipIdentity Expected() {
  CipIdentity identity;
  identity.protocolVersion = 1;
  identity.socketFamily = 2;
  identity.socketPort = 44818;
  identity.socketAddress = 0xC0A84E0B;
  identity.vendorId = 0x0123;
  identity.deviceType = 0x000C;
  identity.productCode = 0x4567;
  identity.revisionMajor = 3;
  identity.revisionMinor = 17;
  identity.status = 0x0A31;
  identity.serialNumber = 0x89ABCDEF;
  identity.productName = "PLC-5 Bridge";
  identity.state = 3;
  return identity;
}

TEST(ListIdentityReply, EveryFieldOfTheItem) {
  const Bytes reply = Reply({{0x000C, kItem}});
  ASSERT_EQ(reply.size(), 24u + 2 + 4 + 46);
  const auto identity = ParseListIdentityReply(reply);
  ASSERT_TRUE(identity);
  EXPECT_EQ(*identity, Expected());
}

TEST(ListIdentityReply, EveryShorterReceiveFails) {
  const Bytes reply = Reply({{0x000C, kItem}});
  for (std::size_t cut = 0; cut < reply.size(); ++cut) {
    EXPECT_FALSE(ParseListIdentityReply(std::span(reply).first(cut))) << cut << " bytes";
  }
}

// The item ends after each of its fields in turn, with the item's and the
// header's lengths telling the truth: without the whole name it fails; the
// state is the only field a device may leave out.
TEST(ListIdentityReply, ItemCutAtEveryFieldBoundary) {
  const std::size_t nameEnd = kIdentityNameOffset + kNameLength;
  for (std::size_t length = 0; length <= kItem.size(); ++length) {
    const Bytes item(kItem.begin(), kItem.begin() + static_cast<std::ptrdiff_t>(length));
    const auto identity = ParseListIdentityReply(Reply({{0x000C, item}}));
    if (length < nameEnd) {
      EXPECT_FALSE(identity) << "item of " << length << " bytes";
      continue;
    }
    ASSERT_TRUE(identity) << "item of " << length << " bytes";
    CipIdentity expected = Expected();
    if (length == nameEnd) expected.state.reset();
    EXPECT_EQ(*identity, expected) << "item of " << length << " bytes";
  }
}

TEST(ListIdentityReply, Shapes) {
  Bytes withTail = kItem;
  withTail.insert(withTail.end(), {0xAA, 0xBB});  // bytes a later revision may add
  Bytes nameOverrun = kItem;
  nameOverrun[kIdentityNameLengthOffset] = 14;  // two bytes more than the item holds after the state
  Bytes otherSerial = kItem;
  otherSerial[kIdentitySerialOffset] = 0x00;
  Bytes badStatus = Reply({{0x000C, kItem}});
  badStatus[8] = 0x01;  // status: invalid command
  Bytes otherCommand = Reply({{0x000C, kItem}});
  otherCommand[0] = 0x04;  // ListServices
  Bytes trailing = Reply({{0x000C, kItem}});
  trailing.insert(trailing.end(), {0xDE, 0xAD});  // past the header's length: never looked at
  Bytes onlyHeader = Reply({});
  onlyHeader.resize(24);
  onlyHeader[2] = 0;  // length 0

  struct Case {
    const char* name;
    Bytes reply;
    bool parses;
    std::uint32_t serial = 0x89ABCDEF;
  };
  const Case cases[] = {
      {"one identity item", Reply({{0x000C, kItem}}), true},
      {"another item first", Reply({{0x0086, {1, 2, 3}}, {0x000C, kItem}}), true},
      {"the first identity item counts", Reply({{0x000C, kItem}, {0x000C, otherSerial}}), true},
      {"bytes after the state", Reply({{0x000C, withTail}}), true},
      {"bytes after the header's length", trailing, true},
      {"no item", Reply({}), false},
      {"no identity item", Reply({{0x0086, {1, 2, 3}}}), false},
      {"count says one more item than follows", Reply({{0x000C, kItem}}, 0, 2), false},
      {"count of two, the identity second and missing", Reply({{0x0086, {1}}}, 0, 2), false},
      {"header length one short", Reply({{0x000C, kItem}}, -1), false},
      {"header length one long", Reply({{0x000C, kItem}}, 1), false},
      {"name longer than the item", Reply({{0x000C, nameOverrun}}), false},
      {"status not 0", badStatus, false},
      {"another command", otherCommand, false},
      {"only a header", onlyHeader, false},
  };
  for (const Case& c : cases) {
    const auto identity = ParseListIdentityReply(c.reply);
    EXPECT_EQ(identity.has_value(), c.parses) << c.name;
    if (identity) {
      EXPECT_EQ(identity->serialNumber, c.serial) << c.name;
    }
  }
}

TEST(ListIdentityReply, CpfItemsLieInsideTheData) {
  const Bytes data = {
      0x02, 0x00,              // two items
      0x86, 0x00, 0x01, 0x00,  // type 0x0086, length 1
      0x7F,                    //   its byte
      0x0C, 0x00, 0x00, 0x00,  // type 0x000C, length 0
      0xEE,                    // not counted
  };
  const auto items = ParseCpfItems(data);
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 2u);
  EXPECT_EQ((*items)[0].type, 0x0086);
  ASSERT_EQ((*items)[0].data.size(), 1u);
  EXPECT_EQ((*items)[0].data[0], 0x7F);
  EXPECT_EQ((*items)[0].data.data(), data.data() + 6);
  EXPECT_EQ((*items)[1].type, 0x000C);
  EXPECT_TRUE((*items)[1].data.empty());
  for (std::size_t cut = 0; cut < 11; ++cut) {
    EXPECT_FALSE(ParseCpfItems(std::span(data).first(cut))) << cut << " bytes";
  }
}

TEST(ListIdentityReply, ProductNameForTheWindow) {
  struct Case {
    std::string sent;
    std::string shown;
  };
  const Case cases[] = {
      {"1756-EN2T/D", "1756-EN2T/D"},
      {std::string("A\0B", 3), "A?B"},       // control characters
      {"Tab\there\x7F", "Tab?here?"},
      {"Z\xFC" "rich", "Z\xC3\xBC" "rich"},  // ISO 8859-1 u-umlaut as UTF-8
      {"\x85", "?"},                          // C1 control
      {"", ""},
  };
  for (const Case& c : cases) {
    CipIdentity identity;
    identity.productName = c.sent;
    EXPECT_EQ(ProductNameText(identity), c.shown) << c.sent;
  }
}

}  // namespace
}  // namespace corvessa
