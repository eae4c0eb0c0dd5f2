// The real program, started inside a network namespace of the test's own on
// the offscreen platform with a prepared settings file (one adapter, valid
// settings, so no dialog opens), holds UDP 67 on that interface until the
// test ends it.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "netconfig/startup_settings.h"
#include "core/settings_names.h"
#include "tests/app/window_fixture.h"
#include "tests/support/netns.h"
#include "ui/network_settings_store.h"

namespace corvessa::app_test {
namespace {

namespace names = settings_names;
using namespace std::chrono_literals;

constexpr auto kStartDeadline = 20s;
constexpr auto kStopDeadline = 5s;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root to create network namespaces";
    if (!testsupport::CreateVethLink(link_, "pg", "192.168.78.1")) GTEST_SKIP() << "could not create the veth pair";
    created_ = true;
  }
  void TearDown() override {
    Stop();
    if (created_) testsupport::DestroyVethLink(link_);
  }

  // With `closedStderr`, standard error is a pipe that nobody reads, closed
  // at its other end, and Qt is told to log everything there.
  void Start(const std::string& configHome, bool closedStderr = false) {
    int pipeEnds[2] = {-1, -1};
    if (closedStderr && pipe(pipeEnds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      if (closedStderr) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDERR_FILENO);
        setenv("QT_LOGGING_RULES", "*.debug=true", 1);
      }
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
      // Recovery copies go beside the settings, never into the real home.
      setenv("XDG_STATE_HOME", (configHome + "/state").c_str(), 1);
      // ip replaces itself with the program once it is in the namespace.
      execlp("ip", "ip", "netns", "exec", link_.serverNs.c_str(), CORVESSA_EXECUTABLE, static_cast<char*>(nullptr));
      _exit(127);
    }
    if (closedStderr) {
      close(pipeEnds[0]);
      close(pipeEnds[1]);
    }
  }

  // A returning user's settings: one adapter, valid settings, no dialog.
  void PrepareSettings(const TempFolder& home) const {
    SettingsStore store((home.Path() / "Merrowin Software" / "corvessa.conf").string());
    store.SetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart, startup_settings::kFirstStartDone);
    store.SetString(names::kVersionSection, names::kLastAdapter, link_.serverIf);
    store.SetString(link_.serverIf, names::kIpAddress, link_.serverAddress);
    SaveNetworkSettings(store, link_.serverIf, ValidSettings());
  }

  // Waits until the program listens on port 67; its `ss` lines.
  std::string WaitForListener() const {
    std::string listeners;
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (std::chrono::steady_clock::now() < deadline && Running()) {
      listeners = UdpListeners();
      if (listeners.find("corvessa") != std::string::npos) break;
      std::this_thread::sleep_for(100ms);
    }
    return listeners;
  }

  // Ends the program: SIGTERM, then SIGKILL if it does not go in time.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(50ms);
    }
    pid_ = -1;
  }

  bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

  std::string UdpListeners() const { return testsupport::RunOutput(testsupport::InNs(link_.serverNs, "ss -ulpn")); }

  testsupport::VethLink link_;
  bool created_ = false;
  pid_t pid_ = -1;
};

TEST_F(ProgramTest, HoldsPort67OnTheChosenInterface) {
  TempFolder home{"app"};
  PrepareSettings(home);

  Start(home.Path().string());
  ASSERT_GT(pid_, 0);
  const std::string listeners = WaitForListener();
  ASSERT_TRUE(Running()) << "the program ended early";
  std::ifstream comm("/proc/" + std::to_string(pid_) + "/comm");
  std::string name;
  std::getline(comm, name);
  EXPECT_EQ(name, "corvessa");

  // Bound to the interface: ss shows the device after the address.
  EXPECT_NE(listeners.find("0.0.0.0%" + link_.serverIf + ":67"), std::string::npos) << listeners;
  EXPECT_NE(listeners.find("\"corvessa\",pid=" + std::to_string(pid_)), std::string::npos) << listeners;

  Stop();
  EXPECT_EQ(UdpListeners().find("corvessa"), std::string::npos);
}

// Started from a script whose reader has gone, the program writes to a
// closed pipe at once; that must not end it.
TEST_F(ProgramTest, ClosedPipeOnStandardErrorDoesNotEndIt) {
  TempFolder home{"app"};
  PrepareSettings(home);

  Start(home.Path().string(), true);
  ASSERT_GT(pid_, 0);
  const std::string listeners = WaitForListener();
  ASSERT_TRUE(Running()) << "the program ended early";
  EXPECT_NE(listeners.find("0.0.0.0%" + link_.serverIf + ":67"), std::string::npos) << listeners;
}

}  // namespace
}  // namespace corvessa::app_test
