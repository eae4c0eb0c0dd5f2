// Enable and Disable BOOTP/DHCP from the main window's menu commands and
// buttons against simulated devices: the selected rows in list order, the
// window's status line and message boxes, the wait cursor and the focus.
//
// The devices' addresses are real device addresses (10.99.0.x), and the
// connects to them stay inside a network namespace the test makes. The
// simulator only listens on 127.0.0.1, so the window's sockets forward each
// connect to the simulator that stands in for the address asked for.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QPushButton>
#include <QTest>

#include "app/command_ids.h"
#include "app/relation_order.h"
#include "enip/socket_api.h"
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

bool WaitCursorShown() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// A network namespace of the test thread's own with nothing but loopback,
// holding the devices' addresses. The thread moves in before any simulator or
// window exists, so every socket of the test (and every thread started
// afterwards) lives there. It has no name: it goes away with its last user,
// also when the test binary crashes.
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

// Notes every connect the window makes, with what the window showed at that
// moment, and forwards it to the simulator standing in for the address. An
// address without one is refused, so nothing ever leaves loopback.
class ForwardingSockets final : public SocketApi {
 public:
  struct Attempt {
    std::uint32_t address = 0;  // host order
    std::uint16_t port = 0;
    std::string status;
    bool waitCursor = false;
  };

  int Connect(int fd, const sockaddr_in& remote, milliseconds timeout) override {
    const std::uint32_t address = ntohl(remote.sin_addr.s_addr);
    attempts.push_back({address, ntohs(remote.sin_port), window ? window->StatusText() : std::string(),
                        WaitCursorShown()});
    const auto device = devices.find(address);
    if (device == devices.end()) {
      errno = ECONNREFUSED;
      return -1;
    }
    sockaddr_in loopback = remote;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    loopback.sin_port = htons(device->second);
    return SocketApi::Connect(fd, loopback, timeout);
  }

  std::vector<std::uint32_t> Addresses() const {
    std::vector<std::uint32_t> addresses;
    for (const Attempt& attempt : attempts) addresses.push_back(attempt.address);
    return addresses;
  }

  const CProvanDlg* window = nullptr;
  std::map<std::uint32_t, std::uint16_t> devices;  // address -> simulator port
  std::vector<Attempt> attempts;
};

struct Pause {
  milliseconds length;
  bool waitCursor;
};

struct Box {
  ShownPrompt prompt;
  bool waitCursor;
  std::size_t connectsBefore;
};

class EnipCommandsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Namespace().Create(); }
  static void TearDownTestSuite() { Namespace().Remove(); }

  void SetUp() override {
    window = std::make_unique<CProvanDlg>(surroundings.Environment());
    window->SetupLists();
    EnipContext& enip = window->EnipSettings();
    enip.sockets = &sockets;
    // Bounds on a test that goes wrong; the simulator answers at once.
    enip.connectTimeout = std::chrono::seconds(5);
    enip.waitPeriod = milliseconds(500);
    enip.sleep = [this](milliseconds length) { pauses.push_back({length, WaitCursorShown()}); };
    sockets.window = window.get();
    surroundings.prompts.OnShown([this](const ShownPrompt& shown) {
      boxes.push_back({shown, WaitCursorShown(), sockets.attempts.size()});
    });
    window->UpdateButtons();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  void TearDown() override {
    window->hide();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor outlived the command";
  }

  bool NamespaceMissing() const { return !Namespace().reason.empty(); }

  DeviceSim& Device(std::uint32_t address, DeviceConfig config) {
    devices.push_back(std::make_unique<DeviceSim>(std::move(config)));
    DeviceSim& device = *devices.back();
    EXPECT_TRUE(device.ok()) << "the simulated device could not bind 127.0.0.1";
    sockets.devices[address] = device.Port();
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

  std::vector<ShownPrompt> Shown() const {
    std::vector<ShownPrompt> shown;
    for (const Box& box : boxes) shown.push_back(box.prompt);
    return shown;
  }

  Surroundings surroundings;
  ForwardingSockets sockets;
  std::vector<std::unique_ptr<DeviceSim>> devices;
  std::vector<Pause> pauses;
  std::vector<Box> boxes;
  std::unique_ptr<CProvanDlg> window;
};

#define REQUIRE_DEVICE_NAMESPACE()                                   \
  do {                                                               \
    if (NamespaceMissing()) GTEST_SKIP() << Namespace().reason;      \
  } while (false)

const ShownPrompt kSelectAddressBox{kSelectAddress, "Select An Address", PromptKind::Message};
const ShownPrompt kCommunicationErrorBox{kCommunicationError, "Communication Error", PromptKind::Message};

// --- Nothing selected ---------------------------------------------------------

struct NoSelectionCase {
  const char* name;
  int command;
  bool waitCursorAtBox;  // only the menu commands show it around the body
  bool focusToList;      // only the buttons move the focus
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

  ASSERT_EQ(Shown(), std::vector<ShownPrompt>{kSelectAddressBox});
  EXPECT_EQ(boxes[0].waitCursor, c.waitCursorAtBox);
  EXPECT_TRUE(sockets.attempts.empty());
  EXPECT_TRUE(pauses.empty());
  EXPECT_EQ(window->StatusText(), "Listening for connected devices...");
  EXPECT_EQ(QApplication::focusWidget(), c.focusToList ? static_cast<QWidget*>(&RelationList()) : add);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NoSelection,
    ::testing::Values(NoSelectionCase{"EnableButton", ids::kEnableButton, false, true},
                      NoSelectionCase{"DisableButton", ids::kDisableButton, false, true},
                      NoSelectionCase{"EnableMenu", ids::kEnableBootpDhcp, true, false},
                      NoSelectionCase{"DisableMenu", ids::kDisableBootpDhcp, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- One device -----------------------------------------------------------------

TEST_F(EnipCommandsTest, EnableFromTheMenuWritesDhcpUnderTheWaitCursor) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig config;
  config.maxInstance = 1;
  config.configurationControl = 0x10;
  DeviceSim& device = Device(kFirstDevice, config);
  List(kFirstMac, kFirstDevice);
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kEnableBootpDhcp));

  EXPECT_EQ(window->StatusText(), "[Enable DHCP] Command successful");
  EXPECT_EQ(device.LastConfigurationWrite(), 0x12u);  // DHCP, the 0x10 bit kept
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(pauses.empty());
  // Discovery, then the command session, both to the relation's address on
  // the EtherNet/IP port; the status line shows each step as it happens.
  ASSERT_EQ(sockets.attempts.size(), 2u);
  for (const auto& attempt : sockets.attempts) {
    EXPECT_EQ(attempt.address, kFirstDevice);
    EXPECT_EQ(attempt.port, kEnipPort);
    EXPECT_EQ(attempt.status, "Attempting to connect to 00:11:22:33:44:55...");
    EXPECT_TRUE(attempt.waitCursor);
  }
  EXPECT_EQ(device.Connections(), 2);
}

struct FallbackCase {
  const char* name;
  int command;
  bool waitCursorInPause;
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

  EXPECT_TRUE(boxes.empty());  // the refused DHCP attempt is only on the status line
  EXPECT_EQ(window->StatusText(), "[Enable BOOTP] Command successful");
  EXPECT_EQ(device.LastConfigurationWrite(), 0x01u);
  EXPECT_EQ(device.Connections(), 3);  // discovery, DHCP attempt, BOOTP attempt
  // Between the attempts no flow is running: only the menu command's own
  // wait cursor can be up.
  ASSERT_EQ(pauses.size(), 1u);
  EXPECT_EQ(pauses[0].length, milliseconds(1000));
  EXPECT_EQ(pauses[0].waitCursor, c.waitCursorInPause);
}

INSTANTIATE_TEST_SUITE_P(Commands, BootpFallback,
                         ::testing::Values(FallbackCase{"Menu", ids::kEnableBootpDhcp, true},
                                           FallbackCase{"Button", ids::kEnableButton, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnipCommandsTest, DisableButtonNamesTheServedProtocolAndLeavesFocusOnTheList) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig config;
  config.configurationControl = 0x02;
  DeviceSim& device = Device(kFirstDevice, config);
  List(kFirstMac, kFirstDevice, kRelationTypeDhcp);
  SelectAll();

  Click(ids::kDisableButton);

  EXPECT_EQ(window->StatusText(), "[Disable DHCP] Command successful");
  EXPECT_EQ(device.LastConfigurationWrite(), 0x00u);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(QApplication::focusWidget(), &RelationList());
  // The flows still show their own wait cursor.
  ASSERT_EQ(sockets.attempts.size(), 2u);
  EXPECT_TRUE(sockets.attempts[0].waitCursor);
  EXPECT_TRUE(sockets.attempts[1].waitCursor);
}

TEST_F(EnipCommandsTest, DisableOnARefusingDeviceShowsOneCommunicationError) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig config;
  config.mode = ConnectionMode::Refuse;
  Device(kFirstDevice, config);
  List(kFirstMac, kFirstDevice);
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kDisableBootpDhcp));

  ASSERT_EQ(Shown(), std::vector<ShownPrompt>{kCommunicationErrorBox});
  EXPECT_TRUE(boxes[0].waitCursor);
  EXPECT_EQ(sockets.attempts.size(), 2u);  // discovery and command flow both tried
  // The box points at the status line, which keeps the failure.
  EXPECT_EQ(window->StatusText(), "Socket connect failed for 00:11:22:33:44:55. (Connection refused)");
}

TEST_F(EnipCommandsTest, RowWithoutRelationIsReportedNotSkipped) {
  ASSERT_EQ(RelationList().Rows()->InsertRow(0, {"", "", "", "", ""}), 0);
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kDisableBootpDhcp));

  EXPECT_EQ(window->StatusText(), "Could not send command: Null pointer");
  EXPECT_EQ(Shown(), std::vector<ShownPrompt>{kCommunicationErrorBox});
  EXPECT_TRUE(sockets.attempts.empty());
}

// --- Several devices -------------------------------------------------------------

// The table holds the second device first; sorted by hostname (descending on
// the first click) the list shows the first device on top, and the commands
// follow the list.
TEST_F(EnipCommandsTest, SelectedRowsAreHandledInListOrder) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceSim& first = Device(kFirstDevice, DeviceConfig{});
  DeviceSim& second = Device(kSecondDevice, DeviceConfig{});
  List(kSecondMac, kSecondDevice, kRelationTypeBootp, "alpha");
  List(kFirstMac, kFirstDevice, kRelationTypeDhcp, "zeta");
  window->SortRelations(kRelationColumnHostname);
  ASSERT_EQ(RelationList().Rows()->CellText(0, kRelationColumnIp), "10.99.0.5");
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kDisableBootpDhcp));

  EXPECT_EQ(sockets.Addresses(), (std::vector<std::uint32_t>{kFirstDevice, kFirstDevice, kSecondDevice, kSecondDevice}));
  EXPECT_EQ(first.LastConfigurationWrite(), 0x00u);
  EXPECT_EQ(second.LastConfigurationWrite(), 0x00u);
  EXPECT_EQ(window->StatusText(), "[Disable BOOTP] Command successful");  // the last row's type
  EXPECT_TRUE(boxes.empty());
}

// A failing row shows its box before the next row is tried.
TEST_F(EnipCommandsTest, FailingRowShowsItsBoxBeforeTheNextRow) {
  REQUIRE_DEVICE_NAMESPACE();
  DeviceConfig refusing;
  refusing.mode = ConnectionMode::Refuse;
  Device(kFirstDevice, refusing);
  DeviceSim& second = Device(kSecondDevice, DeviceConfig{});
  List(kSecondMac, kSecondDevice, kRelationTypeNone, "alpha");
  List(kFirstMac, kFirstDevice, kRelationTypeNone, "zeta");
  window->SortRelations(kRelationColumnHostname);
  ASSERT_EQ(RelationList().Rows()->CellText(0, kRelationColumnIp), "10.99.0.5");
  SelectAll();

  ASSERT_TRUE(window->OnCommand(ids::kEnableBootpDhcp));

  // The first device: discovery, DHCP attempt, BOOTP attempt, then its box.
  ASSERT_EQ(Shown(), std::vector<ShownPrompt>{kCommunicationErrorBox});
  EXPECT_EQ(boxes[0].connectsBefore, 3u);
  EXPECT_EQ(sockets.Addresses(),
            (std::vector<std::uint32_t>{kFirstDevice, kFirstDevice, kFirstDevice, kSecondDevice, kSecondDevice}));
  EXPECT_EQ(second.LastConfigurationWrite(), 0x02u);
  EXPECT_EQ(window->StatusText(), "[Enable DHCP] Command successful");
  EXPECT_EQ(pauses.size(), 1u);
}

}  // namespace
}  // namespace corvessa::app_test
