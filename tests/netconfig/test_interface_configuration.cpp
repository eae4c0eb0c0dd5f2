#include <gtest/gtest.h>

#include "core/settings_names.h"
#include "netconfig/interface_configuration.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"
#include "ui/settings_store.h"

namespace corvessa {

void PrintTo(const InterfaceConfiguration& c, std::ostream* out) {
  *out << "{" << c.address << ", " << c.subnetMask << ", " << c.gateway << ", " << c.dns1 << ", " << c.dns2 << ", "
       << c.domain << "}";
}

namespace {

using testsupport::kLoopbackLinkType;
using testsupport::MakeInterface;
using testsupport::ScriptedHost;

namespace names = settings_names;

constexpr const char* kRoutes =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
    // eth0: default via 10.0.0.1 (0A.00.00.01), metric 100
    "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
    // eth1: default via 192.168.10.1 (C0.A8.0A.01), metric 200
    "eth1\t00000000\t010AA8C0\t0003\t0\t0\t200\t00000000\t0\t0\t0\n"
    // eth1: connected 192.168.10.0/24
    "eth1\t000AA8C0\t00000000\t0001\t0\t0\t200\t00FFFFFF\t0\t0\t0\n";

constexpr const char* kResolvConf =
    "nameserver 10.0.0.53\n"
    "nameserver 10.0.0.54\n"
    "search plant.local lab.local\n";

class InterfaceConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    host.routeFile = dir.Write("route", kRoutes);
    host.resolvConf = dir.Write("resolv.conf", kResolvConf);
    host.resolvedUpstream = dir.File("no-upstream");
    host.interfaces = {
        MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}}),
        MakeInterface("eth0", 2, kEthernetLinkType, true, {{0x0A000005, 0xFF000000}}),
        MakeInterface("eth1", 3, kEthernetLinkType, true, {{0xC0A80A05, 0xFFFFFF00}, {0xC0A80B05, 0xFFFFFF00}}),
        MakeInterface("eth2", 4, kEthernetLinkType, true),
    };
  }

  void Select(const std::string& adapter, const std::string& address) {
    ASSERT_TRUE(store.SetString(names::kVersionSection, names::kLastAdapter, adapter));
    ASSERT_TRUE(store.SetString(adapter, names::kIpAddress, address));
  }

  testsupport::TempFolder dir{"netcfg"};
  SettingsStore store{dir.File("corvessa.conf")};
  ScriptedHost host;
};

TEST_F(InterfaceConfigurationTest, StoredAddressPicksItsInterface) {
  Select("eth1", "192.168.10.5");
  const InterfaceConfiguration expected{"192.168.10.5", "255.255.255.0", "192.168.10.1",
                                        "10.0.0.53",    "10.0.0.54",     "plant.local"};
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), expected);
}

TEST_F(InterfaceConfigurationTest, HostsFirstAddressWhenNothingIsStored) {
  const InterfaceConfiguration expected{"10.0.0.5", "255.0.0.0", "10.0.0.1", "10.0.0.53", "10.0.0.54", "plant.local"};
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), expected);
}

TEST_F(InterfaceConfigurationTest, OnlyAnExactMatchCounts) {
  const char* const targets[] = {
      "Unknown",        // the adapter had no address when it was chosen
      "192.168.11.5",   // a second address of eth1 is not its address
      "192.168.10.05",  // same number, other text
      "192.168.10.50",  // no such interface
      " 192.168.10.5",
  };
  for (const char* target : targets) {
    Select("eth1", target);
    EXPECT_EQ(ReadInterfaceConfiguration(store, host), InterfaceConfiguration{}) << target;
  }
}

TEST_F(InterfaceConfigurationTest, NothingWhenTheHostNameDoesNotResolve) {
  // No up interface with an address, and the resolver knows no answer.
  for (auto& entry : host.interfaces) entry.up = false;
  host.answer = std::nullopt;
  Select("eth1", "192.168.10.5");
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), InterfaceConfiguration{});
}

TEST_F(InterfaceConfigurationTest, MissingFilesLeaveTheirFieldsEmpty) {
  host.routeFile = dir.File("no-route");
  host.resolvConf = dir.File("no-resolv.conf");
  Select("eth1", "192.168.10.5");
  const InterfaceConfiguration expected{"192.168.10.5", "255.255.255.0", "", "", "", ""};
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), expected);
}

TEST_F(InterfaceConfigurationTest, SingleNameServerLeavesDns2Empty) {
  host.resolvConf = dir.Write("resolv.conf", "nameserver 10.0.0.53\ndomain plant.local\n");
  Select("eth0", "10.0.0.5");
  const InterfaceConfiguration expected{"10.0.0.5", "255.0.0.0", "10.0.0.1", "10.0.0.53", "", "plant.local"};
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), expected);
}

TEST_F(InterfaceConfigurationTest, StubResolverGivesTheUpstreamServers) {
  host.resolvConf = dir.Write("resolv.conf", "nameserver 127.0.0.53\noptions edns0 trust-ad\nsearch plant.local\n");
  host.resolvedUpstream = dir.Write("upstream.conf", "nameserver 192.168.10.2\nsearch plant.local\n");
  Select("eth1", "192.168.10.5");
  const InterfaceConfiguration expected{"192.168.10.5", "255.255.255.0", "192.168.10.1",
                                        "192.168.10.2", "",              "plant.local"};
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), expected);
}

}  // namespace
}  // namespace corvessa
