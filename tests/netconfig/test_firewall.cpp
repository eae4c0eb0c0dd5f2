#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "netconfig/firewall.h"

namespace corvessa {
namespace {

// Answers from a map of profiles and records which ones were asked for.
class ScriptedPolicy : public FirewallPolicyReader {
 public:
  std::map<std::string, FirewallProfile, std::less<>> profiles;
  std::vector<std::string> asked;

  std::optional<FirewallProfile> ReadProfile(std::string_view name) override {
    asked.emplace_back(name);
    const auto it = profiles.find(name);
    if (it == profiles.end()) return std::nullopt;
    return it->second;
  }
};

constexpr std::uint32_t kOn = 1;
constexpr std::uint32_t kOff = 0;

TEST(FirewallProfileTest, FailsOnlyWhenOnAndSilent) {
  struct Case {
    const char* what;
    std::optional<FirewallProfile> profile;  // nullopt: no such profile
    bool fails;
  };
  const Case cases[] = {
      {"on, notifications off", FirewallProfile{kOn, kOn}, true},
      {"on, notifications on", FirewallProfile{kOn, kOff}, false},
      {"off, notifications off", FirewallProfile{kOff, kOn}, false},
      {"EnableFirewall 2 is not 1", FirewallProfile{2u, kOn}, false},
      {"DisableNotifications 2 is not 1", FirewallProfile{kOn, 2u}, false},
      {"EnableFirewall unreadable", FirewallProfile{std::nullopt, kOn}, false},
      {"DisableNotifications unreadable", FirewallProfile{kOn, std::nullopt}, false},
      {"no such profile", std::nullopt, false},
  };
  for (const Case& c : cases) {
    ScriptedPolicy policy;
    if (c.profile) policy.profiles["PublicProfile"] = *c.profile;
    EXPECT_EQ(ProfileFails(policy, "PublicProfile"), c.fails) << c.what;
  }
}

TEST(FirewallCheckTest, DomainProfileAloneWarnsAfterTheOtherTwoPass) {
  ScriptedPolicy policy;
  policy.profiles["PublicProfile"] = {kOn, kOff};
  policy.profiles["StandardProfile"] = {kOn, kOff};
  policy.profiles["DomainProfile"] = {kOn, kOn};
  EXPECT_TRUE(FirewallWarningNeeded(policy));
  EXPECT_EQ(policy.asked, (std::vector<std::string>{"PublicProfile", "StandardProfile", "DomainProfile"}));
}

TEST(FirewallCheckTest, StopsAtTheFirstFailingProfile) {
  ScriptedPolicy policy;
  policy.profiles["PublicProfile"] = {kOn, kOn};
  policy.profiles["StandardProfile"] = {kOn, kOn};
  policy.profiles["DomainProfile"] = {kOn, kOn};
  EXPECT_TRUE(FirewallWarningNeeded(policy));
  EXPECT_EQ(policy.asked, (std::vector<std::string>{"PublicProfile"}));
}

TEST(FirewallCheckTest, NotifyingFirewallEverywhereGivesNoWarning) {
  ScriptedPolicy policy;
  for (const std::string_view name : kFirewallProfiles) policy.profiles[std::string(name)] = {kOn, kOff};
  EXPECT_FALSE(FirewallWarningNeeded(policy));
  EXPECT_EQ(policy.asked.size(), 3u);
}

TEST(FirewallCheckTest, NoProfilesGivesNoWarning) {
  ScriptedPolicy policy;
  EXPECT_FALSE(FirewallWarningNeeded(policy));
}

TEST(FirewallCheckTest, HostReaderReportsNoProfiles) {
  HostFirewallPolicyReader reader;
  for (const std::string_view name : kFirewallProfiles) EXPECT_FALSE(reader.ReadProfile(name).has_value()) << name;
  EXPECT_FALSE(FirewallWarningNeeded(reader));
}

}  // namespace
}  // namespace corvessa
