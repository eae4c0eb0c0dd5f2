#include "core/network_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace corvessa {
namespace {

constexpr std::uint32_t Ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

NetworkSettings WithMask(std::uint32_t mask) {
  NetworkSettings s;
  s.subnetMask = mask;
  return s;
}

TEST(IsValidNetworkSettings, Rules) {
  struct Case {
    const char* name;
    NetworkSettings settings;
    bool valid;
  };
  auto with = [](auto change) {
    NetworkSettings s = WithMask(Ip(255, 255, 255, 0));
    change(s);
    return s;
  };
  const Case cases[] = {
      {"first start: everything 0", NetworkSettings{}, false},
      {"mask only", WithMask(Ip(255, 255, 255, 0)), true},
      {"mask 255.255.255.255", WithMask(Ip(255, 255, 255, 255)), false},
      {"gateway 127.0.0.1", with([](NetworkSettings& s) { s.gateway = Ip(127, 0, 0, 1); }), false},
      {"gateway valid", with([](NetworkSettings& s) { s.gateway = Ip(192, 168, 1, 1); }), true},
      {"dns1 broadcast", with([](NetworkSettings& s) { s.dns1 = Ip(192, 168, 1, 255); }), false},
      {"dns2 class D", with([](NetworkSettings& s) { s.dns2 = Ip(224, 0, 0, 1); }), false},
      {"both dns valid",
       with([](NetworkSettings& s) {
         s.dns1 = Ip(10, 0, 0, 53);
         s.dns2 = Ip(10, 0, 1, 53);
       }),
       true},
      {"domain takes no part", with([](NetworkSettings& s) { s.SetDomainName("x"); }), true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidNetworkSettings(c.settings), c.valid) << c.name;
}

TEST(DomainName, ClearsAndCopies) {
  NetworkSettings s;
  s.SetDomainName("plant.example.local");
  s.SetDomainName("ab");
  EXPECT_EQ(s.DomainName(), "ab");
  EXPECT_EQ(s.domainNameLength, 2);
  // The bytes of the longer earlier name are gone.
  for (std::size_t i = 2; i < kDomainNameSize; ++i) EXPECT_EQ(s.domainName[i], 0) << i;
  EXPECT_TRUE(s.HasDomainName());
  s.SetDomainName("");
  EXPECT_FALSE(s.HasDomainName());
  EXPECT_EQ(s.DomainName(), "");
}

TEST(DomainName, LongerNameIsCutToTheField) {
  const std::string forty(40, 'd');
  NetworkSettings s;
  s.SetDomainName(forty);
  EXPECT_EQ(s.domainNameLength, 32);
  EXPECT_EQ(s.DomainName(), std::string(32, 'd'));

  const std::string exact(32, 'e');
  s.SetDomainName(exact);
  EXPECT_EQ(s.DomainName(), exact);
}

TEST(HostName, CutTo63AndTerminated) {
  ServerIdentity id;
  id.SetHostName(std::string(100, 'h'));
  EXPECT_EQ(id.HostName(), std::string(63, 'h'));
  EXPECT_EQ(id.hostName[63], '\0');

  id.SetHostName("engineering-pc");
  EXPECT_EQ(id.HostName(), "engineering-pc");
  for (std::size_t i = 14; i < kHostNameSize; ++i) EXPECT_EQ(id.hostName[i], '\0') << i;
}

TEST(ServerAddress, FirstOctetFirst) {
  ServerIdentity id;
  id.SetServerAddressHostOrder(Ip(192, 168, 1, 5));
  const std::array<std::uint8_t, 4> expected = {192, 168, 1, 5};
  EXPECT_EQ(id.serverAddress, expected);
  EXPECT_EQ(id.ServerAddressHostOrder(), Ip(192, 168, 1, 5));
}

}  // namespace
}  // namespace corvessa
