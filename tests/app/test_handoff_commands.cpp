// File, Import and File, Export in the main window: the dialogs they show,
// the files they write, the list an import leaves, and what a refusal shows.

#include <QCheckBox>
#include <QLineEdit>

#include "session/handoff_texts.h"
#include "files/dnsmasq_config.h"
#include "files/kea_config.h"
#include "files/widgets/kea_export_dialog.h"
#include "tests/app/test_file_commands_fixture.h"

namespace corvessa::app_test {
namespace {

class HandoffCommandsTest : public FileCommandsTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(surroundings.store.SetString("Version 3.06.00", "lastadapter", "eth7"));
    ASSERT_TRUE(surroundings.store.SetString("eth7", "ipaddress", "192.168.1.5"));
    surroundings.environmentKeaDialog = [this](KeaOptions& options, int bootpDevices) {
      shownBootpDevices.push_back(bootpDevices);
      if (!keaAnswer) return false;
      options = *keaAnswer;
      return true;
    };
    FileCommandsTest::SetUp();
    // A gateway in the relations' subnet.
    ChangeSettings(*window, [&](NetworkSettings& s) { s.gateway = Ip(192, 168, 1, 254); });
  }

  std::string ExpectedDnsmasq() const {
    return WriteDnsmasqConfig({window->Relations(), window->Settings(), "eth7", Ip(192, 168, 1, 5)}).text;
  }

  std::optional<KeaOptions> keaAnswer;
  std::vector<int> shownBootpDevices;
};

TEST_F(HandoffCommandsTest, ExportToDnsmasqWritesTheSnippetForTheServersInterface) {
  Enter({&kFirst, &kSecond, &kThird});
  const std::string path = PathOf("dnsmasq-plant.conf");
  surroundings.fileDialogs.QueueAnswer(path);
  window->OnCommand(ids::kExportDnsmasq);

  EXPECT_EQ(surroundings.fileDialogs.Requests(),
            (std::vector<RecordedFileDialog>{
                {FileDialogKind::Save, {std::string(handoff_text::kDnsmasqFilter), "conf"}}}));
  EXPECT_EQ(ReadWholeFile(path), ExpectedDnsmasq());
  EXPECT_NE(ReadWholeFile(path).find("interface=eth7\n"), std::string::npos);
  EXPECT_EQ(window->StatusText(), "Exported 3 relations for dnsmasq to " + path);
  // An export is no save: the list stays modified and names no file.
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(window->CurrentFileName(), "");
}

TEST_F(HandoffCommandsTest, ExportToAKeaPairWritesOneFileForEachServer) {
  Enter({&kFirst, &kSecond});
  KeaOptions options;
  options.bootpHook = false;
  options.highAvailability = KeaHighAvailability{"http://192.168.1.5:8005/", "http://192.168.1.6:8005/"};
  keaAnswer = options;
  surroundings.fileDialogs.QueueAnswer(PathOf("kea-dhcp4.conf"));
  window->OnCommand(ids::kExportKea);

  EXPECT_EQ(shownBootpDevices, std::vector<int>{0});
  const std::string primary = ReadWholeFile(PathOf("kea-dhcp4.conf"));
  const std::string standby = ReadWholeFile(PathOf("kea-dhcp4-standby.conf"));
  EXPECT_NE(primary.find("\"this-server-name\": \"primary\""), std::string::npos) << primary;
  EXPECT_NE(standby.find("\"this-server-name\": \"standby\""), std::string::npos) << standby;
  EXPECT_EQ(primary.find("libdhcp_bootp.so"), std::string::npos);
  EXPECT_EQ(window->StatusText(), "Exported 2 relations for a Kea pair to " + PathOf("kea-dhcp4.conf") + " and " +
                                      PathOf("kea-dhcp4-standby.conf"));
}

TEST_F(HandoffCommandsTest, ADeviceSeenAskingByBootpKeepsTheHook) {
  Enter({&kFirst, &kSecond});
  window->Relations().At(1)->type = kRelationTypeBootp;
  KeaOptions options;
  options.bootpHook = false;
  keaAnswer = options;
  surroundings.fileDialogs.QueueAnswer(PathOf("kea.conf"));
  window->OnCommand(ids::kExportKea);

  EXPECT_EQ(shownBootpDevices, std::vector<int>{1});
  EXPECT_NE(ReadWholeFile(PathOf("kea.conf")).find("libdhcp_bootp.so"), std::string::npos);

  KeaExportDialog dialog(KeaOptions{}, "http://192.168.1.5:8005/", 1);
  EXPECT_TRUE(dialog.BootpHookCheck()->isChecked());
  EXPECT_FALSE(dialog.BootpHookCheck()->isEnabled());
}

TEST_F(HandoffCommandsTest, ARefusedExportSaysWhyAndWritesNothing) {
  Enter({&kFirst});
  window->Relations().At(0)->ipAddress = Ip(10, 0, 0, 7);
  window->OnCommand(ids::kExportDnsmasq);

  EXPECT_TRUE(surroundings.fileDialogs.Requests().empty());
  EXPECT_EQ(surroundings.prompts.Shown(),
            (std::vector<ShownPrompt>{Box("The relation list cannot be exported as it is:\n\nThe relation "
                                          "00:1D:9C:C8:12:34 has the address 10.0.0.7, outside the subnet "
                                          "192.168.1.0/24 of the interface.",
                                          "Export Failed")}));
  EXPECT_EQ(window->StatusText(), "Export aborted.");
  // Cancelling the Kea dialog writes nothing either.
  window->OnCommand(ids::kExportKea);
  EXPECT_TRUE(surroundings.fileDialogs.Requests().empty());
  EXPECT_EQ(window->StatusText(), "Export aborted.");
}

TEST_F(HandoffCommandsTest, ImportAsksToSaveThenReplacesTheListLikeOpen) {
  Enter({&kThird});
  const std::string path = PathOf("dnsmasq.conf");
  WriteWholeFile(path,
                 "# Line 1\n"
                 "dhcp-host=00:1d:9c:c8:12:34,192.168.1.10,plc-a,infinite\n"
                 "dhcp-host=00:1d:9c:c8:12:35,192.168.1.11\n"
                 "dhcp-host=00:1d:9c:c8:12:36,192.168.1.11\n");
  surroundings.prompts.QueueAnswer(PromptAnswer::No);
  surroundings.fileDialogs.QueueAnswer(path);
  window->OnCommand(ids::kImportConfiguration);

  EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion});
  EXPECT_EQ(surroundings.fileDialogs.Requests(),
            (std::vector<RecordedFileDialog>{{FileDialogKind::Open, {std::string(handoff_text::kImportFilter), "conf"}}}));
  // The file's last relation on top, as after Open.
  EXPECT_EQ(RowMacs(), (std::vector<std::string>{"00:1D:9C:C8:12:35", "00:1D:9C:C8:12:34"}));
  EXPECT_EQ(Cell(1, 3), "plc-a");
  EXPECT_EQ(Counter(), "2 of 256");
  EXPECT_EQ(window->StatusText(), "Import complete. 1 records were omitted because of errors or duplicates.");
  // Not saved anywhere yet.
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(window->CurrentFileName(), "");
  EXPECT_EQ(Title(), "Corvessa");
}

TEST_F(HandoffCommandsTest, AnImportThatCannotBeReadSaysWhyAndLeavesTheListEmpty) {
  LoadThree();
  const std::string path = PathOf("kea.json");
  WriteWholeFile(path, "{ \"Dhcp4\": { \"subnet4\": [] } }");
  surroundings.fileDialogs.QueueAnswer(path);
  window->OnCommand(ids::kImportConfiguration);

  EXPECT_EQ(surroundings.prompts.Shown(),
            (std::vector<ShownPrompt>{Box("Error importing file '" + path +
                                              "':\nThe Kea configuration holds no DHCPv4 reservations.",
                                          "Import Failed")}));
  EXPECT_EQ(window->Relations().Count(), 0);
  EXPECT_EQ(Counter(), "0 of 256");
  EXPECT_EQ(window->StatusText(), kLoadFailed);
}

TEST_F(HandoffCommandsTest, TheFileMenuOffersImportAndBothExports) {
  for (const int id : {ids::kImportConfiguration, ids::kExportKea, ids::kExportDnsmasq}) {
    QAction* action = window->MenuAction(id);
    ASSERT_NE(action, nullptr) << id;
    EXPECT_TRUE(action->isEnabled());
  }
  EXPECT_EQ(ToStdString(window->MenuAction(ids::kExportKea)->text()), "ISC &Kea DHCPv4...");
  EXPECT_EQ(ToStdString(window->MenuAction(ids::kExportDnsmasq)->text()), "&dnsmasq...");
  // The menu item runs the command.
  Enter({&kFirst});
  surroundings.fileDialogs.QueueAnswer(PathOf("from-menu.conf"));
  window->MenuAction(ids::kExportDnsmasq)->trigger();
  EXPECT_EQ(ReadWholeFile(PathOf("from-menu.conf")), ExpectedDnsmasq());
}

TEST_F(HandoffCommandsTest, TheKeaDialogNamesEveryControlAndHandsBackItsOptions) {
  KeaExportDialog dialog(KeaOptions{}, "http://192.168.1.5:8005/", 0);
  EXPECT_EQ(ToStdString(dialog.HooksFolderEdit()->accessibleName()), "Kea hook libraries folder");
  EXPECT_EQ(ToStdString(dialog.LeaseFileEdit()->accessibleName()), "Lease file");
  EXPECT_EQ(ToStdString(dialog.PrimaryUrlEdit()->accessibleName()), "Primary server URL");
  EXPECT_EQ(ToStdString(dialog.StandbyUrlEdit()->accessibleName()), "Standby server URL");
  EXPECT_FALSE(dialog.BootpHookCheck()->accessibleName().isEmpty());
  EXPECT_FALSE(dialog.PairCheck()->accessibleName().isEmpty());
  EXPECT_EQ(dialog.Options().hooksDirectory, DefaultKeaHooksDirectory());
  EXPECT_FALSE(dialog.Options().highAvailability.has_value());
  EXPECT_FALSE(dialog.PrimaryUrlEdit()->isEnabled());

  dialog.PairCheck()->setChecked(true);
  EXPECT_TRUE(dialog.PrimaryUrlEdit()->isEnabled());
  dialog.StandbyUrlEdit()->setText("http://192.168.1.6:8005/");
  dialog.BootpHookCheck()->setChecked(false);
  const KeaOptions options = dialog.Options();
  EXPECT_FALSE(options.bootpHook);
  ASSERT_TRUE(options.highAvailability.has_value());
  EXPECT_EQ(options.highAvailability->primaryUrl, "http://192.168.1.5:8005/");
  EXPECT_EQ(options.highAvailability->standbyUrl, "http://192.168.1.6:8005/");
}

}  // namespace
}  // namespace corvessa::app_test
