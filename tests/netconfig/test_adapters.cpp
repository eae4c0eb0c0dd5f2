#include <gtest/gtest.h>

#include <filesystem>

#include "core/settings_names.h"
#include "netconfig/adapters.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"
#include "ui/settings_store.h"

namespace corvessa {

void PrintTo(const Adapter& adapter, std::ostream* out) { *out << adapter.description << "=" << adapter.address; }

namespace {

using testsupport::kLoopbackLinkType;
using testsupport::kNoneLinkType;
using testsupport::MakeInterface;
using testsupport::ScriptedHost;

namespace names = settings_names;

TEST(EnumerateAdaptersTest, EthernetTypeInterfacesInIndexOrder) {
  ScriptedHost host;
  // Listed out of order on purpose: the index decides.
  host.interfaces = {
      MakeInterface("wlp2s0", 3, kEthernetLinkType, true, {{0xC0A80114, 0xFFFFFF00}, {0xC0A80115, 0xFFFFFF00}}),
      MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}}),
      MakeInterface("enp0s31f6", 2, kEthernetLinkType, false),
      MakeInterface("tun0", 4, kNoneLinkType, true, {{0x0A080002, 0xFFFFFF00}}),
      MakeInterface("veth9", 6, kEthernetLinkType, false, {{0x0A4D0001, 0xFFFFFF00}}),
      MakeInterface("br0", 5, kEthernetLinkType, true, {{0xAC100001, 0xFFFF0000}}),
  };
  // A loopback device that claims to be Ethernet is still left out.
  HostInterface odd = MakeInterface("lo2", 7, kEthernetLinkType, true);
  odd.loopback = true;
  host.interfaces.push_back(odd);

  const std::vector<Adapter> expected = {
      {"enp0s31f6", "0.0.0.0"},    // no IPv4 address
      {"wlp2s0", "192.168.1.20"},  // the first of two
      {"br0", "172.16.0.1"},
      {"veth9", "10.77.0.1"},  // down adapters are listed too
  };
  EXPECT_EQ(EnumerateAdapters(host), expected);
}

TEST(AdapterAddressTextTest, NoAddressReadsUnknown) {
  EXPECT_EQ(AdapterAddressText({"eth0", "0.0.0.0"}), "Unknown");
  EXPECT_EQ(AdapterAddressText({"eth0", "192.168.1.5"}), "192.168.1.5");
}

class InterfaceChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  testsupport::TempFolder dir{"netcfg"};
  SettingsStore store{dir.File("corvessa.conf")};
};

TEST_F(InterfaceChoiceTest, RememberWritesLastAdapterAndAddress) {
  RememberInterface(store, {"eth1", "192.168.1.5"});
  const std::string expected =
      "[Version 3.06.00]\n"
      "\"lastadapter\"=\"eth1\"\n"
      "\n"
      "[eth1]\n"
      "\"ipaddress\"=\"192.168.1.5\"\n";
  EXPECT_EQ(testsupport::ReadWholeFile(store.Path()), expected);
}

TEST_F(InterfaceChoiceTest, RememberStoresUnknownForNoAddress) {
  RememberInterface(store, {"eth1", "0.0.0.0"});
  EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), "eth1");
  EXPECT_EQ(store.GetString("eth1", names::kIpAddress), "Unknown");
}

TEST_F(InterfaceChoiceTest, SingleAdapterIsChosenWithoutAsking) {
  struct Case {
    const char* what;
    std::vector<InterfaceAddress> addresses;
    const char* stored;
  };
  const Case cases[] = {
      {"with an address", {{0xC0A80105, 0xFFFFFF00}}, "192.168.1.5"},
      {"without an address", {}, "Unknown"},
  };
  for (const Case& c : cases) {
    ScriptedHost host;
    host.interfaces = {MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}}),
                       MakeInterface("eth0", 2, kEthernetLinkType, true, c.addresses)};
    EXPECT_FALSE(AutoSelectInterface(store, host)) << c.what;
    EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), "eth0") << c.what;
    EXPECT_EQ(store.GetString("eth0", names::kIpAddress), c.stored) << c.what;
  }
}

TEST_F(InterfaceChoiceTest, SeveralAdaptersAskEveryTime) {
  RememberInterface(store, {"eth0", "192.168.1.5"});
  const std::string before = testsupport::ReadWholeFile(store.Path());
  ScriptedHost host;
  host.interfaces = {MakeInterface("eth0", 2, kEthernetLinkType, true, {{0xC0A80105, 0xFFFFFF00}}),
                     MakeInterface("eth1", 3, kEthernetLinkType, true)};
  EXPECT_TRUE(AutoSelectInterface(store, host));
  EXPECT_EQ(testsupport::ReadWholeFile(store.Path()), before);
}

TEST_F(InterfaceChoiceTest, NoAdapterChangesNothing) {
  ScriptedHost host;
  host.interfaces = {MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}})};
  EXPECT_FALSE(AutoSelectInterface(store, host));
  EXPECT_FALSE(std::filesystem::exists(store.Path()));
}

}  // namespace
}  // namespace corvessa
