// Faults the fuzzers found, pinned by hand-built inputs so that they stay
// mended whether or not a fuzz run happens to reach them again.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "files/bpc_reader.h"
#include "files/csv_reader.h"
#include "files/csv_writer.h"
#include "relations/relation_table.h"

namespace corvessa {
namespace {

void Append(std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> more) {
  bytes.insert(bytes.end(), more);
}

// A headerless .bpc file with one record; `address` is the whole 16-byte field.
std::vector<std::uint8_t> HeaderlessFile(std::initializer_list<std::uint8_t> address) {
  std::vector<std::uint8_t> file;
  Append(file, {0x00, 0x00, 0xFF, 0xFF});  // subnet mask 255.255.0.0
  Append(file, {0x00, 0x00, 0x00, 0x00});  // gateway: none
  Append(file, {0x01, 0x00, 0x00, 0x00});  // record count 1
  Append(file, address);                   // hardware address field (16 bytes)
  Append(file, {0x06});                    // hardware address length
  Append(file, {0x09, 0x00, 0x10, 0xAC});  // IP address 172.16.0.9
  Append(file, {0, 0, 0, 0, 0, 0, 0, 0});  // two ignored fields
  return file;
}

// The all-zero test looked at the whole 16-byte field, so bytes left in its
// unused rest let the address 00:00:00:00:00:00 into the table.
TEST(FuzzRegressions, ZeroHardwareAddressWithBytesAfterItsLengthIsRefused) {
  const auto file = HeaderlessFile({0, 0, 0, 0, 0, 0,                           // address 00:00:00:00:00:00
                                    0x1D, 0x9C, 0xC8, 0, 0, 0, 0x12, 0x34, 0, 0});  // left-over bytes
  ASSERT_EQ(file.size(), 12u + 29u);
  RelationTable table;
  const BpcLoad load = ReadBpc(file, table);
  EXPECT_TRUE(load.Succeeded());
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(load.omitted, 1);
}

TEST(FuzzRegressions, AddressWithBytesAfterItsLengthIsStillAccepted) {
  const auto file = HeaderlessFile({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34,  // address 00:1D:9C:C8:12:34
                                    0, 0, 0, 0, 0xEE, 0, 0, 0, 0, 0});    // a left-over byte
  RelationTable table;
  const BpcLoad load = ReadBpc(file, table);
  EXPECT_TRUE(load.Succeeded());
  ASSERT_EQ(table.Count(), 1);
  EXPECT_EQ(load.omitted, 0);
}

// A header naming a column twice: the later, shorter text replaced only the
// first bytes of the field, and the writer, which reads a field up to its
// first zero byte, wrote "xrive" for "x".
TEST(FuzzRegressions, ColumnNamedTwiceKeepsOnlyTheLaterText) {
  const std::string_view text =
      "MAC,IP,Description,Description\n"
      "00:1D:9C:C8:12:34,192.168.1.50,drive,x";
  RelationTable table;
  const CsvLoad load =
      ReadCsv(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), table);
  ASSERT_TRUE(load.Succeeded());
  ASSERT_EQ(table.Count(), 1);
  EXPECT_EQ(table.At(0)->descriptionLength, 1);
  EXPECT_EQ(WriteCsv(table),
            "MAC,IP,Hostname,Description\n"
            "00:1D:9C:C8:12:34,192.168.1.50,,x");
}

}  // namespace
}  // namespace corvessa
