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

}  // namespace
}  // namespace corvessa::nettest
