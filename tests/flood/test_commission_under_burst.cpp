// The server keeps serving while a line is commissioned: Enable BOOTP/DHCP
// runs against 8 devices that accept the connection and never answer,
// while 256 listed devices (128 DHCP, 128 BOOTP) power up at once and ask
// for their addresses. Every exchange of the burst is answered within the
// devices' first 1 s timeout (no retransmission), the status line is never
// held back while the run reports, and Cancel then ends the run at once with
// every device cancelled.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/command_ids.h"
#include "bench/load/commission_lab.h"
#include "enip/widgets/commissioning_dialog.h"
#include "tests/support/netns.h"
#include "ui/widgets/table.h"

namespace corvessa::load {
namespace {

using namespace std::chrono_literals;

constexpr int kFleet = 256;
constexpr int kSilentDevices = 8;
constexpr int kStatusColumn = 3;
constexpr int kStepColumn = 2;

bool HasTool(const std::string& name) { return testsupport::Run("command -v " + name + " >/dev/null 2>&1") == 0; }

TEST(CommissionUnderBurst, BurstIsServedWithoutRetransmissionsWhileSilentDevicesAreCommissioned) {
  if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces and binds UDP port 67";
  if (!HasTool("ip")) GTEST_SKIP() << "tool not installed: ip";
  int argc = 1;
  char name[] = "flood_test_commission_under_burst";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);

  enipsim::DeviceConfig silent;
  silent.mode = enipsim::ConnectionMode::Silent;
  std::string error;
  auto lab = CommissionLab::Create("cb", kFleet, kSilentDevices, silent, error);
  ASSERT_NE(lab, nullptr) << error;
  MainWindow& window = lab->Window();
  CommissioningDialog& progress = window.CommissioningProgress();
  // The real wait periods: nothing of the run ends by itself for 8 s.
  ASSERT_EQ(window.EnipSettings().waitPeriod, 2000ms);

  ASSERT_TRUE(lab->SelectSimulatedDevices());
  ASSERT_TRUE(window.OnCommand(ids::kEnableBootpDhcp));
  const auto allWaiting = [&] {
    for (int row = 0; row < kSilentDevices; ++row) {
      if (progress.Devices().Rows()->CellText(row, kStatusColumn).rfind("Waiting for response to [Register Session]",
                                                                        0) != 0) {
        return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(QTest::qWaitFor(allWaiting, 5000)) << "the silent devices should all be waiting for a reply";

  // While the burst runs, the status line must never have its painting
  // held: sample it on the event loop itself.
  QLabel* statusLine = qobject_cast<QLabel*>(window.Control(ids::kStatusLine));
  ASSERT_NE(statusLine, nullptr);
  int samples = 0;
  int held = 0;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    ++samples;
    if (window.CommissioningRunning() && !statusLine->updatesEnabled()) ++held;
  });
  sampler.start(1);

  BurstPlan plan;
  plan.listed = lab->Fleet();
  BurstThread burst(lab->Network(), plan);
  ASSERT_TRUE(QTest::qWaitFor([&] { return burst.Done(); }, 60000));
  sampler.stop();
  ASSERT_TRUE(burst.Failure().empty()) << burst.Failure();

  const BurstResult& result = burst.Result();
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.devicesServed, kFleet);
  EXPECT_EQ(result.devicesFailed, 0);
  EXPECT_EQ(result.exchangesCompleted, result.exchangesPlanned);
  EXPECT_EQ(result.retransmissions, 0);
  EXPECT_EQ(result.wrongReplies, 0);
  // The run went on throughout the burst.
  EXPECT_TRUE(window.CommissioningRunning());
  EXPECT_GT(samples, 0);
  EXPECT_EQ(held, 0) << "the status line was held back while the run reported";

  QElapsedTimer cancel;
  cancel.start();
  QTest::mouseClick(&progress.Button(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.CommissioningRunning(); }, 3000));
  EXPECT_LT(cancel.elapsed(), 1000);
  for (int row = 0; row < kSilentDevices; ++row) {
    EXPECT_EQ(progress.Devices().Rows()->CellText(row, kStepColumn), "Cancelled") << row;
  }
  EXPECT_EQ(window.StatusText(), "Enable BOOTP/DHCP: 0 succeeded, 0 failed, 8 cancelled");
  EXPECT_TRUE(lab->Prompts().Shown().empty());
}

}  // namespace
}  // namespace corvessa::load
