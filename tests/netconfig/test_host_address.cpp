#include <gtest/gtest.h>

#include "netconfig/host_address.h"
#include "tests/support/scripted_host.h"

namespace corvessa {
namespace {

using testsupport::kLoopbackLinkType;
using testsupport::kNoneLinkType;
using testsupport::MakeInterface;
using testsupport::ScriptedHost;

constexpr std::uint32_t kMask24 = 0xFFFFFF00;

TEST(ResolveHostAddressesTest, UpInterfacesComeFirstInIndexOrder) {
  ScriptedHost host;
  host.interfaces = {
      MakeInterface("eth1", 3, kEthernetLinkType, true, {{0xC0A80205, kMask24}}),
      MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}}),
      MakeInterface("eth0", 2, kEthernetLinkType, true, {{0xC0A80105, kMask24}, {0xC0A80106, kMask24}}),
      MakeInterface("eth2", 4, kEthernetLinkType, false, {{0xC0A80305, kMask24}}),  // down
      MakeInterface("tun0", 5, kNoneLinkType, true, {{0x0A080002, kMask24}}),     // any link type counts
  };
  host.answer = std::vector<std::uint32_t>{0x7F000101};
  const HostAddresses result = ResolveHostAddresses(host);
  EXPECT_TRUE(result.resolved);
  EXPECT_EQ(result.addresses, (std::vector<std::uint32_t>{0xC0A80105, 0xC0A80106, 0xC0A80205, 0x0A080002}));
  EXPECT_TRUE(host.resolvedNames.empty());
}

TEST(ResolveHostAddressesTest, ResolverOnlyWithoutInterfaceAddresses) {
  ScriptedHost host;
  host.interfaces = {MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}}),
                     MakeInterface("eth0", 2, kEthernetLinkType, true),
                     MakeInterface("eth1", 3, kEthernetLinkType, false, {{0xC0A80105, kMask24}})};
  host.hostName = "bench-pc";
  host.answer = std::vector<std::uint32_t>{0xC0A80909, 0xC0A80908};
  const HostAddresses result = ResolveHostAddresses(host);
  EXPECT_TRUE(result.resolved);
  EXPECT_EQ(result.addresses, (std::vector<std::uint32_t>{0xC0A80909, 0xC0A80908}));
  EXPECT_EQ(host.resolvedNames, (std::vector<std::string>{"bench-pc"}));
}

TEST(ResolveHostAddressesTest, NotResolvedWhenNameOrAnswerIsMissing) {
  ScriptedHost noAnswer;
  noAnswer.answer = std::nullopt;
  EXPECT_FALSE(ResolveHostAddresses(noAnswer).resolved);

  ScriptedHost emptyAnswer;
  emptyAnswer.answer = std::vector<std::uint32_t>{};
  EXPECT_FALSE(ResolveHostAddresses(emptyAnswer).resolved);

  ScriptedHost noName;
  noName.hostName = std::nullopt;
  noName.answer = std::vector<std::uint32_t>{0xC0A80909};
  EXPECT_FALSE(ResolveHostAddresses(noName).resolved);
  EXPECT_TRUE(noName.resolvedNames.empty());
}

TEST(HostHasUsableAddressTest, FirstAddressDecides) {
  struct Case {
    const char* what;
    std::optional<std::vector<std::uint32_t>> answer;
    bool usable;
  };
  const Case cases[] = {
      {"name does not resolve", std::nullopt, true},
      {"127.0.0.1 only", std::vector<std::uint32_t>{0x7F000001}, false},
      {"Debian's 127.0.1.1", std::vector<std::uint32_t>{0x7F000101}, false},
      {"ordinary address", std::vector<std::uint32_t>{0xC0A80105}, true},
      {"loopback first, then a good one", std::vector<std::uint32_t>{0x7F000001, 0xC0A80105}, false},
      {"good one first", std::vector<std::uint32_t>{0xC0A80105, 0x7F000001}, true},
      {"multicast", std::vector<std::uint32_t>{0xE0000005}, false},
      {"network address", std::vector<std::uint32_t>{0xC0A80100}, false},
  };
  for (const Case& c : cases) {
    ScriptedHost host;
    host.answer = c.answer;
    EXPECT_EQ(HostHasUsableAddress(host), c.usable) << c.what;
  }
}

TEST(HostHasUsableAddressTest, InterfaceAddressIsUsedBeforeTheResolver) {
  ScriptedHost host;
  host.interfaces = {MakeInterface("eth0", 2, kEthernetLinkType, true, {{0xC0A80105, kMask24}})};
  host.answer = std::vector<std::uint32_t>{0x7F000101};
  EXPECT_TRUE(HostHasUsableAddress(host));
}

}  // namespace
}  // namespace corvessa
