// The network settings dialog's checks and defaults, without the window.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/string_ids.h"
#include "netconfig/settings_entry.h"

namespace corvessa {
namespace {

constexpr std::uint32_t kMask24 = 0xFFFFFF00;       // 255.255.255.0
constexpr std::uint32_t kMask16 = 0xFFFF0000;       // 255.255.0.0
constexpr std::uint32_t kGateway1 = 0xC0A80101;     // 192.168.1.1
constexpr std::uint32_t kGateway2 = 0xC0A80201;     // 192.168.2.1
constexpr std::uint32_t kLoopback = 0x7F000001;     // 127.0.0.1
constexpr std::uint32_t kBroadcast = 0xFFFFFFFF;    // 255.255.255.255
constexpr std::uint32_t kNameServer = 0x0A000035;   // 10.0.0.53
constexpr std::uint32_t kNoncontiguous = 0xFF00FF00;  // 255.0.255.0

constexpr EntryProblem kMaskProblem{kIdsInvalidSubnetMask, SettingsField::SubnetMask};
constexpr EntryProblem kGatewayProblem{kIdsInvalidGateway, SettingsField::Gateway};
constexpr EntryProblem kDns1Problem{kIdsInvalidPrimaryDns, SettingsField::PrimaryDns};
constexpr EntryProblem kDns2Problem{kIdsInvalidSecondaryDns, SettingsField::SecondaryDns};

struct EntryCase {
  const char* name;
  SettingsEntry entry;
  std::optional<EntryProblem> expected;
};

SettingsEntry Entry(std::uint32_t mask, std::optional<std::uint32_t> gateway = std::nullopt,
                    std::optional<std::uint32_t> dns1 = std::nullopt, std::optional<std::uint32_t> dns2 = std::nullopt,
                    std::string server = "192.168.1.5") {
  return SettingsEntry{mask, gateway, dns1, dns2, std::move(server)};
}

TEST(CheckSettingsEntry, ReportsTheFirstProblemOnly) {
  const EntryCase cases[] = {
      {"mask alone", Entry(kMask24), std::nullopt},
      {"everything set", Entry(kMask24, kGateway1, kNameServer, kNameServer + 1), std::nullopt},
      {"blank mask reads 0", Entry(0), kMaskProblem},
      {"mask with a hole", Entry(kNoncontiguous), kMaskProblem},
      {"bad mask before bad gateway", Entry(0, kLoopback), kMaskProblem},
      {"bad mask before bad name servers", Entry(kNoncontiguous, std::nullopt, kBroadcast, kBroadcast), kMaskProblem},
      {"loopback gateway", Entry(kMask24, kLoopback), kGatewayProblem},
      {"gateway typed as 0.0.0.0", Entry(kMask24, 0u), kGatewayProblem},
      {"gateway in another subnet", Entry(kMask24, kGateway2), kGatewayProblem},
      {"same subnet under the mask entered", Entry(kMask16, kGateway2), std::nullopt},
      {"server shown as Unknown", Entry(kMask24, kGateway1, std::nullopt, std::nullopt, "Unknown"), kGatewayProblem},
      {"server text with a blank", Entry(kMask24, kGateway1, std::nullopt, std::nullopt, "192.168.1.5 "),
       kGatewayProblem},
      {"bad gateway before bad name server", Entry(kMask24, kLoopback, kBroadcast), kGatewayProblem},
      {"bad primary name server", Entry(kMask24, kGateway1, kBroadcast), kDns1Problem},
      {"primary before secondary", Entry(kMask24, std::nullopt, kLoopback, kLoopback), kDns1Problem},
      {"bad secondary name server", Entry(kMask24, std::nullopt, kNameServer, kLoopback), kDns2Problem},
      {"secondary checked without primary", Entry(kMask24, std::nullopt, std::nullopt, 0u), kDns2Problem},
      {"name servers in any subnet", Entry(kMask24, kGateway1, kNameServer, kNameServer), std::nullopt},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<EntryProblem> problem = CheckSettingsEntry(c.entry);
    ASSERT_EQ(problem.has_value(), c.expected.has_value());
    if (problem) {
      EXPECT_EQ(problem->messageId, c.expected->messageId);
      EXPECT_EQ(problem->field, c.expected->field);
    }
  }
}

TEST(ConfigurationDefaults, ConvertEachTextAndCutTheDomain) {
  struct Case {
    const char* name;
    InterfaceConfiguration configuration;
    std::uint32_t mask, gateway, dns1, dns2;
    std::string domain;
  };
  const Case cases[] = {
      {"full configuration",
       {"192.168.1.5", "255.255.255.0", "192.168.1.1", "10.0.0.53", "10.0.0.54", "plant.local"},
       kMask24, kGateway1, 0x0A000035, 0x0A000036, "plant.local"},
      {"nothing found", {}, 0, 0, 0, 0, ""},
      {"texts that are no addresses",
       {"Unknown", "255.0.255.0", "127.0.0.1", "fe80::1", "10.0.0.053", "x"},
       0, 0, 0, 0, "x"},
      {"domain of 40 characters",
       {"192.168.1.5", "255.255.255.0", "", "", "", "abcdefghij.abcdefghij.abcdefghij.abcdefg"},
       kMask24, 0, 0, 0, "abcdefghij.abcdefghij.abcdefghij"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NetworkSettings settings;
    settings.subnetMask = kMask16;
    settings.gateway = kGateway2;
    settings.dns1 = settings.dns2 = kNameServer;
    settings.SetDomainName("old.domain.that.was.here");
    ApplyConfigurationDefaults(settings, c.configuration);
    EXPECT_EQ(settings.subnetMask, c.mask);
    EXPECT_EQ(settings.gateway, c.gateway);
    EXPECT_EQ(settings.dns1, c.dns1);
    EXPECT_EQ(settings.dns2, c.dns2);
    EXPECT_EQ(settings.DomainName(), c.domain);
    // The bytes after the name are zero, not left over from the old one.
    for (std::size_t i = c.domain.size(); i < kDomainNameSize; ++i) EXPECT_EQ(settings.domainName[i], 0) << i;
  }
}

TEST(ConfigurationDefaults, OnlySettingsWithoutAnyAddressCountAsUnset) {
  NetworkSettings settings;
  EXPECT_TRUE(HasNoAddresses(settings));
  settings.SetDomainName("plant.local");  // a domain alone does not count
  EXPECT_TRUE(HasNoAddresses(settings));
  for (std::uint32_t NetworkSettings::*field :
       {&NetworkSettings::subnetMask, &NetworkSettings::gateway, &NetworkSettings::dns1, &NetworkSettings::dns2}) {
    NetworkSettings one;
    one.*field = 1;
    EXPECT_FALSE(HasNoAddresses(one));
  }
}

TEST(CutDomainName, KeepsWholeCharactersWithinThirtyTwoBytes) {
  const std::string ascii32(32, 'a');
  const struct {
    const char* name;
    std::string text;
    std::string expected;
  } cases[] = {
      {"short", "plant.local", "plant.local"},
      {"exactly 32", ascii32, ascii32},
      {"33 cut to 32", ascii32 + "b", ascii32},
      // 31 ASCII bytes, then U+00E9 as C3 A9: its second byte would be byte 33.
      {"two-byte character across the end", std::string(31, 'a') + "\xC3\xA9", std::string(31, 'a')},
      // 30 ASCII bytes, then U+20AC as E2 82 AC: two of its bytes fit, one does not.
      {"three-byte character across the end", std::string(30, 'a') + "\xE2\x82\xAC" + "x", std::string(30, 'a')},
      // 29 ASCII bytes, then U+1F600 as F0 9F 98 80: three of four bytes fit.
      {"four-byte character across the end", std::string(29, 'a') + "\xF0\x9F\x98\x80", std::string(29, 'a')},
      // 30 ASCII bytes, then C3 A9 ends exactly at byte 32.
      {"character ending at the limit", std::string(30, 'a') + "\xC3\xA9" + "z", std::string(30, 'a') + "\xC3\xA9"},
      // Stray continuation bytes without a lead byte are no character: cut where they stand.
      {"stray continuation bytes", std::string(28, 'a') + "\x80\x80\x80\x80\x80", std::string(28, 'a') + "\x80\x80\x80\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::string(CutDomainName(c.text)), c.expected);
  }
}

}  // namespace
}  // namespace corvessa
