// Reading Kea reservations and dnsmasq dhcp-host lines into the relation
// list: what is taken, what is omitted and counted, and what cannot be read.

#include <functional>

#include "core/address.h"
#include "files/dnsmasq_config.h"
#include "files/handoff_import.h"
#include "files/kea_config.h"
#include "tests/files/files_fixture.h"

namespace corvessa::files_test {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Row {
  std::string mac, ip, hostname, description;
  bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(const RelationTable& table) {
  std::vector<Row> rows;
  for (const auto& r : table) {
    rows.push_back({MacToText(r->hardwareAddress.data(), r->hardwareAddressLength), IpToText(r->ipAddress),
                    std::string(TextOf(r->hostname, r->hostnameLength)),
                    std::string(TextOf(r->description, r->descriptionLength))});
  }
  return rows;
}

NetworkSettings Settings() {
  NetworkSettings settings;
  settings.subnetMask = Ip(255, 255, 0, 0);
  settings.gateway = Ip(10, 1, 0, 1);
  return settings;
}

// Every field used, at full length, with the texts each language treats
// specially.
RelationTable AwkwardList() {
  RelationTable table;
  table.Append(MakeRelation(NumberedMac(1), NumberedIp(1), "plc-a", "Line 3, \"press\" # 4\\5"));
  table.Append(MakeRelation(NumberedMac(2), NumberedIp(2)));
  table.Append(MakeRelation(NumberedMac(3), NumberedIp(3), "PLC B,\"x\" #1", "Wärme\r\nzweite Zeile\t."));
  table.Append(MakeRelation(NumberedMac(4), NumberedIp(4), std::string(32, 'h'), std::string(255, 'd')));
  table.Append(MakeRelation(NumberedMac(5), NumberedIp(5), "7d", "ignore"));
  table.Append(MakeRelation(NumberedMac(6), NumberedIp(6), "Émile \\ ü", "# not a comment"));
  // Blanks around the texts are part of them.
  table.Append(MakeRelation(NumberedMac(7), NumberedIp(7), " padded ", "  spaced  "));
  return table;
}

using Writer = std::function<HandoffExport(const HandoffSource&)>;

TEST(HandoffImport, ExportThenImportGivesTheSameRelations) {
  const std::pair<const char*, Writer> writers[] = {
      {"kea", [](const HandoffSource& s) { return WriteKeaConfig(s, KeaOptions{}); }},
      {"dnsmasq", [](const HandoffSource& s) { return WriteDnsmasqConfig(s); }},
  };
  const RelationTable list = AwkwardList();
  const NetworkSettings settings = Settings();
  for (const auto& [name, write] : writers) {
    SCOPED_TRACE(name);
    const HandoffExport out = write({list, settings, "eth0", Ip(10, 1, 9, 5)});
    ASSERT_TRUE(out.Succeeded()) << out.problems.front();
    RelationTable back;
      const HandoffLoad load = ReadHandoffFile(Bytes(out.text), back);
    ASSERT_TRUE(load.Succeeded()) << load.failure;
    EXPECT_EQ(load.format, std::string_view(name) == "kea" ? HandoffFormat::Kea : HandoffFormat::Dnsmasq);
    EXPECT_EQ(load.omitted, 0);
    EXPECT_EQ(Rows(back), Rows(list));
    EXPECT_FALSE(load.limitReached);
  }
}

// 300 hosts: 256 taken, the limit box once, 44 omitted, like a .csv file.
TEST(HandoffImport, StopsAtTheLimitAndCountsTheRest) {
  std::string kea = "{ \"Dhcp4\": { \"subnet4\": [ { \"reservations\": [";
  std::string dnsmasq;
  for (unsigned i = 0; i < 300; ++i) {
    const std::string mac = MacToText(NumberedMac(i + 1).data(), 6);
    const std::string ip = IpToText(NumberedIp(i + 1));
    kea += std::string(i == 0 ? "" : ",") + "{\"hw-address\": \"" + mac + "\", \"ip-address\": \"" + ip + "\"}";
    dnsmasq += "dhcp-host=" + mac + "," + ip + "\n";
  }
  kea += "] } ] } }";
  for (const std::string& text : {kea, dnsmasq}) {
    RelationTable table;
      const HandoffLoad load = ReadHandoffFile(Bytes(text), table);
    ASSERT_TRUE(load.Succeeded()) << load.failure;
    EXPECT_EQ(table.Count(), 256);
    EXPECT_EQ(load.omitted, 44);
    EXPECT_TRUE(load.limitReached);
  }
}

TEST(HandoffImport, KeaReservationsFromEveryScopeWithKeasComments) {
  const std::string text = R"(# written by hand
// Kea takes all three kinds of comment
{ "Dhcp4": {
  /* global reservations come first */
  "reservations": [ { "hw-address": "00:1d:9c:00:00:01", "ip-address": "10.1.0.1", "hostname": "global" } ],
  "subnet4": [ { "subnet": "10.1.0.0/16", "reservations": [
      { "hw-address": "00-1D-9C-00-00-02", "ip-address": "10.1.0.2", "comment": "old style # comment" },
      { "hw-address": "00:1d:9c:00:00:03", "ip-address": "10.1.0.3",
        "option-data": [ { "code": 12, "csv-format": false, "data": "0x50:4C:43" } ] },
      { "client-id": "01:02", "ip-address": "10.1.0.4" },
      { "hw-address": "00:1d:9c:00:00:05" },
      { "hw-address": "00:1d:9c:00:00:01", "ip-address": "10.1.0.6" },
      { "hw-address": "00:1d:9c:00:00:07", "ip-address": "10.1.0.2" },
      { "hw-address": "00:1d:9c:00:00:08", "ip-address": "10.1.0.8", "hostname": "global" },
      { "hw-address": "00:1d:9c:00:00:09", "ip-address": "127.0.0.1" },
      { "hw-address": 12, "ip-address": "10.1.0.10" },
      "not a reservation"
  ] } ],
  "shared-networks": [ { "subnet4": [ { "reservations": [
      { "hw-address": "00:1d:9c:00:00:0b", "ip-address": "10.2.0.11", "user-context": { "comment": "shared" } } ] } ] } ]
} }
)";
  RelationTable table;
  const HandoffLoad load = ReadKeaReservations(text, table);
  ASSERT_TRUE(load.Succeeded()) << load.failure;
  EXPECT_EQ(Rows(table), (std::vector<Row>{{"00:1D:9C:00:00:01", "10.1.0.1", "global", ""},
                                          {"00:1D:9C:00:00:02", "10.1.0.2", "", "old style # comment"},
                                          {"00:1D:9C:00:00:03", "10.1.0.3", "PLC", ""},
                                          {"00:1D:9C:00:00:0B", "10.2.0.11", "", "shared"}}));
  // No hardware address, no address, a repeated MAC, IP or hostname, an
  // invalid address, a MAC that is no text, and an entry that is no object.
  EXPECT_EQ(load.omitted, 8);
}

TEST(HandoffImport, DnsmasqHostsAsDnsmasqReadsThem) {
  const std::string text =
      "# Corvessa export\n"
      "interface=eth0\n"
      "\n"
      "# first press\n"
      "dhcp-host=00:1d:9c:00:00:01,10.1.0.1,press-1,infinite\n"
      "dhcp-host = 00:1D:9C:00:00:02 , 10.1.0.2 , 12h  # a trailing comment\n"
      "dhcp-host=00:1d:9c:00:00:03,set:named,10.1.0.3,infinite\n"
      "dhcp-option-force=tag:named,12,\"Name, \\\"quoted\\\"\"\n"
      "dhcp-host=00:1d:9c:*:*:04,10.1.0.4\n"
      "dhcp-host=id:01:02:03,10.1.0.5\n"
      "dhcp-host=00:1d:9c:00:00:06,00:1d:9c:00:00:16,10.1.0.6\n"
      "dhcp-host=00:1d:9c:00:00:07,ignore\n"
      "dhcp-host=00:1d:9c:00:00:08,press-1\n"
      "dhcp-host=00:1d:9c:00:00:09,10.1.0.9,[::9],tag:red,other\r\n";
  RelationTable table;
  const HandoffLoad load = ReadDnsmasqHosts(text, table);
  ASSERT_TRUE(load.Succeeded()) << load.failure;
  EXPECT_EQ(Rows(table), (std::vector<Row>{{"00:1D:9C:00:00:01", "10.1.0.1", "press-1", "first press"},
                                          {"00:1D:9C:00:00:02", "10.1.0.2", "", ""},
                                          {"00:1D:9C:00:00:03", "10.1.0.3", "Name, \"quoted\"", ""},
                                          {"00:1D:9C:00:00:09", "10.1.0.9", "other", ""}}));
  // A wildcard, a client identifier, two hardware addresses, an ignored host
  // and one without an address.
  EXPECT_EQ(load.omitted, 5);
}

// An include directive inside a description is text, not a directive: the
// export writes descriptions as they are, so its own files must read back.
TEST(HandoffImport, IncludeTextInsideAStringIsOnlyText) {
  RelationTable table;
  const HandoffLoad load = ReadHandoffFile(
      Bytes("{ \"Dhcp4\": { \"subnet4\": [ { \"reservations\": [ { \"hw-address\": \"00:00:bc:00:00:01\", "
            "\"ip-address\": \"10.1.0.3\", \"user-context\": { \"comment\": \"<?include x?>\" } } ] } ] } }"),
      table);
  EXPECT_TRUE(load.failure.empty()) << load.failure;
  ASSERT_EQ(table.Count(), 1);
  EXPECT_EQ(DescriptionText(*table.At(0)), "<?include x?>");
}

TEST(HandoffImport, WhatCannotBeReadIsReportedAndLeavesTheListEmpty) {
  const std::pair<std::string, std::string> cases[] = {
      {"{ \"Dhcp4\": { \"subnet4\": [ }", "The file is not valid Kea JSON: parse error at line 1, column 27"},
      {"{ \"Dhcp4\": { \"subnet4\": [] } }", "The Kea configuration holds no DHCPv4 reservations."},
      {"{ <?include \"/etc/kea/hosts.json\"?> }", "The Kea configuration includes other files"},
      {"interface=eth0\ndhcp-range=10.1.0.0,static\n", "The file holds no dnsmasq dhcp-host lines."},
      {"", "The file holds no dnsmasq dhcp-host lines."},
  };
  for (const auto& [text, reason] : cases) {
    RelationTable table;
      const HandoffLoad load = ReadHandoffFile(Bytes(text), table);
    EXPECT_EQ(load.failure.substr(0, reason.size()), reason) << load.failure;
    EXPECT_EQ(table.Count(), 0);
  }
}

TEST(HandoffImport, TheFormatIsTakenFromTheContent) {
  EXPECT_EQ(DetectHandoffFormat("# comment\n// more\n/* { */\n  {\"Dhcp4\": {}}"), HandoffFormat::Kea);
  EXPECT_EQ(DetectHandoffFormat("# { not json\ndhcp-host=00:1d:9c:00:00:01,10.1.0.1"), HandoffFormat::Dnsmasq);
}

TEST(HandoffImport, CommentEscapesRoundTrip) {
  const std::string every = [] {
    std::string s;
    for (int c = 1; c < 256; ++c) s += static_cast<char>(c);
    return s;
  }();
  const std::string escaped = EscapeComment(every);
  EXPECT_EQ(escaped.find('\n'), std::string::npos);
  EXPECT_EQ(escaped.find('\r'), std::string::npos);
  EXPECT_EQ(UnescapeComment(escaped), every);
  EXPECT_EQ(EscapeComment("a\\b\nc"), "a\\\\b\\x0Ac");
  EXPECT_EQ(EscapeComment(" a b  "), " a b\\x20\\x20");
}

}  // namespace
}  // namespace corvessa::files_test
