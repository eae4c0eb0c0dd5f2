// Reading .bpc files: dispatch on magic and version, the settings checks,
// record acceptance, the limit, trailing data and short files.

#include "files/bpc_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files_fixture.h"

namespace corvessa {
namespace {

using namespace files_test;

constexpr std::uint32_t kMask24 = 0xFFFFFF00;  // 255.255.255.0

// Format 3 / 2.2 header: magic, version, mask, gateway, dns1, dns2, domain
// field, its length byte, record count.
Bytes Header(std::uint32_t version, std::uint32_t mask, std::int32_t count, std::uint32_t gateway = 0,
             std::string_view domain = "", int domainLengthByte = -1, std::uint32_t dns1 = 0,
             std::uint32_t dns2 = 0) {
  Bytes b;
  b.Raw({0x89, 0x67, 0x45, 0x23})  // magic
      .Le32(version)               // version
      .Le32(mask)                  // subnet mask
      .Le32(gateway)               // gateway
      .Le32(dns1)                  // dns1
      .Le32(dns2)                  // dns2
      .Text(domain, 32)            // domain name
      .U8(static_cast<std::uint8_t>(domainLengthByte < 0 ? domain.size() : domainLengthByte))  // its length
      .Le32(static_cast<std::uint32_t>(count));  // record count
  return b;
}

void Record3(Bytes& b, const Mac& mac, std::uint32_t ip, std::string_view hostname = "",
             std::string_view description = "", std::uint8_t macLength = 6) {
  b.Text(std::string_view(reinterpret_cast<const char*>(mac.data()), mac.size()), 16)  // hardware address
      .U8(macLength)                                                                    // its length
      .Le32(ip)                                                                         // IP address
      .Text(hostname, 32)                                                               // hostname
      .U8(static_cast<std::uint8_t>(hostname.size()))                                   // its length
      .Text(description, 255)                                                           // description
      .U8(static_cast<std::uint8_t>(description.size()));                               // its length
}

struct Loaded {
  BpcLoad load;
  RelationTable table;
};

std::unique_ptr<Loaded> Load(const std::vector<std::uint8_t>& file) {
  auto out = std::make_unique<Loaded>();
  out->load = ReadBpc(file, out->table);
  return out;
}

// --- Format 3 ---------------------------------------------------------------

TEST(BpcReaderTest, EmptyConfigurationLoads) {
  const auto file = Bytes()
                        .Raw({0x89, 0x67, 0x45, 0x23})  // magic
                        .Raw({0x00, 0x00, 0x03, 0x00})  // version 3.0
                        .Raw({0x00, 0xFF, 0xFF, 0xFF})  // subnet mask 255.255.255.0
                        .Raw({0x01, 0x01, 0xA8, 0xC0})  // gateway 192.168.1.1
                        .Raw({0x02, 0x01, 0xA8, 0xC0})  // dns1 192.168.1.2
                        .Raw({0x03, 0x01, 0xA8, 0xC0})  // dns2 192.168.1.3
                        .Text("plant.local", 32)        // domain name
                        .Raw({0x0B})                    // domain name length 11
                        .Raw({0x00, 0x00, 0x00, 0x00})  // record count 0
                        .data();
  const auto r = Load(file);
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->load.format, BpcLoad::Format::Current);
  EXPECT_FALSE(r->load.IsOlderFormat());
  EXPECT_EQ(r->load.omitted, 0);
  EXPECT_EQ(r->table.Count(), 0);
  EXPECT_FALSE(r->load.limitReached);

  NetworkSettings target;
  target.SetDomainName("old.example");
  ApplyBpcSettings(r->load, target);
  EXPECT_EQ(target.subnetMask, Ip(255, 255, 255, 0));
  EXPECT_EQ(target.gateway, Ip(192, 168, 1, 1));
  EXPECT_EQ(target.dns1, Ip(192, 168, 1, 2));
  EXPECT_EQ(target.dns2, Ip(192, 168, 1, 3));
  EXPECT_EQ(target.DomainName(), "plant.local");
  EXPECT_EQ(target.domainNameLength, 11);
}

TEST(BpcReaderTest, FullRecordReadIntoEveryField) {
  const std::string hostname = "abcdefghijklmnopqrstuvwxyz012345";
  const std::string description(255, 'd');
  const auto file = Bytes()
                        .Append(Header(0x00030000, kMask24, 1).data())  // header, one record
                        .Raw({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})  // hardware address
                        .Raw({0x06})                    // hardware address length
                        .Raw({0x32, 0x01, 0xA8, 0xC0})  // IP 192.168.1.50
                        .Text(hostname, 32)             // hostname without terminator
                        .Raw({0x20})                    // hostname length 32
                        .Text(description, 255)         // description
                        .Raw({0xFF})                    // description length 255
                        .data();
  const auto r = Load(file);
  ASSERT_TRUE(r->load.Succeeded());
  ASSERT_EQ(r->table.Count(), 1);
  const Relation& rel = *r->table.At(0);
  EXPECT_EQ(rel.hardwareAddress, (std::array<std::uint8_t, 16>{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}));
  EXPECT_EQ(rel.hardwareAddressLength, 6);
  EXPECT_EQ(rel.ipAddress, Ip(192, 168, 1, 50));
  EXPECT_EQ(TextOf(rel.hostname, rel.hostnameLength), hostname);
  EXPECT_EQ(TextOf(rel.description, rel.descriptionLength), description);
  EXPECT_EQ(rel.type, kRelationTypeNone);
}

// The settings block: mask, gateway, name servers and the domain length byte.
TEST(BpcReaderTest, SettingsBlockChecks) {
  struct Case {
    const char* name;
    std::uint32_t mask, gateway, dns1;
    std::string_view domain;
    int lengthByte;  // -1: the domain's own length
    bool corrupt;
  };
  const std::string full(32, 'x');
  const Case cases[] = {
      {"valid", kMask24, 0, 0, "example.com", 11, false},
      {"length one too long", kMask24, 0, 0, "example.com", 12, true},
      {"length one too short", kMask24, 0, 0, "example.com", 10, true},
      {"32 characters, no terminator", kMask24, 0, 0, full, 32, false},
      {"length byte 0x80", kMask24, 0, 0, "", 0x80, true},
      {"length byte 0xA0 for 32 characters", kMask24, 0, 0, full, 0xA0, true},
      {"length byte 0xFF", kMask24, 0, 0, "example.com", 0xFF, true},
      {"mask 0", 0, 0, 0, "", 0, true},
      {"mask 255.255.255.255", 0xFFFFFFFF, 0, 0, "", 0, true},
      {"mask 255.0.255.0", 0xFF00FF00, 0, 0, "", 0, true},
      {"gateway 0 accepted", kMask24, 0, 0, "", 0, false},
      {"gateway 127.0.0.1", kMask24, Ip(127, 0, 0, 1), 0, "", 0, true},
      {"dns1 broadcast", kMask24, Ip(192, 168, 1, 1), Ip(192, 168, 1, 255), "", 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = Header(0x00030000, c.mask, 1, c.gateway, c.domain, c.lengthByte, c.dns1);
    Record3(b, NumberedMac(1), NumberedIp(1));
    const auto r = Load(b.data());
    if (c.corrupt) {
      EXPECT_EQ(r->load.error, LoadError::CorruptSettings);
      EXPECT_FALSE(r->load.Succeeded());
      EXPECT_EQ(r->table.Count(), 0);
    } else {
      EXPECT_TRUE(r->load.Succeeded());
      EXPECT_EQ(r->table.Count(), 1);
      EXPECT_EQ(r->load.settings.DomainName(), c.domain);
    }
  }
}

TEST(BpcReaderTest, DomainBytesAfterTheTerminatorAreNotTakenOver) {
  Bytes b;
  b.Raw({0x89, 0x67, 0x45, 0x23})  // magic
      .Le32(0x00030000)            // version
      .Le32(kMask24)               // mask
      .Zeros(12)                   // gateway, dns1, dns2
      .Text(std::string("abc\0xyz", 7), 32)  // domain with junk after its end
      .U8(3)                       // length 3
      .Le32(0);                    // no records
  const auto r = Load(b.data());
  ASSERT_TRUE(r->load.Succeeded());
  NetworkSettings target;
  ApplyBpcSettings(r->load, target);
  std::array<char, 32> expected{'a', 'b', 'c'};
  EXPECT_EQ(target.domainName, expected);
  EXPECT_EQ(target.domainNameLength, 3);
}

TEST(BpcReaderTest, RecordChecksOmitAndCount) {
  struct Case {
    const char* name;
    Mac mac;
    std::uint8_t macLength;
    std::uint32_t ip;
    bool accepted;
  };
  const Case cases[] = {
      {"valid", NumberedMac(7), 6, NumberedIp(7), true},
      {"hardware length 8", NumberedMac(7), 8, NumberedIp(7), false},
      {"hardware length 0", NumberedMac(7), 0, NumberedIp(7), false},
      {"all-zero hardware address", Mac{}, 6, NumberedIp(7), false},
      {"IP 127.0.0.1", NumberedMac(7), 6, Ip(127, 0, 0, 1), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = Header(0x00030000, kMask24, 2);
    Record3(b, NumberedMac(1), NumberedIp(1), "first");
    Record3(b, c.mac, c.ip, "", "", c.macLength);
    const auto r = Load(b.data());
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->table.Count(), c.accepted ? 2 : 1);
    EXPECT_EQ(r->load.omitted, c.accepted ? 0 : 1);
  }
}

TEST(BpcReaderTest, RepeatedAddressesAreOmitted) {
  Bytes b = Header(0x00030000, kMask24, 10);
  for (unsigned i = 0; i < 10; ++i) {
    // Records 4 and 8 repeat the hardware address of records 1 and 2.
    const unsigned macNumber = i == 4 ? 1 : i == 8 ? 2 : i;
    Record3(b, NumberedMac(macNumber), NumberedIp(i));
  }
  const auto r = Load(b.data());
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->table.Count(), 8);
  EXPECT_EQ(r->load.omitted, 2);
}

TEST(BpcReaderTest, LimitOf256WithOneBoxAndTheRestOmitted) {
  Bytes b = Header(0x00030000, kMask24, 300);
  for (unsigned i = 0; i < 300; ++i) Record3(b, NumberedMac(i), NumberedIp(i));
  const auto r = Load(b.data());
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->table.Count(), 256);
  EXPECT_EQ(r->load.omitted, 44);
  EXPECT_TRUE(r->load.limitReached);
}

TEST(BpcReaderTest, TrailingData) {
  {
    SCOPED_TRACE("every record loaded, one byte more: corrupt");
    Bytes b = Header(0x00030000, kMask24, 2);
    Record3(b, NumberedMac(1), NumberedIp(1));
    Record3(b, NumberedMac(2), NumberedIp(2));
    b.U8(0);
    const auto r = Load(b.data());
    EXPECT_EQ(r->load.error, LoadError::TrailingData);
    EXPECT_EQ(r->table.Count(), 0);  // what was appended is gone again
  }
  {
    SCOPED_TRACE("one record refused, one byte more: loads with one omitted");
    Bytes b = Header(0x00030000, kMask24, 2);
    Record3(b, NumberedMac(1), NumberedIp(1));
    Record3(b, NumberedMac(1), NumberedIp(2));  // repeated hardware address
    b.U8(0);
    const auto r = Load(b.data());
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->table.Count(), 1);
    EXPECT_EQ(r->load.omitted, 1);
  }
  {
    SCOPED_TRACE("no records declared, bytes follow: corrupt");
    Bytes b = Header(0x00030000, kMask24, 0);
    Record3(b, NumberedMac(1), NumberedIp(1));
    EXPECT_EQ(Load(b.data())->load.error, LoadError::TrailingData);
  }
}

TEST(BpcReaderTest, NegativeRecordCount) {
  {
    SCOPED_TRACE("nothing follows: an empty configuration");
    const auto r = Load(Header(0x00030000, kMask24, -1).data());
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->table.Count(), 0);
    EXPECT_EQ(r->load.omitted, 0);
  }
  {
    SCOPED_TRACE("records follow: corrupt rather than a negative omitted count");
    Bytes b = Header(0x00030000, kMask24, -1);
    Record3(b, NumberedMac(1), NumberedIp(1));
    const auto r = Load(b.data());
    EXPECT_EQ(r->load.error, LoadError::TrailingData);
    EXPECT_EQ(r->table.Count(), 0);
  }
}

TEST(BpcReaderTest, ShorterThanDeclaredOmitsTheMissingRecords) {
  Bytes b = Header(0x00030000, kMask24, 5);
  for (unsigned i = 0; i < 3; ++i) Record3(b, NumberedMac(i), NumberedIp(i));
  const auto r = Load(b.data());
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->table.Count(), 3);
  EXPECT_EQ(r->load.omitted, 2);
}

// A record the file ends in: its hardware address and IP address are all
// there, but the last bytes are missing. It is omitted, not loaded with its
// description (or hostname) silently emptied.
TEST(BpcReaderTest, RecordCutShortByTheEndOfTheFileIsOmitted) {
  struct Case {
    const char* name;
    std::uint32_t version;
    std::size_t recordSize;
    std::size_t cutBefore;  // bytes missing from the end of the second record
  };
  const Case cases[] = {
      {"format 3, in the description", 0x00030000, 310, 100},
      {"format 3, only the description length byte", 0x00030000, 310, 1},
      {"format 2.2, in the hostname", 0x02020000, 54, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = Header(c.version, kMask24, 2);
    for (unsigned i = 0; i < 2; ++i) {
      const std::size_t before = b.size();
      Record3(b, NumberedMac(i), NumberedIp(i), "press", "Line 1, cabinet 2");
      // Format 2.2 records end after the hostname length.
      std::vector<std::uint8_t> record(b.data().begin() + static_cast<std::ptrdiff_t>(before), b.data().end());
      record.resize(c.recordSize);
      b = Bytes().Append(std::vector<std::uint8_t>(b.data().begin(), b.data().begin() + static_cast<std::ptrdiff_t>(before)))
              .Append(record);
    }
    std::vector<std::uint8_t> file = b.data();
    file.resize(file.size() - c.cutBefore);
    const auto r = Load(file);
    ASSERT_TRUE(r->load.Succeeded());
    ASSERT_EQ(r->table.Count(), 1);
    EXPECT_EQ(r->table.At(0)->hardwareAddress[5], 0);
    EXPECT_EQ(r->load.omitted, 1);
  }
  // The headerless layout: mask, gateway, count, then 29-byte records.
  Bytes headerless;
  headerless.Le32(kMask24).Le32(0).Le32(2);
  for (unsigned i = 0; i < 2; ++i) {
    const Mac mac = NumberedMac(i);
    headerless.Text(std::string_view(reinterpret_cast<const char*>(mac.data()), mac.size()), 16)  // hardware address
        .U8(6)                                                                                 // its length
        .Le32(NumberedIp(i))                                                                   // IP address
        .Zeros(8);                                                                             // two ignored fields
  }
  std::vector<std::uint8_t> file = headerless.data();
  file.resize(file.size() - 3);  // inside the ignored fields
  const auto r = Load(file);
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->table.Count(), 1);
  EXPECT_EQ(r->load.omitted, 1);
}

TEST(BpcReaderTest, HugeDeclaredCountCountsEveryMissingRecord) {
  Bytes b = Header(0x00030000, kMask24, 0x7FFFFFFF);
  Record3(b, NumberedMac(1), NumberedIp(1));
  const auto r = Load(b.data());
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->table.Count(), 1);
  EXPECT_EQ(r->load.omitted, 0x7FFFFFFE);
}

// The same file cut at every length: never a read outside the bytes, and
// every declared record is either loaded or counted.
TEST(BpcReaderTest, CutAtEveryLength) {
  Bytes b = Header(0x00030000, kMask24, 1);
  Record3(b, NumberedMac(1), NumberedIp(1), "press", "line 1");
  const auto& full = b.data();
  for (std::size_t n = 0; n <= full.size(); ++n) {
    SCOPED_TRACE(n);
    const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    const auto r = Load(cut);
    if (n <= 57) {
      // The mask cut short or missing, or a record count that reads as 0:
      // no relation either way.
      EXPECT_EQ(r->table.Count(), 0);
    } else {
      // From the count's low byte on, the record is declared.
      ASSERT_TRUE(r->load.Succeeded());
      EXPECT_EQ(r->table.Count() + r->load.omitted, 1);
    }
  }
  EXPECT_EQ(Load(full)->table.Count(), 1);
}

// --- Format 2.2 ---------------------------------------------------------------

TEST(BpcReaderTest, Format22LoadsWithoutDescriptions) {
  const auto file = Bytes()
                        .Raw({0x89, 0x67, 0x45, 0x23})  // magic
                        .Raw({0x00, 0x00, 0x02, 0x02})  // version 2.2
                        .Raw({0x00, 0x00, 0xFF, 0xFF})  // subnet mask 255.255.0.0
                        .Raw({0x01, 0x00, 0x10, 0xAC})  // gateway 172.16.0.1
                        .Raw({0x02, 0x00, 0x10, 0xAC})  // dns1 172.16.0.2
                        .Raw({0x00, 0x00, 0x00, 0x00})  // dns2 none
                        .Text("cell", 32)               // domain name
                        .Raw({0x04})                    // domain name length 4
                        .Raw({0x02, 0x00, 0x00, 0x00})  // record count 2
                        // record 1
                        .Raw({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})  // hardware address
                        .Raw({0x06})                    // hardware address length
                        .Raw({0x0A, 0x00, 0x10, 0xAC})  // IP 172.16.0.10
                        .Text("drive", 32)              // hostname
                        .Raw({0x05})                    // hostname length
                        // record 2
                        .Raw({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})  // hardware address
                        .Raw({0x06})                    // hardware address length
                        .Raw({0x0B, 0x00, 0x10, 0xAC})  // IP 172.16.0.11
                        .Zeros(32)                      // no hostname
                        .Raw({0x00})                    // hostname length
                        .data();
  ASSERT_EQ(file.size(), 61u + 2 * 54u);
  RelationTable table;
  table.Append(MakeRelation(NumberedMac(99), NumberedIp(99)));  // emptied by the older-format load
  const BpcLoad load = ReadBpc(file, table);
  ASSERT_TRUE(load.Succeeded());
  EXPECT_EQ(load.format, BpcLoad::Format::Older22);
  EXPECT_TRUE(load.IsOlderFormat());
  EXPECT_EQ(load.omitted, 0);
  ASSERT_EQ(table.Count(), 2);
  EXPECT_EQ(table.At(0)->ipAddress, Ip(172, 16, 0, 10));
  EXPECT_EQ(TextOf(table.At(0)->hostname, table.At(0)->hostnameLength), "drive");
  EXPECT_EQ(table.At(0)->descriptionLength, 0);
  EXPECT_EQ(table.At(0)->description, (std::array<char, 255>{}));
  EXPECT_EQ(table.At(1)->ipAddress, Ip(172, 16, 0, 11));

  NetworkSettings target;
  ApplyBpcSettings(load, target);
  EXPECT_EQ(target.subnetMask, Ip(255, 255, 0, 0));
  EXPECT_EQ(target.gateway, Ip(172, 16, 0, 1));
  EXPECT_EQ(target.dns1, Ip(172, 16, 0, 2));
  EXPECT_EQ(target.DomainName(), "cell");
}

TEST(BpcReaderTest, Format22TrailingByteIsCorrupt) {
  Bytes b = Header(0x02020000, kMask24, 1);
  b.Text(std::string_view("\x00\x1D\x9C\xC8\x12\x34", 6), 16).U8(6).Le32(NumberedIp(1)).Zeros(33);
  ASSERT_TRUE(Load(b.data())->load.Succeeded());
  b.U8(0);
  EXPECT_EQ(Load(b.data())->load.error, LoadError::TrailingData);
}

// --- Headerless layout ----------------------------------------------------------

TEST(BpcReaderTest, HeaderlessLoadsOnlyMaskGatewayAndAddresses) {
  const auto file = Bytes()
                        .Raw({0x00, 0xFF, 0xFF, 0xFF})  // subnet mask 255.255.255.0
                        .Raw({0x01, 0x01, 0xA8, 0xC0})  // gateway 192.168.1.1
                        .Raw({0x01, 0x00, 0x00, 0x00})  // record count 1
                        .Raw({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})  // hardware address
                        .Raw({0x06})                    // hardware address length
                        .Raw({0x32, 0x01, 0xA8, 0xC0})  // IP 192.168.1.50
                        .Raw({0xDE, 0xAD, 0xBE, 0xEF})  // ignored
                        .Raw({0x01, 0x02, 0x03, 0x04})  // ignored
                        .data();
  ASSERT_EQ(file.size(), 12u + 29u);
  const auto r = Load(file);
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->load.format, BpcLoad::Format::Headerless);
  EXPECT_TRUE(r->load.IsOlderFormat());
  EXPECT_TRUE(r->load.onlyMaskAndGateway);
  ASSERT_EQ(r->table.Count(), 1);
  EXPECT_EQ(r->table.At(0)->ipAddress, Ip(192, 168, 1, 50));
  EXPECT_EQ(r->table.At(0)->hostnameLength, 0);
  EXPECT_EQ(r->table.At(0)->descriptionLength, 0);

  NetworkSettings target;
  target.dns1 = Ip(10, 0, 0, 53);
  target.SetDomainName("kept.local");
  ApplyBpcSettings(r->load, target);
  EXPECT_EQ(target.subnetMask, Ip(255, 255, 255, 0));
  EXPECT_EQ(target.gateway, Ip(192, 168, 1, 1));
  EXPECT_EQ(target.dns1, Ip(10, 0, 0, 53));
  EXPECT_EQ(target.DomainName(), "kept.local");
}

TEST(BpcReaderTest, MagicWithVersionZeroIsHeaderlessFromOffsetEight) {
  const auto file = Bytes()
                        .Raw({0x89, 0x67, 0x45, 0x23})  // magic
                        .Raw({0x00, 0x00, 0x00, 0x00})  // version 0
                        .Raw({0x00, 0x00, 0x00, 0xFF})  // subnet mask 255.0.0.0
                        .Raw({0x00, 0x00, 0x00, 0x00})  // gateway none
                        .Raw({0x01, 0x00, 0x00, 0x00})  // record count 1
                        .Raw({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})  // hardware address
                        .Raw({0x06})                    // hardware address length
                        .Raw({0x05, 0x00, 0x00, 0x0A})  // IP 10.0.0.5
                        .Zeros(8)                       // ignored
                        .data();
  const auto r = Load(file);
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->load.format, BpcLoad::Format::Headerless);
  EXPECT_EQ(r->load.settings.subnetMask, Ip(255, 0, 0, 0));
  ASSERT_EQ(r->table.Count(), 1);
  EXPECT_EQ(r->table.At(0)->ipAddress, Ip(10, 0, 0, 5));
}

TEST(BpcReaderTest, HeaderlessSettingsChecks) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    LoadError error;
  };
  const Case cases[] = {
      {"empty file: mask reads as 0", {}, LoadError::CorruptSettings},
      {"text file", AsBytes("MAC;IP\n"), LoadError::CorruptSettings},
      {"gateway 127.0.0.1", Bytes().Le32(kMask24).Le32(Ip(127, 0, 0, 1)).Le32(0).data(), LoadError::CorruptSettings},
      {"valid, no records", Bytes().Le32(kMask24).Le32(0).Le32(0).data(), LoadError::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = Load(c.file);
    EXPECT_EQ(r->load.format, BpcLoad::Format::Headerless);
    EXPECT_EQ(r->load.error, c.error);
  }
}

// --- Unsupported versions -----------------------------------------------------

TEST(BpcReaderTest, UnsupportedVersionShowsItsBox) {
  struct Case {
    std::uint32_t version;
    std::string_view text;
  };
  const Case cases[] = {
      {0x00010000,
       "Version 3.06.00 of the BOOTP/DHCP server utility is not capable of opening files from Version 0.1.0.0."},
      {0x01020304,
       "Version 3.06.00 of the BOOTP/DHCP server utility is not capable of opening files from Version 1.2.3.4."},
      {0x00000001,
       "Version 3.06.00 of the BOOTP/DHCP server utility is not capable of opening files from Version 0.0.0.1."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    Bytes b = Header(c.version, kMask24, 1);
    Record3(b, NumberedMac(1), NumberedIp(1));
    const auto r = Load(b.data());
    EXPECT_FALSE(r->load.Succeeded());
    EXPECT_EQ(r->load.format, BpcLoad::Format::UnsupportedVersion);
    EXPECT_EQ(r->load.error, LoadError::None);  // reported by its own box, with this text
    EXPECT_EQ(r->table.Count(), 0);
    EXPECT_EQ(UnsupportedVersionText(r->load.version), c.text);
  }
}

TEST(BpcReaderTest, AnyVersionWithMajorThreeIsCurrent) {
  Bytes b = Header(0x0003FFFF, kMask24, 1);
  Record3(b, NumberedMac(1), NumberedIp(1));
  const auto r = Load(b.data());
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->load.format, BpcLoad::Format::Current);
  EXPECT_EQ(r->table.Count(), 1);
}

}  // namespace
}  // namespace corvessa
