// The received message: layout, option lookup and classification.

#include <gtest/gtest.h>

#include "server/bootp_message.h"
#include "tests/server/reply_fixture.h"

namespace corvessa::reply_test {
namespace {

TEST(BootpMessageLayout, NamesMatchTheWireLayout) {
  EXPECT_EQ(kBootpMessageSize, 2284u);
  EXPECT_EQ(kBootpReplySize, 300u);
  EXPECT_EQ(kDhcpReplySize, 358u);
  EXPECT_EQ(kOpOffset, 0u);
  EXPECT_EQ(kHtypeOffset, 1u);
  EXPECT_EQ(kHlenOffset, 2u);
  EXPECT_EQ(kHopsOffset, 3u);
  EXPECT_EQ(kXidOffset, 4u);
  EXPECT_EQ(kSecsOffset, 8u);
  EXPECT_EQ(kFlagsOffset, 10u);
  EXPECT_EQ(kCiaddrOffset, 12u);
  EXPECT_EQ(kYiaddrOffset, 16u);
  EXPECT_EQ(kSiaddrOffset, 20u);
  EXPECT_EQ(kGiaddrOffset, 24u);
  EXPECT_EQ(kChaddrOffset, 28u);
  EXPECT_EQ(kChaddrSize, 16u);
  EXPECT_EQ(kSnameOffset, 44u);
  EXPECT_EQ(kSnameSize, 64u);
  EXPECT_EQ(kFileOffset, 108u);
  EXPECT_EQ(kFileSize, 128u);
  EXPECT_EQ(kMagicCookieOffset, 236u);
  EXPECT_EQ(kOptionsOffset, 240u);
  EXPECT_EQ(kOptionScanLimit, 122u);
}

TEST(BootpMessage, AddressesAreReadMostSignificantByteFirst) {
  RequestHeader h;
  h.ciaddr = 0xC0A80132;
  h.giaddr = 0x0A000001;
  const BootpMessage message = Message(RequestBytes(h, {255}));
  EXPECT_EQ(message.Ciaddr(), 0xC0A80132u);
  EXPECT_EQ(message.Giaddr(), 0x0A000001u);
  EXPECT_EQ(message.Op(), 1);
  EXPECT_EQ(message.Hlen(), 6);
}

TEST(BootpMessage, ShortDatagramAfterALongerOneReadsZeros) {
  RequestHeader h;
  h.ciaddr = 0xC0A80132;
  h.sname = "other-host";
  BootpMessage message;
  const Bytes first = RequestBytes(h, {53, 1, 1, 255});
  message.Assign(first.data(), first.size());
  ASSERT_EQ(ClassifyRequest(message), RequestKind::DhcpAnswered);

  const Bytes second = {1, 1, 6, 0, 9, 9, 9, 9};  // op, htype, hlen, hops, xid; nothing more
  message.Assign(second.data(), second.size());
  EXPECT_EQ(ClassifyRequest(message), RequestKind::Bootp);  // no leftover option 53
  EXPECT_EQ(message.Ciaddr(), 0u);
  EXPECT_EQ(RequestMacText(message), "00:00:00:00:00:00");
  for (std::size_t i = second.size(); i < kBootpMessageSize; ++i) ASSERT_EQ(message.bytes[i], 0) << i;
}

TEST(BootpMessage, LongestDatagramIsKept) {
  Bytes datagram(kBootpMessageSize, 0x5A);
  BootpMessage message;
  message.Assign(datagram.data(), datagram.size());
  EXPECT_EQ(Bytes(message.bytes.begin(), message.bytes.end()), datagram);
}

// Options area of a request: the bytes from offset 240.
BootpMessage WithOptions(const Bytes& options) {
  Bytes b = RequestBytes({}, {});
  b.insert(b.end(), options.begin(), options.end());
  return Message(b);
}

TEST(FindOption, WalksUntilPadOrEnd) {
  struct Case {
    const char* what;
    Bytes options;
    std::uint8_t code;
    std::optional<OptionValue> expected;
  };
  const Case cases[] = {
      {"first option", {53, 1, 3, 255}, 53, OptionValue{242, 1}},
      {"after another option", {61, 2, 1, 2, 50, 4, 192, 168, 1, 50, 255}, 50, OptionValue{246, 4}},
      {"zero length", {50, 0, 53, 1, 3, 255}, 50, OptionValue{242, 0}},
      {"behind End", {255, 53, 1, 3}, 53, std::nullopt},
      {"behind Pad", {0, 53, 1, 3, 255}, 53, std::nullopt},
      {"absent", {53, 1, 3, 255}, 54, std::nullopt},
      {"Pad itself is never found", {53, 1, 3, 0, 255}, 0, std::nullopt},
      {"empty options area", {}, 53, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto found = FindOption(WithOptions(c.options), c.code);
    ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.what;
    if (found) {
      EXPECT_EQ(found->position, c.expected->position) << c.what;
      EXPECT_EQ(found->length, c.expected->length) << c.what;
    }
  }
}

// Filler option 224 of `total` bytes (code, length, value) so that the next
// option starts at `total` within the options area.
Bytes Filler(std::size_t total) {
  // Sized first: GCC 12 at -O3 warns falsely about growing a two-byte vector.
  Bytes b(total, 0xEE);
  b[0] = 224;
  b[1] = static_cast<std::uint8_t>(total - 2);
  return b;
}

TEST(FindOption, OnlyCodesStartingWithinTheFirst122BytesAreExamined) {
  Bytes at121 = Filler(121);
  Append(at121, {53, 1, 3, 255});  // starts at 121
  const auto found = FindOption(WithOptions(at121), 53);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->position, 240u + 123u);
  EXPECT_EQ(found->length, 1);

  Bytes at122 = Filler(122);
  Append(at122, {53, 1, 3, 255});  // starts at 122
  EXPECT_FALSE(FindOption(WithOptions(at122), 53).has_value());
}

TEST(FindOption, ValueMayRunPastTheScannedBytesAndTheDatagram) {
  // Option 12 at byte 121 claims 255 bytes; the datagram ends right after its
  // length byte. The value lies in the zero-filled rest of the buffer.
  Bytes options = Filler(121);
  Append(options, {12, 255});
  const BootpMessage message = WithOptions(options);
  const auto found = FindOption(message, 12);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->position, 240u + 123u);
  EXPECT_EQ(found->length, 255);
  ASSERT_LE(found->position + found->length, kBootpMessageSize);
  for (std::size_t i = 0; i < found->length; ++i) EXPECT_EQ(message.bytes[found->position + i], 0);
}

TEST(FindOption, LongLengthsJumpPastTheScanLimit) {
  Bytes options = {12, 200};  // skips beyond byte 122
  options.resize(202, 'x');
  Append(options, {53, 1, 3, 255});
  EXPECT_FALSE(FindOption(WithOptions(options), 53).has_value());

  // Every byte 0xFE: the walk strides 256 bytes at a time and stops.
  Bytes junk(kBootpMessageSize, 0xFE);
  junk[0] = 1;
  EXPECT_FALSE(FindOption(Message(junk), 53).has_value());
}

TEST(ClassifyRequest, ByOpAndOption53) {
  struct Case {
    const char* what;
    Bytes bytes;
    RequestKind kind;
  };
  Bytes reply = RequestBytes({}, {53, 1, 1, 255});
  reply[kOpOffset] = 2;
  const Case cases[] = {
      {"op 2", reply, RequestKind::NotARequest},
      {"no option 53", RequestBytes({}, {1, 4, 255, 255, 255, 0, 255}), RequestKind::Bootp},
      {"no options at all", RequestBytes({}, {}), RequestKind::Bootp},
      {"DISCOVER", RequestBytes({}, {53, 1, 1, 255}), RequestKind::DhcpAnswered},
      {"REQUEST", RequestBytes({}, {53, 1, 3, 255}), RequestKind::DhcpAnswered},
      {"DECLINE", RequestBytes({}, {53, 1, 4, 255}), RequestKind::DhcpIgnored},
      {"RELEASE", RequestBytes({}, {53, 1, 7, 255}), RequestKind::DhcpIgnored},
      {"INFORM", RequestBytes({}, {53, 1, 8, 255}), RequestKind::DhcpIgnored},
      // A type without a value byte is no DISCOVER, even though the next
      // option's code (1) sits where the value would be.
      {"option 53 of length 0", RequestBytes({}, {53, 0, 1, 4, 255, 255, 255, 0, 255}), RequestKind::DhcpIgnored},
      {"option 53 behind Pad", RequestBytes({}, {0, 53, 1, 1, 255}), RequestKind::Bootp},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyRequest(Message(c.bytes)), c.kind) << c.what;
}

TEST(RequestMacText, ShowsHlenBytesOfChaddrAtMost16) {
  struct Case {
    std::uint8_t hlen;
    const char* text;
  };
  const Case cases[] = {
      {6, "00:1D:9C:C8:12:34"},
      {0, ""},
      {7, "00:1D:9C:C8:12:34:AA"},
      {16, "00:1D:9C:C8:12:34:AA:BB:00:00:00:00:00:00:00:00"},
      {17, "00:1D:9C:C8:12:34:AA:BB:00:00:00:00:00:00:00:00"},
      {255, "00:1D:9C:C8:12:34:AA:BB:00:00:00:00:00:00:00:00"},
  };
  for (const Case& c : cases) {
    RequestHeader h;
    h.hlen = c.hlen;
    h.sname = "sname-text";  // never part of the address text
    EXPECT_EQ(RequestMacText(Message(RequestBytes(h, {255}))), c.text) << int{c.hlen};
  }
}

}  // namespace
}  // namespace corvessa::reply_test
