// The exit status of the real fatal exit, in a child process: a start-up that
// fails ends with a non-zero status (0 would report the failure as success to
// a script or service manager), and a user who gives up the interface choice
// leaves with 0.

#include <gtest/gtest.h>

#include "netconfig/startup_checks.h"
#include "tests/app/window_fixture.h"

namespace corvessa::app_test {
namespace {

class FatalExitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The child is a fork of this process at the statement: it leaves the
    // surroundings (their scratch folder) to the parent, which removes them.
    GTEST_FLAG_SET(death_test_style, "fast");
    loopback = MakeInterface("lo", 1, kLoopbackLinkType, true, {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}});
  }

  // The surroundings with the real fatal exit.
  corvessa::Environment RealExit() {
    corvessa::Environment env = surroundings.Environment();
    env.fatalExit = nullptr;
    return env;
  }

  Surroundings surroundings;
  HostInterface loopback;
};

TEST_F(FatalExitTest, FailedStartEndsWithANonZeroStatus) {
  surroundings.host.interfaces = {loopback};
  EXPECT_EXIT(
      {
        MainWindow window(RealExit());
        window.OnInitDialog();
      },
      ::testing::ExitedWithCode(kFatalExitStatus), "");
  EXPECT_NE(kFatalExitStatus, 0);
}

TEST_F(FatalExitTest, InterfaceChoiceGivenUpEndsWithZero) {
  const HostInterface a = MakeInterface("cvx-a", 10, kEthernetLinkType, true, {{Ip(10, 1, 0, 1), Ip(255, 255, 0, 0)}});
  const HostInterface b = MakeInterface("cvx-b", 11, kEthernetLinkType, true, {{Ip(10, 2, 0, 1), Ip(255, 255, 0, 0)}});
  surroundings.host.interfaces = {loopback, a, b};
  surroundings.networkDialogs.chosenAdapter.reset();
  EXPECT_EXIT(
      {
        MainWindow window(RealExit());
        window.OnInitDialog();
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace corvessa::app_test
