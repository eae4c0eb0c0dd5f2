// The live host facts, read inside network namespaces that the tests build:
// interfaces, addresses and routes come from the namespace the test thread
// has entered (getifaddrs and /proc/net follow it), never from the machine's
// own interfaces. No packet is sent.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "core/settings_names.h"
#include "netconfig/adapters.h"
#include "netconfig/host_address.h"
#include "netconfig/interface_configuration.h"
#include "tests/support/temp_folder.h"
#include "tests/support/netns.h"
#include "ui/settings_store.h"

namespace corvessa {

void PrintTo(const Adapter& adapter, std::ostream* out) { *out << adapter.description << "=" << adapter.address; }

void PrintTo(const InterfaceConfiguration& c, std::ostream* out) {
  *out << "{" << c.address << ", " << c.subnetMask << ", " << c.gateway << ", " << c.dns1 << ", " << c.dns2 << ", "
       << c.domain << "}";
}

namespace {

using testsupport::IsRoot;
using testsupport::NamespaceGuard;

namespace names = settings_names;

// The live host with a resolver answer chosen by the test.
class HostWithScriptedResolver : public HostNetwork {
 public:
  std::optional<std::vector<std::uint32_t>> answer;
  mutable std::vector<std::string> resolvedNames;

  std::optional<std::vector<std::uint32_t>> ResolveName(const std::string& name) const override {
    resolvedNames.push_back(name);
    return answer;
  }
};

// Builds a namespace (and one for the veth peers), runs the given set-up
// commands and moves the test thread into it until the test ends.
class NamespaceTest : public ::testing::Test {
 protected:
  void Enter(const std::vector<std::string>& steps) {
    if (!IsRoot()) GTEST_SKIP() << "needs root to create network namespaces (ip netns)";
    ASSERT_TRUE(dir.ok());
    RemoveNamespaces();
    created_ = true;
    ASSERT_EQ(testsupport::Run("ip netns add " + ns), 0);
    ASSERT_EQ(testsupport::Run("ip netns add " + peer), 0);
    ASSERT_EQ(testsupport::Run("ip -n " + ns + " link set lo up"), 0);
    for (const auto& step : steps) ASSERT_EQ(testsupport::Run(step + " >/dev/null 2>&1"), 0) << step;
    guard_.emplace(ns);
    ASSERT_TRUE(guard_->ok()) << "cannot enter " << ns;
  }

  void TearDown() override {
    guard_.reset();
    if (created_) RemoveNamespaces();
  }

  void RemoveNamespaces() const {
    testsupport::Run("ip netns del " + ns + " >/dev/null 2>&1");
    testsupport::Run("ip netns del " + peer + " >/dev/null 2>&1");
  }

  std::string In(const std::string& command) const { return "ip -n " + ns + " " + command; }

  testsupport::TempFolder dir{"netcfg"};
  const std::string ns = "cvn" + std::to_string(getpid() % 100000);
  const std::string peer = "cvq" + std::to_string(getpid() % 100000);

 private:
  bool created_ = false;
  std::optional<NamespaceGuard> guard_;
};

// Two veths: nzeta (index 7) with 10.77.0.1/24, a second address and a
// default route via 10.77.0.254; nalpha (index 9) without an address, so that
// index order and name order differ. A tun device (not Ethernet) and lo are
// there to be left out.
class AdapterNamespaceTest : public NamespaceTest {
 protected:
  void SetUp() override {
    Enter({
        In("tuntap add mode tun name ntun0"),
        In("link add nzeta index 7 type veth peer name pz netns " + peer),
        In("link add nalpha index 9 type veth peer name pa netns " + peer),
        In("link set ntun0 up"),
        In("link set nzeta up"),
        In("link set nalpha up"),
        "ip -n " + peer + " link set pz up",
        In("addr add 10.77.0.1/24 dev nzeta"),
        In("addr add 10.77.1.1/24 dev nzeta"),
        In("route add default via 10.77.0.254 dev nzeta"),
    });
  }

  SettingsStore store{dir.File("corvessa.conf")};
};

TEST_F(AdapterNamespaceTest, AdaptersInIndexOrderWithoutLoopbackOrTun) {
  const std::vector<Adapter> expected = {{"nzeta", "10.77.0.1"}, {"nalpha", "0.0.0.0"}};
  EXPECT_EQ(EnumerateAdapters(HostNetwork{}), expected);
}

TEST_F(AdapterNamespaceTest, ChoiceAndConfigurationFollowTheSelectedInterface) {
  HostNetwork host;
  host.resolvConf = dir.Write("resolv.conf", "nameserver 10.77.0.53,10.77.0.54\nnameserver 10.77.0.55\n"
                                             "domain plant.local\n");
  // Two adapters: the user chooses, nothing is written.
  EXPECT_TRUE(AutoSelectInterface(store, host));
  EXPECT_FALSE(std::filesystem::exists(store.Path()));

  const std::vector<Adapter> adapters = EnumerateAdapters(host);
  ASSERT_EQ(adapters.size(), 2u);

  // The address-less adapter is stored as "Unknown", which no interface has.
  RememberInterface(store, adapters[1]);
  EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), "nalpha");
  EXPECT_EQ(store.GetString("nalpha", names::kIpAddress), "Unknown");
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), InterfaceConfiguration{});

  RememberInterface(store, adapters[0]);
  EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), "nzeta");
  EXPECT_EQ(store.GetString("nzeta", names::kIpAddress), "10.77.0.1");
  // "10.77.0.53,10.77.0.54" is no IPv4 address: the resolver would not use it either.
  const InterfaceConfiguration expected{"10.77.0.1", "255.255.255.0", "10.77.0.254",
                                        "10.77.0.55", "",             "plant.local"};
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), expected);

  host.resolvConf = dir.Write("resolv.conf", "nameserver 10.77.0.53\nnameserver 10.77.0.54\nsearch plant.local\n");
  const InterfaceConfiguration twoServers{"10.77.0.1", "255.255.255.0", "10.77.0.254",
                                          "10.77.0.53", "10.77.0.54",   "plant.local"};
  EXPECT_EQ(ReadInterfaceConfiguration(store, host), twoServers);
}

TEST_F(AdapterNamespaceTest, AutoSelectionAsAdaptersDisappear) {
  HostNetwork host;
  ASSERT_EQ(testsupport::Run(In("link del nzeta")), 0);
  // One adapter left, without an address: chosen without asking.
  EXPECT_FALSE(AutoSelectInterface(store, host));
  EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), "nalpha");
  EXPECT_EQ(store.GetString("nalpha", names::kIpAddress), "Unknown");

  const std::string before = testsupport::ReadWholeFile(store.Path());
  ASSERT_EQ(testsupport::Run(In("link del nalpha")), 0);
  EXPECT_FALSE(AutoSelectInterface(store, host));
  EXPECT_EQ(testsupport::ReadWholeFile(store.Path()), before);
}

TEST_F(AdapterNamespaceTest, HostAddressesComeFromTheInterfaces) {
  HostWithScriptedResolver host;
  host.answer = std::vector<std::uint32_t>{0x7F000101};
  const HostAddresses own = ResolveHostAddresses(host);
  EXPECT_TRUE(own.resolved);
  EXPECT_EQ(own.addresses, (std::vector<std::uint32_t>{0x0A4D0001, 0x0A4D0101}));  // 10.77.0.1, 10.77.1.1
  EXPECT_TRUE(host.resolvedNames.empty());
  EXPECT_TRUE(HostHasUsableAddress(host));
}

// Only lo is up: the host's addresses are the resolver's answer.
class LoopbackOnlyNamespaceTest : public NamespaceTest {
 protected:
  void SetUp() override { Enter({}); }
};

TEST_F(LoopbackOnlyNamespaceTest, FallsBackToTheResolver) {
  HostWithScriptedResolver host;
  const std::optional<std::string> name = host.HostName();
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());

  host.answer = std::vector<std::uint32_t>{0x7F000001};
  const HostAddresses own = ResolveHostAddresses(host);
  EXPECT_TRUE(own.resolved);
  EXPECT_EQ(own.addresses, (std::vector<std::uint32_t>{0x7F000001}));
  EXPECT_EQ(host.resolvedNames, (std::vector<std::string>{*name}));
  EXPECT_FALSE(HostHasUsableAddress(host));

  host.answer = std::nullopt;
  EXPECT_FALSE(ResolveHostAddresses(host).resolved);
  EXPECT_TRUE(HostHasUsableAddress(host));
}

TEST_F(LoopbackOnlyNamespaceTest, ResolverAnswersFromTheHostsFile) {
  // localhost is in /etc/hosts; should the resolver still ask a name server,
  // the query cannot leave this namespace.
  const std::optional<std::vector<std::uint32_t>> answer = HostNetwork{}.ResolveName("localhost");
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->front(), 0x7F000001u);
}

}  // namespace
}  // namespace corvessa
