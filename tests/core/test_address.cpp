#include "core/address.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace corvessa {
namespace {

constexpr std::uint32_t Ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

struct IpCase {
  std::uint32_t address;
  bool valid;
};

TEST(IsValidIp, ClassfulRules) {
  const IpCase cases[] = {
      {Ip(127, 0, 0, 1), false},        // loopback
      {Ip(0, 0, 0, 1), false},          // network part 0
      {Ip(10, 0, 0, 0), false},         // class A host part 0
      {Ip(10, 255, 255, 255), false},   // class A broadcast
      {Ip(192, 168, 1, 0), false},      // class C host part 0
      {Ip(192, 168, 1, 255), false},    // class C broadcast
      {Ip(224, 0, 0, 1), false},        // class D
      {Ip(255, 255, 255, 255), false},  // class E
      {Ip(10, 1, 2, 3), true},
      {Ip(126, 255, 255, 254), true},
      {Ip(128, 0, 0, 1), true},
      {Ip(172, 16, 0, 1), true},
      {Ip(223, 255, 255, 1), true},
      {Ip(10, 1, 1, 0), true},  // subnet mask in use plays no part
      {Ip(172, 16, 255, 255), false},  // class B broadcast
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidIp(c.address), c.valid) << IpToText(c.address);
  }
}

TEST(IsValidMask, PrefixEightToThirtyOne) {
  const IpCase cases[] = {
      {Ip(255, 0, 0, 0), true},
      {Ip(255, 255, 255, 0), true},
      {Ip(255, 255, 255, 254), true},
      {Ip(254, 0, 0, 0), false},  // prefix 7
      {Ip(255, 255, 255, 255), false},
      {Ip(0, 0, 0, 0), false},
      {Ip(255, 0, 255, 0), false},  // not contiguous
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidMask(c.address), c.valid) << IpToText(c.address);
  }
  int validCount = 0;
  for (int prefix = 0; prefix <= 32; ++prefix) {
    const std::uint32_t mask = prefix == 0 ? 0 : ~((std::uint64_t{1} << (32 - prefix)) - 1);
    const bool valid = IsValidMask(mask);
    EXPECT_EQ(valid, prefix >= 8 && prefix <= 31) << prefix;
    validCount += valid ? 1 : 0;
  }
  EXPECT_EQ(validCount, 24);
}

TEST(SameSubnet, ComparesNetworkParts) {
  EXPECT_TRUE(SameSubnet(Ip(255, 255, 255, 0), Ip(192, 168, 1, 10), Ip(192, 168, 1, 200)));
  EXPECT_FALSE(SameSubnet(Ip(255, 255, 255, 0), Ip(192, 168, 1, 10), Ip(192, 168, 2, 10)));
  EXPECT_TRUE(SameSubnet(Ip(255, 255, 0, 0), Ip(192, 168, 1, 10), Ip(192, 168, 2, 10)));
}

TEST(IpToText, DottedWithoutPadding) {
  EXPECT_EQ(IpToText(Ip(192, 168, 1, 10)), "192.168.1.10");
  EXPECT_EQ(IpToText(0), "0.0.0.0");
  EXPECT_EQ(IpToText(0xFFFFFFFFu), "255.255.255.255");
  EXPECT_EQ(IpToText(Ip(10, 0, 7, 1)), "10.0.7.1");
}

struct TextCase {
  std::string text;
  bool ok;
  std::uint32_t result;
};

TEST(TextToIp, StrictRoundTrip) {
  const TextCase cases[] = {
      {"192.168.1.10", true, Ip(192, 168, 1, 10)},
      {"10.1.2.3", true, Ip(10, 1, 2, 3)},
      {"192.168.001.10", false, 0},  // leading zeros
      {"192.168.1.300", false, 0},   // above 255
      {" 192.168.1.10", false, 0},   // leading blank
      {"192.168.1.10x", false, 0},   // trailing text
      {"192.168.1", false, 0},       // three numbers
      {"+1.2.3.4", false, 0},        // sign
      {"127.0.0.1", false, 0},       // well formed but not a valid address
      {"", false, 0},
      {"a.b.c.d", false, 0},
  };
  for (const auto& c : cases) {
    std::uint32_t address = 0xDEADBEEF;
    EXPECT_EQ(TextToIp(c.text, address), c.ok) << c.text;
    EXPECT_EQ(address, c.result) << c.text;
  }
}

TEST(TextToIp, ReadsOnlyTheViewItIsGiven) {
  // The view stops before the trailing "5"; reading on would give .105.
  const std::string backing = "192.168.1.105";
  const std::string_view view(backing.data(), backing.size() - 1);
  std::uint32_t address = 0;
  ASSERT_TRUE(TextToIp(view, address));
  EXPECT_EQ(address, Ip(192, 168, 1, 10));
}

TEST(TextToMask, LaxLowByteAndMaskCheck) {
  const TextCase cases[] = {
      {"255.255.255.0", true, Ip(255, 255, 255, 0)},
      {"255.255.255.256", true, Ip(255, 255, 255, 0)},  // low 8 bits of 256
      {"255.255.255.0 trailing", true, Ip(255, 255, 255, 0)},
      {"255.255.0", false, 0},
      {"255.255.255.255", false, 0},
      {"10.1.2.3", false, 0},
  };
  for (const auto& c : cases) {
    std::uint32_t mask = 0xDEADBEEF;
    EXPECT_EQ(TextToMask(c.text, mask), c.ok) << c.text;
    EXPECT_EQ(mask, c.result) << c.text;
  }
}

TEST(MacToText, UpperCasePairs) {
  const std::uint8_t bytes[] = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
  EXPECT_EQ(MacToText(bytes, 6), "00:1D:9C:C8:12:34");
  EXPECT_EQ(MacToText(bytes, 1), "00");
  EXPECT_EQ(MacToText(bytes, 0), "");
}

TEST(TextToMac, AcceptsExactlyTwelveHexDigits) {
  const std::array<std::uint8_t, kMacCapacity> expected = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
  const char* accepted[] = {"00:1D:9C:C8:12:34", "00-1d-9c-c8-12-34", "001D9CC81234",
                            "zz001D9CC81234"};
  for (const char* text : accepted) {
    std::array<std::uint8_t, kMacCapacity> buffer;
    buffer.fill(0xEE);  // every byte past the address must be cleared
    std::uint8_t length = kMacCapacity;
    EXPECT_TRUE(TextToMac(text, buffer.data(), length)) << text;
    EXPECT_EQ(length, 6) << text;
    EXPECT_EQ(buffer, expected) << text;
  }
}

TEST(TextToMac, RefusesOtherCounts) {
  struct Case {
    std::string text;
    const char* why;
  };
  const Case refused[] = {
      {"", "empty"},
      {"00:1D:9C:C8:12:3", "eleven digits"},
      {"00:1D:9C:C8:12:34:5", "thirteen digits"},
      {"00:1D:9C:C8:12:34:56", "fourteen digits"},
      {std::string(32, 'A'), "capacity reached"},
      {std::string(40, '1'), "past capacity"},
      {"no digits here", "nothing read"},
  };
  for (const auto& c : refused) {
    std::array<std::uint8_t, kMacCapacity> buffer{};
    std::uint8_t length = kMacCapacity;
    EXPECT_FALSE(TextToMac(c.text, buffer.data(), length)) << c.why;
  }
}

TEST(TextToMac, NeverWritesPastTheCapacity) {
  // Guard bytes after a 4-byte capacity stay untouched however long the text.
  std::array<std::uint8_t, 8> buffer;
  buffer.fill(0xEE);
  std::uint8_t length = 4;
  EXPECT_FALSE(TextToMac("0102030405060708090A", buffer.data(), length));
  for (std::size_t i = 4; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE) << i;

  std::uint8_t none = 0;
  std::uint8_t guard = 0xEE;
  EXPECT_FALSE(TextToMac("01", &guard, none));
  EXPECT_EQ(guard, 0xEE);
}

TEST(TextToMac, ReportsCompleteBytesOnOddCount) {
  std::array<std::uint8_t, kMacCapacity> buffer{};
  std::uint8_t length = kMacCapacity;
  EXPECT_FALSE(TextToMac("123", buffer.data(), length));
  EXPECT_EQ(length, 1);
  EXPECT_EQ(buffer[0], 0x12);
}

TEST(IsValidMacLength, OnlySix) {
  for (int n = -1; n <= 17; ++n) EXPECT_EQ(IsValidMacLength(n), n == 6) << n;
}

// The system's own dotted-address parser: strict, and no validity test.
TEST(ParseDottedIp, SystemParser) {
  struct Case {
    const char* text;
    std::uint32_t address;
  };
  const Case cases[] = {
      {"192.168.1.5", 0xC0A80105}, {"10.0.0.1", 0x0A000001}, {"", 0},          {"Unknown", 0},
      {"192.168.1", 0},            {"192.168.1.5 ", 0},      {"192.168.1.256", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDottedIp(c.text).value_or(0), c.address) << c.text;
  }
}

}  // namespace
}  // namespace corvessa
