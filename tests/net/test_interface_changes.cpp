// The chosen interface as USB adapters, docks and NetworkManager treat it:
// deleted and created again under the same name, given another address, or
// back while another server holds port 67 on it. The runtime follows what
// the interface watch reports, as the window hands it over.

#include <net/if.h>

#include "core/settings_names.h"
#include "tests/net/net_harness.h"

namespace corvessa::nettest {
namespace {

class InterfaceChanges : public NetFixture {
 protected:
  InterfaceChanges() : NetFixture("ifc") {}

  void SetUp() override {
    NetFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(WatchInterfaces()) << "no rtnetlink socket";
    ASSERT_TRUE(StartOnServerVeth());
    ListClient();
  }

  // Serves until the status line reads `text`.
  bool ServeUntilStatus(const std::string& text, std::chrono::milliseconds limit = 10s) {
    Serve([&] { return owner_.LastStatus() == text; }, limit);
    return owner_.LastStatus() == text;
  }

  bool DeleteServerInterface() const {
    // Deleting one end of a veth pair deletes the other too.
    return testsupport::Run(InServer("ip link del " + link_.serverIf)) == 0;
  }

  // The veth pair again, under the same names, as a replugged adapter.
  bool RecreateServerInterface() const {
    const std::string steps[] = {
        "ip link add " + link_.serverIf + " netns " + link_.serverNs + " type veth peer name " + link_.clientIf +
            " netns " + link_.clientNs,
        InServer("ip addr add " + std::string(kServerAddress) + "/24 dev " + link_.serverIf),
        InServer("ip link set " + link_.serverIf + " up"),
        InClient("ip link set dev " + link_.clientIf + " address " + kClientMac),
        InClient("ip link set " + link_.clientIf + " up"),
    };
    for (const auto& step : steps) {
      if (testsupport::Run(step + " >/dev/null 2>&1") != 0) return false;
    }
    return true;
  }

  int Udhcpc(const std::string& script = "/bin/true") {
    return RunClientWhileServing(
        InClient("busybox udhcpc -i " + link_.clientIf + " -n -q -f -t 3 -T 1 -s " + script + " >/dev/null 2>&1"),
        20s);
  }

  std::string Gone() const {
    return "The network interface " + link_.serverIf + " is gone: not serving until it returns.";
  }
};

TEST_F(InterfaceChanges, DeletedAndRecreatedInterfaceIsServedAgain) {
  ASSERT_TRUE(DeleteServerInterface());
  ASSERT_TRUE(ServeUntilStatus(Gone())) << owner_.LastStatus();
  EXPECT_FALSE(runtime_->HasSocket());

  ASSERT_TRUE(RecreateServerInterface());
  ASSERT_TRUE(ServeUntilStatus("The network interface " + link_.serverIf + " is back: serving again."))
      << owner_.LastStatus();
  ASSERT_TRUE(runtime_->HasSocket());
  EXPECT_EQ(runtime_->Socket()->HomeInterfaceIndex(), static_cast<int>(if_nametoindex(link_.serverIf.c_str())));

  EXPECT_EQ(Udhcpc(), 0) << "no lease from the re-created interface";
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02");
}

TEST_F(InterfaceChanges, NewAddressBecomesTheServerIdentity) {
  ASSERT_EQ(testsupport::Run(InServer("ip addr del " + std::string(kServerAddress) + "/24 dev " + link_.serverIf)), 0);
  ASSERT_EQ(testsupport::Run(InServer("ip addr add 192.168.77.9/24 dev " + link_.serverIf)), 0);
  ASSERT_TRUE(ServeUntilStatus("The address of " + link_.serverIf +
                               " changed: replies now name the server 192.168.77.9 instead of 192.168.77.1."))
      << owner_.LastStatus();
  EXPECT_EQ(runtime_->Identity().ServerAddressHostOrder(), 0xC0A84D09u);
  // The next start names the new address too.
  EXPECT_EQ(store_->GetString(link_.serverIf, settings_names::kIpAddress), "192.168.77.9");

  const auto out = Temp("udhcpc.env");
  const auto script = WriteReportScript("udhcpc.sh", "[ \"$1\" = bound ]", {"ip", "serverid", "siaddr"}, out);
  EXPECT_EQ(Udhcpc(script.string()), 0) << "no lease after the address change";
  EXPECT_EQ(ReadVariables(out), (std::map<std::string, std::string>{
                                    {"ip", "192.168.77.50"}, {"serverid", "192.168.77.9"}, {"siaddr", "192.168.77.9"}}));
}

// Back, but another server took port 67 on it meanwhile: not serving, said
// with the reason, tried again after 1 s, 2 s, ... until the port is free.
TEST_F(InterfaceChanges, BindRefusedOnReturnIsRetriedUntilThePortIsFree) {
  ASSERT_TRUE(DeleteServerInterface());
  ASSERT_TRUE(ServeUntilStatus(Gone())) << owner_.LastStatus();
  // The return is reported while dnsmasq starts; it is handed over after.
  ASSERT_TRUE(RecreateServerInterface());
  auto dnsmasq = StartDnsmasq(link_.serverIf, "192.168.77.0");
  ASSERT_NE(dnsmasq, nullptr) << "dnsmasq did not bind port 67";
  const std::string taken = "Not serving on " + link_.serverIf + ": UDP port 67 is taken by dnsmasq (PID " +
                            std::to_string(dnsmasq->Pid()) + ").";

  ASSERT_TRUE(ServeUntilStatus(taken + " Trying again in 1 s.")) << owner_.LastStatus();
  EXPECT_FALSE(runtime_->HasSocket());
  ASSERT_TRUE(ServeUntilStatus(taken + " Trying again in 2 s.")) << owner_.LastStatus();
  dnsmasq.reset();
  ASSERT_TRUE(ServeUntilStatus("Serving again on " + link_.serverIf + ".")) << owner_.LastStatus();
  EXPECT_EQ(owner_.rebindDelays, (std::vector<std::chrono::milliseconds>{1000ms, 2000ms}));

  EXPECT_EQ(Udhcpc(), 0) << "no lease once the port was free";
}

}  // namespace
}  // namespace corvessa::nettest
