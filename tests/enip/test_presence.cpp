// What a scan means for the relation list: listed devices online, at their
// address or elsewhere; another device at a listed address; devices nobody
// listed; another device where the last scan saw a different one.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "enip/presence.h"

namespace corvessa {
namespace {

HardwareAddress Mac(std::uint8_t last) { return {0x02, 0x00, 0x00, 0x4E, 0x00, last}; }

constexpr std::uint32_t Ip(std::uint8_t last) { return 0xC0A84E00u | last; }  // 192.168.78.x

// Three relations: .11 with MAC ..:01, .12 with ..:02, .13 with ..:03.
RelationTable Table() {
  RelationTable table;
  for (std::uint8_t i = 1; i <= 3; ++i) {
    auto relation = std::make_unique<Relation>();
    const HardwareAddress mac = Mac(i);
    std::copy(mac.begin(), mac.end(), relation->hardwareAddress.begin());
    relation->hardwareAddressLength = 6;
    relation->ipAddress = Ip(static_cast<std::uint8_t>(10 + i));
    table.Append(std::move(relation));
  }
  return table;
}

ScannedDevice Device(std::uint8_t ip, std::optional<std::uint8_t> mac, std::uint32_t serial = 0x100,
                     std::string name = "Adapter") {
  ScannedDevice device;
  device.address = Ip(ip);
  if (mac) device.mac = Mac(*mac);
  device.identity.serialNumber = serial;
  device.identity.productName = std::move(name);
  device.identity.vendorId = 1;
  device.identity.productCode = 0xA6;
  return device;
}

// Relation positions 0..2, or -1 for none.
struct DeviceRow {
  DeviceMatch match;
  int relation;
};
struct RelationRow {
  bool online;
  std::uint8_t answeredFrom;  // last byte of the address; 0 for none
  std::optional<std::uint8_t> otherDevice;
};

TEST(Presence, MatchesByHardwareAddressThenByAddress) {
  struct Case {
    const char* name;
    std::vector<ScannedDevice> scan;
    std::vector<DeviceRow> devices;
    std::vector<RelationRow> relations;
  };
  const Case cases[] = {
      {"nobody answered", {}, {}, {{false, 0, {}}, {false, 0, {}}, {false, 0, {}}}},
      {"listed device at its address",
       {Device(11, 1)},
       {{DeviceMatch::Listed, 0}},
       {{true, 11, {}}, {false, 0, {}}, {false, 0, {}}}},
      {"listed device at another address",
       {Device(22, 2)},
       {{DeviceMatch::ListedElsewhere, 1}},
       {{false, 0, {}}, {true, 22, {}}, {false, 0, {}}}},
      {"another device at a listed address",
       {Device(13, 9)},
       {{DeviceMatch::OtherDevice, 2}},
       {{false, 0, {}}, {false, 0, {}}, {false, 0, 9}}},
      {"unknown hardware address at a listed address",
       {Device(13, std::nullopt)},
       {{DeviceMatch::Listed, 2}},
       {{false, 0, {}}, {false, 0, {}}, {true, 13, {}}}},
      {"unlisted device", {Device(30, 8)}, {{DeviceMatch::Unlisted, -1}}, {{false, 0, {}}, {false, 0, {}}, {false, 0, {}}}},
      {"unlisted device without hardware address",
       {Device(30, std::nullopt)},
       {{DeviceMatch::Unlisted, -1}},
       {{false, 0, {}}, {false, 0, {}}, {false, 0, {}}}},
      {"two devices swapped their addresses",
       {Device(11, 2), Device(12, 1)},
       {{DeviceMatch::ListedElsewhere, 1}, {DeviceMatch::ListedElsewhere, 0}},
       {{true, 12, 2}, {true, 11, 1}, {false, 0, {}}}},
      {"one device at another address and then at its own",
       {Device(25, 1), Device(11, 1)},
       {{DeviceMatch::ListedElsewhere, 0}, {DeviceMatch::Listed, 0}},
       {{true, 11, {}}, {false, 0, {}}, {false, 0, {}}}},
      {"one device at its own address and then at another",
       {Device(11, 1), Device(25, 1)},
       {{DeviceMatch::Listed, 0}, {DeviceMatch::ListedElsewhere, 0}},
       {{true, 11, {}}, {false, 0, {}}, {false, 0, {}}}},
      {"three devices: listed, elsewhere, unlisted",
       {Device(11, 1), Device(22, 2), Device(30, 8)},
       {{DeviceMatch::Listed, 0}, {DeviceMatch::ListedElsewhere, 1}, {DeviceMatch::Unlisted, -1}},
       {{true, 11, {}}, {true, 22, {}}, {false, 0, {}}}},
  };
  for (const Case& c : cases) {
    const RelationTable table = Table();
    PresenceTracker tracker;
    const PresenceReport report = tracker.Update(table, c.scan);
    ASSERT_EQ(report.devices.size(), c.devices.size()) << c.name;
    for (std::size_t i = 0; i < c.devices.size(); ++i) {
      EXPECT_EQ(report.devices[i].device, c.scan[i]) << c.name << ", device " << i;
      EXPECT_EQ(report.devices[i].match, c.devices[i].match) << c.name << ", device " << i;
      const Relation* expected = c.devices[i].relation < 0 ? nullptr : table.At(c.devices[i].relation);
      EXPECT_EQ(report.devices[i].relation, expected) << c.name << ", device " << i;
    }
    ASSERT_EQ(report.relations.size(), 3u) << c.name;
    for (int i = 0; i < 3; ++i) {
      const RelationPresence& presence = report.relations[static_cast<std::size_t>(i)];
      const RelationRow& row = c.relations[static_cast<std::size_t>(i)];
      EXPECT_EQ(presence.relation, table.At(i)) << c.name << ", relation " << i;
      EXPECT_EQ(presence.online, row.online) << c.name << ", relation " << i;
      EXPECT_EQ(presence.answeredFrom, row.answeredFrom == 0 ? 0u : Ip(row.answeredFrom)) << c.name << ", relation " << i;
      EXPECT_EQ(presence.AtOtherAddress(), row.online && row.answeredFrom != 11 + i) << c.name << ", relation " << i;
      EXPECT_EQ(presence.ProductName(), row.online ? "Adapter" : "") << c.name << ", relation " << i;
      EXPECT_EQ(presence.otherDevice, row.otherDevice ? std::optional(Mac(*row.otherDevice)) : std::nullopt)
          << c.name << ", relation " << i;
      EXPECT_FALSE(presence.IdentityChanged()) << c.name << ", relation " << i;
    }
  }
}

TEST(Presence, AnotherDeviceAtAnAddressIsKeptUntilAcknowledged) {
  const RelationTable table = Table();
  PresenceTracker tracker;
  CipIdentity newFirmware = Device(11, 1).identity;
  newFirmware.revisionMajor = 9;  // same device, other firmware and state
  newFirmware.state = 5;
  ScannedDevice updated = Device(11, 1);
  updated.identity = newFirmware;

  struct Step {
    const char* name;
    std::vector<ScannedDevice> scan;
    bool changed;
    std::optional<std::uint32_t> previousSerial;
    bool acknowledgeAfter = false;
  };
  const Step steps[] = {
      {"first sight", {Device(11, 1, 0x100)}, false, {}},
      {"same device again", {Device(11, 1, 0x100)}, false, {}},
      {"new firmware is the same device", {updated}, false, {}},
      {"another serial number", {Device(11, 1, 0x200)}, true, 0x100},
      {"still the new one: still shown", {Device(11, 1, 0x200)}, true, 0x100, true},
      {"after the user saw it", {Device(11, 1, 0x200)}, false, {}},
      {"the device is away", {}, false, {}},
      {"back with another product name", {Device(11, 1, 0x200, "Drive")}, true, 0x200},
  };
  for (const Step& step : steps) {
    const PresenceReport report = tracker.Update(table, step.scan);
    const RelationPresence& first = report.relations[0];
    EXPECT_EQ(first.IdentityChanged(), step.changed) << step.name;
    if (step.previousSerial) {
      ASSERT_TRUE(first.previousIdentity) << step.name;
      EXPECT_EQ(first.previousIdentity->serialNumber, *step.previousSerial) << step.name;
    }
    if (!report.devices.empty()) {
      EXPECT_EQ(report.devices[0].previousIdentity.has_value(), step.changed) << step.name;
    }
    if (step.acknowledgeAfter) tracker.Acknowledge(Ip(11));
  }
}

TEST(Presence, IsOtherDeviceComparesSerialAndProductOnly) {
  const CipIdentity base = Device(11, 1).identity;
  struct Case {
    const char* name;
    void (*change)(CipIdentity&);
    bool other;
  };
  const Case cases[] = {
      {"nothing", [](CipIdentity&) {}, false},
      {"serial number", [](CipIdentity& i) { i.serialNumber ^= 1; }, true},
      {"vendor", [](CipIdentity& i) { i.vendorId ^= 1; }, true},
      {"device type", [](CipIdentity& i) { i.deviceType ^= 1; }, true},
      {"product code", [](CipIdentity& i) { i.productCode ^= 1; }, true},
      {"product name", [](CipIdentity& i) { i.productName += "X"; }, true},
      {"revision", [](CipIdentity& i) { i.revisionMinor ^= 1; }, false},
      {"status", [](CipIdentity& i) { i.status ^= 1; }, false},
      {"state", [](CipIdentity& i) { i.state = 7; }, false},
      {"socket address", [](CipIdentity& i) { i.socketAddress ^= 1; }, false},
  };
  for (const Case& c : cases) {
    CipIdentity changed = base;
    c.change(changed);
    EXPECT_EQ(IsOtherDevice(base, changed), c.other) << c.name;
  }
}

TEST(Presence, RelationCandidateFromADevice) {
  ScannedDevice device = Device(30, 8);
  device.identity.productName = "1756-EN2T/D";
  const auto candidate = RelationCandidate(device);
  ASSERT_TRUE(candidate);
  const HardwareAddress mac = Mac(8);
  EXPECT_TRUE(std::equal(mac.begin(), mac.end(), candidate->hardwareAddress.begin()));
  EXPECT_EQ(candidate->hardwareAddressLength, 6);
  EXPECT_TRUE(std::all_of(candidate->hardwareAddress.begin() + 6, candidate->hardwareAddress.end(),
                          [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(candidate->ipAddress, Ip(30));
  EXPECT_EQ(candidate->hostnameLength, 0);
  EXPECT_EQ(std::string(candidate->description.data(), candidate->descriptionLength), "1756-EN2T/D");
  EXPECT_EQ(candidate->type, kRelationTypeNone);
  EXPECT_TRUE(Table().CheckCandidate(*candidate));

  // A name of 254 ASCII bytes and one two-byte character: the character does
  // not fit whole in 255 bytes and is left out.
  device.identity.productName = std::string(254, 'a') + "\xE9";
  const auto cut = RelationCandidate(device);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->descriptionLength, 254);

  EXPECT_FALSE(RelationCandidate(Device(30, std::nullopt))) << "no hardware address, no relation";
}

}  // namespace
}  // namespace corvessa
