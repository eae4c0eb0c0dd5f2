// The exports to Kea and dnsmasq, compared with texts written by hand from
// each server's configuration syntax, and the texts they refuse to write.

#include <nlohmann/json.hpp>

#include "core/network_settings.h"
#include "files/dnsmasq_config.h"
#include "files/kea_config.h"
#include "tests/files/files_fixture.h"

namespace corvessa::files_test {
namespace {

NetworkSettings PlantSettings() {
  NetworkSettings settings;
  settings.subnetMask = Ip(255, 255, 255, 0);
  settings.gateway = Ip(192, 168, 1, 254);
  settings.dns1 = Ip(192, 168, 1, 53);
  settings.dns2 = Ip(192, 168, 1, 54);
  settings.SetDomainName("plant.local");
  return settings;
}

constexpr std::uint32_t kServer = Ip(192, 168, 1, 5);

// Four devices with every field and the texts each language treats specially.
RelationTable AwkwardList() {
  RelationTable table;
  table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 1, 50), "plc-a",
                            "Press 4, \"main\" # line\\2\nnext"));
  table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35}, Ip(192, 168, 1, 51)));
  table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x03}, Ip(192, 168, 1, 52), "PLC B,\"x\"#1"));
  table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x04}, Ip(192, 168, 1, 53), "10m", "Wärme"));
  return table;
}

TEST(DnsmasqExport, WritesTheSnippetLineByLine) {
  const RelationTable table = AwkwardList();
  const NetworkSettings settings = PlantSettings();
  const HandoffExport out = WriteDnsmasqConfig({table, settings, "enp3s0", kServer});
  ASSERT_TRUE(out.Succeeded()) << out.problems.front();
  EXPECT_EQ(out.text,
            "# dnsmasq DHCP configuration for the 4 devices listed on enp3s0.\n"
            "# The range is static: only the devices of the dhcp-host lines get an address,\n"
            "# by DHCP or by BOOTP, each with an infinite lease.\n"
            "interface=enp3s0\n"
            "bind-interfaces\n"
            "dhcp-range=192.168.1.0,static,255.255.255.0,infinite\n"
            "dhcp-option-force=option:router,192.168.1.254\n"
            // No broadcast address option: it would crowd the BOOTP reply.
            "dhcp-option=28\n"
            "dhcp-option-force=option:dns-server,192.168.1.53,192.168.1.54\n"
            "dhcp-option-force=option:domain-name,plant.local\n"
            // The description: backslash doubled, the line break as \x0A.
            "# Press 4, \"main\" # line\\\\2\\x0Anext\n"
            "dhcp-host=00:1D:9C:C8:12:34,192.168.1.50,plc-a,infinite\n"
            "dhcp-host=00:1D:9C:C8:12:35,192.168.1.51,infinite\n"
            // Upper case, blank, comma, quotes and '#': the name as a quoted option.
            "dhcp-host=0A:00:3C:01:02:03,192.168.1.52,set:corvessa3,infinite\n"
            "dhcp-option-force=tag:corvessa3,12,\"PLC B,\\\"x\\\"#1\"\n"
            // A name that dnsmasq would read as a lease time of ten minutes.
            "# Wärme\n"
            "dhcp-host=0A:00:3C:01:02:04,192.168.1.53,set:corvessa4,infinite\n"
            "dhcp-option-force=tag:corvessa4,12,\"10m\"\n");
}

TEST(DnsmasqExport, SettingsThatAreNotSetAreLeftOutOfTheReplies) {
  RelationTable table;
  table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(10, 0, 0, 20)));
  NetworkSettings settings;
  settings.subnetMask = Ip(255, 0, 0, 0);
  settings.dns2 = Ip(10, 0, 0, 54);
  settings.SetDomainName("Plant Floor#2");
  const HandoffExport out = WriteDnsmasqConfig({table, settings, "eth0", Ip(10, 0, 0, 1)});
  ASSERT_TRUE(out.Succeeded());
  EXPECT_NE(out.text.find("\ndhcp-range=10.0.0.0,static,255.0.0.0,infinite\n"
                          "dhcp-option=option:router\n"
                          "dhcp-option=28\n"
                          "dhcp-option-force=option:dns-server,10.0.0.54\n"
                          "dhcp-option-force=option:domain-name,\"Plant Floor#2\"\n"
                          "dhcp-host=00:1D:9C:C8:12:34,10.0.0.20,infinite\n"),
            std::string::npos)
      << out.text;
}

TEST(KeaExport, WritesTheConfigurationMemberByMember) {
  RelationTable table;
  table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 1, 50), "plc-a", "Press \"4\"\t#1"));
  table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x03}, Ip(192, 168, 1, 52), "Plc,B"));
  const NetworkSettings settings = PlantSettings();
  KeaOptions options;
  options.hooksDirectory = "/usr/lib/x86_64-linux-gnu/kea/hooks";
  const HandoffExport out = WriteKeaConfig({table, settings, "enp3s0", kServer}, options);
  ASSERT_TRUE(out.Succeeded()) << out.problems.front();
  EXPECT_EQ(out.text, R"json(// kea-dhcp4 configuration for the 2 devices listed on enp3s0.
{
  "Dhcp4": {
    "interfaces-config": {
      "interfaces": [
        "enp3s0"
      ]
    },
    "lease-database": {
      "type": "memfile",
      "persist": true,
      "name": "/var/lib/kea/kea-leases4.csv"
    },
    "valid-lifetime": 4294967295,
    "min-valid-lifetime": 4294967295,
    "max-valid-lifetime": 4294967295,
    "hooks-libraries": [
      {
        "library": "/usr/lib/x86_64-linux-gnu/kea/hooks/libdhcp_bootp.so"
      }
    ],
    "client-classes": [
      {
        "name": "DROP",
        "test": "not member('KNOWN')"
      }
    ],
    "subnet4": [
      {
        "id": 1,
        "subnet": "192.168.1.0/24",
        "interface": "enp3s0",
        "reservations-global": false,
        "reservations-in-subnet": true,
        "reservations-out-of-pool": true,
        "option-data": [
          {
            "name": "routers",
            "data": "192.168.1.254",
            "always-send": true
          },
          {
            "name": "domain-name-servers",
            "data": "192.168.1.53, 192.168.1.54",
            "always-send": true
          },
          {
            "name": "domain-name",
            "data": "plant.local",
            "always-send": true
          }
        ],
        "reservations": [
          {
            "hw-address": "00:1d:9c:c8:12:34",
            "ip-address": "192.168.1.50",
            "hostname": "plc-a",
            "option-data": [
              {
                "name": "host-name",
                "data": "plc-a",
                "always-send": true
              }
            ],
            "user-context": {
              "comment": "Press \"4\"\t#1"
            }
          },
          {
            "hw-address": "0a:00:3c:01:02:03",
            "ip-address": "192.168.1.52",
            "option-data": [
              {
                "name": "host-name",
                "csv-format": false,
                "data": "506C632C42",
                "always-send": true
              }
            ]
          }
        ]
      }
    ]
  }
}
)json");
}

TEST(KeaExport, AHotStandbyPairGetsOneFileForEachServer) {
  const RelationTable table = AwkwardList();
  const NetworkSettings settings = PlantSettings();
  KeaOptions options;
  options.bootpHook = false;
  options.hooksDirectory = "/opt/hooks/";
  options.highAvailability = KeaHighAvailability{"http://192.168.1.5:8005/", "http://192.168.1.6:8005/"};
  for (const auto role : {KeaHighAvailability::Role::Primary, KeaHighAvailability::Role::Standby}) {
    options.highAvailability->thisServer = role;
    const HandoffExport out = WriteKeaConfig({table, settings, "eth0", kServer}, options);
    ASSERT_TRUE(out.Succeeded());
    const auto config = nlohmann::json::parse(out.text, nullptr, true, true)["Dhcp4"];
    EXPECT_EQ(config["multi-threading"]["enable-multi-threading"], true);
    const auto& hooks = config["hooks-libraries"];
    ASSERT_EQ(hooks.size(), 2u);
    EXPECT_EQ(hooks[0]["library"], "/opt/hooks/libdhcp_lease_cmds.so");
    EXPECT_EQ(hooks[1]["library"], "/opt/hooks/libdhcp_ha.so");
    const auto& pair = hooks[1]["parameters"]["high-availability"][0];
    EXPECT_EQ(pair["this-server-name"], role == KeaHighAvailability::Role::Primary ? "primary" : "standby");
    EXPECT_EQ(pair["mode"], "hot-standby");
    EXPECT_EQ(pair["peers"], nlohmann::json::parse(R"([
      {"name": "primary", "url": "http://192.168.1.5:8005/", "role": "primary", "auto-failover": true},
      {"name": "standby", "url": "http://192.168.1.6:8005/", "role": "standby", "auto-failover": true}])"));
  }
}

struct Refusal {
  const char* name;
  std::string interfaceName = "eth0";
  std::uint32_t server = kServer;
  std::uint32_t relationIp = Ip(192, 168, 1, 50);
  std::string hostname = {};
  std::string description = {};
  std::uint32_t mask = Ip(255, 255, 255, 0);
  bool kea = true;       // refused by the Kea export
  bool dnsmasq = true;   // refused by the dnsmasq export
  const char* problem;   // part of the reason given
};

TEST(HandoffExport, RefusesWhatWouldMeanSomethingElse) {
  const Refusal cases[] = {
      {.name = "invalid mask", .mask = 0, .problem = "network settings are not valid"},
      {.name = "interface with a comma", .interfaceName = "eth0,lo", .problem = "interface name 'eth0,lo'"},
      {.name = "interface with a blank", .interfaceName = "eth 0", .problem = "interface name"},
      {.name = "no interface", .interfaceName = "", .problem = "interface name"},
      {.name = "no server address", .server = 0, .problem = "server address 0.0.0.0"},
      {.name = "relation in another subnet", .relationIp = Ip(192, 168, 2, 50),
       .problem = "192.168.2.50, outside the subnet 192.168.1.0/24"},
      {.name = "relation on the server's address", .relationIp = kServer, .problem = "server's own address"},
      {.name = "broadcast of a small subnet", .relationIp = Ip(192, 168, 1, 127), .mask = Ip(255, 255, 255, 128),
       .problem = "network or broadcast address of 192.168.1.0/25"},
      {.name = "line break in a hostname", .hostname = "plc\na", .kea = false,
       .problem = "control character"},
      {.name = "description that is not UTF-8", .description = "W\xE4rme", .dnsmasq = false,
       .problem = "is not UTF-8 text"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    RelationTable table;
    table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, c.relationIp, c.hostname, c.description));
    NetworkSettings settings = PlantSettings();
    settings.subnetMask = c.mask;
    const HandoffSource source{table, settings, c.interfaceName, c.server};
    const HandoffExport kea = WriteKeaConfig(source, KeaOptions{});
    const HandoffExport dnsmasq = WriteDnsmasqConfig(source);
    const auto names = [&](const HandoffExport& out) {
      return std::any_of(out.problems.begin(), out.problems.end(),
                         [&](const std::string& p) { return p.find(c.problem) != std::string::npos; });
    };
    EXPECT_EQ(kea.Succeeded(), !c.kea);
    EXPECT_EQ(dnsmasq.Succeeded(), !c.dnsmasq);
    if (c.kea) {
      EXPECT_TRUE(names(kea)) << (kea.problems.empty() ? "" : kea.problems.front());
    }
    if (c.dnsmasq) {
      EXPECT_TRUE(names(dnsmasq)) << (dnsmasq.problems.empty() ? "" : dnsmasq.problems.front());
    }
    EXPECT_TRUE(kea.Succeeded() || kea.text.empty());
    EXPECT_TRUE(dnsmasq.Succeeded() || dnsmasq.text.empty());
  }
}

TEST(HandoffExport, AnEmptyListIsNotHandedOver) {
  const RelationTable empty;
  const NetworkSettings settings = PlantSettings();
  const HandoffSource source{empty, settings, "eth0", kServer};
  for (const HandoffExport& out : {WriteKeaConfig(source, KeaOptions{}), WriteDnsmasqConfig(source)}) {
    ASSERT_EQ(out.problems, std::vector<std::string>{"The relation list is empty: there is nothing to hand over."});
    EXPECT_EQ(out.text, "");
  }
}

TEST(KeaExport, RefusesPeerUrlsKeaCannotUse) {
  const RelationTable table = AwkwardList();
  const NetworkSettings settings = PlantSettings();
  const std::pair<std::string, std::string> pairs[] = {
      {"http://192.168.1.5:8005/", "http://192.168.1.5:8005/"},  // the same server twice
      {"https://a:8000/", "http://b:8000/"},                     // no TLS set up
      {"http://a/", "http://b:8000/"},                           // no port
      {"http://a:99999/", "http://b:8000/"},
      {"http://a\":1/", "http://b:8000/"},
  };
  for (const auto& [primary, standby] : pairs) {
    KeaOptions options;
    options.highAvailability = KeaHighAvailability{primary, standby};
    EXPECT_FALSE(WriteKeaConfig({table, settings, "eth0", kServer}, options).Succeeded()) << primary;
  }
  EXPECT_TRUE(IsKeaPeerUrl("http://kea-b.plant:8000/"));
  EXPECT_TRUE(IsKeaPeerUrl("http://10.0.0.2:8000"));
}

TEST(DnsmasqExport, PlainHostnamesAreThoseDnsmasqKeepsAsTheyAre) {
  for (const char* plain : {"plc-a", "a", "3com", "io_7", "x10"}) EXPECT_TRUE(IsDnsmasqPlainHostname(plain)) << plain;
  for (const char* tagged : {"PLC", "-a", "_a", "a.b", "12", "10m", "5W", "infinite", "ignore", "a b", "ü", ""}) {
    EXPECT_FALSE(IsDnsmasqPlainHostname(tagged)) << tagged;
  }
}

}  // namespace
}  // namespace corvessa::files_test
