#include "core/bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace corvessa {
namespace {

TEST(FitsIn, BoundsAndWrapAround) {
  EXPECT_TRUE(FitsIn(4, 0, 4));
  EXPECT_TRUE(FitsIn(4, 4, 0));
  EXPECT_FALSE(FitsIn(4, 1, 4));
  EXPECT_FALSE(FitsIn(4, 5, 0));
  constexpr auto kHuge = std::numeric_limits<std::size_t>::max();
  EXPECT_FALSE(FitsIn(4, kHuge, 2));  // offset + count would wrap to 1
  EXPECT_FALSE(FitsIn(4, 2, kHuge));
}

TEST(ByteOrder, GetFromHandBuiltBytes) {
  const std::array<std::uint8_t, 5> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A};
  EXPECT_EQ(big_endian::Get8(bytes, 4), 0x9A);
  EXPECT_EQ(big_endian::Get16(bytes, 0), 0x1234);
  EXPECT_EQ(big_endian::Get32(bytes, 1), 0x3456789Au);
  EXPECT_EQ(little_endian::Get16(bytes, 0), 0x3412);
  EXPECT_EQ(little_endian::Get32(bytes, 1), 0x9A785634u);
}

TEST(ByteOrder, PutGivesHandBuiltBytes) {
  std::array<std::uint8_t, 6> big{};
  ASSERT_TRUE(big_endian::Put16(big, 0, 0x0102));
  ASSERT_TRUE(big_endian::Put32(big, 2, 0xC0A80132u));
  const std::array<std::uint8_t, 6> bigExpected = {
      0x01, 0x02,              // 16-bit 0x0102, high byte first
      0xC0, 0xA8, 0x01, 0x32,  // 192.168.1.50
  };
  EXPECT_EQ(big, bigExpected);

  std::array<std::uint8_t, 6> little{};
  ASSERT_TRUE(little_endian::Put16(little, 0, 0x0065));
  ASSERT_TRUE(little_endian::Put32(little, 2, 0x00000004u));
  const std::array<std::uint8_t, 6> littleExpected = {
      0x65, 0x00,              // command 0x0065, low byte first
      0x04, 0x00, 0x00, 0x00,  // length 4
  };
  EXPECT_EQ(little, littleExpected);
}

TEST(ByteOrder, OutOfRangeFailsAndWritesNothing) {
  std::array<std::uint8_t, 3> bytes = {0xAA, 0xBB, 0xCC};
  EXPECT_FALSE(big_endian::Get32(bytes, 0).has_value());
  EXPECT_FALSE(little_endian::Get16(bytes, 2).has_value());
  EXPECT_FALSE(big_endian::Get8(bytes, 3).has_value());
  EXPECT_FALSE(big_endian::Put32(bytes, 0, 0x11223344u));
  EXPECT_FALSE(little_endian::Put16(bytes, 2, 0x1122));
  EXPECT_FALSE(PutBytes(bytes, 1, std::array<std::uint8_t, 3>{1, 2, 3}));
  EXPECT_FALSE(FillBytes(bytes, 2, 2, 0));
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 3>{0xAA, 0xBB, 0xCC}));
  EXPECT_FALSE(GetBytes(bytes, 2, 2).has_value());

  const std::vector<std::uint8_t> empty;
  EXPECT_FALSE(little_endian::Get8(empty, 0).has_value());
}

TEST(ByteReader, SequentialWithStickyFailure) {
  const std::array<std::uint8_t, 7> bytes = {0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0xFF};
  ByteReader reader(bytes);
  EXPECT_EQ(reader.U16Little(), 0x0001);
  EXPECT_EQ(reader.U32Little(), 0x00000002u);
  EXPECT_EQ(reader.Remaining(), 1u);
  EXPECT_FALSE(reader.U16Big().has_value());  // only one byte left
  EXPECT_TRUE(reader.Failed());
  EXPECT_FALSE(reader.U8().has_value());  // would fit, but the reader has failed
  EXPECT_EQ(reader.Position(), 6u);
}

TEST(ByteWriter, SequentialWithStickyFailure) {
  std::array<std::uint8_t, 7> bytes{};
  ByteWriter writer(bytes);
  EXPECT_TRUE(writer.U8(0x02));
  EXPECT_TRUE(writer.U16Big(0x0304));
  EXPECT_TRUE(writer.Fill(2, 0xEE));
  EXPECT_FALSE(writer.U32Little(0x01020304u));  // two bytes left
  EXPECT_TRUE(writer.Failed());
  EXPECT_FALSE(writer.U8(0x55));
  const std::array<std::uint8_t, 7> expected = {
      0x02,        // U8
      0x03, 0x04,  // U16Big
      0xEE, 0xEE,  // Fill
      0x00, 0x00,  // untouched: the failed writes changed nothing
  };
  EXPECT_EQ(bytes, expected);
}

}  // namespace
}  // namespace corvessa
