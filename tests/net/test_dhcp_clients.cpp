// DHCP clients that nobody here wrote obtain the listed address and the
// network settings from the server runtime.

#include "tests/net/net_harness.h"

namespace corvessa::nettest {
namespace {

class DhcpClients : public NetFixture {
 protected:
  DhcpClients() : NetFixture("dcl") {}
};

TEST_F(DhcpClients, UdhcpcGetsTheListedAddressSettingsAndInfiniteLease) {
  ASSERT_TRUE(StartOnServerVeth());
  ListClient();
  const auto out = Temp("udhcpc.env");
  const auto script = WriteReportScript("udhcpc.sh", "[ \"$1\" = bound ]",
                                        {"ip", "subnet", "router", "dns", "domain", "hostname", "lease"}, out);

  const int status = RunClientWhileServing(
      InClient("busybox udhcpc -i " + link_.clientIf + " -n -q -f -t 3 -T 1 -s " + script.string() +
               " >/dev/null 2>&1"),
      20s);

  EXPECT_EQ(status, 0) << "udhcpc obtained no lease";
  const auto values = ReadVariables(out);
  EXPECT_EQ(values, (std::map<std::string, std::string>{{"ip", "192.168.77.50"},
                                                        {"subnet", "255.255.255.0"},
                                                        {"router", "192.168.77.254"},
                                                        {"dns", "192.168.77.53 192.168.77.54"},
                                                        {"domain", "plant.test"},
                                                        {"hostname", "plc-a"},
                                                        {"lease", "4294967295"}}));
  // DISCOVER (offered, not served) then REQUEST (acknowledged).
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02");
  ASSERT_EQ(history_.RowCount(), 1);
  EXPECT_EQ(history_.Row(0).type, "DHCP");
  EXPECT_EQ(history_.Row(0).count, "2");
  EXPECT_EQ(history_.Row(0).ipAddress, "192.168.77.50");
  EXPECT_EQ(history_.Row(0).hostname, "plc-a");
  ASSERT_EQ(table_.Count(), 1);
  EXPECT_EQ(table_.At(0)->type, kRelationTypeDhcp);
}

TEST_F(DhcpClients, DhclientGetsTheListedAddressAndSettings) {
  if (!HasTool("dhclient")) GTEST_SKIP() << "tool not installed: dhclient";
  ASSERT_TRUE(StartOnServerVeth());
  ListClient();
  const auto out = Temp("dhclient.env");
  const auto script = WriteReportScript(
      "dhclient.sh", "[ \"$reason\" = BOUND ]",
      {"new_ip_address", "new_subnet_mask", "new_routers", "new_domain_name_servers", "new_domain_name",
       "new_host_name", "new_dhcp_lease_time"},
      out);
  const auto pidFile = Temp("dhclient.pid");
  const auto leaseFile = Temp("dhclient.leases");
  const auto config = Temp("dhclient.conf");
  std::ofstream(config) << "timeout 15;\nrequest subnet-mask, routers, domain-name-servers, domain-name, host-name;\n";

  const int status = RunClientWhileServing(
      InClient("timeout 20 dhclient -1 -v -cf " + config.string() + " -sf " + script.string() + " -pf " +
               pidFile.string() + " -lf " + leaseFile.string() + " " + link_.clientIf + " >/dev/null 2>&1"),
      25s);

  // Once bound, dhclient leaves a daemon behind to look after the lease; it
  // is ours, named by the pid file we gave it.
  const std::string pidText = ReadWholeFile(pidFile);
  if (const int pid = std::atoi(pidText.c_str()); pid > 0) kill(pid, SIGKILL);

  EXPECT_EQ(status, 0) << "dhclient obtained no lease";
  EXPECT_EQ(ReadVariables(out), (std::map<std::string, std::string>{{"new_ip_address", "192.168.77.50"},
                                                                    {"new_subnet_mask", "255.255.255.0"},
                                                                    {"new_routers", "192.168.77.254"},
                                                                    {"new_domain_name_servers",
                                                                     "192.168.77.53 192.168.77.54"},
                                                                    {"new_domain_name", "plant.test"},
                                                                    {"new_host_name", "plc-a"},
                                                                    {"new_dhcp_lease_time", "4294967295"}}));
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02");
}

// dhcpcd as Debian configures it insists on a server identifier, in a NAK
// too. A device whose relation moved to another address asks for its old one
// after a restart; the NAK sends it straight to DISCOVER and the new address,
// where a NAK without the identifier would be dropped and the device would
// wait out its reboot time (set long here, so that it shows).
TEST_F(DhcpClients, DhcpcdMovesToTheNewAddressAtOnceAfterTheNak) {
  if (!HasTool("dhcpcd")) GTEST_SKIP() << "tool not installed: dhcpcd";
  ASSERT_TRUE(StartOnServerVeth());
  ListClient();
  const auto out = Temp("dhcpcd.env");
  const auto script = WriteReportScript("dhcpcd.sh", "[ \"$reason\" = BOUND ] || [ \"$reason\" = REBOOT ]",
                                        {"reason", "new_ip_address", "new_dhcp_server_identifier"}, out);
  const auto config = Temp("dhcpcd.conf");
  std::ofstream(config) << "require dhcp_server_identifier\nreboot 60\nclientid\nnoarp\nnoipv4ll\n";
  // dhcpcd keeps its lease and pid files in fixed folders; here they are the
  // test's own, mounted over those folders in the private mount namespace
  // that ip netns exec gives each command.
  const auto leases = Temp("dhcpcd-db");
  std::filesystem::create_directories(leases);
  // Bounded: a dhcpcd that waits out its reboot time must not outlive the test.
  const std::string dhcpcd = InClient(
      "timeout -k 5 20 sh -c 'mount -t tmpfs tmpfs /run && mkdir -p /run/dhcpcd && mount --bind " + leases.string() +
      " /var/lib/dhcpcd && exec dhcpcd -B -1 -4 -t 15 -f " + config.string() + " -c " + script.string() + " -j " +
      Temp("dhcpcd.log").string() + " " + link_.clientIf + "' >/dev/null 2>&1");

  ASSERT_EQ(RunClientWhileServing(dhcpcd, 25s), 0) << "dhcpcd obtained no lease: " << ReadWholeFile(Temp("dhcpcd.log"));
  EXPECT_EQ(ReadVariables(out), (std::map<std::string, std::string>{{"reason", "BOUND"},
                                                                    {"new_ip_address", "192.168.77.50"},
                                                                    {"new_dhcp_server_identifier", "192.168.77.1"}}));

  // The relation moves; the device starts again and asks for its old address.
  table_.At(0)->ipAddress = 0xC0A84D3C;  // 192.168.77.60
  std::filesystem::remove(out);
  ASSERT_EQ(RunClientWhileServing(dhcpcd, 25s), 0)
      << "dhcpcd did not move to the new address: " << ReadWholeFile(Temp("dhcpcd.log"));
  EXPECT_EQ(ReadVariables(out), (std::map<std::string, std::string>{{"reason", "BOUND"},
                                                                    {"new_ip_address", "192.168.77.60"},
                                                                    {"new_dhcp_server_identifier", "192.168.77.1"}}));
  EXPECT_NE(ReadWholeFile(Temp("dhcpcd.log")).find("NAK"), std::string::npos) << "no NAK was taken";
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.77.60 to Ethernet address 02:00:00:77:00:02");
}

}  // namespace
}  // namespace corvessa::nettest
