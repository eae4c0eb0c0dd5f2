// The attribute reads and the Configuration Control write against a
// simulated device: values taken, retries and the fallback class.

#include <gtest/gtest.h>

#include "enip/cip_services.h"
#include "tests/enip/session_fixture.h"

namespace corvessa::enip_test {
namespace {

using enipsim::DeviceConfig;
using enipsim::FaultRule;
using enipsim::ReplyFault;
using enipsim::StatusRule;
using Texts = std::vector<std::string>;

using CipServices = DeviceSession;

// --- Configuration Control ---------------------------------------------------

TEST_F(CipServices, WriteKeepsOnlyDnsEnable) {
  struct Case {
    std::uint32_t current;
    ConfigurationMethod method;
    std::uint32_t written;
  };
  const Case cases[] = {
      {0x12, kMethodBootp, 0x11},
      {0x02, kMethodBootp, 0x01},
      {0x13, kMethodStoredConfiguration, 0x10},
      {0x00, kMethodDhcp, 0x02},
      {0xFFFFFFEF, kMethodDhcp, 0x02},  // every bit but DNS Enable
  };
  for (const Case& c : cases) {
    DeviceConfig config;
    config.configurationControl = c.current;
    Start(config);
    EXPECT_TRUE(ChangeConfigurationMethod(*session_, relation_, 1, c.method));
    const auto requests = sim_->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(ValueOf(requests[2].bytes), c.written) << std::hex << c.current;
    EXPECT_EQ(sim_->LastConfigurationWrite(), c.written);
  }
}

TEST_F(CipServices, RejectedValueEndsWithoutSecondAttempt) {
  DeviceConfig config;
  config.rejectedValues[2] = 9;
  Start(config);
  EXPECT_FALSE(ChangeConfigurationMethod(*session_, relation_, 1, kMethodDhcp));
  EXPECT_EQ(harness_->Last(),
            "Received error message from 00:11:22:33:44:55. [Set_Attribute_Single] (9)");
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 01 03", "10 F5 01 03"}));
}

TEST_F(CipServices, GetReplyToSetIsNoReplyItem) {
  DeviceConfig config;
  config.faults = {FaultRule{2, ReplyFault::ServiceByte, 0x8E}};  // the first Set's reply
  Start(config);
  EXPECT_TRUE(ChangeConfigurationMethod(*session_, relation_, 1, kMethodBootp));
  // No text of its own: the next attempt follows the "Verifying" text.
  const auto verifying = std::find(harness_->status.begin(), harness_->status.end(),
                                   "Verifying response from 00:11:22:33:44:55 [Set_Attribute_Single]...");
  ASSERT_NE(verifying, harness_->status.end());
  EXPECT_EQ(*(verifying + 1),
            "Attempting to send command [Get_Attribute_Single] to 00:11:22:33:44:55...");
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 01 03", "10 F5 01 03", "0E F5 01 03", "10 F5 01 03"}));
}

TEST_F(CipServices, TwoAttemptsWithoutReplyItemFail) {
  DeviceConfig config;
  config.faults = {FaultRule{2, ReplyFault::ServiceByte, 0x8E},
                   FaultRule{4, ReplyFault::ServiceByte, 0x8E}};
  Start(config);
  EXPECT_FALSE(ChangeConfigurationMethod(*session_, relation_, 1, kMethodBootp));
  EXPECT_EQ(harness_->Last(), "Verifying response from 00:11:22:33:44:55 [Set_Attribute_Single]...");
}

// --- Fallback class ----------------------------------------------------------

TEST_F(CipServices, FallbackClassOnlyForItsDevices) {
  DeviceConfig config;
  config.fallbackAliasOf = 0xF5;  // answers 5 on 0xF5, serves 0xF5 on 0xAA
  config.configurationControl = 0x10;

  Start(config, MakeRelation(kFallbackMac));
  EXPECT_TRUE(ChangeConfigurationMethod(*session_, relation_, 1, kMethodDhcp));
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 01 03", "0E AA 01 03", "10 AA 01 03"}));
  EXPECT_TRUE(harness_->Shows(
      "Received error message from 0A:00:3C:12:34:56. [Get_Attribute_Single] (5)"));
  EXPECT_EQ(sim_->LastConfigurationWrite(), 0x12u);

  Start(config, MakeRelation(kDeviceMac));
  EXPECT_FALSE(ChangeConfigurationMethod(*session_, relation_, 1, kMethodDhcp));
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 01 03"}));
  EXPECT_EQ(harness_->Last(),
            "Received error message from 00:11:22:33:44:55. [Get_Attribute_Single] (5)");
}

TEST_F(CipServices, FallbackOnEveryRead) {
  DeviceConfig config;
  config.fallbackAliasOf = 0xF5;
  config.maxInstance = 4;
  Start(config, MakeRelation(kFallbackMac));
  EXPECT_EQ(GetMaxInstance(*session_, relation_), 4);
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 00 02", "0E AA 00 02"}));

  config.fallbackAliasOf = 0xF6;
  config.physicalAddresses[1] = Bytes(kFallbackMac.begin(), kFallbackMac.end());
  Start(config, MakeRelation(kFallbackMac));
  EXPECT_EQ(MatchPhysicalAddress(*session_, relation_, 1), AddressMatch::Match);
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F6 01 03", "0E AA 01 03"}));
}

// Both attempts answered 5: nothing was learnt, so nothing is reported as
// learnt - neither a link nor a matching address.
TEST_F(CipServices, FallbackExhaustedLearnsNothing) {
  DeviceConfig config;
  config.statusRules = {StatusRule{-1, -1, -1, -1, 0x05}};
  Start(config, MakeRelation(kFallbackMac));
  EXPECT_EQ(GetPhysicalLink(*session_, relation_, 1), std::nullopt);
  EXPECT_EQ(MatchPhysicalAddress(*session_, relation_, 1), AddressMatch::NoAnswer);
  EXPECT_EQ(GetMaxInstance(*session_, relation_), 1);
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 01 04", "0E AA 01 04", "0E F6 01 03", "0E AA 01 03",
                            "0E F5 00 02", "0E AA 00 02"}));
}

// --- Max Instance --------------------------------------------------------------

TEST_F(CipServices, MaxInstanceValues) {
  const std::pair<std::uint16_t, int> cases[] = {{0, 1}, {1, 1}, {3, 3}, {65535, 65535}};
  for (const auto& [answered, taken] : cases) {
    DeviceConfig config;
    config.maxInstance = answered;
    Start(config);
    EXPECT_EQ(GetMaxInstance(*session_, relation_), taken) << answered;
  }
}

TEST_F(CipServices, MaxInstanceAttempts) {
  DeviceConfig config;
  config.maxInstance = 5;
  config.faults = {FaultRule{1, ReplyFault::Silent}};  // the first read is not answered
  Start(config);
  harness_->context.waitPeriod = std::chrono::milliseconds(100);
  EXPECT_EQ(GetMaxInstance(*session_, relation_), 5);
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 00 02", "0E F5 00 02"}));

  config.faults.clear();
  config.statusRules = {StatusRule{0x0E, 0xF5, 0, 2, 0x08}};
  Start(config);
  EXPECT_EQ(GetMaxInstance(*session_, relation_), 1);
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 00 02"}));
  EXPECT_EQ(harness_->Last(),
            "Received error message from 00:11:22:33:44:55. [Get_Attribute_Single] (8)");
}

// --- Physical Link and Physical Address -------------------------------------

TEST_F(CipServices, PhysicalLinkPaths) {
  struct Case {
    const char* name;
    Bytes data;  // attribute 4 as the device answers it
    std::optional<int> link;
  };
  const Case cases[] = {
      {"no path", {0x00, 0x00}, -1},
      {"link 3", {0x02, 0x00, 0x20, 0xF6, 0x24, 0x03}, 3},
      {"link 255", {0x02, 0x00, 0x20, 0xF6, 0x24, 0xFF}, 255},
      {"one word: no link", {0x01, 0x00, 0x20, 0xF6}, -1},
      {"wrong class", {0x02, 0x00, 0x20, 0xF5, 0x24, 0x03}, std::nullopt},
      {"wrong segment", {0x02, 0x00, 0x21, 0xF6, 0x24, 0x03}, std::nullopt},
      {"path cut short", {0x02, 0x00, 0x20, 0xF6}, std::nullopt},
      {"size cut short", {0x02}, std::nullopt},
  };
  for (const Case& c : cases) {
    DeviceConfig config;
    config.physicalLinks[2] = c.data;
    Start(config);
    EXPECT_EQ(GetPhysicalLink(*session_, relation_, 2), c.link) << c.name;
  }
  Start({});  // the instance does not exist: general status 5
  EXPECT_EQ(GetPhysicalLink(*session_, relation_, 2), std::nullopt);
  EXPECT_EQ(Trail(), (Texts{"RS", "0E F5 02 04"}));
}

TEST_F(CipServices, PhysicalAddressComparison) {
  struct Case {
    const char* name;
    std::optional<Bytes> address;
    AddressMatch match;
  };
  const Case cases[] = {
      {"same", Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, AddressMatch::Match},
      {"last byte differs", Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x56}, AddressMatch::Mismatch},
      {"longer, same start", Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, AddressMatch::Match},
      {"too short", Bytes{0x00, 0x11, 0x22, 0x33}, AddressMatch::NoAnswer},
      {"no such link", std::nullopt, AddressMatch::NoAnswer},
  };
  for (const Case& c : cases) {
    DeviceConfig config;
    if (c.address) config.physicalAddresses[4] = *c.address;
    Start(config);
    EXPECT_EQ(MatchPhysicalAddress(*session_, relation_, 4), c.match) << c.name;
  }
}

// Additional status words on success: the first three reads take offset 4
// regardless, the Configuration Control read skips them.
TEST_F(CipServices, AdditionalStatusWords) {
  DeviceConfig config;
  config.additionalStatus = {0x0007, 0x0009};
  config.maxInstance = 3;
  config.physicalLinks[1] = {0x02, 0x00, 0x20, 0xF6, 0x24, 0x01};
  config.physicalAddresses[1] = Bytes(kDeviceMac.begin(), kDeviceMac.end());
  config.configurationControl = 0x12;
  Start(config);
  EXPECT_EQ(GetMaxInstance(*session_, relation_), 7);                             // first word
  EXPECT_EQ(GetPhysicalLink(*session_, relation_, 1), -1);                        // size 7
  EXPECT_EQ(MatchPhysicalAddress(*session_, relation_, 1), AddressMatch::Mismatch);  // 07 00 09 00 ..
  EXPECT_TRUE(ChangeConfigurationMethod(*session_, relation_, 1, kMethodBootp));
  EXPECT_EQ(sim_->LastConfigurationWrite(), 0x11u);
}

// --- Session handle and blocks ------------------------------------------------

TEST_F(CipServices, HandleCarriedUnchanged) {
  for (const std::uint32_t handle : {0u, 0x12345678u, 0xFFFFFFFFu}) {
    DeviceConfig config;
    config.sessionHandle = handle;
    Start(config);
    (void)GetMaxInstance(*session_, relation_);
    (void)GetPhysicalLink(*session_, relation_, 1);
    (void)ChangeConfigurationMethod(*session_, relation_, 1, kMethodDhcp);
    const auto requests = sim_->Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(HandleOf(requests[0].bytes), 0u);  // Register Session
    for (std::size_t i = 1; i < requests.size(); ++i) {
      EXPECT_EQ(HandleOf(requests[i].bytes), handle) << "request " << i;
    }
  }
}

TEST_F(CipServices, NoCommandBlockNoRequest) {
  Start({});
  harness_->context.blockUnavailable = [](MessageBlock block) {
    return block == MessageBlock::CommandRequest;
  };
  EXPECT_EQ(GetMaxInstance(*session_, relation_), 1);
  EXPECT_EQ(GetPhysicalLink(*session_, relation_, 1), std::nullopt);
  EXPECT_EQ(MatchPhysicalAddress(*session_, relation_, 1), AddressMatch::NoAnswer);
  EXPECT_EQ(harness_->Last(), "Failed to allocate memory for command message block. Attempt failed.");
  EXPECT_EQ(Trail(), Texts{"RS"});
}

}  // namespace
}  // namespace corvessa::enip_test
