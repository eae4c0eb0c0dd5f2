// corvessa-export as a script runs it: the real executable, a settings file
// and relation files in a scratch folder, its output, reasons and exit status.

#include <gtest/gtest.h>

#include "files/bpc_writer.h"
#include "files/csv_writer.h"
#include "files/dnsmasq_config.h"
#include "files/kea_config.h"
#include "tests/files/files_fixture.h"
#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"
#include "ui/settings_store.h"

namespace corvessa::cli_test {
namespace {

using files_test::Ip;
using files_test::MakeRelation;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class ExportCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.ok());
    table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 1, 50), "plc-a", "Press, \"4\""));
    table.Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35}, Ip(192, 168, 1, 51), "PLC B"));
    settings.subnetMask = Ip(255, 255, 255, 0);
    settings.gateway = Ip(192, 168, 1, 254);
    settings.dns1 = Ip(192, 168, 1, 53);
    settings.SetDomainName("plant.local");
  }

  // The settings Corvessa keeps: eth3 chosen last, with its address.
  void RememberInterface() {
    SettingsStore store((folder.Path() / "config" / "Merrowin Software" / "corvessa.conf").string());
    ASSERT_TRUE(store.SetString("Version 3.06.00", "lastadapter", "eth3"));
    ASSERT_TRUE(store.SetString("eth3", "ipaddress", "192.168.1.5"));
  }

  Outcome Run(const std::string& arguments) const {
    const std::string out = folder.File("stdout"), err = folder.File("stderr");
    Outcome outcome;
    outcome.status = testsupport::Run("XDG_CONFIG_HOME=" + (folder.Path() / "config").string() + " " +
                                      CORVESSA_EXPORT + " " + arguments + " > " + out + " 2> " + err);
    outcome.out = testsupport::ReadWholeFile(out);
    outcome.err = testsupport::ReadWholeFile(err);
    return outcome;
  }

  testsupport::TempFolder folder{"cli"};
  RelationTable table;
  NetworkSettings settings;
};

TEST_F(ExportCommand, ABpcFileGoesToKeaWithTheInterfaceCorvessaUses) {
  RememberInterface();
  const auto bpc = WriteBpc(settings, table);
  const std::string input = folder.Write("line3.bpc", std::string(bpc.begin(), bpc.end()));
  const Outcome outcome = Run("--format=kea --hooks-dir=/opt/kea/hooks -o " + folder.File("kea.conf") + " " + input);

  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  KeaOptions options;
  options.hooksDirectory = "/opt/kea/hooks";
  EXPECT_EQ(testsupport::ReadWholeFile(folder.File("kea.conf")),
            WriteKeaConfig({table, settings, "eth3", Ip(192, 168, 1, 5)}, options).text);
}

TEST_F(ExportCommand, ACsvFileWithEverythingGivenGoesToStandardOutput) {
  const std::string input = folder.Write("line3.csv", WriteCsv(table));
  const Outcome outcome = Run(
      "-f dnsmasq -i eth1 -s 192.168.1.5 --subnet-mask=255.255.255.0 --gateway 192.168.1.254 --dns1=192.168.1.53 "
      "--domain=plant.local " + input);

  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, WriteDnsmasqConfig({table, settings, "eth1", Ip(192, 168, 1, 5)}).text);
  EXPECT_EQ(outcome.err, "");
}

TEST_F(ExportCommand, RefusalsSayWhyAndEndWithAStatusScriptsCanTest) {
  RememberInterface();
  const std::string csv = folder.Write("line3.csv", WriteCsv(table));
  struct Case {
    std::string arguments;
    int status;
    std::string reason;
  };
  const Case cases[] = {
      // A .csv holds no settings and none are stored for eth3.
      {"-f kea " + csv, 1, "corvessa-export: The network settings are not valid"},
      {"-f kea --subnet-mask=255.255.255.0 -s 10.9.9.9 -i eth0 " + csv, 1,
       "corvessa-export: The relation 00:1D:9C:C8:12:34 has the address 192.168.1.50, outside the subnet "
       "10.9.9.0/24 of the interface.\n"},
      {"-f kea --subnet-mask=255.255.255.0 --gateway=10.0.0.1 " + csv, 1,
       "corvessa-export: The gateway 10.0.0.1 lies outside the subnet 192.168.1.0/24."},
      {"-f kea --subnet-mask=255.255.255.0 --dns1=300.1.1.1 " + csv, 1,
       "corvessa-export: --dns1=300.1.1.1 is not a valid address"},
      {"-f dnsmasq --subnet-mask=255.255.255.0 " + folder.File("missing.csv"), 1,
       "corvessa-export: The file '" + folder.File("missing.csv") + "' does not exist or cannot be accessed."},
      {"-f kea --subnet-mask=255.255.255.0 --ha-primary-url=http://a:1/ " + csv, 2,
       "corvessa-export: a pair needs both --ha-primary-url and --ha-standby-url"},
      {"-f bind " + csv, 2, "corvessa-export: invalid value 'bind' for --format"},
      {"--frobnicate " + csv, 2, "corvessa-export: unknown option '--frobnicate'"},
      {csv, 2, "corvessa-export: --format=kea or --format=dnsmasq is required"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err.substr(0, c.reason.size()), c.reason) << outcome.err;
    EXPECT_FALSE(outcome.err.empty());
  }
}

TEST_F(ExportCommand, HelpDescribesTheCommand) {
  const Outcome outcome = Run("--help");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out.rfind("Usage: corvessa-export --format=kea|dnsmasq [OPTION]... FILE\n", 0), 0u);
  for (const char* option : {"--output", "--interface", "--server-address", "--no-bootp", "--ha-standby-url"}) {
    EXPECT_NE(outcome.out.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(Run("--version").out, "corvessa-export (Corvessa) 3.06.00\n");
}

}  // namespace
}  // namespace corvessa::cli_test
