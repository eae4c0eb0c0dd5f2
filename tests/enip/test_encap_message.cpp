// Encapsulation header and Register Session request, byte for byte.

#include <gtest/gtest.h>

#include <vector>

#include "enip/encap_message.h"

namespace corvessa {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(EncapLayout, NamesPinnedToTheirNumbers) {
  EXPECT_EQ(kEnipTcpPort, 44818);
  EXPECT_EQ(kEncapHeaderSize, 24u);
  EXPECT_EQ(kEncapLengthOffset, 2u);
  EXPECT_EQ(kEncapSessionHandleOffset, 4u);
  EXPECT_EQ(kEncapStatusOffset, 8u);
  EXPECT_EQ(kEncapSenderContextOffset, 12u);
  EXPECT_EQ(kEncapOptionsOffset, 20u);
  EXPECT_EQ(kRegisterSessionSize, 28u);
  EXPECT_EQ(ResponseBlockSize, 3196u);
}

TEST(EncapLayout, RegisterSessionRequest) {
  const Bytes expected = {
      0x65, 0x00,              // command: RegisterSession
      0x04, 0x00,              // length: 4 bytes follow the header
      0x00, 0x00, 0x00, 0x00,  // session handle: none yet
      0x00, 0x00, 0x00, 0x00,  // status
      0x00, 0x00, 0x00, 0x00,  // sender context (8 bytes)
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  // options
      0x01, 0x00,              // protocol version 1
      0x00, 0x00,              // options flags
  };
  const auto request = BuildRegisterSession();
  EXPECT_EQ(Bytes(request.begin(), request.end()), expected);
}

// How many bytes a reply is awaited for, from what has arrived so far.
TEST(EncapLayout, ExpectedReplySize) {
  struct Case {
    const char* name;
    Bytes received;
    std::size_t expected;
  };
  Bytes header(24, 0);
  Bytes withLength = header;
  withLength[2] = 0x1A;  // 26 bytes follow
  Bytes huge = header;
  huge[2] = 0xFF;  // 65535 bytes follow: more than the block holds
  huge[3] = 0xFF;
  const Case cases[] = {
      {"nothing", {}, 24},
      {"length field only", {0x6F, 0x00, 0x1A, 0x00}, 24},
      {"header without body", header, 24},
      {"header announcing 26", withLength, 50},
      {"longer than the block", huge, ResponseBlockSize},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpectedReplySize(c.received), c.expected) << c.name;
}

}  // namespace
}  // namespace corvessa
