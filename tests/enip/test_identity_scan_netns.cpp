// The identity scan on a plant network in namespaces: simulated devices
// (enip_device_sim processes, each in a namespace of its own behind a
// bridge) answer List Identity; the scan and the presence logic must report
// exactly the devices that answered, how they relate to the relation list,
// and nothing may leave the server on its other interface.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/address.h"
#include "enip/identity_scan.h"
#include "enip/presence.h"
#include "tests/support/device_lan.h"
#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"

namespace corvessa {

void PrintTo(const ScannedDevice& device, std::ostream* out) {
  *out << "{" << IpToText(device.address) << ", serial " << std::hex << device.identity.serialNumber << std::dec
       << ", \"" << device.identity.productName << "\", "
       << (device.mac ? MacToText(device.mac->data(), device.mac->size()) : std::string("no MAC")) << "}";
}

namespace {

using namespace std::chrono_literals;
using testsupport::Background;
using testsupport::WaitUntil;
using Clock = std::chrono::steady_clock;

constexpr const char* kServerAddress = "192.168.78.1";

std::uint32_t IpOf(const std::string& text) {
  std::uint32_t address = 0;
  EXPECT_TRUE(TextToIp(text, address)) << text;
  return address;
}

struct SimDevice {
  std::string mac;
  std::string address;
  std::string options;  // identity options of enip_device_sim
};

class IdentityScanNetns : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces";
    if (testsupport::Run("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "tool not installed: tshark";
    folder_ = std::make_unique<testsupport::TempFolder>("scan");
    ASSERT_TRUE(folder_->ok());
    ASSERT_TRUE(lan_.Create("is", kServerAddress)) << "could not create the namespaces";
    ASSERT_TRUE(lan_.AddSecondInterface("10.78.0.1")) << "could not add the second interface";
  }

  void TearDown() override {
    sims_.clear();
    lan_.Destroy();
  }

  // Each device in its namespace, with a simulator answering List Identity
  // on UDP port 44818; returns once every simulator is ready.
  void StartDevices(const std::vector<SimDevice>& devices) {
    for (const SimDevice& device : devices) {
      ASSERT_TRUE(lan_.AddDevice(device.mac, device.address)) << device.mac;
      const std::size_t index = lan_.devices.size() - 1;
      const auto out = folder_->Path() / ("sim" + std::to_string(index) + ".out");
      sims_.push_back(std::make_unique<Background>(
          lan_.InDevice(index, std::string(CORVESSA_ENIP_DEVICE_SIM) + " --seconds 60 --udp-port 44818 " + device.options),
          out, folder_->Path() / ("sim" + std::to_string(index) + ".err")));
      ASSERT_TRUE(WaitUntil([&] { return testsupport::ReadWholeFile(out).find("udp 44818") != std::string::npos; }, 10s))
          << "simulator " << index << " did not start: "
          << testsupport::ReadWholeFile(folder_->Path() / ("sim" + std::to_string(index) + ".err"));
    }
  }

  // One scan from the server namespace, driven by poll() as a headless owner
  // would drive it.
  std::vector<ScannedDevice> Scan(std::size_t* malformed = nullptr) {
    EXPECT_TRUE(lan_.WaitForLinks()) << "the links of the LAN did not come up";
    testsupport::NamespaceGuard inside(lan_.serverNs);
    EXPECT_TRUE(inside.ok());
    IdentityScan scan;
    if (!scan.Start(lan_.serverIf, Clock::now())) {
      ADD_FAILURE() << "scan did not start: errno " << scan.Error();
      return {};
    }
    EXPECT_TRUE(scan.Running());
    EXPECT_GE(scan.Fd(), 0);
    while (Clock::now() < scan.Deadline()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(scan.Deadline() - Clock::now());
      pollfd entry{scan.Fd(), POLLIN, 0};
      if (poll(&entry, 1, static_cast<int>(left.count())) > 0) scan.OnReadable();
    }
    auto devices = scan.Finish();
    EXPECT_FALSE(scan.Running());
    EXPECT_EQ(scan.Fd(), -1);
    if (malformed != nullptr) *malformed = scan.MalformedReplies();
    return devices;
  }

  static void List(RelationTable& table, const std::string& mac, const std::string& address) {
    auto relation = std::make_unique<Relation>();
    const HardwareAddress bytes = testsupport::MacBytes(mac);
    std::copy(bytes.begin(), bytes.end(), relation->hardwareAddress.begin());
    relation->hardwareAddressLength = 6;
    relation->ipAddress = IpOf(address);
    table.Append(std::move(relation));
  }

  std::unique_ptr<testsupport::TempFolder> folder_;
  testsupport::DeviceLan lan_;
  std::vector<std::unique_ptr<Background>> sims_;
};

CipIdentity Identity(std::uint16_t vendor, std::uint16_t type, std::uint16_t product, std::uint8_t major,
                     std::uint8_t minor, std::uint16_t status, std::uint32_t serial, const std::string& name,
                     const std::string& address) {
  CipIdentity identity;
  identity.protocolVersion = 1;
  identity.socketFamily = 2;
  identity.socketPort = 44818;
  identity.socketAddress = IpOf(address);
  identity.vendorId = vendor;
  identity.deviceType = type;
  identity.productCode = product;
  identity.revisionMajor = major;
  identity.revisionMinor = minor;
  identity.status = status;
  identity.serialNumber = serial;
  identity.productName = name;
  identity.state = 3;
  return identity;
}

TEST_F(IdentityScanNetns, ThreeDevicesOneUnlistedOneAtAnotherAddress) {
  StartDevices({
      {"02:00:00:78:00:11", "192.168.78.11",
       "--vendor 1 --device-type 12 --product-code 0xA6 --revision 2.11 --identity-status 0x30 --serial 0x1111"
       " --product-name 'Adapter One' --identity-address 192.168.78.11"},
      {"02:00:00:78:00:12", "192.168.78.22",
       "--vendor 0x2B --device-type 2 --product-code 0x0301 --revision 5.1 --identity-status 0x0164"
       " --serial 0x22222222 --product-name 'Drive Two' --identity-address 192.168.78.22"},
      {"02:00:00:78:00:13", "192.168.78.33",
       "--vendor 0x0123 --device-type 0x2B --product-code 7 --revision 1.0 --identity-status 0"
       " --serial 0x33 --product-name 'Valve Three' --identity-address 192.168.78.33"},
  });
  // The third device knows the server's hardware address already, so it
  // answers without asking for it: the scan has to find its MAC itself.
  ASSERT_EQ(testsupport::Run(lan_.InDevice(2, "ip neigh replace " + std::string(kServerAddress) + " lladdr " +
                                                  lan_.ServerMac() + " nud permanent dev " + lan_.devices[2].iface)),
            0);

  testsupport::InterfaceCapture capture(lan_.serverNs, lan_.secondIf, folder_->Path());
  ASSERT_TRUE(capture.Start()) << "the capture on the second interface did not start: " << capture.Errors();

  std::size_t malformed = 99;
  const std::vector<ScannedDevice> devices = Scan(&malformed);
  EXPECT_EQ(malformed, 0u);
  const std::vector<ScannedDevice> expected = {
      {IpOf("192.168.78.11"), Identity(1, 12, 0xA6, 2, 11, 0x30, 0x1111, "Adapter One", "192.168.78.11"),
       testsupport::MacBytes("02:00:00:78:00:11")},
      {IpOf("192.168.78.22"), Identity(0x2B, 2, 0x0301, 5, 1, 0x0164, 0x22222222, "Drive Two", "192.168.78.22"),
       testsupport::MacBytes("02:00:00:78:00:12")},
      {IpOf("192.168.78.33"), Identity(0x0123, 0x2B, 7, 1, 0, 0, 0x33, "Valve Three", "192.168.78.33"),
       testsupport::MacBytes("02:00:00:78:00:13")},
  };
  EXPECT_EQ(devices, expected);

  // The first device is listed at its address, the second with another one;
  // the third is nobody's.
  RelationTable table;
  List(table, "02:00:00:78:00:11", "192.168.78.11");
  List(table, "02:00:00:78:00:12", "192.168.78.12");
  PresenceTracker tracker;
  const PresenceReport report = tracker.Update(table, devices);
  ASSERT_EQ(report.devices.size(), 3u);
  EXPECT_EQ(report.devices[0].match, DeviceMatch::Listed);
  EXPECT_EQ(report.devices[0].relation, table.At(0));
  EXPECT_EQ(report.devices[1].match, DeviceMatch::ListedElsewhere);
  EXPECT_EQ(report.devices[1].relation, table.At(1));
  EXPECT_EQ(report.devices[2].match, DeviceMatch::Unlisted);
  EXPECT_EQ(report.devices[2].relation, nullptr);
  ASSERT_EQ(report.relations.size(), 2u);
  EXPECT_TRUE(report.relations[0].online);
  EXPECT_FALSE(report.relations[0].AtOtherAddress());
  EXPECT_EQ(report.relations[0].ProductName(), "Adapter One");
  EXPECT_TRUE(report.relations[1].online);
  EXPECT_TRUE(report.relations[1].AtOtherAddress());
  EXPECT_EQ(report.relations[1].answeredFrom, IpOf("192.168.78.22"));
  EXPECT_EQ(report.relations[1].ProductName(), "Drive Two");
  const auto candidate = RelationCandidate(report.devices[2].device);
  ASSERT_TRUE(candidate);
  EXPECT_TRUE(table.CheckCandidate(*candidate));

  EXPECT_EQ(capture.StopAndReadOthers(), std::vector<std::string>{}) << "the scan sent on the second interface";
}

TEST_F(IdentityScanNetns, SlowAndMalformedReplies) {
  StartDevices({
      {"02:00:00:78:00:21", "192.168.78.41", "--serial 0x41 --identity-delay-ms 1500"},   // late, but in time
      {"02:00:00:78:00:22", "192.168.78.42", "--serial 0x42 --identity-delay-ms 4500"},   // after the scan
      {"02:00:00:78:00:23", "192.168.78.43", "--serial 0x43 --identity-fault twice"},     // kept once
      {"02:00:00:78:00:24", "192.168.78.44", "--serial 0x44 --state none"},               // no state byte
      {"02:00:00:78:00:25", "192.168.78.45", "--identity-fault truncate:40"},
      {"02:00:00:78:00:26", "192.168.78.46", "--identity-fault name-overrun"},
      {"02:00:00:78:00:27", "192.168.78.47", "--identity-fault no-item"},
      {"02:00:00:78:00:28", "192.168.78.48", "--identity-fault error-status"},
      {"02:00:00:78:00:29", "192.168.78.49", "--identity-fault long-length"},
      {"02:00:00:78:00:2a", "192.168.78.50", "--identity-fault silent"},
  });
  std::size_t malformed = 0;
  const std::vector<ScannedDevice> devices = Scan(&malformed);
  std::vector<std::uint32_t> serials;
  for (const ScannedDevice& device : devices) serials.push_back(device.identity.serialNumber);
  EXPECT_EQ(serials, (std::vector<std::uint32_t>{0x41, 0x43, 0x44}));
  EXPECT_EQ(malformed, 5u) << "truncated, name past the item, no identity item, error status, length past the datagram";
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0].identity.state, std::optional<std::uint8_t>(3));
  EXPECT_EQ(devices[2].identity.state, std::nullopt);
  for (const ScannedDevice& device : devices) EXPECT_TRUE(device.mac) << IpToText(device.address);
}

TEST(IdentityScan, RefusesAnInterfaceThatDoesNotExist) {
  IdentityScan scan;
  EXPECT_FALSE(scan.Start("nosuchif0", Clock::now()));
  EXPECT_FALSE(scan.Running());
  EXPECT_EQ(scan.Fd(), -1);
  EXPECT_NE(scan.Error(), 0);
  EXPECT_TRUE(scan.Finish().empty());
}

}  // namespace
}  // namespace corvessa
