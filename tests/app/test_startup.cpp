// The start-up sequence of the main window in the order the user meets it,
// each of its fatal ends, the settings saved when the window ends, a file
// named on the command line, and the change of interface. The server runs in
// a network namespace of the test's own; the steps that end before the server
// starts run without one.

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "netconfig/startup_settings.h"
#include "app/command_ids.h"
#include "core/settings_names.h"
#include "netconfig/widgets/interface_dialog.h"
#include "tests/app/netns_fixture.h"
#include "tests/app/window_fixture.h"
#include "ui/network_settings_store.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

const auto* const kNamespaces = ::testing::AddGlobalTestEnvironment(new NamespaceEnvironment);

namespace names = settings_names;

std::string Message(int id) { return "message: " + std::string(LoadString(id)); }

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)kNamespaces;
    loopback = MakeInterface("lo", 1, kLoopbackLinkType, true, {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}});
  }

  std::string A() const { return Namespaces().link.serverIf; }
  std::string B() const { return Namespaces().secondIf; }
  HostInterface InterfaceA() const {
    return MakeInterface(A(), 10, kEthernetLinkType, true, {{Ip(192, 168, 77, 1), Ip(255, 255, 255, 0)}});
  }
  HostInterface InterfaceB() const {
    return MakeInterface(B(), 11, kEthernetLinkType, true, {{Ip(10, 9, 0, 1), Ip(255, 255, 255, 0)}});
  }

  // A user who has run the program before on interface A with valid settings.
  void PrepareReturningUser() {
    SettingsStore& store = surroundings.store;
    store.SetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart, startup_settings::kFirstStartDone);
    store.SetString(names::kVersionSection, names::kLastAdapter, A());
    store.SetString(A(), names::kIpAddress, "192.168.77.1");
    SaveNetworkSettings(store, A(), ValidSettings());
  }

  std::string SettingsBytes() const { return ReadWholeFile(surroundings.SettingsPath()); }

  // Runs the window modally; once it shows, notes "main window" and asks it
  // to end.
  int RunModal(MainWindow& window) {
    QTimer::singleShot(0, &window, [this, &window] {
      surroundings.log.push_back(window.isVisible() ? "main window" : "main window not visible");
      window.OnCommand(ids::kFileExit);
    });
    return window.DoModal();
  }

  Surroundings surroundings;
  HostInterface loopback;
};

// --- Order of what the user sees ---

TEST_F(StartupTest, FirstStartShowsWarningInterfaceChoiceSetupMessageSettingsThenWindow) {
  REQUIRE_NAMESPACES();
  surroundings.firewall.failingProfile = "DomainProfile";
  surroundings.host.interfaces = {loopback, InterfaceA(), InterfaceB()};
  surroundings.networkDialogs.chosenAdapter = Adapter{A(), "192.168.77.1"};
  surroundings.networkDialogs.enteredSettings = ValidSettings();
  // The settings dialog's OK marks the configuration modified.
  surroundings.prompts.QueueAnswer(PromptAnswer::No);

  auto window = std::make_unique<MainWindow>(surroundings.Environment());
  RunModal(*window);
  EXPECT_EQ(surroundings.log, (EventLog{Message(kIdsFirewallWarning), "interface dialog",
                                        Message(kIdsConfigureNetworkSettings), "settings dialog", "main window",
                                        Message(kIdsSaveChangesPrompt)}));
  const std::vector<ShownPrompt>& shown = surroundings.prompts.Shown();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, "Network Setup Warning");
  EXPECT_EQ(shown[1].caption, "Network Setup");
  EXPECT_EQ(surroundings.fatalExits, 0);

  window.reset();
  SettingsStore& store = surroundings.store;
  EXPECT_EQ(store.GetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart), 1u);
  EXPECT_EQ(ReadLastAdapter(store), A());
  EXPECT_EQ(store.GetDword(A(), names::kSubnetMask), 0xFFFFFF00u);
  EXPECT_EQ(store.GetDword(A(), names::kGateway), Ip(192, 168, 77, 254));
  EXPECT_EQ(store.GetString(A(), names::kDomainName), "plant.local");
}

TEST_F(StartupTest, ReturningUserGoesStraightToTheWindow) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  // A firewall warning belongs to the first start only.
  surroundings.firewall.failingProfile = "PublicProfile";
  surroundings.host.interfaces = {loopback, InterfaceA()};

  MainWindow window(surroundings.Environment());
  QTimer::singleShot(0, &window, [&] {
    surroundings.log.push_back("main window");
    EXPECT_EQ(ToStdString(window.windowTitle()), "Corvessa");
    EXPECT_EQ(window.StatusText(), "Listening for connected devices...");
    EXPECT_EQ(ToStdString(qobject_cast<QLabel*>(window.Control(ids::kRelationCounter))->text()), "0 of 256");
    EXPECT_FALSE(window.Control(ids::kAddRelationButton)->isHidden());
    EXPECT_TRUE(window.Control(ids::kClearHistoryButton)->isHidden());
    EXPECT_TRUE(window.Control(ids::kDeleteRelationButton)->isHidden());
    EXPECT_TRUE(window.Runtime().HasSocket());
    window.OnCommand(ids::kFileExit);
  });
  window.DoModal();
  EXPECT_EQ(surroundings.log, EventLog{"main window"});
  EXPECT_EQ(window.Settings().subnetMask, 0xFFFFFF00u);
}

// --- The host's firewall on the chosen interface ---

TEST_F(StartupTest, FirewallThatDropsTheRequestsIsNamedAtEveryStartUntilItIsOpen) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA()};
  surroundings.firewall.portFinding = {PortVerdict::Blocked, "firewalld drops UDP 67 here"};
  for (int start = 1; start <= 2; ++start) {
    SCOPED_TRACE(start);
    surroundings.log.clear();
    MainWindow window(surroundings.Environment());
    RunModal(window);
    EXPECT_EQ(surroundings.log, (EventLog{"message: firewalld drops UDP 67 here", "main window"}));
    EXPECT_EQ(surroundings.prompts.Shown().back().caption, "Network Setup Warning");
  }
  EXPECT_EQ(surroundings.firewall.portChecks, (std::vector<std::string>{A(), A()}));

  surroundings.firewall.portFinding = {PortVerdict::Open, ""};
  surroundings.log.clear();
  MainWindow window(surroundings.Environment());
  RunModal(window);
  EXPECT_EQ(surroundings.log, EventLog{"main window"});
}

// ufw's rules cannot be read without privileges: that it may drop the
// requests is said once per interface, not at every start.
TEST_F(StartupTest, FirewallThatMayDropTheRequestsIsNamedOncePerInterface) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA()};
  surroundings.firewall.portFinding = {PortVerdict::MayBlock, "ufw may drop UDP 67 here"};
  for (const EventLog& expected : {EventLog{"message: ufw may drop UDP 67 here", "main window"},
                                   EventLog{"main window"}}) {
    surroundings.log.clear();
    MainWindow window(surroundings.Environment());
    RunModal(window);
    EXPECT_EQ(surroundings.log, expected);
  }
  EXPECT_EQ(surroundings.store.GetDword(A(), startup_settings::kFirewallNotice), 1u);
}

// --- Fatal ends: message (if any), the fatal exit, and nothing saved ---

TEST_F(StartupTest, NoUsableAddressEndsAfterItsMessage) {
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback};
  surroundings.host.answer = std::vector<std::uint32_t>{Ip(127, 0, 1, 1)};
  const std::string before = SettingsBytes();
  {
    MainWindow window(surroundings.Environment());
    EXPECT_FALSE(window.OnInitDialog());
  }
  EXPECT_EQ(surroundings.log, (EventLog{Message(kIdsNoValidIpAddress), "fatal exit"}));
  EXPECT_EQ(surroundings.prompts.Shown().at(0).caption, "Network Setup Warning");
  EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(StartupTest, SocketsThatCannotStartEndAfterTheirMessage) {
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA()};
  const std::string before = SettingsBytes();
  {
    corvessa::Environment env = surroundings.Environment();
    env.startSockets = [] { return false; };
    MainWindow window(std::move(env));
    EXPECT_FALSE(window.OnInitDialog());
  }
  EXPECT_EQ(surroundings.log, (EventLog{"message: Windows sockets initialization failed.", "fatal exit"}));
  EXPECT_EQ(surroundings.prompts.Shown().at(0).caption, "Network Setup Warning");
  EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(StartupTest, InterfaceChoiceClosedWithoutOkEndsSilently) {
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA(), InterfaceB()};
  surroundings.networkDialogs.chosenAdapter.reset();
  const std::string before = SettingsBytes();
  {
    MainWindow window(surroundings.Environment());
    EXPECT_FALSE(window.OnInitDialog());
  }
  EXPECT_EQ(surroundings.log, (EventLog{"interface dialog", "fatal exit"}));
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(StartupTest, RealInterfaceDialogClosedWithEscapeEndsSilently) {
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA(), InterfaceB()};
  const std::string before = SettingsBytes();
  int listedRows = -1;
  {
    corvessa::Environment env = surroundings.Environment();
    env.networkDialogs = nullptr;  // the real InterfaceDialog
    MainWindow window(std::move(env));
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<InterfaceDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      listedRows = dialog->List()->topLevelItemCount();
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(window.OnInitDialog());
  }
  EXPECT_EQ(listedRows, 2);
  EXPECT_EQ(surroundings.fatalExits, 1);
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(StartupTest, PortHeldByAnotherProgramEndsAfterNamingIt) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA()};
  // This test process plays the other program: it holds UDP 67 first.
  const int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(holder, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(67);
  ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const std::string before = SettingsBytes();
  {
    MainWindow window(surroundings.Environment());
    EXPECT_FALSE(window.OnInitDialog());
    EXPECT_FALSE(window.Runtime().HasSocket());
  }
  close(holder);
  ASSERT_EQ(surroundings.prompts.Shown().size(), 1u);
  const ShownPrompt& shown = surroundings.prompts.Shown()[0];
  EXPECT_EQ(shown.text.rfind(std::string(LoadString(kIdsPort67InUse)), 0), 0u) << shown.text;
  EXPECT_NE(shown.text.find("PID: " + std::to_string(getpid()) + ";"), std::string::npos) << shown.text;
  EXPECT_EQ(shown.caption, "Network Setup Warning");
  EXPECT_EQ(surroundings.fatalExits, 1);
  EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(StartupTest, InterfaceThatDoesNotExistEndsAfterTheSocketMessage) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  surroundings.store.SetString(names::kVersionSection, names::kLastAdapter, "ghost0");
  surroundings.store.SetString("ghost0", names::kIpAddress, "192.168.77.1");
  surroundings.host.interfaces = {
      loopback, MakeInterface("ghost0", 12, kEthernetLinkType, true, {{Ip(192, 168, 77, 1), Ip(255, 255, 255, 0)}})};
  const std::string before = SettingsBytes();
  {
    MainWindow window(surroundings.Environment());
    EXPECT_FALSE(window.OnInitDialog());
  }
  EXPECT_EQ(surroundings.log, (EventLog{Message(kIdsServerSocketCreateFailed), "fatal exit"}));
  EXPECT_EQ(SettingsBytes(), before);
}

// --- Ending and saving ---

TEST_F(StartupTest, EnterWithoutChangesEndsAndSavesTheSettings) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA()};
  {
    MainWindow window(surroundings.Environment());
    ASSERT_TRUE(window.OnInitDialog());
    window.show();
    // Changed in memory only; the file gets it when the window ends.
    ChangeSettings(window, [&](NetworkSettings& s) { s.dns1 = Ip(192, 168, 77, 53); });
    QTest::keyClick(window.RelationTableView(), Qt::Key_Return);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(surroundings.prompts.Shown().empty());
    EXPECT_EQ(surroundings.store.GetDword(A(), names::kDns1), 0u);
  }
  EXPECT_EQ(surroundings.store.GetDword(A(), names::kDns1), Ip(192, 168, 77, 53));
  EXPECT_EQ(surroundings.store.GetDword(A(), names::kSubnetMask), 0xFFFFFF00u);
}

// --- A file named on the command line ---

TEST_F(StartupTest, OneArgumentIsLoadedAsTheConfigurationFile) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA()};
  corvessa::Environment env = surroundings.Environment();
  env.arguments = {"data.xyz"};
  MainWindow window(std::move(env));
  ASSERT_TRUE(window.OnInitDialog());
  // Neither .bpc nor .csv: refused before anything is read, the name stays.
  EXPECT_EQ(window.StatusText(), "Load file failed: exception caught while trying to read file");
  EXPECT_EQ(window.CurrentFileName(), "data.xyz");
}

TEST_F(StartupTest, TwoArgumentsOpenNothing) {
  REQUIRE_NAMESPACES();
  PrepareReturningUser();
  surroundings.host.interfaces = {loopback, InterfaceA()};
  corvessa::Environment env = surroundings.Environment();
  env.arguments = {"a.bpc", "b.bpc"};
  MainWindow window(std::move(env));
  ASSERT_TRUE(window.OnInitDialog());
  EXPECT_EQ(window.StatusText(), "Listening for connected devices...");
  EXPECT_EQ(window.CurrentFileName(), "");
}

// --- Change of interface ---

class SelectInterfaceTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    if (!Namespaces().Available()) GTEST_SKIP() << Namespaces().reason;
    PrepareReturningUser();
    surroundings.host.interfaces = {loopback, InterfaceA(), InterfaceB()};
    // Start-up asks for the interface: A.
    surroundings.networkDialogs.chosenAdapter = Adapter{A(), "192.168.77.1"};
    window = std::make_unique<MainWindow>(surroundings.Environment());
    ASSERT_TRUE(window->OnInitDialog());
    surroundings.log.clear();

    window->Relations().Append(MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 77, 50)));
    window->RefreshRelationList();
    window->UpdateRelationCounter();
    const std::vector<std::uint8_t> request = BootpRequest({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
    window->HandleDatagram(request.data(), request.size());
    ASSERT_EQ(window->History().RowCount(), 1);
  }

  int HomeIndex() const { return window->Runtime().Socket()->HomeInterfaceIndex(); }

  std::unique_ptr<MainWindow> window;
};

TEST_F(SelectInterfaceTest, AnotherInterfaceSavesTheOldSettingsAndLoadsTheNew) {
  ChangeSettings(*window, [&](NetworkSettings& s) { s.gateway = Ip(192, 168, 77, 1); });  // changed in memory on A
  NetworkSettings forB;
  forB.subnetMask = Ip(255, 255, 255, 0);
  forB.gateway = Ip(10, 9, 0, 254);
  surroundings.networkDialogs.chosenAdapter = Adapter{B(), "10.9.0.1"};
  surroundings.networkDialogs.enteredSettings = forB;

  window->OnCommand(ids::kSelectInterface);

  // B has no settings yet: the setup message and the dialog.
  EXPECT_EQ(surroundings.log,
            (EventLog{"interface dialog", Message(kIdsConfigureNetworkSettings), "settings dialog"}));
  EXPECT_EQ(surroundings.store.GetDword(A(), names::kGateway), Ip(192, 168, 77, 1));
  EXPECT_EQ(window->History().RowCount(), 0);
  EXPECT_EQ(window->RelationTableView()->RowCount(), 0);
  EXPECT_EQ(window->Relations().Count(), 0);
  EXPECT_EQ(ToStdString(qobject_cast<QLabel*>(window->Control(ids::kRelationCounter))->text()), "0 of 256");
  EXPECT_EQ(HomeIndex(), static_cast<int>(if_nametoindex(B().c_str())));
  EXPECT_EQ(window->Settings().gateway, Ip(10, 9, 0, 254));

  // Back to A: B's settings are saved, A's come back without a question.
  // (Nothing unsaved this time: the settings dialog's OK marked a change.)
  window->CurrentSession().SetModified(false);
  surroundings.log.clear();
  surroundings.networkDialogs.chosenAdapter = Adapter{A(), "192.168.77.1"};
  window->OnCommand(ids::kSelectInterface);
  EXPECT_EQ(surroundings.log, EventLog{"interface dialog"});
  EXPECT_EQ(surroundings.store.GetDword(B(), names::kGateway), Ip(10, 9, 0, 254));
  EXPECT_EQ(window->Settings().gateway, Ip(192, 168, 77, 1));
  EXPECT_EQ(HomeIndex(), static_cast<int>(if_nametoindex(A().c_str())));
}

TEST_F(SelectInterfaceTest, AnotherInterfaceHasItsFirewallChecked) {
  surroundings.firewall.portFinding = {PortVerdict::Blocked, "firewalld drops UDP 67 here"};
  surroundings.networkDialogs.chosenAdapter = Adapter{B(), "10.9.0.1"};
  surroundings.networkDialogs.enteredSettings.reset();
  window->CurrentSession().SetModified(false);
  window->OnCommand(ids::kSelectInterface);
  EXPECT_EQ(surroundings.log, (EventLog{"interface dialog", "message: firewalld drops UDP 67 here",
                                        Message(kIdsConfigureNetworkSettings), "settings dialog"}));
  EXPECT_EQ(surroundings.firewall.portChecks.back(), B());
}

TEST_F(SelectInterfaceTest, TheSameInterfaceChangesNothing) {
  const int fd = window->Runtime().Fd();
  surroundings.store.SetString(A(), names::kIpAddress, "stale");
  window->OnCommand(ids::kSelectInterface);
  EXPECT_EQ(surroundings.log, EventLog{"interface dialog"});
  EXPECT_EQ(window->Runtime().Fd(), fd);
  EXPECT_EQ(window->History().RowCount(), 1);
  EXPECT_EQ(window->Relations().Count(), 1);
  // Only the chosen interface's address is written again.
  EXPECT_EQ(ReadInterfaceAddressText(surroundings.store, A()), "192.168.77.1");
}

TEST_F(SelectInterfaceTest, DialogClosedWithoutOkChangesNothing) {
  surroundings.networkDialogs.chosenAdapter.reset();
  window->OnCommand(ids::kSelectInterface);
  EXPECT_EQ(window->History().RowCount(), 1);
  EXPECT_EQ(window->Relations().Count(), 1);
  EXPECT_EQ(ReadLastAdapter(surroundings.store), A());
  EXPECT_EQ(surroundings.fatalExits, 0);
}

}  // namespace
}  // namespace corvessa::app_test
