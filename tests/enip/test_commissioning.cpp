// Enable and Disable BOOTP/DHCP end to end against a simulated device:
// instance discovery, the command sessions, texts, boxes, pause, busy cursor.

#include <gtest/gtest.h>

#include <memory>

#include "enip/commissioning.h"
#include "tests/enip/enip_fixture.h"

namespace corvessa::enip_test {
namespace {

using enipsim::ConnectionMode;
using enipsim::DeviceConfig;
using enipsim::DeviceSim;
using Texts = std::vector<std::string>;

class Commissioning : public ::testing::Test {
 protected:
  void Start(DeviceConfig config) {
    sim_ = std::make_unique<DeviceSim>(std::move(config));
    ExpectListening(*sim_);
    harness_ = std::make_unique<Harness>(sim_->Port());
  }
  Texts Trail() const { return RequestTrail(sim_->Requests()); }
  void ExpectBusyBalanced() const {
    EXPECT_EQ(harness_->busy.depth, 0);
    EXPECT_EQ(harness_->busy.begins, harness_->busy.ends);
  }

  std::unique_ptr<DeviceSim> sim_;
  std::unique_ptr<Harness> harness_;
};

// --- Enable ---------------------------------------------------------------------

TEST_F(Commissioning, EnableOnSingleInstanceDevice) {
  DeviceConfig config;
  config.configurationControl = 0x10;
  Start(config);
  const Relation relation = MakeRelation();
  const Relation* selected[] = {&relation};
  EnableBootpDhcp(selected, harness_->context);

  const Texts session = {
      "Precreating messages...",
      "Creating socket for 00:11:22:33:44:55...",
      "Binding socket for 00:11:22:33:44:55...",
      "Setting socket options for 00:11:22:33:44:55...",
      "Attempting to connect to 00:11:22:33:44:55...",
      "Waiting for response to [Register Session] from [00:11:22:33:44:55]...",
      "Verifying response from 00:11:22:33:44:55 [Register Session]...",
  };
  const Texts get = {
      "Attempting to send command [Get_Attribute_Single] to 00:11:22:33:44:55...",
      "Waiting for response to [Get_Attribute_Single] from [00:11:22:33:44:55]...",
      "Verifying response from 00:11:22:33:44:55 [Get_Attribute_Single]...",
  };
  const Texts set = {
      "Attempting to send command [Set_Attribute_Single] to 00:11:22:33:44:55...",
      "Waiting for response to [Set_Attribute_Single] from [00:11:22:33:44:55]...",
      "Verifying response from 00:11:22:33:44:55 [Set_Attribute_Single]...",
  };
  Texts expected = session;
  expected.insert(expected.end(), get.begin(), get.end());
  expected.insert(expected.end(), session.begin(), session.end());
  expected.insert(expected.end(), get.begin(), get.end());
  expected.insert(expected.end(), set.begin(), set.end());
  expected.push_back("Received OK message from 00:11:22:33:44:55. [Set_Attribute_Single] (0)");
  expected.push_back("[Enable DHCP] Command successful");
  EXPECT_EQ(harness_->status, expected);

  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 00 02", "RS", "0E F5 01 03", "10 F5 01 03"}));
  const auto requests = sim_->Requests();
  EXPECT_EQ(requests[1].connection, 0);
  EXPECT_EQ(requests[2].connection, 1);
  EXPECT_EQ(sim_->LastConfigurationWrite(), 0x12u);
  EXPECT_TRUE(harness_->failures.empty());
  EXPECT_TRUE(harness_->pauses.empty());
  EXPECT_EQ(harness_->busy.begins, 2);  // one per flow
  ExpectBusyBalanced();
}

TEST_F(Commissioning, EnableFallsBackToBootpAfterAPause) {
  DeviceConfig config;
  config.rejectedValues[2] = 9;
  Start(config);
  const Relation relation = MakeRelation();
  const Relation* selected[] = {&relation};
  EnableBootpDhcp(selected, harness_->context);

  EXPECT_TRUE(harness_->Shows(
      "Received error message from 00:11:22:33:44:55. [Set_Attribute_Single] (9)"));
  EXPECT_EQ(harness_->Last(), "[Enable BOOTP] Command successful");
  EXPECT_EQ(harness_->pauses, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(1000)});
  EXPECT_TRUE(harness_->failures.empty());
  EXPECT_EQ(sim_->LastConfigurationWrite(), 0x01u);
  EXPECT_EQ(sim_->Connections(), 3);  // discovery, DHCP attempt, BOOTP attempt
  ExpectBusyBalanced();
}

TEST_F(Commissioning, EnableOnUnreachableDeviceShowsOneBox) {
  DeviceConfig config;
  config.mode = ConnectionMode::Refuse;
  Start(config);
  const Relation relation = MakeRelation();
  const Relation* selected[] = {&relation};
  EnableBootpDhcp(selected, harness_->context);

  ASSERT_EQ(harness_->failures.size(), 1u);  // only after the BOOTP attempt
  // The box carries the reason itself.
  EXPECT_EQ(harness_->failures[0],
            "Socket connect failed for 00:11:22:33:44:55. (Connection refused)");
  EXPECT_EQ(harness_->pauses.size(), 1u);
  EXPECT_EQ(harness_->Last(), "Socket connect failed for 00:11:22:33:44:55. (Connection refused)");
  ExpectBusyBalanced();
}

// --- Disable --------------------------------------------------------------------

TEST_F(Commissioning, DisableSuccessTextByRelationType) {
  const std::pair<std::uint8_t, const char*> cases[] = {
      {kRelationTypeDhcp, "[Disable DHCP] Command successful"},
      {kRelationTypeBootp, "[Disable BOOTP] Command successful"},
      {kRelationTypeNone, "[Disable BOOTP/DHCP] Command successful"},
  };
  for (const auto& [type, text] : cases) {
    DeviceConfig config;
    config.configurationControl = 0x12;
    Start(config);
    const Relation relation = MakeRelation(kDeviceMac, type);
    const Relation* selected[] = {&relation};
    DisableBootpDhcp(selected, harness_->context);
    EXPECT_EQ(harness_->Last(), text);
    EXPECT_EQ(sim_->LastConfigurationWrite(), 0x10u);
    EXPECT_TRUE(harness_->failures.empty());
  }
}

TEST_F(Commissioning, DisableOnUnreachableDevices) {
  DeviceConfig config;
  config.mode = ConnectionMode::Refuse;
  Start(config);
  const Relation first = MakeRelation();
  const Relation second = MakeRelation(kFallbackMac);

  const Relation* one[] = {&first};
  DisableBootpDhcp(one, harness_->context);
  ASSERT_EQ(harness_->failures.size(), 1u);
  // Discovery and command flow both stopped at connect.
  EXPECT_EQ(std::count(harness_->status.begin(), harness_->status.end(),
                       "Socket connect failed for 00:11:22:33:44:55. (Connection refused)"),
            2);

  // Each row shows its own box.
  harness_->failures.clear();
  const Relation* two[] = {&first, &second};
  DisableBootpDhcp(two, harness_->context);
  ASSERT_EQ(harness_->failures.size(), 2u);
  EXPECT_EQ(harness_->failures[0],
            "Socket connect failed for 00:11:22:33:44:55. (Connection refused)");
  EXPECT_EQ(harness_->failures[1],
            "Socket connect failed for 0A:00:3C:12:34:56. (Connection refused)");
  EXPECT_EQ(harness_->Last(), "Socket connect failed for 0A:00:3C:12:34:56. (Connection refused)");
  EXPECT_TRUE(harness_->pauses.empty());
  ExpectBusyBalanced();
}

// --- Selection and preparation ------------------------------------------------------

TEST_F(Commissioning, NoSelectionShowsBoxAndSendsNothing) {
  Start({});
  for (const auto command : {EnableBootpDhcp, DisableBootpDhcp}) EXPECT_FALSE(command({}, harness_->context));
  EXPECT_TRUE(harness_->failures.empty());
  EXPECT_TRUE(harness_->status.empty());
  EXPECT_EQ(sim_->Connections(), 0);
  EXPECT_EQ(harness_->busy.begins, 0);
}

TEST_F(Commissioning, RowWithoutRelation) {
  Start({});
  const Relation* selected[] = {nullptr};
  EnableBootpDhcp(selected, harness_->context);
  const char* nullText = "Could not send command: Null pointer";
  EXPECT_EQ(harness_->status, (Texts{"Precreating messages...", nullText,    // discovery
                                     "Precreating messages...", nullText,    // DHCP attempt
                                     "Precreating messages...", nullText}));  // BOOTP attempt
  EXPECT_EQ(harness_->failures.size(), 1u);
  EXPECT_EQ(sim_->Connections(), 0);
  ExpectBusyBalanced();
}

TEST_F(Commissioning, UnobtainableBlocksEndTheFlowWithoutBox) {
  struct Case {
    MessageBlock block;
    const char* text;
    int busyShown;  // the busy cursor starts after the register block
  };
  const Case cases[] = {
      {MessageBlock::RegisterRequest, "Failed to allocate memory for register message block. Attempt failed.", 0},
      {MessageBlock::CommandRequest, "Failed to allocate memory for command message block. Attempt failed.", 1},
      {MessageBlock::Response, "Failed to allocate memory for response message block. Attempt failed.", 1},
  };
  for (const Case& c : cases) {
    Start({});
    harness_->context.blockUnavailable = [block = c.block](MessageBlock asked) { return asked == block; };
    const Relation relation = MakeRelation();
    EXPECT_FALSE(SendConfigurationMethod(&relation, kMethodStoredConfiguration, false, 1,
                                         harness_->context));
    EXPECT_EQ(harness_->status, (Texts{"Precreating messages...", c.text}));
    EXPECT_TRUE(harness_->failures.empty());
    EXPECT_EQ(harness_->busy.begins, c.busyShown);
    ExpectBusyBalanced();
    EXPECT_EQ(sim_->Connections(), 0);
  }
}

// --- Instance discovery -------------------------------------------------------------

TEST_F(Commissioning, DiscoveryMatchesTheHardwareAddress) {
  DeviceConfig config;
  config.maxInstance = 3;
  config.physicalLinks[1] = {0x02, 0x00, 0x20, 0xF6, 0x24, 0x01};
  config.physicalLinks[3] = {0x02, 0x00, 0x20, 0xF6, 0x24, 0x02};
  config.physicalAddresses[1] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x99};
  config.physicalAddresses[2] = Bytes(kDeviceMac.begin(), kDeviceMac.end());
  Start(config);
  const Relation relation = MakeRelation();
  EXPECT_EQ(FindInterfaceInstance(&relation, harness_->context), 3);
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 00 02", "0E F5 01 04", "0E F5 02 04", "0E F5 03 04",
                            "0E F6 01 03", "0E F6 02 03"}));

  // The command flow then addresses instance 3.
  const Relation* selected[] = {&relation};
  DisableBootpDhcp(selected, harness_->context);
  const auto trail = Trail();
  EXPECT_EQ(trail.back(), "10 F5 03 03");
  ExpectBusyBalanced();
}

TEST_F(Commissioning, DiscoveryCases) {
  struct Case {
    const char* name;
    std::uint16_t maxInstance;
    std::map<int, Bytes> links;
    std::map<int, Bytes> addresses;
    int instance;
    Texts trail;
  };
  const Bytes mac(kDeviceMac.begin(), kDeviceMac.end());
  const Case cases[] = {
      {"one candidate: no address read", 2, {{2, {0x02, 0x00, 0x20, 0xF6, 0x24, 0x01}}}, {}, 2,
       {"RS", "0E F5 00 02", "0E F5 01 04", "0E F5 02 04"}},
      {"Max Instance 0", 0, {}, {}, 1, {"RS", "0E F5 00 02"}},
      {"no candidate", 2, {}, {}, 1, {"RS", "0E F5 00 02", "0E F5 01 04", "0E F5 02 04"}},
      {"no candidate matches", 2,
       {{1, {0x02, 0x00, 0x20, 0xF6, 0x24, 0x01}}, {2, {0x02, 0x00, 0x20, 0xF6, 0x24, 0x02}}},
       {{1, {0x00, 0x00, 0x00, 0x00, 0x00, 0x01}}, {2, {0x00, 0x00, 0x00, 0x00, 0x00, 0x02}}}, 1,
       {"RS", "0E F5 00 02", "0E F5 01 04", "0E F5 02 04", "0E F6 01 03", "0E F6 02 03"}},
      {"candidate without a link is not asked about", 2,
       {{1, {0x00, 0x00}}, {2, {0x02, 0x00, 0x20, 0xF6, 0x24, 0x01}}}, {{1, mac}}, 2,
       {"RS", "0E F5 00 02", "0E F5 01 04", "0E F5 02 04", "0E F6 01 03"}},
  };
  for (const Case& c : cases) {
    DeviceConfig config;
    config.maxInstance = c.maxInstance;
    config.physicalLinks = c.links;
    config.physicalAddresses = c.addresses;
    Start(config);
    const Relation relation = MakeRelation();
    EXPECT_EQ(FindInterfaceInstance(&relation, harness_->context), c.instance) << c.name;
    EXPECT_EQ(Trail(), c.trail) << c.name;
    EXPECT_TRUE(harness_->failures.empty()) << c.name;
  }
}

// Instances are sent in one byte: past 255 the requests would address the
// class itself and the low instances again.
TEST_F(Commissioning, DiscoveryStopsAtInstance255) {
  DeviceConfig config;
  config.maxInstance = 300;
  Start(config);
  const Relation relation = MakeRelation();
  EXPECT_EQ(FindInterfaceInstance(&relation, harness_->context), 1);
  const auto trail = Trail();
  ASSERT_EQ(trail.size(), 2u + 255u);
  EXPECT_EQ(trail[2], "0E F5 01 04");
  EXPECT_EQ(trail.back(), "0E F5 FF 04");
}

// Only the command flow's Register Session waits again on WSAEWOULDBLOCK;
// the discovery's fails with it (and leaves instance 1).
TEST_F(Commissioning, WouldBlockRetriedOnlyByTheCommandFlow) {
  Start({});
  ScriptedSockets sockets;
  sockets.waitErrors = {EAGAIN, EAGAIN};  // the first wait of each flow
  harness_->context.sockets = &sockets;
  const Relation relation = MakeRelation();
  const Relation* selected[] = {&relation};
  DisableBootpDhcp(selected, harness_->context);
  EXPECT_EQ(std::count(harness_->status.begin(), harness_->status.end(),
                       "Socket select failed for 00:11:22:33:44:55. [Register Session] (10035)"),
            1);
  EXPECT_EQ(harness_->Last(), "[Disable BOOTP/DHCP] Command successful");
  EXPECT_TRUE(harness_->failures.empty());
  EXPECT_EQ(Trail(), (Texts{"RS", "RS", "0E F5 01 03", "10 F5 01 03"}));
}

}  // namespace
}  // namespace corvessa::enip_test
