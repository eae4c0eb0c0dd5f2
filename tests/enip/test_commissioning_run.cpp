// A commissioning run on worker threads: the same texts and requests as the
// command one device after the other, several devices at once with one
// summary, and Cancel in the middle.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>

#include "core/address.h"
#include "enip/commissioning.h"
#include "tests/enip/run_fixture.h"

namespace corvessa::enip_test {
namespace {

using enipsim::ConnectionMode;
using enipsim::DeviceConfig;
using enipsim::DeviceSim;
using Texts = std::vector<std::string>;
using Kind = CommissionEvent::Kind;
using namespace std::chrono_literals;

// The same device answered by the run and by the command body one device
// after the other: the same status texts in the same order, the same
// requests on the wire, and the steps as they began.
TEST(CommissioningRun, OneDeviceSaysAndSendsWhatTheCommandSays) {
  struct Case {
    const char* name;
    std::map<std::uint32_t, std::uint8_t> rejected;
    std::vector<CommissionStep> steps;
    const char* result;
  };
  const Case cases[] = {
      {"DHCP accepted", {}, {CommissionStep::Discovery, CommissionStep::DhcpAttempt},
       "[Enable DHCP] Command successful"},
      {"DHCP refused, BOOTP after the pause", {{0x12, 9}},  // DHCP with DNS Enable kept
       {CommissionStep::Discovery, CommissionStep::DhcpAttempt, CommissionStep::Pause,
        CommissionStep::BootpAttempt},
       "[Enable BOOTP] Command successful"},
  };
  for (const Case& c : cases) {
    DeviceConfig config;
    config.configurationControl = 0x10;
    config.rejectedValues = c.rejected;

    DeviceSim alone(config);
    ExpectListening(alone);
    Harness harness(alone.Port());
    const Relation relation = MakeRelation();
    const Relation* selected[] = {&relation};
    EnableBootpDhcp(selected, harness.context);

    Fleet fleet;
    DeviceSim& device = fleet.Add(0x55, config);
    RecordingSink sink;
    {
      CommissioningRun run(CommissionCommand::Enable, {NumberedRelation(0x55)}, fleet.context, sink);
      run.Start();
      run.Wait();
    }
    EXPECT_EQ(sink.Texts(0), harness.status) << c.name;
    EXPECT_EQ(RequestTrail(device.Requests()), RequestTrail(alone.Requests())) << c.name;
    EXPECT_EQ(device.LastConfigurationWrite(), alone.LastConfigurationWrite()) << c.name;
    EXPECT_EQ(sink.Steps(0), c.steps) << c.name;
    ASSERT_EQ(sink.FinishedCalls(), 1) << c.name;
    const auto summary = sink.Summary();
    ASSERT_EQ(summary->devices.size(), 1u) << c.name;
    EXPECT_EQ(summary->devices[0].outcome, DeviceOutcome::Succeeded) << c.name;
    EXPECT_EQ(summary->devices[0].text, c.result) << c.name;
    // Finished is the device's last event.
    EXPECT_EQ(sink.Entries().back().event.kind, Kind::Finished) << c.name;
  }
}

TEST(CommissioningRun, SixteenDevicesEndInOneSummary) {
  Fleet fleet;
  fleet.context.waitPeriod = 250ms;
  std::vector<CommissionTarget> targets;
  struct Expected {
    DeviceOutcome outcome;
    std::string text;
    std::optional<std::uint32_t> written;
  };
  std::vector<Expected> expected;
  std::vector<DeviceSim*> sims;
  const auto device = [](int n) { return MacToText(NumberedRelation(n).hardwareAddress.data(), 6); };
  for (int n = 1; n <= 16; ++n) {
    DeviceConfig config;
    Expected e{DeviceOutcome::Succeeded, "[Enable DHCP] Command successful", 0x02};
    if (n >= 7 && n <= 9) {
      config.rejectedValues[2] = 9;
      e = {DeviceOutcome::Succeeded, "[Enable BOOTP] Command successful", 0x01};
    } else if (n == 10 || n == 11) {
      config.rejectedValues[2] = 9;
      config.rejectedValues[1] = 9;
      e = {DeviceOutcome::Failed,
           "Received error message from " + device(n) + ". [Set_Attribute_Single] (9)", std::nullopt};
    } else if (n == 12 || n == 13) {
      config.mode = ConnectionMode::Refuse;
      e = {DeviceOutcome::Failed, "Socket connect failed for " + device(n) + ". (Connection refused)",
           std::nullopt};
    } else if (n == 14) {
      config.mode = ConnectionMode::Silent;
      e = {DeviceOutcome::Failed, "Didn't receive a response from " + device(n) + ". [Register Session]",
           std::nullopt};
    } else if (n == 16) {
      config.registerStatus = 0x65;
      e = {DeviceOutcome::Failed,
           "Received error message from " + device(n) + ". [Register Session] (101)", std::nullopt};
    }
    if (n == 15) {
      // A row without a relation.
      targets.emplace_back(std::nullopt);
      expected.push_back({DeviceOutcome::Failed, "Could not send command: Null pointer", std::nullopt});
      sims.push_back(nullptr);
      continue;
    }
    sims.push_back(&fleet.Add(n, config));
    targets.emplace_back(NumberedRelation(n));
    expected.push_back(e);
  }

  RecordingSink sink;
  {
    CommissioningRun run(CommissionCommand::Enable, targets, fleet.context, sink);
    run.Start();
    run.Wait();
  }

  ASSERT_EQ(sink.FinishedCalls(), 1);
  const CommissionSummary summary = *sink.Summary();
  EXPECT_EQ(summary.command, CommissionCommand::Enable);
  ASSERT_EQ(summary.devices.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(summary.devices[i].outcome, expected[i].outcome) << "device " << i;
    EXPECT_EQ(summary.devices[i].text, expected[i].text) << "device " << i;
    // The reason is the device's own last text.
    const Texts texts = sink.Texts(static_cast<int>(i));
    ASSERT_FALSE(texts.empty()) << "device " << i;
    EXPECT_EQ(texts.front(), "Precreating messages...") << "device " << i;
    EXPECT_EQ(texts.back(), expected[i].text) << "device " << i;
    if (sims[i] != nullptr) {
      EXPECT_EQ(sims[i]->LastConfigurationWrite(), expected[i].written) << "device " << i;
    }
  }
  EXPECT_EQ(summary.Count(DeviceOutcome::Succeeded), 9);
  EXPECT_EQ(summary.Count(DeviceOutcome::Failed), 7);
  EXPECT_EQ(summary.Count(DeviceOutcome::Cancelled), 0);

  // Never more than eight devices between their first step and their end.
  int busy = 0;
  int most = 0;
  std::vector<bool> started(16, false);
  for (const auto& entry : sink.Entries()) {
    const auto index = static_cast<std::size_t>(entry.event.device);
    if (entry.event.kind == Kind::Step && !started[index]) {
      started[index] = true;
      most = std::max(most, ++busy);
    } else if (entry.event.kind == Kind::Finished) {
      --busy;
    }
  }
  EXPECT_EQ(most, CommissioningRun::kConcurrency);
  EXPECT_EQ(fleet.sockets.opened.load(), fleet.sockets.closed.load());
}

// Cancel ends the transactions in progress at once, starts nothing new, and
// every device not done is reported cancelled; nothing the shut sockets do
// afterwards is reported as the devices' doing.
TEST(CommissioningRun, CancelInTheMiddle) {
  Fleet fleet;
  fleet.context.waitPeriod = 2000ms;  // no reply wait ends by itself during the test
  std::vector<CommissionTarget> targets;
  for (int n = 1; n <= 12; ++n) {
    DeviceConfig silent;
    silent.mode = ConnectionMode::Silent;
    fleet.Add(n, silent);
    targets.emplace_back(NumberedRelation(n));
  }
  RecordingSink sink;
  CommissioningRun run(CommissionCommand::Enable, targets, fleet.context, sink);
  run.Start();
  const bool waiting = sink.WaitFor(
      [](const std::vector<RecordingSink::Entry>& entries) {
        std::set<int> devices;
        for (const auto& e : entries) {
          if (e.event.text.rfind("Waiting for response to [Register Session]", 0) == 0) devices.insert(e.event.device);
        }
        return devices.size() == 8;
      },
      5s);
  ASSERT_TRUE(waiting) << "eight devices should be waiting for their Register Session replies";
  const std::size_t before = sink.Entries().size();
  const auto cancelled = std::chrono::steady_clock::now();
  run.Cancel();
  run.Wait();
  const auto took = std::chrono::steady_clock::now() - cancelled;
  EXPECT_LT(took, 1s) << "the transactions must end at once, not at their deadline";

  const auto entries = sink.Entries();
  for (std::size_t i = before; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].event.kind, Kind::Finished) << "reported after the cancel: " << entries[i].event.text;
  }
  ASSERT_EQ(sink.FinishedCalls(), 1);
  const CommissionSummary summary = *sink.Summary();
  ASSERT_EQ(summary.devices.size(), 12u);
  for (int n = 1; n <= 12; ++n) {
    const DeviceResult& result = summary.devices[static_cast<std::size_t>(n - 1)];
    EXPECT_EQ(result.outcome, DeviceOutcome::Cancelled) << n;
    EXPECT_EQ(result.text, "Command cancelled for " + TargetText(targets[static_cast<std::size_t>(n - 1)]) + ".")
        << n;
  }
  // The last four never got their turn.
  const auto connected = fleet.sockets.Connected();
  EXPECT_EQ(connected.size(), 8u);
  for (const std::uint32_t address : connected) EXPECT_LE(address, DeviceAddress(8));
  EXPECT_EQ(fleet.sockets.opened.load(), fleet.sockets.closed.load());
}

TEST(CommissioningRun, CancelEndsThePauseAndAHangingConnect) {
  const HangingListener hanging;
  ASSERT_NE(hanging.Port(), 0);

  Fleet fleet;
  fleet.context.connectTimeout = 10s;
  DeviceConfig refusesDhcp;
  refusesDhcp.rejectedValues[2] = 9;
  DeviceSim& pausing = fleet.Add(1, refusesDhcp);
  fleet.sockets.Add(DeviceAddress(2), hanging.Port());

  RecordingSink sink;
  CommissioningRun run(CommissionCommand::Enable, {NumberedRelation(1), NumberedRelation(2)}, fleet.context, sink);
  run.Start();
  const bool ready = sink.WaitFor(
      [](const std::vector<RecordingSink::Entry>& entries) {
        bool paused = false;
        bool connecting = false;
        for (const auto& e : entries) {
          paused |= e.event.device == 0 && e.event.kind == Kind::Step && e.event.step == CommissionStep::Pause;
          connecting |= e.event.device == 1 && e.event.text == "Attempting to connect to 00:11:22:33:44:02...";
        }
        return paused && connecting;
      },
      5s);
  ASSERT_TRUE(ready);
  const auto cancelled = std::chrono::steady_clock::now();
  run.Cancel();
  run.Wait();
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 500ms);

  const CommissionSummary summary = *sink.Summary();
  EXPECT_EQ(summary.devices[0].outcome, DeviceOutcome::Cancelled);
  EXPECT_EQ(summary.devices[1].outcome, DeviceOutcome::Cancelled);
  EXPECT_EQ(sink.Steps(0).back(), CommissionStep::Pause);  // no BOOTP attempt
  EXPECT_EQ(pausing.Connections(), 2);
}

}  // namespace
}  // namespace corvessa::enip_test
