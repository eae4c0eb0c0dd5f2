// The address probe on a network in namespaces: devices in namespaces of
// their own hold addresses (one of them ignores echoes), others are free;
// the probe must tell them apart with and without ping sockets, name each
// holder's hardware address, and send nothing on the server's second
// interface, even for an address that lives there.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "core/address.h"
#include "server/address_probe.h"
#include "tests/support/device_lan.h"
#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"

namespace corvessa {

void PrintTo(const ProbeResult& result, std::ostream* out) {
  *out << "{" << IpToText(result.address) << ", " << (result.held ? "held" : "free") << ", evidence "
       << static_cast<int>(result.evidence) << ", "
       << (result.holder ? MacToText(result.holder->data(), result.holder->size()) : std::string("no MAC")) << "}";
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kServer = 0xC0A84D01;     // 192.168.77.1
constexpr std::uint32_t kPinged = 0xC0A84D32;     // .50, answers echoes
constexpr std::uint32_t kSilent = 0xC0A84D3C;     // .60, ignores echoes
constexpr std::uint32_t kFree = 0xC0A84D46;       // .70, nobody
constexpr std::uint32_t kElsewhere = 0x0A4E0002;  // 10.78.0.2, on the second interface only
const HardwareAddress kPingedMac = {0x02, 0x00, 0x00, 0x77, 0x00, 0x50};
const HardwareAddress kSilentMac = {0x02, 0x00, 0x00, 0x77, 0x00, 0x60};

class AddressProbeNetns : public ::testing::TestWithParam<ProbeMethod> {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces";
    if (testsupport::Run("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "tool not installed: tshark";
    folder_ = std::make_unique<testsupport::TempFolder>("probe");
    ASSERT_TRUE(folder_->ok());
    ASSERT_TRUE(lan_.Create("ap", "192.168.77.1")) << "could not create the namespaces";
    ASSERT_TRUE(lan_.AddDevice("02:00:00:77:00:50", "192.168.77.50"));
    ASSERT_TRUE(lan_.AddDevice("02:00:00:77:00:60", "192.168.77.60"));
    ASSERT_EQ(testsupport::Run(lan_.InDevice(1, "sysctl -qw net.ipv4.icmp_echo_ignore_all=1")), 0);
    ASSERT_TRUE(lan_.AddSecondInterface("10.78.0.1", "10.78.0.2"));
    // Whether this user may open ping sockets is the namespace's own setting.
    const std::string range = GetParam() == ProbeMethod::Echo ? "0 2147483647" : "1 0";
    ASSERT_EQ(testsupport::Run(lan_.InServer("sysctl -qw net.ipv4.ping_group_range='" + range + "'")), 0);
  }

  void TearDown() override { lan_.Destroy(); }

  std::unique_ptr<testsupport::TempFolder> folder_;
  testsupport::DeviceLan lan_;
};

TEST_P(AddressProbeNetns, TellsHeldAddressesFromFreeOnes) {
  testsupport::InterfaceCapture capture(lan_.serverNs, lan_.secondIf, folder_->Path());
  ASSERT_TRUE(capture.Start()) << "the capture on the second interface did not start: " << capture.Errors();

  std::map<std::uint32_t, ProbeResult> results;
  {
    testsupport::NamespaceGuard inside(lan_.serverNs);
    ASSERT_TRUE(inside.ok());
    AddressProbe probe;
    ASSERT_TRUE(probe.Open(lan_.serverIf)) << "errno " << probe.Error();
    ASSERT_EQ(probe.Method(), GetParam());
    EXPECT_EQ(probe.Fd() >= 0, GetParam() == ProbeMethod::Echo);

    const auto start = Clock::now();
    for (const std::uint32_t address : {kPinged, kSilent, kFree, kElsewhere}) {
      EXPECT_FALSE(probe.Start(address, start)) << IpToText(address) << " finished at once";
      EXPECT_TRUE(probe.Probing(address)) << IpToText(address);
    }
    EXPECT_FALSE(probe.Start(kFree, start)) << "a second start of a running probe";
    EXPECT_EQ(probe.NextDeadline(), start + kProbeWait);
    const auto own = probe.Start(kServer, start);
    ASSERT_TRUE(own) << "the server's own address is held at once";
    EXPECT_EQ(*own, (ProbeResult{kServer, true, ProbeEvidence::OwnAddress, testsupport::MacBytes(lan_.ServerMac())}));
    EXPECT_FALSE(probe.Probing(kServer));

    // As the window would: read events and the deadline, never blocking.
    const auto limit = Clock::now() + 5s;
    while (probe.NextDeadline() && Clock::now() < limit) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*probe.NextDeadline() - Clock::now());
      pollfd entry{probe.Fd(), POLLIN, 0};
      if (poll(&entry, 1, static_cast<int>(std::max<long>(0, left.count()))) > 0) {
        for (const ProbeResult& result : probe.OnReadable()) results[result.address] = result;
      }
      for (const ProbeResult& result : probe.OnDeadline(Clock::now())) results[result.address] = result;
    }
    EXPECT_FALSE(probe.NextDeadline()) << "every probe ends";
  }

  const ProbeEvidence answered = GetParam() == ProbeMethod::Echo ? ProbeEvidence::EchoReply : ProbeEvidence::Neighbour;
  const std::map<std::uint32_t, ProbeResult> expected = {
      {kPinged, {kPinged, true, answered, kPingedMac}},
      {kSilent, {kSilent, true, ProbeEvidence::Neighbour, kSilentMac}},
      {kFree, {kFree, false, ProbeEvidence::Nothing, std::nullopt}},
      {kElsewhere, {kElsewhere, false, ProbeEvidence::Nothing, std::nullopt}},
  };
  EXPECT_EQ(results, expected);
  EXPECT_EQ(capture.StopAndReadOthers(), std::vector<std::string>{}) << "the probe sent on the second interface";
}

INSTANTIATE_TEST_SUITE_P(Methods, AddressProbeNetns, ::testing::Values(ProbeMethod::Echo, ProbeMethod::Neighbour),
                         [](const auto& info) { return info.param == ProbeMethod::Echo ? "Echo" : "Neighbour"; });

TEST(AddressProbe, NothingIsProbedWithoutTheInterface) {
  AddressProbe probe;
  EXPECT_FALSE(probe.Open("nosuchif0"));
  EXPECT_EQ(probe.Method(), ProbeMethod::None);
  EXPECT_EQ(probe.Fd(), -1);
  EXPECT_FALSE(probe.Start(kFree, Clock::now()));
  EXPECT_FALSE(probe.Probing(kFree));
  EXPECT_FALSE(probe.NextDeadline());
  EXPECT_TRUE(probe.OnDeadline(Clock::now() + 1h).empty());
}

}  // namespace
}  // namespace corvessa
