// The file commands where the server must run: a file named on the command
// line is opened at the end of the start-up, and a change of interface with
// unsaved relations asks first. The window runs inside a network namespace
// of the test's own with two interfaces, A and B; nothing is sent.

#include <net/if.h>
#include <sys/socket.h>

#include "netconfig/startup_settings.h"
#include "app/command_ids.h"
#include "core/settings_names.h"
#include "tests/app/netns_fixture.h"
#include "tests/app/test_file_commands_support.h"
#include "ui/network_settings_store.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

const auto* const kNamespaces = ::testing::AddGlobalTestEnvironment(new NamespaceEnvironment);

namespace names = settings_names;

const ShownPrompt kSaveQuestion{"Would you like to save your changes?", "Save Changes", PromptKind::YesNoCancel};

// The interface the socket is bound to (SO_BINDTODEVICE), "" when none.
std::string BoundDevice(int fd) {
  char name[IFNAMSIZ] = {};
  socklen_t length = sizeof name;
  if (getsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, name, &length) != 0) return "getsockopt failed";
  return std::string(name);
}

bool SameSettings(const NetworkSettings& a, const NetworkSettings& b) {
  return a.subnetMask == b.subnetMask && a.gateway == b.gateway && a.dns1 == b.dns1 && a.dns2 == b.dns2 &&
         a.DomainName() == b.DomainName();
}

class NamespaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)kNamespaces;
    REQUIRE_NAMESPACES();
    loopback = MakeInterface("lo", 1, kLoopbackLinkType, true, {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}});
    interfaceA = MakeInterface(A(), 10, kEthernetLinkType, true, {{Ip(192, 168, 77, 1), Ip(255, 255, 255, 0)}});
    interfaceB = MakeInterface(B(), 11, kEthernetLinkType, true, {{Ip(10, 9, 0, 1), Ip(255, 255, 255, 0)}});

    // A user who has worked on both interfaces before and last chose A.
    SettingsStore& store = surroundings.store;
    store.SetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart, startup_settings::kFirstStartDone);
    store.SetString(names::kVersionSection, names::kLastAdapter, A());
    store.SetString(A(), names::kIpAddress, "192.168.77.1");
    SaveNetworkSettings(store, A(), ValidSettings());
    NetworkSettings forB = ValidSettings();
    forB.gateway = Ip(10, 9, 0, 254);
    SaveNetworkSettings(store, B(), forB);
  }

  std::string A() const { return Namespaces().link.serverIf; }
  std::string B() const { return Namespaces().secondIf; }
  std::string PathOf(std::string_view name) const { return (surroundings.folder.Path() / name).string(); }

  Surroundings surroundings;
  HostInterface loopback;
  HostInterface interfaceA;
  HostInterface interfaceB;
};

// --- A file named on the command line ---

TEST_F(NamespaceFileTest, OneArgumentOpensTheFileAfterTheSettingsAreLoaded) {
  // Invalid stored settings: the settings dialog comes first, the file after it.
  SaveNetworkSettings(surroundings.store, A(), NetworkSettings{});
  surroundings.networkDialogs.enteredSettings = ValidSettings();
  surroundings.host.interfaces = {loopback, interfaceA};
  const std::string path = PathOf("plant.bpc");
  WriteWholeFile(path, ThreeRelationsBpc());
  corvessa::Environment env = surroundings.Environment();
  env.arguments = {path};

  MainWindow window(std::move(env));
  ASSERT_TRUE(window.OnInitDialog());
  EXPECT_EQ(surroundings.log,
            (EventLog{"message: " + std::string(LoadString(kIdsConfigureNetworkSettings)), "settings dialog"}));
  // The file's settings replaced the ones just entered.
  EXPECT_EQ(window.Settings().subnetMask, kFileMask);
  EXPECT_EQ(window.Settings().gateway, kFileGateway);
  EXPECT_EQ(window.Settings().DomainName(), kFileDomain);
  EXPECT_EQ(window.Relations().Count(), 3);
  EXPECT_EQ(window.RelationTableView()->CellText(0, 0), kThird.macText);
  EXPECT_EQ(window.StatusText(), "Load file complete");
  EXPECT_EQ(ToStdString(window.windowTitle()), "Corvessa - " + path);
  EXPECT_FALSE(window.Modified());
  EXPECT_TRUE(surroundings.fileDialogs.Requests().empty());
}

TEST_F(NamespaceFileTest, TwoArgumentsOpenNothingEvenWhenBothAreFiles) {
  surroundings.host.interfaces = {loopback, interfaceA};
  WriteWholeFile(PathOf("a.bpc"), ThreeRelationsBpc());
  WriteWholeFile(PathOf("b.bpc"), ThreeRelationsBpc());
  corvessa::Environment env = surroundings.Environment();
  env.arguments = {PathOf("a.bpc"), PathOf("b.bpc")};

  MainWindow window(std::move(env));
  ASSERT_TRUE(window.OnInitDialog());
  EXPECT_EQ(window.Relations().Count(), 0);
  EXPECT_EQ(window.CurrentFileName(), "");
  EXPECT_EQ(window.StatusText(), "Listening for connected devices...");
  EXPECT_EQ(window.Settings().gateway, ValidSettings().gateway);
}

// --- Changing the interface with unsaved changes ---

class InterfaceChangeTest : public NamespaceFileTest {
 protected:
  void SetUp() override {
    NamespaceFileTest::SetUp();
    if (IsSkipped()) return;
    surroundings.host.interfaces = {loopback, interfaceA, interfaceB};
    surroundings.networkDialogs.chosenAdapter = Adapter{A(), "192.168.77.1"};
    window = std::make_unique<MainWindow>(surroundings.Environment());
    ASSERT_TRUE(window->OnInitDialog());
    ASSERT_EQ(BoundDevice(window->Runtime().Fd()), A());

    // plant.bpc loaded, its top row deleted: two relations, not saved.
    file = PathOf("plant.bpc");
    WriteWholeFile(file, ThreeRelationsBpc());
    surroundings.fileDialogs.QueueAnswer(file);
    ASSERT_TRUE(window->Files().LoadConfiguration(true));
    window->RelationTableView()->SelectRow(0, false);
    window->OnCommand(ids::kDeleteRelation);
    ASSERT_TRUE(window->Modified());
    // A request from a device that is not listed: a history row, no reply.
    const std::vector<std::uint8_t> request = BootpRequest({0x02, 0x00, 0x00, 0x00, 0x00, 0x99});
    window->HandleDatagram(request.data(), request.size());
    ASSERT_EQ(window->History().RowCount(), 1);

    fileBefore = ReadWholeFile(file);
    settingsBefore = window->Settings();
    fdBefore = window->Runtime().Fd();
    surroundings.networkDialogs.chosenAdapter = Adapter{B(), "10.9.0.1"};
    surroundings.log.clear();
    surroundings.prompts.ClearShown();
  }

  void ExpectNothingChanged(const std::string& label) {
    EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion}) << label;
    EXPECT_EQ(window->StatusText(), "The network interface was not changed.") << label;
    EXPECT_EQ(ReadLastAdapter(surroundings.store), A()) << label;
    EXPECT_EQ(window->Runtime().Fd(), fdBefore) << label;
    EXPECT_EQ(BoundDevice(window->Runtime().Fd()), A()) << label;
    EXPECT_EQ(window->Relations().Count(), 2) << label;
    EXPECT_EQ(window->RelationTableView()->RowCount(), 2) << label;
    EXPECT_EQ(window->History().RowCount(), 1) << label;
    EXPECT_TRUE(window->Modified()) << label;
    EXPECT_TRUE(SameSettings(window->Settings(), settingsBefore)) << label;
    EXPECT_EQ(surroundings.store.GetDword(A(), names::kGateway), ValidSettings().gateway) << label;
  }

  std::unique_ptr<MainWindow> window;
  std::string file;
  std::string fileBefore;
  NetworkSettings settingsBefore;
  int fdBefore = -1;
};

TEST_F(InterfaceChangeTest, CancelKeepsTheServerTheListsAndTheSelectedInterface) {
  surroundings.prompts.QueueAnswer(PromptAnswer::Cancel);
  window->OnCommand(ids::kSelectInterface);
  ExpectNothingChanged("cancel");
  EXPECT_EQ(ReadWholeFile(file), fileBefore);
}

TEST_F(InterfaceChangeTest, SaveThatFailsStopsTheChangeLikeCancel) {
  ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(PathOf("no-such-folder/plant.bpc")));
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);
  window->OnCommand(ids::kSelectInterface);
  ExpectNothingChanged("failed save");
  EXPECT_EQ(ReadWholeFile(file), fileBefore);
}

TEST_F(InterfaceChangeTest, SaveDialogCancelledStopsTheChangeLikeCancel) {
  ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(""));
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);
  surroundings.fileDialogs.QueueAnswer(std::nullopt);
  window->OnCommand(ids::kSelectInterface);
  ExpectNothingChanged("save dialog cancelled");
  EXPECT_EQ(surroundings.fileDialogs.Requests().back().kind, FileDialogKind::Save);
}

TEST_F(InterfaceChangeTest, NoSwitchesAndEmptiesBothLists) {
  surroundings.prompts.QueueAnswer(PromptAnswer::No);
  window->OnCommand(ids::kSelectInterface);
  EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion});
  EXPECT_EQ(ReadLastAdapter(surroundings.store), B());
  EXPECT_EQ(BoundDevice(window->Runtime().Fd()), B());
  EXPECT_EQ(window->Relations().Count(), 0);
  EXPECT_EQ(window->RelationTableView()->RowCount(), 0);
  EXPECT_EQ(window->History().RowCount(), 0);
  EXPECT_EQ(window->Settings().gateway, Ip(10, 9, 0, 254));
  EXPECT_EQ(ReadWholeFile(file), fileBefore);
  // The window is as after New: a later Save or Yes at exit must not write
  // the empty list over the user's file.
  EXPECT_FALSE(window->Modified());
  EXPECT_EQ(window->CurrentFileName(), "");
  EXPECT_EQ(ToStdString(window->windowTitle()), "Corvessa");
  surroundings.prompts.ClearShown();
  window->OnCommand(ids::kFileExit);
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(ReadWholeFile(file), fileBefore);
}

TEST_F(InterfaceChangeTest, YesSavesToTheCurrentFileThenSwitches) {
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);
  const std::size_t asked = surroundings.fileDialogs.Requests().size();
  window->OnCommand(ids::kSelectInterface);

  FileBytes expected = BpcHeader(kVersion3, 2);
  AppendRecord(expected, kFirst);
  AppendRecord(expected, kSecond);
  EXPECT_EQ(ReadWholeFile(file), std::string(expected.Bytes().begin(), expected.Bytes().end()));
  EXPECT_EQ(surroundings.fileDialogs.Requests().size(), asked);
  EXPECT_EQ(window->StatusText(), "Save file complete");
  EXPECT_FALSE(window->Modified());
  EXPECT_EQ(ReadLastAdapter(surroundings.store), B());
  EXPECT_EQ(BoundDevice(window->Runtime().Fd()), B());
  EXPECT_EQ(window->Relations().Count(), 0);
  EXPECT_EQ(window->History().RowCount(), 0);
  EXPECT_EQ(window->CurrentFileName(), "");
  EXPECT_EQ(ToStdString(window->windowTitle()), "Corvessa");
}

}  // namespace
}  // namespace corvessa::app_test
