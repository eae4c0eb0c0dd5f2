// A hot-standby pair of Kea servers started from the two exported files:
// the primary serves the listed device by DHCP and BOOTP, and when it stops,
// the standby serves the device the same. Three namespaces: one per server
// and one for the device, whose bridge joins the three links.

#include <nlohmann/json.hpp>

#include "files/kea_config.h"
#include "tests/files/files_fixture.h"
#include "tests/handoff/handoff_servers.h"

namespace corvessa::nettest {
namespace {

using files_test::Ip;
using files_test::MakeRelation;

constexpr const char* kPrimaryAddress = "192.168.77.1";
constexpr const char* kStandbyAddress = "192.168.77.3";

class KeaPair : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces";
    for (const char* tool : {"ip", "busybox", "bootpc", "kea-dhcp4"}) {
      if (!HasTool(tool)) GTEST_SKIP() << "tool not installed: " << tool;
    }
    folder_ = std::make_unique<testsupport::TempFolder>("kea-pair");
    ASSERT_TRUE(folder_->ok());
    const std::string id = std::to_string(getpid() % 100000);
    primaryNs_ = "cvkp" + id;
    standbyNs_ = "cvks" + id;
    deviceNs_ = "cvkd" + id;
    serverIf_ = "vkha" + id;  // the same name on both servers, as the export writes it
    created_ = true;
    const std::string steps[] = {
        "ip netns add " + primaryNs_,
        "ip netns add " + standbyNs_,
        "ip netns add " + deviceNs_,
        "ip link add " + serverIf_ + " netns " + primaryNs_ + " type veth peer name kp" + id + " netns " + deviceNs_,
        "ip link add " + serverIf_ + " netns " + standbyNs_ + " type veth peer name ks" + id + " netns " + deviceNs_,
        testsupport::InNs(primaryNs_, "ip addr add " + std::string(kPrimaryAddress) + "/24 dev " + serverIf_),
        testsupport::InNs(standbyNs_, "ip addr add " + std::string(kStandbyAddress) + "/24 dev " + serverIf_),
        testsupport::InNs(primaryNs_, "ip link set " + serverIf_ + " up"),
        testsupport::InNs(standbyNs_, "ip link set " + serverIf_ + " up"),
        InDevice("ip link add br0 type bridge"),
        InDevice("ip link set br0 address " + std::string(kClientMac)),
        InDevice("ip link set kp" + id + " master br0"),
        InDevice("ip link set ks" + id + " master br0"),
        InDevice("ip link set kp" + id + " up"),
        InDevice("ip link set ks" + id + " up"),
        InDevice("ip link set br0 up"),
        // bootpc broadcasts through an ordinary UDP socket.
        InDevice("ip route replace 255.255.255.255/32 dev br0"),
    };
    for (const auto& step : steps) ASSERT_EQ(testsupport::Run(step + " >/dev/null 2>&1"), 0) << step;
  }

  void TearDown() override {
    primary_.reset();
    standby_.reset();
    if (created_) {
      for (const auto& ns : {primaryNs_, standbyNs_, deviceNs_}) testsupport::Run("ip netns del " + ns + " >/dev/null 2>&1");
    }
    folder_.reset();
  }

  std::string InDevice(const std::string& command) const { return testsupport::InNs(deviceNs_, command); }
  std::filesystem::path Temp(const std::string& name) const { return folder_->Path() / name; }

  std::unique_ptr<Background> StartKea(const std::string& ns, const std::string& name, const std::string& config) {
    const auto file = Temp(name + ".conf");
    const auto own = Temp(name);
    std::filesystem::create_directories(own);
    EXPECT_TRUE(testsupport::WriteWholeFile(file, config));
    return std::make_unique<Background>(testsupport::InNs(ns, KeaCommand(own, "-c " + file.string())),
                                        Temp(name + ".log"), Temp(name + ".err"));
  }

  bool Logged(const std::string& name, const std::string& text) const {
    return (ReadWholeFile(Temp(name + ".log")) + ReadWholeFile(Temp(name + ".err"))).find(text) != std::string::npos;
  }

  // What udhcpc and bootpc on the device's bridge were given.
  std::map<std::string, std::string> AskAsTheDevice(const std::string& tag) {
    const auto out = Temp("udhcpc-" + tag + ".env");
    std::ofstream script(Temp("udhcpc.sh"));
    script << "#!/bin/sh\n[ \"$1\" = bound ] || exit 0\n{\n";
    for (const char* v : {"ip", "subnet", "router", "dns", "domain", "hostname", "lease", "serverid"}) {
      script << "  echo \"" << v << "=$" << v << "\"\n";
    }
    script << "} > '" << out.string() << "'\n";
    script.close();
    std::filesystem::permissions(Temp("udhcpc.sh"), std::filesystem::perms::owner_all);
    EXPECT_EQ(testsupport::Run(InDevice("busybox udhcpc -i br0 -n -q -f -t 3 -T 1 -s " + Temp("udhcpc.sh").string() +
                                        " >/dev/null 2>&1")),
              0)
        << "udhcpc got no lease (" << tag << ")";
    auto values = ReadVariables(out);
    const std::string bootp = testsupport::RunOutput(
        InDevice("bootpc --dev br0 --serverbcast --returniffail --timeoutwait 5 2>/dev/null"));
    for (const char* key : {"IPADDR", "NETMASK", "GATEWAYS", "DNSSRVS", "DOMAIN", "HOSTNAME"}) {
      const std::string prefix = std::string(key) + "='";
      const std::size_t at = bootp.find("\n" + prefix) != std::string::npos ? bootp.find("\n" + prefix) + 1
                                                                            : bootp.rfind(prefix, 0);
      if (at == std::string::npos) continue;
      const std::size_t start = at + prefix.size();
      values[std::string("bootp ") + key] = bootp.substr(start, bootp.find('\'', start) - start);
    }
    return values;
  }

  std::string primaryNs_, standbyNs_, deviceNs_, serverIf_;
  bool created_ = false;
  std::unique_ptr<testsupport::TempFolder> folder_;
  std::unique_ptr<Background> primary_, standby_;
};

TEST_F(KeaPair, TheStandbyServesTheListOnceThePrimaryStops) {
  RelationTable list;
  list.Append(MakeRelation(kClientMacBytes, kClientLeaseAddress, "Plc-A_1", "Press 4"));
  NetworkSettings settings;
  settings.subnetMask = Ip(255, 255, 255, 0);
  settings.gateway = Ip(192, 168, 77, 254);
  settings.dns1 = Ip(192, 168, 77, 53);
  settings.SetDomainName("plant.test");
  KeaOptions options;
  options.highAvailability = KeaHighAvailability{std::string("http://") + kPrimaryAddress + ":8005/",
                                                 std::string("http://") + kStandbyAddress + ":8005/"};
  // Quicker than a plant would want, so that the takeover fits a test.
  options.highAvailability->heartbeatDelayMs = 1000;
  options.highAvailability->maxResponseDelayMs = 3000;
  options.leaseFile = Temp("primary.leases").string();
  const HandoffExport primaryFile = WriteKeaConfig({list, settings, serverIf_, Ip(192, 168, 77, 1)}, options);
  options.highAvailability->thisServer = KeaHighAvailability::Role::Standby;
  options.leaseFile = Temp("standby.leases").string();
  const HandoffExport standbyFile = WriteKeaConfig({list, settings, serverIf_, Ip(192, 168, 77, 1)}, options);
  ASSERT_TRUE(primaryFile.Succeeded() && standbyFile.Succeeded());

  primary_ = StartKea(primaryNs_, "primary", primaryFile.text);
  standby_ = StartKea(standbyNs_, "standby", standbyFile.text);
  const std::string paired = "to HOT-STANDBY state";
  ASSERT_TRUE(WaitUntil([&] { return Logged("primary", paired) && Logged("standby", paired); }, 30s))
      << ReadWholeFile(Temp("primary.log")) << ReadWholeFile(Temp("standby.log"));

  const std::map<std::string, std::string> served = {
      {"ip", "192.168.77.50"},        {"subnet", "255.255.255.0"},      {"router", "192.168.77.254"},
      {"dns", "192.168.77.53"},       {"domain", "plant.test"},         {"hostname", "Plc-A_1"},
      {"lease", "4294967295"},        {"bootp IPADDR", "192.168.77.50"}, {"bootp NETMASK", "255.255.255.0"},
      {"bootp GATEWAYS", "192.168.77.254"}, {"bootp DNSSRVS", "192.168.77.53"}, {"bootp DOMAIN", "plant.test"},
      {"bootp HOSTNAME", "Plc-A_1"}};
  auto byPrimary = AskAsTheDevice("primary");
  EXPECT_EQ(byPrimary["serverid"], kPrimaryAddress);
  byPrimary.erase("serverid");
  EXPECT_EQ(byPrimary, served);

  primary_->Stop(SIGTERM, 5s);
  ASSERT_TRUE(WaitUntil([&] { return Logged("standby", "to PARTNER-DOWN state"); }, 30s))
      << ReadWholeFile(Temp("standby.log"));
  auto byStandby = AskAsTheDevice("standby");
  EXPECT_EQ(byStandby["serverid"], kStandbyAddress);
  byStandby.erase("serverid");
  EXPECT_EQ(byStandby, served);
}

}  // namespace
}  // namespace corvessa::nettest
