#include "relations/relation_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa {
namespace {

constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

using Mac = std::array<std::uint8_t, 6>;
constexpr Mac kMacA{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
constexpr Mac kMacB{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35};
constexpr Mac kMacC{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x36};

void SetHostname(Relation& r, std::string_view name) {
  r.hostname.fill(0);
  std::copy_n(name.begin(), std::min(name.size(), r.hostname.size()), r.hostname.begin());
  r.hostnameLength = static_cast<std::uint8_t>(std::min(name.size(), r.hostname.size()));
}

std::unique_ptr<Relation> MakeRelation(const Mac& mac, std::uint32_t ip, std::string_view hostname = {}) {
  auto r = std::make_unique<Relation>();
  std::copy(mac.begin(), mac.end(), r->hardwareAddress.begin());
  r->hardwareAddressLength = 6;
  r->ipAddress = ip;
  SetHostname(*r, hostname);
  return r;
}

// Appends and returns the record's identity.
Relation* Add(RelationTable& table, std::unique_ptr<Relation> r) {
  Relation* identity = r.get();
  table.Append(std::move(r));
  return identity;
}

std::vector<const Relation*> Order(const RelationTable& table) {
  std::vector<const Relation*> out;
  for (const auto& r : table) out.push_back(r.get());
  return out;
}

// --- Table invariants -------------------------------------------------------

TEST(RelationTableTest, EmptyTableHasNothing) {
  RelationTable table;
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(table.At(0), nullptr);
  EXPECT_EQ(table.begin(), table.end());
  EXPECT_EQ(table.FindByMac(kMacA.data(), 6), nullptr);
  EXPECT_EQ(table.FindByIp(Ip(192, 168, 1, 50)), nullptr);
  EXPECT_EQ(table.FindByHostname("plc1", 4), nullptr);
  const auto stranger = MakeRelation(kMacA, Ip(192, 168, 1, 50));
  table.Remove(stranger.get());
  EXPECT_EQ(table.Count(), 0);
}

TEST(RelationTableTest, AppendKeepsInsertionOrderAndPositions) {
  RelationTable table;
  Relation* a = Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 50)));
  Relation* b = Add(table, MakeRelation(kMacB, Ip(192, 168, 1, 51)));
  Relation* c = Add(table, MakeRelation(kMacC, Ip(192, 168, 1, 52)));
  EXPECT_EQ(table.Count(), 3);
  EXPECT_EQ(table.At(0), a);
  EXPECT_EQ(table.At(1), b);
  EXPECT_EQ(table.At(2), c);
  EXPECT_EQ(table.At(3), nullptr);
  EXPECT_EQ(table.At(-1), nullptr);
  EXPECT_EQ(Order(table), (std::vector<const Relation*>{a, b, c}));
}

TEST(RelationTableTest, RecordsKeepTheirIdentityWhileTheTableGrows) {
  RelationTable table;
  std::vector<Relation*> identities;
  for (int i = 0; i < RelationCapacity; ++i) {
    const Mac mac{0x02, 0, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
    const auto ip = Ip(10, 0, static_cast<unsigned>(i >> 8) + 1, static_cast<unsigned>(i & 0xFF) + 1);
    identities.push_back(Add(table, MakeRelation(mac, ip)));
    identities.back()->type = kRelationTypeDhcp;  // written through the held pointer
  }
  ASSERT_EQ(table.Count(), RelationCapacity);
  for (int i = 0; i < RelationCapacity; ++i) {
    ASSERT_EQ(table.At(i), identities[static_cast<std::size_t>(i)]) << "position " << i;
    EXPECT_EQ(table.At(i)->type, kRelationTypeDhcp);
  }
  // Removing from the front moves no record either.
  table.Remove(identities[0]);
  EXPECT_EQ(table.At(0), identities[1]);
  EXPECT_EQ(table.At(RelationCapacity - 2), identities.back());
}

TEST(RelationTableTest, RemoveUnlinksByIdentity) {
  struct Case {
    const char* name;
    int count;                // records appended first
    int removeIndex;          // -1: a record that is not in the table
    std::vector<int> remain;  // indexes of the appended records, in order
  };
  const Case cases[] = {
      {"first of two leaves the second first", 2, 0, {1}},
      {"only record leaves the table empty", 1, 0, {}},
      {"middle keeps the others in order", 3, 1, {0, 2}},
      {"last of three", 3, 2, {0, 1}},
      {"unknown record changes nothing", 2, -1, {0, 1}},
  };
  const Mac macs[] = {kMacA, kMacB, kMacC};
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.name);
    RelationTable table;
    std::vector<Relation*> added;
    for (int i = 0; i < tc.count; ++i) added.push_back(Add(table, MakeRelation(macs[i], Ip(192, 168, 1, 50 + i))));
    // An equal copy is still a different record.
    const auto copy = std::make_unique<Relation>(*added[0]);
    table.Remove(tc.removeIndex < 0 ? copy.get() : added[static_cast<std::size_t>(tc.removeIndex)]);
    std::vector<const Relation*> expected;
    for (int i : tc.remain) expected.push_back(added[static_cast<std::size_t>(i)]);
    EXPECT_EQ(Order(table), expected);
    EXPECT_EQ(table.Count(), static_cast<int>(expected.size()));
  }
}

TEST(RelationTableTest, RemoveThenAppendMovesTheEditedRelationToTheEnd) {
  RelationTable table;
  Relation* a = Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 50)));
  Relation* b = Add(table, MakeRelation(kMacB, Ip(192, 168, 1, 51)));
  auto edited = std::make_unique<Relation>(*a);
  edited->type = kRelationTypeNone;
  table.Remove(a);
  Relation* e = Add(table, std::move(edited));
  EXPECT_EQ(Order(table), (std::vector<const Relation*>{b, e}));
}

TEST(RelationTableTest, ClearEmptiesTheTable) {
  RelationTable table;
  Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 50)));
  Add(table, MakeRelation(kMacB, Ip(192, 168, 1, 51)));
  table.Clear();
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(table.At(0), nullptr);
  EXPECT_EQ(table.FindByMac(kMacA.data(), 6), nullptr);
}

// --- Find operations ----------------------------------------------------------

TEST(RelationTableTest, FindByMacComparesLengthAndBytes) {
  RelationTable table;
  Relation* a = Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 50)));
  Relation* b = Add(table, MakeRelation(kMacB, Ip(192, 168, 1, 51)));
  // A record with the same first five bytes but a shorter length.
  auto shortRecord = MakeRelation(kMacC, Ip(192, 168, 1, 52));
  shortRecord->hardwareAddressLength = 5;
  shortRecord->hardwareAddress[5] = 0;
  Relation* s = Add(table, std::move(shortRecord));

  EXPECT_EQ(table.FindByMac(kMacA.data(), 6), a);
  EXPECT_EQ(table.FindByMac(kMacB.data(), 6), b);
  EXPECT_EQ(table.FindByMac(kMacC.data(), 6), nullptr);
  EXPECT_EQ(table.FindByMac(kMacC.data(), 5), s);  // 00:1D:9C:C8:12 is also a's prefix, but a has length 6
  EXPECT_EQ(table.FindByMac(kMacA.data(), 0), nullptr);
  EXPECT_EQ(table.FindByMac(kMacA.data(), -1), nullptr);
  EXPECT_EQ(table.FindByMac(nullptr, 6), nullptr);
}

TEST(RelationTableTest, FindByMacReturnsTheFirstMatchInTableOrder) {
  RelationTable table;
  Relation* first = Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 50)));
  Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 51)));
  EXPECT_EQ(table.FindByMac(kMacA.data(), 6), first);
}

TEST(RelationTableTest, FindByMacNeverComparesPastTheSixteenByteField) {
  RelationTable table;
  // A record whose length byte claims more than the field holds. Byte 16 of
  // the query equals what lies after the field (the length byte itself), so
  // only the length guard keeps this from matching.
  auto corrupt = std::make_unique<Relation>();
  corrupt->hardwareAddress.fill(0xAB);
  corrupt->hardwareAddressLength = 17;
  corrupt->ipAddress = Ip(192, 168, 1, 50);
  Add(table, std::move(corrupt));
  std::array<std::uint8_t, 17> query{};
  query.fill(0xAB);
  query[16] = 17;
  EXPECT_EQ(table.FindByMac(query.data(), 17), nullptr);
  EXPECT_EQ(table.FindByMac(query.data(), 16), nullptr);  // lengths differ
}

TEST(RelationTableTest, FindByIpIgnoresAddressZero) {
  RelationTable table;
  Add(table, MakeRelation(kMacA, 0));  // only a loader bug could add this
  Relation* b = Add(table, MakeRelation(kMacB, Ip(192, 168, 1, 51)));
  Add(table, MakeRelation(kMacC, Ip(192, 168, 1, 51)));
  EXPECT_EQ(table.FindByIp(0), nullptr);
  EXPECT_EQ(table.FindByIp(Ip(192, 168, 1, 51)), b);
  EXPECT_EQ(table.FindByIp(Ip(192, 168, 1, 52)), nullptr);
}

TEST(RelationTableTest, FindByHostname) {
  RelationTable table;
  Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 50)));  // no hostname
  Relation* plc = Add(table, MakeRelation(kMacB, Ip(192, 168, 1, 51), "plc1"));
  const std::string longName(32, 'h');
  Relation* full = Add(table, MakeRelation(kMacC, Ip(192, 168, 1, 52), longName));

  struct Case {
    const char* text;
    int length;
    const Relation* expected;
  };
  const Case cases[] = {
      {"plc1", 4, plc},
      {"plc1-extra", 4, plc},  // only the first `length` bytes of the text count
      {"PLC1", 4, nullptr},    // case-sensitive
      {"plc", 3, nullptr},     // lengths differ
      {"plc1", 5, nullptr},
      {"", 0, nullptr},        // empty name never matches, not even nameless relations
      {"", 1, nullptr},
      {"plc1", 0, nullptr},
      {"plc1", -4, nullptr},
      {longName.c_str(), 32, full},
      {nullptr, 4, nullptr},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(std::string(tc.text ? tc.text : "(null)") + " / " + std::to_string(tc.length));
    EXPECT_EQ(table.FindByHostname(tc.text, tc.length), tc.expected);
  }
  // A length beyond the field matches nothing, whatever a record claims. The
  // 33rd query byte equals the byte after the field (the length byte, 33 = '!').
  const std::string over = std::string(32, 'h') + '!';
  table.At(2)->hostnameLength = 33;
  EXPECT_EQ(table.FindByHostname(over.c_str(), 33), nullptr);
}

// --- CheckCandidate -------------------------------------------------------------

// The table every candidate is checked against: one relation with a hostname,
// one without.
void FillExisting(RelationTable& table) {
  Add(table, MakeRelation(kMacA, Ip(192, 168, 1, 50), "plc1"));
  Add(table, MakeRelation(kMacB, Ip(192, 168, 1, 51)));
}

TEST(RelationTableTest, CheckCandidateAcceptsOrRejects) {
  struct Case {
    const char* name;
    std::function<void(Relation&)> change;  // applied to a valid, new candidate
    bool accepted;
  };
  const Case cases[] = {
      {"valid new relation", [](Relation&) {}, true},
      {"no hostname beside another without hostname", [](Relation& r) { SetHostname(r, ""); }, true},
      {"hostname differing only in case", [](Relation& r) { SetHostname(r, "PLC1"); }, true},
      {"32-character hostname without terminator", [](Relation& r) { SetHostname(r, std::string(32, 'x')); }, true},
      {"invalid IP 127.0.0.1", [](Relation& r) { r.ipAddress = Ip(127, 0, 0, 1); }, false},
      {"IP 0", [](Relation& r) { r.ipAddress = 0; }, false},
      {"class broadcast IP", [](Relation& r) { r.ipAddress = Ip(192, 168, 1, 255); }, false},
      {"hardware length 0", [](Relation& r) { r.hardwareAddressLength = 0; }, false},
      {"hostname length byte above its text", [](Relation& r) { r.hostnameLength = 6; }, false},
      {"hostname length byte below its text", [](Relation& r) { r.hostnameLength = 2; }, false},
      {"hostname length byte without text", [](Relation& r) { SetHostname(r, ""); r.hostnameLength = 1; }, false},
      {"hardware length 8", [](Relation& r) { r.hardwareAddressLength = 8; }, false},
      {"hardware length 5", [](Relation& r) { r.hardwareAddressLength = 5; }, false},
      {"six zero bytes", [](Relation& r) { r.hardwareAddress.fill(0); }, false},
      {"duplicate MAC", [](Relation& r) { std::copy(kMacB.begin(), kMacB.end(), r.hardwareAddress.begin()); }, false},
      {"duplicate IP", [](Relation& r) { r.ipAddress = Ip(192, 168, 1, 51); }, false},
      {"duplicate hostname", [](Relation& r) { SetHostname(r, "plc1"); }, false},
      {"fails several checks at once",
       [](Relation& r) {
         r.ipAddress = Ip(127, 0, 0, 1);
         r.hardwareAddress.fill(0);
         r.hostnameLength = 9;
       },
       false},
  };
  RelationTable table;
  FillExisting(table);
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.name);
    auto candidate = MakeRelation(kMacC, Ip(192, 168, 1, 60), "plc2");
    tc.change(*candidate);
    EXPECT_EQ(table.CheckCandidate(*candidate), tc.accepted);
    EXPECT_EQ(table.Count(), 2);  // checking adds nothing
  }
}

TEST(RelationTableTest, CheckedCandidatesBuildATableWithoutDuplicates) {
  // As a loader does: check, then append only what passed.
  RelationTable table;
  const std::vector<std::pair<Mac, std::uint32_t>> rows = {
      {kMacA, Ip(192, 168, 1, 50)},
      {kMacA, Ip(192, 168, 1, 51)},  // same MAC again
      {kMacB, Ip(192, 168, 1, 50)},  // same IP again
      {kMacB, Ip(192, 168, 1, 51)},
  };
  for (const auto& [mac, ip] : rows) {
    auto candidate = MakeRelation(mac, ip);
    if (table.CheckCandidate(*candidate)) table.Append(std::move(candidate));
  }
  ASSERT_EQ(table.Count(), 2);
  EXPECT_EQ(table.At(0)->ipAddress, Ip(192, 168, 1, 50));
  EXPECT_EQ(table.At(1)->ipAddress, Ip(192, 168, 1, 51));
  EXPECT_EQ(std::memcmp(table.At(1)->hardwareAddress.data(), kMacB.data(), 6), 0);
}

}  // namespace
}  // namespace corvessa
