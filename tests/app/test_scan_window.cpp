// What an identity scan shows in the window: the Online and Product columns
// of the relation list, their sorting, the window of the devices on the
// network and its Add as Relation; the Scan command's refusals and the
// remembered repetition. The scans are fixed results handed to the window,
// and the commands run on interfaces that do not exist, so nothing is sent.

#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>

#include "app/scan_control.h"
#include "core/settings_names.h"
#include "enip/widgets/devices_window.h"
#include "netconfig/startup_settings.h"
#include "tests/app/test_relation_commands_support.h"

namespace corvessa::app_test {
namespace {

using Driver = RelationEditorDriver;

constexpr int kOnline = 5;
constexpr int kProduct = 6;

HardwareAddress Mac(std::uint8_t last) { return {0x02, 0x00, 0x00, 0x00, 0x00, last}; }

ScannedDevice Answer(std::uint32_t address, std::optional<std::uint8_t> macLast, std::string product,
                     std::uint32_t serial) {
  ScannedDevice device;
  device.address = address;
  if (macLast) device.mac = Mac(*macLast);
  device.identity.vendorId = 1;
  device.identity.deviceType = 12;
  device.identity.productCode = 166;
  device.identity.revisionMajor = 2;
  device.identity.revisionMinor = 11;
  device.identity.serialNumber = serial;
  device.identity.productName = std::move(product);
  device.identity.state = 3;
  return device;
}

class ScanWindowTest : public RelationCommandsTest {
 protected:
  // a at its address; b's device answers from another one; c's address
  // answers with another device than at the first scan; d's address is taken
  // by an unlisted device; e answers and nobody listed it; a device without
  // a known hardware address answers too.
  void ListAndScanTwice() {
    Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "a");
    Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 12), "b");
    Listed({0x02, 0, 0, 0, 0, 3}, Ip(192, 168, 1, 13), "c");
    Listed({0x02, 0, 0, 0, 0, 4}, Ip(192, 168, 1, 14), "d");
    window->Scanner().ShowScanResult({Answer(Ip(192, 168, 1, 13), 3, "Valve C", 0x30)});
    window->Scanner().ShowScanResult({Answer(Ip(192, 168, 1, 11), 1, "Drive A", 0x10),
                                      Answer(Ip(192, 168, 1, 13), 3, "Valve X", 0x99),
                                      Answer(Ip(192, 168, 1, 14), 6, "Stranger", 0x60),
                                      Answer(Ip(192, 168, 1, 22), 2, "Drive B", 0x20),
                                      Answer(Ip(192, 168, 1, 40), 5, "IO Block", 0x50),
                                      Answer(Ip(192, 168, 1, 41), std::nullopt, "Mystery", 0x51)});
  }

  std::string ToolTip(int row, int column) {
    return RelationList().model()->index(row, column).data(Qt::ToolTipRole).toString().toStdString();
  }

  DevicesWindow& OpenDevices() {
    window->OnCommand(ids::kDevicesWindow);
    DevicesWindow* devices = window->Scanner().Devices();
    EXPECT_NE(devices, nullptr);
    EXPECT_TRUE(devices->isVisible());
    return *devices;
  }

  static std::vector<std::string> DeviceRowTexts(DevicesWindow& devices, int row) {
    std::vector<std::string> texts;
    for (int column = 0; column < kDeviceColumnCount; ++column) texts.push_back(devices.Devices().CellText(row, column));
    return texts;
  }
};

TEST_F(ScanWindowTest, RelationListShowsWhoAnsweredWhereAndWhatItIs) {
  ListAndScanTwice();
  ASSERT_EQ(Column(3), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(Column(kOnline), (std::vector<std::string>{"Online", "Online at 192.168.1.22", "Online",
                                                       "Address used by 02:00:00:00:00:06"}));
  EXPECT_EQ(Column(kProduct), (std::vector<std::string>{"Drive A", "Drive B", "Valve X (changed)", ""}));
  EXPECT_EQ(ToolTip(2, kProduct),
            "Another device answers at this address than at an earlier scan.\n"
            "Before: Valve C, serial number 0x00000030\nNow: Valve X, serial number 0x00000099");
  EXPECT_EQ(ToolTip(0, kProduct), "");
  EXPECT_EQ(ToolTip(1, kOnline), "The listed device answered from 192.168.1.22, not from the address of its relation.");
  // Presence is no change of the configuration.
  window->CurrentSession().SetModified(false);
  window->Scanner().ShowScanResult({});
  EXPECT_FALSE(window->Modified());
  EXPECT_EQ(Column(kOnline), (std::vector<std::string>{"", "", "", ""}));
  EXPECT_EQ(Column(kProduct), (std::vector<std::string>{"", "", "", ""}));
}

TEST_F(ScanWindowTest, PresenceColumnsSortLikeTheOthersAndKeepTheirSortAfterAScan) {
  ListAndScanTwice();
  ClickHeader(kOnline);  // descending, letters folded
  EXPECT_EQ(Column(3), (std::vector<std::string>{"b", "a", "c", "d"}));
  EXPECT_EQ(Column(kOnline), (std::vector<std::string>{"Online at 192.168.1.22", "Online", "Online",
                                                       "Address used by 02:00:00:00:00:06"}));
  ClickHeader(kOnline);  // ascending
  EXPECT_EQ(Column(3), (std::vector<std::string>{"d", "a", "c", "b"}));
  EXPECT_EQ(Column(kOnline), (std::vector<std::string>{"Address used by 02:00:00:00:00:06", "Online", "Online",
                                                       "Online at 192.168.1.22"}));
  ClickHeader(kProduct);  // descending
  EXPECT_EQ(Column(3), (std::vector<std::string>{"c", "b", "a", "d"}));
  // A scan that changes the products re-sorts by them, keeping the selection.
  SelectRelationRows({2});
  window->Scanner().ShowScanResult({Answer(Ip(192, 168, 1, 14), 4, "Zeta", 0x40)});
  EXPECT_EQ(Column(3), (std::vector<std::string>{"d", "c", "b", "a"}));
  // Stranger answered at d's address before.
  EXPECT_EQ(Column(kProduct), (std::vector<std::string>{"Zeta (changed)", "", "", ""}));
  ASSERT_EQ(window->SelectedRelations().size(), 1u);
  EXPECT_EQ(window->SelectedRelations()[0]->ipAddress, Ip(192, 168, 1, 11));
}

TEST_F(ScanWindowTest, DevicesWindowListsEveryDeviceThatAnsweredListedOrNot) {
  ListAndScanTwice();
  DevicesWindow& devices = OpenDevices();
  EXPECT_EQ(devices.windowTitle().toStdString(), "Devices on the network");
  EXPECT_EQ(devices.Devices().accessibleName().toStdString(), "Devices on the network");
  ASSERT_EQ(devices.Devices().RowCount(), 6);
  EXPECT_EQ(DeviceRowTexts(devices, 0), (std::vector<std::string>{"192.168.1.11", "02:00:00:00:00:01", "1", "12",
                                                                  "166", "2.11", "0x00000010", "Drive A",
                                                                  "Operational", "Yes"}));
  EXPECT_EQ(devices.Devices().CellText(1, 7), "Valve X (changed)");
  EXPECT_EQ(devices.Devices().CellText(2, 9), "No; the address is listed for 02:00:00:00:00:04");
  EXPECT_EQ(devices.Devices().CellText(3, 9), "Yes, as 192.168.1.12");
  EXPECT_EQ(devices.Devices().CellText(4, 9), "No");
  EXPECT_EQ(devices.Devices().CellText(5, 1), "unknown");

  // Accept Change: c's device is the right one now.
  devices.Devices().SelectRow(1, false);
  ASSERT_TRUE(devices.AcknowledgeButton().isEnabled());
  QTest::mouseClick(&devices.AcknowledgeButton(), Qt::LeftButton);
  EXPECT_EQ(devices.Devices().CellText(1, 7), "Valve X");
  EXPECT_EQ(Column(kProduct)[2], "Valve X");
  EXPECT_FALSE(devices.AcknowledgeButton().isEnabled());
  EXPECT_EQ(devices.SelectedRow(), 1);
}

TEST_F(ScanWindowTest, AddAsRelationFillsTheEditorAndAddsTheRelation) {
  ListAndScanTwice();
  DevicesWindow& devices = OpenDevices();
  window->CurrentSession().SetModified(false);

  // The button on the selected row.
  devices.Devices().SelectRow(4, false);
  editors.Queue(Driver::PressOk());
  QTest::mouseClick(&devices.AddButton(), Qt::LeftButton);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0], (ShownEditor{"New Entry", "02:00:00:00:00:05", "192.168.1.40", "", "IO Block"}));
  ASSERT_EQ(window->Relations().Count(), 5);
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(Counter(), "5 of 256");
  // The new relation is on top, online at once, and the device is listed now.
  EXPECT_EQ(RelationList().CellText(0, 0), "02:00:00:00:00:05");
  EXPECT_EQ(RelationList().CellText(0, kOnline), "Online");
  EXPECT_EQ(RelationList().CellText(0, kProduct), "IO Block");
  EXPECT_EQ(devices.Devices().CellText(4, 9), "Yes");

  // A double-click on a device without a known hardware address: the editor
  // opens without one, and Cancel adds nothing.
  editors.Queue(Driver::PressCancel());
  DoubleClickRow(devices.Devices(), 5);
  ASSERT_EQ(editors.Shown().size(), 2u);
  EXPECT_EQ(editors.Shown()[1], (ShownEditor{"New Entry", "", "192.168.1.41", "", "Mystery"}));
  EXPECT_EQ(window->Relations().Count(), 5);

  // The limit of Add Relation holds here too.
  for (int i = 0; window->Relations().Count() < 256; ++i) {
    window->Relations().Append(MakeRelation({0x0E, 0, 0, 0, static_cast<std::uint8_t>(i >> 8),
                                             static_cast<std::uint8_t>(i)},
                                            Ip(10, 0, static_cast<unsigned>(i / 200), static_cast<unsigned>(i % 200 + 1))));
  }
  window->Scanner().AddAsRelation(5);
  EXPECT_EQ(editors.Shown().size(), 2u);
  const std::vector<ShownPrompt> limit = {{"The relation list only allows 256 entries.", "Limit Reached",
                                           PromptKind::Message}};
  EXPECT_EQ(surroundings.prompts.Shown(), limit);
}

TEST_F(ScanWindowTest, ScanSaysWhyItDoesNotStart) {
  namespace names = settings_names;
  ASSERT_TRUE(surroundings.store.SetString(names::kVersionSection, names::kLastAdapter, ""));
  window->OnCommand(ids::kScan);
  EXPECT_EQ(window->StatusText(), "No scan: the server runs on no network interface.");
  EXPECT_FALSE(window->Scanner().Scanning());

  // An interface that is not there: the socket cannot be bound to it, so
  // nothing is sent anywhere.
  ASSERT_TRUE(surroundings.store.SetString(names::kVersionSection, names::kLastAdapter, "cvnone0"));
  window->OnCommand(ids::kScan);
  EXPECT_EQ(window->StatusText(), "The scan on cvnone0 could not start: No such device.");
  EXPECT_FALSE(window->Scanner().Scanning());
}

TEST_F(ScanWindowTest, ScanEveryTenSecondsIsRememberedForTheNextStart) {
  namespace names = settings_names;
  ASSERT_TRUE(surroundings.store.SetString(names::kVersionSection, names::kLastAdapter, "cvnone0"));
  QAction* option = window->MenuAction(ids::kScanRepeat);
  ASSERT_NE(option, nullptr);
  EXPECT_TRUE(option->isCheckable());
  EXPECT_FALSE(option->isChecked());
  ASSERT_NE(window->MenuAction(ids::kScan), nullptr);
  EXPECT_EQ(window->MenuAction(ids::kScan)->shortcut(), QKeySequence(Qt::Key_F5));

  option->trigger();
  EXPECT_TRUE(option->isChecked());
  EXPECT_TRUE(window->Scanner().Repeat());
  EXPECT_EQ(surroundings.store.GetDword(startup_settings::kApplicationSection, startup_settings::kScanRepeat), 1u);
  // Turned on, it scanned at once, and says why it could not.
  EXPECT_EQ(window->StatusText(), "The scan on cvnone0 could not start: No such device.");

  MainWindow next(surroundings.Environment());
  EXPECT_TRUE(next.Scanner().Repeat());
  EXPECT_TRUE(next.MenuAction(ids::kScanRepeat)->isChecked());

  window->OnCommand(ids::kScanRepeat);
  EXPECT_FALSE(option->isChecked());
  EXPECT_EQ(surroundings.store.GetDword(startup_settings::kApplicationSection, startup_settings::kScanRepeat), 0u);
}

}  // namespace
}  // namespace corvessa::app_test
