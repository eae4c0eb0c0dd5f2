// The editor's working copy without the window: how initial values and typed
// texts enter it, and how the server address text is read.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "relations/relation_entry.h"

namespace corvessa {
namespace {

TEST(RelationEntryTest, InitialHardwareAddress) {
  const std::array<std::uint8_t, 20> bytes = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34, 0x01, 0x02, 0x03, 0x04,
                                              0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E};
  struct Case {
    const char* name;
    const std::uint8_t* bytes;
    std::uint8_t length;
    std::uint8_t storedLength;
    std::string shown;
  };
  const Case cases[] = {
      {"no bytes", nullptr, 6, kNoHardwareAddress, ""},
      {"length 0", bytes.data(), 0, kNoHardwareAddress, ""},
      {"six bytes", bytes.data(), 6, 6, "00:1D:9C:C8:12:34"},
      {"three bytes of a failed conversion", bytes.data(), 3, 3, "00:1D:9C"},
      // More than the 16-byte field: cut to the field.
      {"twenty bytes", bytes.data(), 20, 16, "00:1D:9C:C8:12:34:01:02:03:04:05:06:07:08:09:0A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RelationEntry entry;
    entry.hardwareAddress.fill(0xEE);  // left over from an earlier value
    SetEntryHardwareAddress(entry, c.bytes, c.length);
    EXPECT_EQ(entry.hardwareAddressLength, c.storedLength);
    EXPECT_EQ(EntryHardwareAddressText(entry), c.shown);
    for (std::size_t i = c.storedLength == kNoHardwareAddress ? 0 : c.storedLength; i < 16; ++i) {
      EXPECT_EQ(entry.hardwareAddress[i], 0) << i;
    }
  }
}

TEST(RelationEntryTest, InitialTextsAreCutToTheirFields) {
  const std::string forty(40, 'h');
  const std::string long255(255, 'd');
  RelationEntry entry;
  SetEntryHostname(entry, forty.data(), 40);
  EXPECT_EQ(entry.hostnameLength, 32);
  EXPECT_EQ(EntryHostnameText(entry), std::string(32, 'h'));
  SetEntryDescription(entry, long255.data(), 255);
  EXPECT_EQ(entry.descriptionLength, 255);

  // A shorter value clears what the longer one left.
  SetEntryHostname(entry, "plc", 3);
  EXPECT_EQ(entry.hostnameLength, 3);
  const std::array<char, 32> plc = {'p', 'l', 'c'};
  EXPECT_EQ(entry.hostname, plc);

  SetEntryHostname(entry, nullptr, 5);
  EXPECT_EQ(entry.hostnameLength, 0);
  EXPECT_EQ(EntryHostnameText(entry), "");
  SetEntryDescription(entry, "x", 0);
  EXPECT_EQ(entry.descriptionLength, 0);
  EXPECT_EQ(EntryDescriptionText(entry), "");
}

TEST(RelationEntryTest, ShownTextsStopAtTheFirstZeroByte) {
  RelationEntry entry;
  const char withZero[] = {'a', 'b', '\0', 'c'};
  SetEntryHostname(entry, withZero, 4);
  SetEntryDescription(entry, withZero, 4);
  EXPECT_EQ(EntryHostnameText(entry), "ab");
  EXPECT_EQ(EntryDescriptionText(entry), "ab");
}

TEST(RelationEntryTest, TypedHardwareAddress) {
  RelationEntry entry;
  EXPECT_TRUE(ReadEntryHardwareAddress(entry, "zz001D9CC81234"));
  EXPECT_EQ(entry.hardwareAddressLength, 6);
  const std::array<std::uint8_t, 16> expected = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
  EXPECT_EQ(entry.hardwareAddress, expected);

  // A failed conversion keeps the length it had.
  EXPECT_FALSE(ReadEntryHardwareAddress(entry, "001D9CC8123"));
  EXPECT_EQ(entry.hardwareAddressLength, 6);
  RelationEntry none;
  EXPECT_FALSE(ReadEntryHardwareAddress(none, ""));
  EXPECT_EQ(none.hardwareAddressLength, kNoHardwareAddress);
}

TEST(RelationEntryTest, TypedTextsAreCutBeforeAHalfCharacter) {
  struct Case {
    const char* name;
    std::string typed;
    std::string stored;
  };
  const std::string a31(31, 'a');
  const Case cases[] = {
      {"32 ASCII", std::string(32, 'a'), std::string(32, 'a')},
      {"33 ASCII", std::string(33, 'a'), std::string(32, 'a')},
      // e-acute is C3 A9: its second byte would be the 33rd.
      {"two-byte character across the limit", a31 + "\xC3\xA9", a31},
      {"two-byte character that fits", std::string(30, 'a') + "\xC3\xA9", std::string(30, 'a') + "\xC3\xA9"},
      // Bytes that are no UTF-8 are cut where they stand.
      {"stray continuation bytes", std::string(40, '\x80'), std::string(32, '\x80')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RelationEntry entry;
    ReadEntryHostname(entry, c.typed);
    EXPECT_EQ(entry.hostnameLength, c.stored.size());
    EXPECT_EQ(std::string(entry.hostname.data(), entry.hostnameLength), c.stored);
  }

  RelationEntry entry;
  ReadEntryDescription(entry, std::string(254, 'd') + "\xE2\x82\xAC");  // euro sign, three bytes
  EXPECT_EQ(entry.descriptionLength, 254);
  EXPECT_EQ(entry.description[254], 0);
}

}  // namespace
}  // namespace corvessa
