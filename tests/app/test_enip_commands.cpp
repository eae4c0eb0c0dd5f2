// Enable and Disable BOOTP/DHCP from the main window's menu commands and
// buttons against simulated devices: the selected rows, the window's status
// line and message boxes, the focus, and what the window does while a run
// goes on off its thread: progress, Cancel, greyed commands, the summary.
//
// The devices' addresses are real device addresses (10.99.0.x) on the
// EtherNet/IP port, and the simulators listen on them inside a network
// namespace the test makes, so nothing leaves it.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/command_ids.h"
#include "relations/relation_order.h"
#include "enip/socket_api.h"
#include "enip/widgets/commissioning_dialog.h"
#include "tests/app/window_fixture.h"
#include "tests/enip/sim/device_sim.h"
#include "tests/support/netns.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

using enipsim::ConnectionMode;
using enipsim::DeviceConfig;
using enipsim::DeviceSim;
using std::chrono::milliseconds;

constexpr const char* kCommunicationError =
    "Failed to complete the requested operation.\n\nSee status bar for further information then "
    "press OK when ready to continue.";
constexpr const char* kSelectAddress =
    "Please select an address from the Address Relations List to send the command to.";

constexpr std::uint16_t kEnipPort = 44818;
constexpr std::uint32_t kFirstDevice = Ip(10, 99, 0, 5);
constexpr std::uint32_t kSecondDevice = Ip(10, 99, 0, 6);
const std::vector<std::uint8_t> kFirstMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const std::vector<std::uint8_t> kSecondMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x66};

// A network namespace of the test thread's own with nothing but loopback,
// holding the devices' addresses. The thread moves in before any simulator or
// window exists, so every socket of the test, and every thread started
// afterwards (the run's workers among them), lives there. It has no name: it
// goes away with its last user, also when the test binary crashes.
struct DeviceNamespace {
  std::string reason;  // why there is none; empty when there is
  int original = -1;
  bool entered = false;

  void Create() {
    reason.clear();
    if (!testsupport::IsRoot()) {
      reason = "needs root to create a network namespace for the simulated devices";
      return;
    }
    original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (original < 0 || ::unshare(CLONE_NEWNET) != 0) {
      reason = std::string("could not create a network namespace: ") + std::strerror(errno);
      return;
    }
    entered = true;
    // The commands run in the namespace of the thread that starts them.
    for (const char* step : {"ip link set lo up", "ip addr add 10.99.0.5/32 dev lo",
                             "ip addr add 10.99.0.6/32 dev lo"}) {
      if (testsupport::Run(std::string(step) + " >/dev/null 2>&1") != 0) {
        reason = std::string("could not set up the network namespace (") + step + ")";
        return;
      }
    }
  }

  void Remove() {
    if (entered) ::setns(original, CLONE_NEWNET);
    entered = false;
    if (original >= 0) ::close(original);
    original = -1;
  }
};

DeviceNamespace& Namespace() {
  static DeviceNamespace instance;
  return instance;
}

// Notes every connect the run makes, from its worker threads.
class RecordingSockets final : public SocketApi {
 public:
  struct Attempt {
    std::uint32_t address = 0;  // host order
    std::uint16_t port = 0;
  };
  int Connect(int fd, const sockaddr_in& remote, milliseconds timeout) override {
    {
      const std::lock_guard lock(mutex_);
      attempts_.push_back({ntohl(remote.sin_addr.s_addr), ntohs(remote.sin_port)});
    }
    return SocketApi::Connect(fd, remote, timeout);
  }
  std::vector<Attempt> Attempts() const {
    const std::lock_guard lock(mutex_);
    return attempts_;
  }
  std::vector<std::uint32_t> Addresses() const {
    std::vector<std::uint32_t> addresses;
    for (const Attempt& attempt : Attempts()) addresses.push_back(attempt.address);
    return addresses;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Attempt> attempts_;
};

class EnipCommandsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Namespace().Create(); }
  static void TearDownTestSuite() { Namespace().Remove(); }

  void SetUp() override {
    window = std::make_unique<MainWindow>(surroundings.Environment());
    window->SetupLists();
    EnipContext& enip = window->EnipSettings();
    enip.sockets = &sockets;
    // Bounds on a test that goes wrong; the simulator answers at once.
    enip.connectTimeout = std::chrono::seconds(5);
    enip.waitPeriod = milliseconds(500);
    // Called on the run's worker thread; read only after the run.
    enip.sleep = [this](milliseconds length) {
      const std::lock_guard lock(pausesMutex);
      pauses.push_back(length);
    };
    window->UpdateButtons();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  void TearDown() override {
    if (!window) return;
    if (window->CommissioningRunning()) {
      window->CancelCommissioning();
      WaitForRun();
    }
    window->hide();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a command left a cursor behind";
  }

  bool NamespaceMissing() const { return !Namespace().reason.empty(); }

  DeviceSim& Device(std::uint32_t address, DeviceConfig config) {
    devices.push_back(std::make_unique<DeviceSim>(std::move(config), kEnipPort, address));
    DeviceSim& device = *devices.back();
    EXPECT_TRUE(device.ok()) << "the simulated device could not listen on its address";
    return device;
  }

  Relation* List(const std::vector<std::uint8_t>& mac, std::uint32_t ip, std::uint8_t type = kRelationTypeNone,
                 std::string hostname = {}) {
    auto relation = MakeRelation(mac, ip, std::move(hostname));
    relation->type = type;
    Relation* raw = relation.get();
    window->Relations().Append(std::move(relation));
    window->RefreshRelationList();
    return raw;
  }

  Table& RelationList() { return *window->RelationTableView(); }
  CommissioningDialog& Progress() { return window->CommissioningProgress(); }

  void SelectAll() {
    RelationList().ClearSelectionOfRows();
    for (int row = 0; row < RelationList().RowCount(); ++row) RelationList().SelectRow(row, true);
    window->UpdateButtons();
  }

  // Presses the button as the user does; the button takes the focus first.
  void Click(int id) {
    auto* button = qobject_cast<QPushButton*>(window->Control(id));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible() && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
  }

  // The event loop runs meanwhile, as it does for the user.
  bool WaitForRun(int limitMs = 20000) {
    return QTest::qWaitFor([this] { return !window->CommissioningRunning(); }, limitMs);
  }

  std::vector<milliseconds> Pauses() {
    const std::lock_guard lock(pausesMutex);
    return pauses;
  }

  std::string ProgressCell(int row, int column) { return Progress().Devices().Rows()->CellText(row, column); }

  Surroundings surroundings;
  RecordingSockets sockets;
  std::vector<std::unique_ptr<DeviceSim>> devices;
  std::mutex pausesMutex;
  std::vector<milliseconds> pauses;
  std::unique_ptr<MainWindow> window;
};

#define REQUIRE_DEVICE_NAMESPACE()                              \
  do {                                                          \
    if (NamespaceMissing()) GTEST_SKIP() << Namespace().reason; \
  } while (false)

const ShownPrompt kSelectAddressBox{kSelectAddress, "Select An Address", PromptKind::Message};

ShownPrompt CommunicationErrorBox(std::string reason) {
  return {kCommunicationError, "Communication Error", PromptKind::Message, std::move(reason)};
}

// Columns of the progress window.
constexpr int kStepColumn = 2;
constexpr int kStatusColumn = 3;

// --- Nothing selected ---------------------------------------------------------

struct NoSelectionCase {
  const char* name;
  int command;
  bool focusToList;  // only the buttons move the focus
};

class NoSelection : public EnipCommandsTest, public ::testing::WithParamInterface<NoSelectionCase> {};

TEST_P(NoSelection, ShowsSelectAnAddressAndSendsNothing) {
  const NoSelectionCase& c = GetParam();
  List(kFirstMac, kFirstDevice);  // listed but not selected
  RelationList().ClearSelectionOfRows();
  auto* add = window->Control(ids::kAddRelationButton);
  add->setFocus();
  ASSERT_TRUE(add->hasFocus());

  ASSERT_TRUE(window->OnCommand(c.command));

  ASSERT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSelectAddressBox});
  EXPECT_FALSE(window->CommissioningRunning());
  EXPECT_TRUE(sockets.Attempts().empty());
  EXPECT_TRUE(Pauses().empty());
  EXPECT_FALSE(Progress().isVisible());
  EXPECT_EQ(window->StatusText(), "Listening for connected devices...");
  EXPECT_EQ(QApplication::focusWidget(), c.focusToList ? static_cast<QWidget*>(&RelationList()) : add);
}

INSTANTIATE_TEST_SUITE_P(Commands, NoSelection,
                         ::testing::Values(NoSelectionCase{"EnableButton", ids::kEnableButton, true},
                                           NoSelectionCase{"DisableButton", ids::kDisableButton, true},
                                           NoSelectionCase{"EnableMenu", ids::kEnableBootpDhcp, false},
                                           NoSelectionCase{"DisableMenu", ids::kDisableBootpDhcp, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- One device -----------------------------------------------------------------

TEST_F(EnipCommandsTest, EnableFromTheMenuWritesDhcp) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig config;
  config.maxInstance = 1;
  config.configurationControl = 0x10;
  DeviceSim& device = Device(kFirstDevice, config);
  List(kFirstMac, kFirstDevice);
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kEnableBootpDhcp));
  EXPECT_TRUE(window->CommissioningRunning());
  ASSERT_TRUE(WaitForRun());

  EXPECT_EQ(window->StatusText(), "[Enable DHCP] Command successful");
  EXPECT_EQ(device.LastConfigurationWrite(), 0x12u);  // DHCP, the 0x10 bit kept
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_TRUE(Pauses().empty());
  // Discovery, then the command session, both to the relation's address on
  // the EtherNet/IP port.
  const auto attempts = sockets.Attempts();
  ASSERT_EQ(attempts.size(), 2u);
  for (const auto& attempt : attempts) {
    EXPECT_EQ(attempt.address, kFirstDevice);
    EXPECT_EQ(attempt.port, kEnipPort);
  }
  EXPECT_EQ(device.Connections(), 2);
  // A single device reports like the command always did: no summary window.
  EXPECT_FALSE(Progress().isVisible());
  EXPECT_EQ(ProgressCell(0, kStepColumn), "Succeeded");
}

struct FallbackCase {
  const char* name;
  int command;
  bool focusToList;
};

class BootpFallback : public EnipCommandsTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(BootpFallback, DeviceRefusingDhcpGetsBootpAfterThePause) {
  REQUIRE_DEVICE_NAMESPACE();
  const FallbackCase& c = GetParam();
  DeviceConfig config;
  config.rejectedValues[2] = 9;
  DeviceSim& device = Device(kFirstDevice, config);
  List(kFirstMac, kFirstDevice);
  SelectAll();

  if (c.command == ids::kEnableButton) {
    Click(c.command);
  } else {
    ASSERT_TRUE(window->OnCommand(c.command));
  }
  EXPECT_EQ(QApplication::focusWidget() == &RelationList(), c.focusToList);
  ASSERT_TRUE(WaitForRun());

  EXPECT_TRUE(surroundings.prompts.Shown().empty());  // the refused DHCP attempt is only on the status line
  EXPECT_EQ(window->StatusText(), "[Enable BOOTP] Command successful");
  EXPECT_EQ(device.LastConfigurationWrite(), 0x01u);
  EXPECT_EQ(device.Connections(), 3);  // discovery, DHCP attempt, BOOTP attempt
  EXPECT_EQ(Pauses(), std::vector<milliseconds>{milliseconds(1000)});
}

INSTANTIATE_TEST_SUITE_P(Commands, BootpFallback,
                         ::testing::Values(FallbackCase{"Menu", ids::kEnableBootpDhcp, false},
                                           FallbackCase{"Button", ids::kEnableButton, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnipCommandsTest, DisableButtonNamesTheServedProtocolAndLeavesFocusOnTheList) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig config;
  config.configurationControl = 0x02;
  DeviceSim& device = Device(kFirstDevice, config);
  List(kFirstMac, kFirstDevice, kRelationTypeDhcp);
  SelectAll();

  Click(ids::kDisableButton);
  EXPECT_EQ(QApplication::focusWidget(), &RelationList());
  ASSERT_TRUE(WaitForRun());

  EXPECT_EQ(window->StatusText(), "[Disable DHCP] Command successful");
  EXPECT_EQ(device.LastConfigurationWrite(), 0x00u);
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(sockets.Attempts().size(), 2u);
}

// The box still points at the status line, and now carries the reason
// itself, which the status line may no longer show when the box is read.
TEST_F(EnipCommandsTest, DisableOnARefusingDeviceShowsOneCommunicationErrorWithTheReason) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig config;
  config.mode = ConnectionMode::Refuse;
  Device(kFirstDevice, config);
  List(kFirstMac, kFirstDevice);
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kDisableBootpDhcp));
  ASSERT_TRUE(WaitForRun());

  const std::string reason = "Socket connect failed for 00:11:22:33:44:55. (Connection refused)";
  ASSERT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{CommunicationErrorBox(reason)});
  EXPECT_EQ(sockets.Attempts().size(), 2u);  // discovery and command flow both tried
  EXPECT_EQ(window->StatusText(), reason);
}

// While a device keeps the run waiting, the window is the user's: the
// progress window names the device and its step, the commands that would
// conflict are greyed and refused, the others work, and Cancel ends the
// transaction at once.
TEST_F(EnipCommandsTest, WindowWorksDuringARunAndCancelEndsIt) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig silent;
  silent.mode = ConnectionMode::Silent;
  Device(kFirstDevice, silent);
  window->EnipSettings().waitPeriod = milliseconds(2000);  // eight seconds per reply
  // A device that takes the reset message, so that greying it means something.
  List({0x0A, 0x00, 0x3C, 0x12, 0x34, 0x56}, kFirstDevice);
  SelectAll();

  QElapsedTimer command;
  command.start();
  ASSERT_TRUE(window->OnCommand(ids::kEnableBootpDhcp));
  EXPECT_LT(command.elapsed(), 200) << "the command must not wait for the device";
  ASSERT_TRUE(window->CommissioningRunning());

  const std::string waiting = "Waiting for response to [Register Session] from [0A:00:3C:12:34:56]...";
  ASSERT_TRUE(QTest::qWaitFor([&] { return Progress().isVisible() && ProgressCell(0, kStatusColumn) == waiting; },
                              3000));
  EXPECT_EQ(ProgressCell(0, 0), "0A:00:3C:12:34:56");
  EXPECT_EQ(ProgressCell(0, 1), "10.99.0.5");
  EXPECT_EQ(ProgressCell(0, kStepColumn), "Instance discovery");
  EXPECT_EQ(window->StatusText(), waiting);
  EXPECT_EQ(Progress().windowTitle(), QStringLiteral("Enable BOOTP/DHCP"));
  EXPECT_EQ(Progress().Heading().text(), QStringLiteral("Enable BOOTP/DHCP: 0 of 1 devices done"));
  EXPECT_EQ(Progress().Button().text(), QStringLiteral("Cancel"));
  EXPECT_EQ(Progress().Button().accessibleName(), QStringLiteral("Cancel"));

  // Greyed in the menus and on the buttons...
  for (QMenu* menu : window->MenuBar()->findChildren<QMenu*>()) window->UpdateMenuEnabling(*menu);
  for (const int id : {ids::kEnableBootpDhcp, ids::kDisableBootpDhcp, ids::kDeleteRelation, ids::kProperties,
                       ids::kResetModule, ids::kFileNew, ids::kFileOpen, ids::kSelectInterface}) {
    EXPECT_FALSE(window->MenuAction(id)->isEnabled()) << id;
  }
  for (const int id : {ids::kAddRelation, ids::kNetworkSettings, ids::kFileSaveAs, ids::kFileExit}) {
    EXPECT_TRUE(window->MenuAction(id)->isEnabled()) << id;
  }
  for (const int id : {ids::kEnableButton, ids::kDisableButton, ids::kDeleteRelationButton}) {
    EXPECT_TRUE(window->Control(id)->isVisible()) << id;
    EXPECT_FALSE(window->Control(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(window->Control(ids::kAddRelationButton)->isEnabled());
  // ...and refused however they come.
  for (const int id : {ids::kDeleteRelation, ids::kFileNew, ids::kFileOpen, ids::kSelectInterface,
                       ids::kEnableBootpDhcp}) {
    EXPECT_TRUE(window->OnCommand(id)) << id;
  }
  QTest::keyClick(&RelationList(), Qt::Key_Delete);
  EXPECT_EQ(window->Relations().Count(), 1);
  EXPECT_TRUE(surroundings.log.empty()) << ::testing::PrintToString(surroundings.log);

  QElapsedTimer cancel;
  cancel.start();
  QTest::mouseClick(&Progress().Button(), Qt::LeftButton);
  ASSERT_TRUE(WaitForRun(2000));
  EXPECT_LT(cancel.elapsed(), 1000) << "Cancel must end the transaction at once";

  EXPECT_EQ(window->StatusText(), "Command cancelled for 0A:00:3C:12:34:56.");
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_TRUE(Pauses().empty());
  EXPECT_FALSE(Progress().isVisible());
  EXPECT_TRUE(window->Control(ids::kEnableButton)->isEnabled());
  EXPECT_EQ(devices[0]->Connections(), 1);  // nothing after the discovery's connection
}

// Closing the window while devices keep a run waiting ends the run at once:
// nothing waits for the devices' deadlines, and nothing reports to a window
// that has gone.
TEST_F(EnipCommandsTest, ClosingTheWindowCancelsARun) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig silent;
  silent.mode = ConnectionMode::Silent;
  Device(kFirstDevice, silent);
  Device(kSecondDevice, silent);
  window->EnipSettings().waitPeriod = milliseconds(2000);
  List(kFirstMac, kFirstDevice);
  List(kSecondMac, kSecondDevice);
  SelectAll();
  ASSERT_TRUE(window->OnCommand(ids::kDisableBootpDhcp));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return window->StatusText().rfind("Waiting for response to [Register Session]", 0) == 0; }, 3000));

  QElapsedTimer closing;
  closing.start();
  window.reset();
  EXPECT_LT(closing.elapsed(), 1000);
  QTest::qWait(50);  // whatever was still queued for the window is dropped
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
}

// The run works on what was selected when it started: the server may serve
// the device meanwhile and change its relation.
TEST_F(EnipCommandsTest, RunUsesTheRelationsAsTheyWereWhenItStarted) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig slow;
  slow.mode = ConnectionMode::Slow;
  slow.slowDelay = milliseconds(100);
  Device(kFirstDevice, slow);
  Relation* relation = List(kFirstMac, kFirstDevice, kRelationTypeDhcp);
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kDisableBootpDhcp));
  relation->type = kRelationTypeBootp;  // as the server does when it answers a BOOTP request
  ASSERT_TRUE(WaitForRun());

  EXPECT_EQ(window->StatusText(), "[Disable DHCP] Command successful");
}

// --- Several devices -------------------------------------------------------------

// The devices are handled at once, each with its own sequence, and the run
// ends with one summary in list order: the second device of the table is on
// top of the list.
TEST_F(EnipCommandsTest, SeveralDevicesEndInOneSummaryInListOrder) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceSim& first = Device(kFirstDevice, DeviceConfig{});
  DeviceSim& second = Device(kSecondDevice, DeviceConfig{});
  List(kSecondMac, kSecondDevice, kRelationTypeBootp, "alpha");
  List(kFirstMac, kFirstDevice, kRelationTypeDhcp, "zeta");
  window->SortRelations(kRelationColumnHostname);
  ASSERT_EQ(RelationList().CellText(0, kRelationColumnIp), "10.99.0.5");
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kDisableBootpDhcp));
  EXPECT_TRUE(Progress().isVisible());  // at once for several devices
  ASSERT_TRUE(WaitForRun());

  EXPECT_EQ(first.LastConfigurationWrite(), 0x00u);
  EXPECT_EQ(second.LastConfigurationWrite(), 0x00u);
  EXPECT_EQ(first.Connections(), 2);
  EXPECT_EQ(second.Connections(), 2);
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  const std::string summary = "Disable BOOTP/DHCP: 2 succeeded, 0 failed, 0 cancelled";
  EXPECT_EQ(window->StatusText(), summary);
  ASSERT_TRUE(Progress().isVisible());
  EXPECT_EQ(Progress().Heading().text(), QString::fromStdString(summary));
  EXPECT_EQ(Progress().Button().text(), QStringLiteral("Close"));
  EXPECT_EQ(ProgressCell(0, 0), "00:11:22:33:44:55");
  EXPECT_EQ(ProgressCell(0, kStepColumn), "Succeeded");
  EXPECT_EQ(ProgressCell(0, kStatusColumn), "[Disable DHCP] Command successful");
  EXPECT_EQ(ProgressCell(1, 0), "00:11:22:33:44:66");
  EXPECT_EQ(ProgressCell(1, kStatusColumn), "[Disable BOOTP] Command successful");

  QTest::mouseClick(&Progress().Button(), Qt::LeftButton);
  EXPECT_FALSE(Progress().isVisible());
}

// A failing device shows no box of its own among several: the summary names
// it with its reason, and the other device is commissioned all the same.
TEST_F(EnipCommandsTest, FailingDeviceIsInTheSummaryWithItsReason) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig refusing;
  refusing.mode = ConnectionMode::Refuse;
  Device(kFirstDevice, refusing);
  DeviceSim& second = Device(kSecondDevice, DeviceConfig{});
  List(kSecondMac, kSecondDevice, kRelationTypeNone, "alpha");
  List(kFirstMac, kFirstDevice, kRelationTypeNone, "zeta");
  window->SortRelations(kRelationColumnHostname);
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kEnableBootpDhcp));
  ASSERT_TRUE(WaitForRun());

  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(second.LastConfigurationWrite(), 0x02u);
  EXPECT_EQ(window->StatusText(), "Enable BOOTP/DHCP: 1 succeeded, 1 failed, 0 cancelled");
  EXPECT_EQ(ProgressCell(0, kStepColumn), "Failed");
  EXPECT_EQ(ProgressCell(0, kStatusColumn), "Socket connect failed for 00:11:22:33:44:55. (Connection refused)");
  EXPECT_EQ(ProgressCell(1, kStepColumn), "Succeeded");
  EXPECT_EQ(ProgressCell(1, kStatusColumn), "[Enable DHCP] Command successful");
  EXPECT_EQ(Pauses().size(), 1u);  // the refusing device's, before its BOOTP attempt
  auto addresses = sockets.Addresses();
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), kFirstDevice), 3);
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), kSecondDevice), 2);
}

}  // namespace
}  // namespace corvessa::app_test
