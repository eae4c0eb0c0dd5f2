// The Linux firewall check: firewalld's zones as a scripted source answers
// them, ufw's files as a test writes them, and the warnings they lead to.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "netconfig/linux_firewall.h"
#include "tests/support/temp_folder.h"

namespace corvessa {

void PrintTo(const PortFinding& finding, std::ostream* out) {
  *out << "{verdict " << static_cast<int>(finding.verdict) << ", \"" << finding.warning << "\"}";
}

namespace {

// firewalld's answers, as a map; what is missing does not answer.
class ScriptedFirewalld final : public FirewalldSource {
 public:
  std::optional<std::string> defaultZone;
  std::map<std::string, std::string, std::less<>> interfaceZones;  // absent: firewalld does not answer
  std::map<std::string, FirewalldZone, std::less<>> zones;          // absent: not readable
  std::vector<std::string> asked;

  std::optional<std::string> DefaultZone() override {
    asked.push_back("default");
    return defaultZone;
  }
  std::optional<std::string> ZoneOfInterface(std::string_view name) override {
    asked.push_back("zone of " + std::string(name));
    const auto found = interfaceZones.find(name);
    if (found == interfaceZones.end()) return std::nullopt;
    return found->second;
  }
  std::optional<FirewalldZone> Zone(std::string_view name) override {
    asked.push_back("settings of " + std::string(name));
    const auto found = zones.find(name);
    if (found == zones.end()) return std::nullopt;
    return found->second;
  }
};

FirewalldZone PublicZone() { return {"default", {"ssh", "dhcpv6-client"}, {}, {}, {}}; }

constexpr const char* kPublicBlocks =
    "The firewall (firewalld) drops the requests of devices on enp3s0: its zone \"public\" allows neither the dhcp "
    "service nor UDP port 67, so no device gets an answer and the Discovery History stays empty.\n\n"
    "To open the port, run:\n\n"
    "sudo firewall-cmd --zone=public --add-service=dhcp\n"
    "sudo firewall-cmd --permanent --zone=public --add-service=dhcp";

constexpr const char* kUfwBlocks =
    "The firewall (ufw) drops the requests of devices on enp3s0: none of its rules allows UDP port 67 there, so no "
    "device gets an answer and the Discovery History stays empty.\n\n"
    "To open the port for this interface, run:\n\n"
    "sudo ufw allow in on enp3s0 to any port 67 proto udp";

constexpr const char* kUfwMayBlock =
    "The firewall (ufw) is on and drops what its rules do not allow. Unless a rule allows UDP port 67 on enp3s0, no "
    "device gets an answer and the Discovery History stays empty.\n\n"
    "To open the port for this interface, run:\n\n"
    "sudo ufw allow in on enp3s0 to any port 67 proto udp";

TEST(FirewalldZone, AllowsDhcpOnlyWhenSomethingLetsUdp67In) {
  struct Case {
    const char* what;
    FirewalldZone zone;
    bool allows;
  };
  FirewalldZone withService = PublicZone();
  withService.services.push_back("dhcp");
  const Case cases[] = {
      {"public as installed", PublicZone(), false},
      {"dhcp service", withService, true},
      {"trusted: target ACCEPT", {"ACCEPT", {}, {}, {}, {}}, true},
      {"drop zone with the dhcp service", {"DROP", {"dhcp"}, {}, {}, {}}, true},
      {"reject zone", {"%%REJECT%%", {"ssh"}, {}, {}, {}}, false},
      {"port 67/udp", {"default", {}, {{"67", "udp"}}, {}, {}}, true},
      {"port 67/tcp", {"default", {}, {{"67", "tcp"}}, {}, {}}, false},
      {"range 60-70/udp", {"default", {}, {{"60-70", "udp"}}, {}, {}}, true},
      {"port 68/udp", {"default", {}, {{"68", "udp"}}, {}, {}}, false},
      {"protocol udp", {"default", {}, {}, {"udp"}, {}}, true},
      {"rich rule: dhcp service", {"default", {}, {}, {}, {"rule family=\"ipv4\" service name=\"dhcp\" accept"}}, true},
      {"rich rule: port 67/udp", {"default", {}, {}, {}, {"rule port port=\"67\" protocol=\"udp\" accept"}}, true},
      {"rich rule from a source",
       {"default", {}, {}, {}, {"rule family=\"ipv4\" source address=\"10.0.0.0/8\" service name=\"dhcp\" accept"}},
       false},
      {"rich rule for IPv6", {"default", {}, {}, {}, {"rule family=\"ipv6\" service name=\"dhcp\" accept"}}, false},
      {"rich rule that drops", {"default", {}, {}, {}, {"rule service name=\"dhcp\" drop"}}, false},
      {"rich rule with logging",
       {"default", {}, {}, {}, {"rule service name=\"dhcp\" log prefix=\"dhcp in\" level=\"info\" accept"}},
       true},
  };
  for (const Case& c : cases) EXPECT_EQ(FirewalldZoneAllowsDhcp(c.zone), c.allows) << c.what;
}

TEST(FirewalldCheck, ReadsTheZoneOfTheInterfaceElseTheDefaultZone) {
  ScriptedFirewalld firewalld;
  firewalld.interfaceZones["enp3s0"] = "";  // bound to no zone
  firewalld.defaultZone = "public";
  firewalld.zones["public"] = PublicZone();
  EXPECT_EQ(CheckFirewalld(firewalld, "enp3s0"), (PortFinding{PortVerdict::Blocked, kPublicBlocks}));
  EXPECT_EQ(firewalld.asked, (std::vector<std::string>{"zone of enp3s0", "default", "settings of public"}));

  ScriptedFirewalld home;
  home.interfaceZones["enp3s0"] = "home";
  home.zones["home"] = {"default", {"ssh", "dhcp", "mdns"}, {}, {}, {}};
  EXPECT_EQ(CheckFirewalld(home, "enp3s0"), (PortFinding{PortVerdict::Open, ""}));
  EXPECT_EQ(home.asked, (std::vector<std::string>{"zone of enp3s0", "settings of home"}));
}

TEST(FirewalldCheck, WhatCannotBeReadSaysNothing) {
  struct Case {
    const char* what;
    std::optional<std::string> zoneOfInterface;  // nullopt: firewalld does not answer
    std::optional<std::string> defaultZone;
    bool zoneReadable;
  };
  const Case cases[] = {
      {"firewalld not running", std::nullopt, "public", true},
      {"no default zone", "", std::nullopt, true},
      {"zone settings refused", "public", "public", false},
  };
  for (const Case& c : cases) {
    ScriptedFirewalld firewalld;
    if (c.zoneOfInterface) firewalld.interfaceZones["enp3s0"] = *c.zoneOfInterface;
    firewalld.defaultZone = c.defaultZone;
    if (c.zoneReadable) firewalld.zones["public"] = PublicZone();
    EXPECT_EQ(CheckFirewalld(firewalld, "enp3s0"), PortFinding{}) << c.what;
  }
}

class Ufw : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.ok()); }

  // ufw's files with this content; nullptr leaves a file out.
  UfwFiles Files(const char* config, const char* defaults, const char* rules) const {
    UfwFiles files;
    files.config = config ? folder_.Write("ufw.conf", config) : folder_.File("missing.conf");
    files.defaults = defaults ? folder_.Write("default-ufw", defaults) : folder_.File("missing-default");
    files.userRules = rules ? folder_.Write("user.rules", rules) : folder_.File("missing.rules");
    return files;
  }

  testsupport::TempFolder folder_{"ufw"};
};

// What ufw writes: the rules between the chain declarations and COMMIT.
std::string UserRules(const std::string& rules) {
  return "*filter\n:ufw-user-input - [0:0]\n:ufw-user-output - [0:0]\n### RULES ###\n" + rules +
         "\n### END RULES ###\n-A ufw-user-limit -j REJECT\n-A ufw-user-limit-accept -j ACCEPT\nCOMMIT\n";
}

TEST_F(Ufw, VerdictFromEnabledFlagPolicyAndRules) {
  constexpr const char* kOn = "# /etc/ufw/ufw.conf\nENABLED=yes\nLOGLEVEL=low\n";
  constexpr const char* kDrop = "IPV6=yes\nDEFAULT_INPUT_POLICY=\"DROP\"\nDEFAULT_OUTPUT_POLICY=\"ACCEPT\"\n";
  struct Case {
    const char* what;
    const char* config;
    const char* defaults;
    std::optional<std::string> rules;
    PortFinding expected;
  };
  const PortFinding open{PortVerdict::Open, ""};
  const PortFinding blocked{PortVerdict::Blocked, kUfwBlocks};
  const auto allow = [](const std::string& rule) { return UserRules("### tuple ###\n" + rule); };
  const Case cases[] = {
      {"no ufw", nullptr, kDrop, std::nullopt, PortFinding{}},
      {"ufw off", "ENABLED=no\n", kDrop, std::nullopt, open},
      {"on, rules not readable", kOn, kDrop, std::nullopt, {PortVerdict::MayBlock, kUfwMayBlock}},
      {"on, defaults not readable either", kOn, nullptr, std::nullopt, {PortVerdict::MayBlock, kUfwMayBlock}},
      {"on, accepting by default", kOn, "DEFAULT_INPUT_POLICY=\"ACCEPT\"\n", std::nullopt, open},
      {"on, no rules", kOn, kDrop, UserRules(""), blocked},
      {"rule for this interface", kOn, kDrop, allow("-A ufw-user-input -i enp3s0 -p udp --dport 67 -j ACCEPT"), open},
      {"rule for another interface", kOn, kDrop, allow("-A ufw-user-input -i wlp2s0 -p udp --dport 67 -j ACCEPT"),
       blocked},
      {"rule for every interface", kOn, kDrop, allow("-A ufw-user-input -p udp --dport 67 -j ACCEPT"), open},
      {"logged rule", kOn, kDrop, allow("-A ufw-user-input -p udp --dport 67 -j ACCEPT_log"), open},
      {"port range", kOn, kDrop, allow("-A ufw-user-input -p udp -m multiport --dports 60:70,500 -j ACCEPT"), open},
      {"tcp only", kOn, kDrop, allow("-A ufw-user-input -p tcp --dport 67 -j ACCEPT"), blocked},
      {"from one network only", kOn, kDrop, allow("-A ufw-user-input -p udp --dport 67 -s 10.0.0.0/8 -j ACCEPT"),
       blocked},
      {"everything on this interface", kOn, kDrop, allow("-A ufw-user-input -i enp3s0 -p all -j ACCEPT"), open},
      {"denied before allowed", kOn, kDrop,
       allow("-A ufw-user-input -p udp --dport 67 -j DROP\n-A ufw-user-input -p udp --dport 67 -j ACCEPT"), blocked},
      {"rate-limited", kOn, kDrop, allow("-A ufw-user-input -p udp --dport 67 -j ufw-user-limit-accept"), open},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const UfwFiles files = Files(c.config, c.defaults, c.rules ? c.rules->c_str() : nullptr);
    EXPECT_EQ(CheckUfw(files, "enp3s0"), c.expected);
  }
}

TEST_F(Ufw, FirewalldIsAskedFirstAndUfwAfter) {
  const UfwFiles onNoRules = Files("ENABLED=yes\n", "DEFAULT_INPUT_POLICY=\"DROP\"\n", nullptr);
  const UfwFiles none = Files(nullptr, nullptr, nullptr);
  ScriptedFirewalld blocking;
  blocking.interfaceZones["enp3s0"] = "public";
  blocking.zones["public"] = PublicZone();
  ScriptedFirewalld absent;
  ScriptedFirewalld open;
  open.interfaceZones["enp3s0"] = "trusted";
  open.zones["trusted"] = {"ACCEPT", {}, {}, {}, {}};

  EXPECT_EQ(CheckLinuxFirewall(blocking, onNoRules, "enp3s0").verdict, PortVerdict::Blocked);
  EXPECT_EQ(CheckLinuxFirewall(blocking, onNoRules, "enp3s0").warning, kPublicBlocks);
  EXPECT_EQ(CheckLinuxFirewall(absent, onNoRules, "enp3s0").verdict, PortVerdict::MayBlock);
  EXPECT_EQ(CheckLinuxFirewall(open, onNoRules, "enp3s0").verdict, PortVerdict::MayBlock);
  EXPECT_EQ(CheckLinuxFirewall(open, none, "enp3s0"), (PortFinding{PortVerdict::Open, ""}));
  EXPECT_EQ(CheckLinuxFirewall(absent, none, "enp3s0"), PortFinding{});
}

}  // namespace
}  // namespace corvessa
