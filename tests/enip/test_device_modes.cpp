// Devices that misbehave in time, through the command layer: Disable
// BOOTP/DHCP on one device of each kind at once, with one-second wait
// periods (a reply has four of them, four seconds, from its send). Each
// device's outcome, its reason, and when it was done. The bounds are on the
// deadline logic, not on speed: a device that cannot answer costs two
// deadlines (discovery and command flow), whatever it sends meanwhile.

#include <gtest/gtest.h>

#include "core/address.h"
#include "tests/enip/run_fixture.h"

namespace corvessa::enip_test {
namespace {

using enipsim::ConnectionMode;
using enipsim::DeviceConfig;
using namespace std::chrono_literals;

struct ModeCase {
  const char* name;
  ConnectionMode mode;
  DeviceOutcome outcome;
  std::string text;  // "%s" is the device
  bool textIsPrefix;
  std::chrono::milliseconds atLeast;
  std::chrono::milliseconds below;
};

std::string WithDevice(std::string text, const std::string& device) {
  const auto at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, device);
  return text;
}

TEST(DeviceModes, OutcomeAndDurationOfEachMode) {
  const ModeCase cases[] = {
      {"answers at once", ConnectionMode::Answer, DeviceOutcome::Succeeded,
       "[Disable BOOTP/DHCP] Command successful", false, 0ms, 1000ms},
      {"silent after accept", ConnectionMode::Silent, DeviceOutcome::Failed,
       "Didn't receive a response from %s. [Register Session]", false, 8000ms, 10000ms},
      // A byte a second, each within a wait period: only the deadline ends it.
      {"trickles a byte a second", ConnectionMode::Trickle, DeviceOutcome::Failed,
       "Received an incomplete response from %s. [Register Session] (", true, 8000ms, 10000ms},
      {"huge length field", ConnectionMode::HugeLength, DeviceOutcome::Failed,
       "Received an incomplete response from %s. [Register Session] (28 bytes)", false, 8000ms, 10000ms},
      {"closes in the middle of a reply", ConnectionMode::CloseMidReply, DeviceOutcome::Failed,
       "Received an incomplete response from %s. [Register Session] (14 bytes)", false, 0ms, 1000ms},
      // Every reply in the third of its four periods: five replies, all taken.
      {"slow but valid", ConnectionMode::Slow, DeviceOutcome::Succeeded, "[Disable BOOTP/DHCP] Command successful",
       false, 15000ms, 17000ms},
  };

  Fleet fleet;
  fleet.context.waitPeriod = 1000ms;
  std::vector<CommissionTarget> targets;
  int n = 1;
  for (const ModeCase& c : cases) {
    DeviceConfig config;
    config.mode = c.mode;
    fleet.Add(n, config);
    targets.emplace_back(NumberedRelation(n++));
  }
  RecordingSink sink;
  const auto started = std::chrono::steady_clock::now();
  CommissioningRun run(CommissionCommand::Disable, targets, fleet.context, sink);
  run.Start();
  run.Wait();

  const CommissionSummary summary = *sink.Summary();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const ModeCase& c = cases[i];
    const std::string device = TargetText(targets[i]);
    const std::string text = WithDevice(c.text, device);
    EXPECT_EQ(summary.devices[i].outcome, c.outcome) << c.name;
    if (c.textIsPrefix) {
      EXPECT_EQ(summary.devices[i].text.rfind(text, 0), 0u) << c.name << ": " << summary.devices[i].text;
    } else {
      EXPECT_EQ(summary.devices[i].text, text) << c.name;
    }
    const auto done = sink.FinishedEntry(static_cast<int>(i));
    ASSERT_TRUE(done) << c.name;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(done->at - started);
    EXPECT_GE(took, c.atLeast) << c.name;
    EXPECT_LT(took, c.below) << c.name;
  }
}

}  // namespace
}  // namespace corvessa::enip_test
