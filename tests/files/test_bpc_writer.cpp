// Format 3 files as written, byte for byte, and the named layout sizes.

#include "files/bpc_writer.h"

#include <gtest/gtest.h>

#include "files/bpc_layout.h"
#include "files/bpc_reader.h"
#include "files_fixture.h"

namespace corvessa {
namespace {

using namespace files_test;

NetworkSettings PlantSettings() {
  NetworkSettings s;
  s.subnetMask = Ip(255, 255, 255, 0);
  s.gateway = Ip(192, 168, 1, 1);
  s.dns1 = Ip(192, 168, 1, 2);
  s.dns2 = 0;
  s.SetDomainName("plant.local");
  return s;
}

TEST(BpcLayoutTest, NamesPinnedToTheirNumbers) {
  EXPECT_EQ(bpc::kMagic, 0x23456789u);
  EXPECT_EQ(bpc::kVersionWritten, 0x00030000u);
  EXPECT_EQ(bpc::kSubnetMaskOffset, 8u);
  EXPECT_EQ(bpc::kGatewayOffset, 12u);
  EXPECT_EQ(bpc::kDns1Offset, 16u);
  EXPECT_EQ(bpc::kDns2Offset, 20u);
  EXPECT_EQ(bpc::kDomainNameOffset, 24u);
  EXPECT_EQ(bpc::kDomainNameLengthOffset, 56u);
  EXPECT_EQ(bpc::kRecordCountOffset, 57u);
  EXPECT_EQ(bpc::kHeaderSize, 61u);
  EXPECT_EQ(bpc::kRecordIpOffset, 17u);
  EXPECT_EQ(bpc::kRecordHostnameOffset, 21u);
  EXPECT_EQ(bpc::kRecordHostnameLengthOffset, 53u);
  EXPECT_EQ(bpc::kRecordDescriptionOffset, 54u);
  EXPECT_EQ(bpc::kRecordDescriptionLengthOffset, 309u);
  EXPECT_EQ(bpc::kRecordSize, 310u);
  EXPECT_EQ(bpc::kRecordSize22, 54u);
  EXPECT_EQ(bpc::kRecordSizeHeaderless, 29u);
}

TEST(BpcWriterTest, EmptyTableIsTheSixtyOneByteHeader) {
  const auto expected = Bytes()
                            .Raw({0x89, 0x67, 0x45, 0x23})  // magic
                            .Raw({0x00, 0x00, 0x03, 0x00})  // version 3.0
                            .Raw({0x00, 0xFF, 0xFF, 0xFF})  // subnet mask 255.255.255.0
                            .Raw({0x01, 0x01, 0xA8, 0xC0})  // gateway 192.168.1.1
                            .Raw({0x02, 0x01, 0xA8, 0xC0})  // dns1 192.168.1.2
                            .Raw({0x00, 0x00, 0x00, 0x00})  // dns2 none
                            .Text("plant.local", 32)        // domain name, zero-filled
                            .Raw({0x0B})                    // domain name length 11
                            .Raw({0x00, 0x00, 0x00, 0x00})  // record count 0
                            .data();
  ASSERT_EQ(expected.size(), 61u);
  RelationTable table;
  EXPECT_EQ(WriteBpc(PlantSettings(), table), expected);
}

TEST(BpcWriterTest, FullRecordWrittenByteForByte) {
  const std::string hostname = "abcdefghijklmnopqrstuvwxyz012345";  // 32, no terminator
  std::string description;
  for (int i = 0; i < 255; ++i) description += static_cast<char>('A' + i % 26);

  NetworkSettings settings = PlantSettings();
  settings.SetDomainName("");
  settings.dns1 = 0;
  RelationTable table;
  table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 1, 50), hostname, description));
  table.At(0)->type = kRelationTypeDhcp;  // never written

  const auto expected = Bytes()
                            .Raw({0x89, 0x67, 0x45, 0x23})  // magic
                            .Raw({0x00, 0x00, 0x03, 0x00})  // version 3.0
                            .Raw({0x00, 0xFF, 0xFF, 0xFF})  // subnet mask 255.255.255.0
                            .Raw({0x01, 0x01, 0xA8, 0xC0})  // gateway 192.168.1.1
                            .Raw({0x00, 0x00, 0x00, 0x00})  // dns1 none
                            .Raw({0x00, 0x00, 0x00, 0x00})  // dns2 none
                            .Zeros(32)                      // domain name empty
                            .Raw({0x00})                    // domain name length 0
                            .Raw({0x01, 0x00, 0x00, 0x00})  // record count 1
                            .Raw({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})  // hardware address
                            .Raw({0x06})                    // hardware address length
                            .Raw({0x32, 0x01, 0xA8, 0xC0})  // IP 192.168.1.50
                            .Text(hostname, 32)             // hostname, all 32 bytes used
                            .Raw({0x20})                    // hostname length 32
                            .Text(description, 255)         // description, all 255 bytes used
                            .Raw({0xFF})                    // description length 255
                            .data();
  ASSERT_EQ(expected.size(), 61u + 310u);
  EXPECT_EQ(WriteBpc(settings, table), expected);
}

TEST(BpcWriterTest, RecordsInTableOrderAndReadBackUnchanged) {
  RelationTable table;
  table.Append(MakeRelation(NumberedMac(2), NumberedIp(2), "second", "written first"));
  table.Append(MakeRelation(NumberedMac(1), NumberedIp(1), "", "no hostname"));
  table.Append(MakeRelation(NumberedMac(3), NumberedIp(3), "third"));
  const auto file = WriteBpc(PlantSettings(), table);
  ASSERT_EQ(file.size(), 61u + 3 * 310u);

  RelationTable loaded;
  const BpcLoad load = ReadBpc(file, loaded);
  ASSERT_TRUE(load.Succeeded());
  EXPECT_EQ(load.format, BpcLoad::Format::Current);
  EXPECT_EQ(load.omitted, 0);
  ASSERT_EQ(loaded.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    const Relation& a = *table.At(i);
    const Relation& b = *loaded.At(i);
    EXPECT_EQ(a.hardwareAddress, b.hardwareAddress);
    EXPECT_EQ(a.ipAddress, b.ipAddress);
    EXPECT_EQ(a.hostname, b.hostname);
    EXPECT_EQ(a.hostnameLength, b.hostnameLength);
    EXPECT_EQ(a.description, b.description);
    EXPECT_EQ(a.descriptionLength, b.descriptionLength);
    EXPECT_EQ(b.type, kRelationTypeNone);
  }
  EXPECT_EQ(load.settings.DomainName(), "plant.local");
  EXPECT_EQ(load.settings.dns1, Ip(192, 168, 1, 2));
  EXPECT_FALSE(load.limitReached);
}

}  // namespace
}  // namespace corvessa
