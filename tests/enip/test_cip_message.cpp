// CIP requests byte for byte, and the search for the reply item in received
// bytes, cut at every length.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "enip/cip_message.h"

namespace corvessa {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(CipRequest, GetAttributeSingle) {
  const Bytes expected = {
      0x6F, 0x00,              // command: SendRRData
      0x18, 0x00,              // length: 24
      0x78, 0x56, 0x34, 0x12,  // session handle 0x12345678
      0x00, 0x00, 0x00, 0x00,  // status
      0x00, 0x00, 0x00, 0x00,  // sender context
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  // options
      0x00, 0x00, 0x00, 0x00,  // interface handle
      0x00, 0x04,              // timeout 0x0400
      0x02, 0x00,              // item count 2
      0x00, 0x00, 0x00, 0x00,  // null address item, length 0
      0xB2, 0x00, 0x08, 0x00,  // unconnected data item, length 8
      0x0E,                    // service Get_Attribute_Single
      0x03,                    // path size: 3 words
      0x20, 0xF5,              // class 0xF5
      0x24, 0x07,              // instance 7
      0x30, 0x04,              // attribute 4
  };
  const auto request = BuildGetAttributeSingle(0x12345678, {0xF5, 7, 4});
  EXPECT_EQ(Bytes(request.begin(), request.end()), expected);
}

TEST(CipRequest, SetAttributeSingle) {
  const Bytes expected = {
      0x6F, 0x00,              // command: SendRRData
      0x1C, 0x00,              // length: 28
      0x00, 0x00, 0x00, 0x00,  // session handle 0
      0x00, 0x00, 0x00, 0x00,  // status
      0x00, 0x00, 0x00, 0x00,  // sender context
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  // options
      0x00, 0x00, 0x00, 0x00,  // interface handle
      0x00, 0x04,              // timeout 0x0400
      0x02, 0x00,              // item count 2
      0x00, 0x00, 0x00, 0x00,  // null address item, length 0
      0xB2, 0x00, 0x0C, 0x00,  // unconnected data item, length 12
      0x10,                    // service Set_Attribute_Single
      0x03,                    // path size: 3 words
      0x20, 0xF5,              // class 0xF5
      0x24, 0x01,              // instance 1
      0x30, 0x03,              // attribute 3
      0x12, 0x00, 0x00, 0xA0,  // value 0xA0000012
  };
  const auto request = BuildSetAttributeSingle(0, {0xF5, 1, 3}, 0xA0000012);
  EXPECT_EQ(Bytes(request.begin(), request.end()), expected);
}

TEST(CipRequest, ClassAndValueRewrittenInPlace) {
  auto request = BuildSetAttributeSingle(1, {0xF6, 2, 3}, 0);
  SetRequestClass(request, FallbackClass);
  SetRequestValue(request, 0x11);
  EXPECT_EQ(request[43], 0xAA);
  EXPECT_EQ(request[42], 0x20);  // segment type untouched
  EXPECT_EQ(request[44], 0x24);
  EXPECT_EQ(Bytes(request.begin() + 48, request.end()), (Bytes{0x11, 0x00, 0x00, 0x00}));
}

TEST(CipRequest, NamesPinnedToTheirNumbers) {
  EXPECT_EQ(kItemCountOffset, 30u);
  EXPECT_EQ(kFirstItemOffset, 32u);
  EXPECT_EQ(kClassByteOffset, 43u);
  EXPECT_EQ(kAttributeValueOffset, 48u);
  EXPECT_EQ(kGetAttributeSingleSize, 48u);
  EXPECT_EQ(kSetAttributeSingleSize, 52u);
  EXPECT_EQ(FallbackClass, 0xAA);
}

// --- Reply item ---------------------------------------------------------------

// A reply: header, interface handle, timeout, then the items as given.
Bytes Reply(std::uint16_t count, const Bytes& items) {
  Bytes out = {
      0x6F, 0x00, 0x00, 0x00,  // command, length (not examined)
      0x01, 0x00, 0x00, 0x00,  // session handle
      0x00, 0x00, 0x00, 0x00,  // status
      0x00, 0x00, 0x00, 0x00,  // sender context
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  // options
      0x00, 0x00, 0x00, 0x00,  // interface handle
      0x00, 0x00,              // timeout
  };
  out.push_back(static_cast<std::uint8_t>(count));  // item count
  out.push_back(static_cast<std::uint8_t>(count >> 8));
  out.insert(out.end(), items.begin(), items.end());
  return out;
}

const Bytes kNullItem = {0x00, 0x00, 0x00, 0x00};
// Get reply: service 0x8E, reserved, status 0, no additional status, data 03 00.
const Bytes kGetItem = {0xB2, 0x00, 0x06, 0x00, 0x8E, 0x00, 0x00, 0x00, 0x03, 0x00};

TEST(FindReplyItem, Cases) {
  struct Case {
    const char* name;
    Bytes reply;
    std::uint8_t service;
    std::optional<Bytes> data;  // the item data found, or none
  };
  Bytes twoAdditional = {0xB2, 0x00, 0x0A, 0x00,   // item, length 10
                         0x8E, 0x00, 0x00, 0x02,   // reply, status 0, 2 words
                         0x01, 0x00, 0x02, 0x00,   // additional status
                         0x12, 0x00};              // data
  Bytes other = {0x85, 0x00, 0x02, 0x00, 0xEE, 0xEE};  // unknown item type, 2 bytes
  Bytes errorItem = {0xB2, 0x00, 0x04, 0x00, 0x90, 0x00, 0x09, 0x00};
  Bytes shortItem = {0xB2, 0x00, 0x03, 0x00, 0x8E, 0x00, 0x00};
  Bytes zeroCount = Reply(0, kNullItem);
  zeroCount.insert(zeroCount.end(), kGetItem.begin(), kGetItem.end());
  const Case cases[] = {
      {"null item then data item", Reply(2, kNullItem + kGetItem), 0x0E,
       Bytes(kGetItem.begin() + 4, kGetItem.end())},
      {"unknown item passed over", Reply(3, kNullItem + other + kGetItem), 0x0E,
       Bytes(kGetItem.begin() + 4, kGetItem.end())},
      {"additional status kept in the data", Reply(2, kNullItem + twoAdditional), 0x0E,
       Bytes(twoAdditional.begin() + 4, twoAdditional.end())},
      {"general status error is still the item", Reply(2, kNullItem + errorItem), 0x10,
       Bytes(errorItem.begin() + 4, errorItem.end())},
      {"0x8E answering a Set request", Reply(2, kNullItem + kGetItem), 0x10, std::nullopt},
      {"data item beyond the count", zeroCount, 0x0E, std::nullopt},
      {"only the null item", Reply(1, kNullItem), 0x0E, std::nullopt},
      {"count larger than the items", Reply(5, kNullItem), 0x0E, std::nullopt},
      {"item shorter than the fixed fields", Reply(2, kNullItem + shortItem), 0x0E, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto found = FindReplyItem(c.reply, c.service);
    ASSERT_EQ(found.has_value(), c.data.has_value()) << c.name;
    if (found) {
      EXPECT_EQ(Bytes(found->data.begin(), found->data.end()), *c.data) << c.name;
    }
  }
}

TEST(FindReplyItem, FixedFieldsOfTheItem) {
  const Bytes item = {0xB2, 0x00, 0x08, 0x00,   // item, length 8
                      0x90, 0x00, 0x05, 0x02,   // reply to Set, status 5, 2 words
                      0xAA, 0xBB, 0xCC, 0xDD};  // additional status
  const auto found = FindReplyItem(Reply(2, kNullItem + item), 0x10);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->generalStatus, 5);
  EXPECT_EQ(found->additionalStatusWords, 2);
}

// Every cut of a good reply either finds the whole item or nothing, and reads
// no byte past the cut (a heap copy of exactly the cut length, under ASan).
TEST(FindReplyItem, CutAtEveryLength) {
  const Bytes full = Reply(3, kNullItem + Bytes{0x85, 0x00, 0x01, 0x00, 0xEE} + kGetItem);
  for (std::size_t length = 0; length <= full.size(); ++length) {
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
    const auto found = FindReplyItem(cut, 0x0E);
    if (length == full.size()) {
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(found->data.size(), 6u);
    } else {
      EXPECT_FALSE(found.has_value()) << "cut at " << length;
    }
  }
}

}  // namespace
}  // namespace corvessa
