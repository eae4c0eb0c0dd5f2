// Kea and dnsmasq accept every exported configuration as it is: lists that
// use every field and the texts each language treats specially, with and
// without settings, one Kea server or a hot-standby pair.

#include "files/dnsmasq_config.h"
#include "files/kea_config.h"
#include "tests/files/files_fixture.h"
#include "tests/handoff/handoff_servers.h"

namespace corvessa::nettest {
namespace {

using files_test::Ip;
using files_test::MakeRelation;

class HandoffValidate : public NetFixture {
 protected:
  HandoffValidate() : NetFixture("hval") {}

  static RelationTable AwkwardList() {
    RelationTable table;
    table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 77, 50), "plc-a",
                              "Press 4, \"main\" # line\\2\nnext"));
    table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35}, Ip(192, 168, 77, 51)));
    table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x03}, Ip(192, 168, 77, 52), "PLC B,\"x\"#1 \\"));
    table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x04}, Ip(192, 168, 77, 53), "10m", "Wärme"));
    table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x05}, Ip(192, 168, 77, 54), std::string(32, 'Z'),
                              std::string(255, '"')));
    table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x06}, Ip(192, 168, 77, 55), "Émile-ü", "ignore"));
    table.Append(MakeRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x07}, Ip(192, 168, 77, 56), "infinite"));
    return table;
  }

  // Every setting set with an awkward domain name, and none set at all.
  static std::vector<NetworkSettings> SettingsVariants() {
    NetworkSettings full;
    full.subnetMask = Ip(255, 255, 255, 0);
    full.gateway = Ip(192, 168, 77, 254);
    full.dns1 = Ip(192, 168, 77, 53);
    full.dns2 = Ip(192, 168, 77, 54);
    full.SetDomainName("Plant, \"Hall\" #2 \\ ü");
    NetworkSettings bare;
    bare.subnetMask = Ip(255, 255, 255, 0);
    return {full, bare};
  }

  std::string Check(const std::string& command) {
    const auto out = Temp("check.out");
    const int status = testsupport::Run(InServer(command) + " > " + out.string() + " 2>&1");
    return status == 0 ? std::string() : "exit " + std::to_string(status) + ": " + ReadWholeFile(out);
  }
};

TEST_F(HandoffValidate, KeaAcceptsEveryExportedConfiguration) {
  if (!HasKea()) GTEST_SKIP() << "tool not installed: kea-dhcp4";
  const RelationTable list = AwkwardList();
  KeaOptions single;
  single.leaseFile = Temp("kea-leases4.csv").string();
  KeaOptions withoutBootp = single;
  withoutBootp.bootpHook = false;
  KeaOptions primary = single;
  primary.highAvailability = KeaHighAvailability{"http://192.168.77.1:8005/", "http://192.168.77.2:8005/"};
  KeaOptions standby = primary;
  standby.highAvailability->thisServer = KeaHighAvailability::Role::Standby;
  const std::pair<const char*, KeaOptions> variants[] = {
      {"single", single}, {"without BOOTP", withoutBootp}, {"HA primary", primary}, {"HA standby", standby}};
  for (const NetworkSettings& settings : SettingsVariants()) {
    for (const auto& [name, options] : variants) {
      SCOPED_TRACE(name);
      const HandoffExport out = WriteKeaConfig({list, settings, link_.serverIf, Ip(192, 168, 77, 1)}, options);
      ASSERT_TRUE(out.Succeeded()) << out.problems.front();
      const auto file = Temp("kea-dhcp4.conf");
      ASSERT_TRUE(testsupport::WriteWholeFile(file, out.text));
      EXPECT_EQ(Check(KeaCommand(folder_->Path(), "-t " + file.string())), "") << out.text;
    }
  }
}

TEST_F(HandoffValidate, KeaRefusesABrokenConfiguration) {
  // The check above is only worth something if kea-dhcp4 -t refuses.
  if (!HasKea()) GTEST_SKIP() << "tool not installed: kea-dhcp4";
  const auto file = Temp("broken.conf");
  ASSERT_TRUE(testsupport::WriteWholeFile(
      file, "{ \"Dhcp4\": { \"subnet4\": [ { \"id\": 1, \"subnet\": \"192.168.77.0/24\", \"reservations\": [ "
            "{ \"hw-address\": \"00:1d:9c:c8:12:34\", \"ip-address\": \"10.0.0.1\" } ] } ] } }"));
  EXPECT_NE(Check(KeaCommand(folder_->Path(), "-t " + file.string())), "");
}

TEST_F(HandoffValidate, DnsmasqAcceptsEveryExportedSnippet) {
  if (!HasDnsmasq()) GTEST_SKIP() << "tool not installed: dnsmasq";
  const RelationTable list = AwkwardList();
  for (const NetworkSettings& settings : SettingsVariants()) {
    const HandoffExport out = WriteDnsmasqConfig({list, settings, link_.serverIf, Ip(192, 168, 77, 1)});
    ASSERT_TRUE(out.Succeeded()) << out.problems.front();
    const auto file = Temp("dnsmasq.conf");
    ASSERT_TRUE(testsupport::WriteWholeFile(file, out.text));
    EXPECT_EQ(Check("dnsmasq --test --conf-file=" + file.string()), "") << out.text;
  }
  // And refuses what it cannot read.
  const auto broken = Temp("broken.conf");
  ASSERT_TRUE(testsupport::WriteWholeFile(broken, "dhcp-host=00:1d:9c:c8:12:34,192.168.77.50,PLC B,infinite\n"));
  EXPECT_NE(Check("dnsmasq --test --conf-file=" + broken.string()), "");
}

}  // namespace
}  // namespace corvessa::nettest
