// The interface selection dialog against a scripted host and a settings file
// in a scratch folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include "core/settings_names.h"
#include "netconfig/widgets/interface_dialog.h"
#include "tests/netconfig_widgets/dialog_test_support.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"
#include "ui/settings_store.h"
#include "ui/scripted_prompts.h"

namespace corvessa {
namespace {

using testing::FindControl;
using testsupport::kLoopbackLinkType;
using testsupport::MakeInterface;
using testsupport::ReadWholeFile;
using testsupport::ScriptedHost;

namespace names = settings_names;

constexpr int kListId = 1076;
constexpr int kOkId = 1;

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

class DialogAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    host.interfaces = {
        MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}}),  // 127.0.0.1/8, not listed
        MakeInterface("eth0", 2, kEthernetLinkType, true, {{0x0A000005, 0xFF000000}}),    // 10.0.0.5/8
        MakeInterface("eth1", 3, kEthernetLinkType, true, {{0xC0A80A05, 0xFFFFFF00}}),    // 192.168.10.5/24
        MakeInterface("eth2", 4, kEthernetLinkType, false),                               // no address
    };
  }

  // Shows the dialog, which fills the list, and returns the list.
  QTreeWidget* Open() {
    dialog.show();
    QTreeWidget* list = FindControl<QTreeWidget>(dialog, kListId);
    EXPECT_NE(list, nullptr);
    return list;
  }

  void ClickOk() { QTest::mouseClick(FindControl<QPushButton>(dialog, kOkId), Qt::LeftButton); }

  std::vector<std::pair<QString, QString>> Rows(const QTreeWidget* list) const {
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      rows.emplace_back(list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1));
    }
    return rows;
  }

  testsupport::TempFolder dir{"netcfg"};
  std::string path = dir.File("corvessa.conf");
  SettingsStore store{path};
  ScriptedPrompts prompts;
  ScriptedHost host;
  InterfaceDialog dialog{store, prompts, host};
};

TEST_F(DialogAdapterTest, ListsEachAdapterWithItsAddressOrUnknown) {
  QTreeWidget* list = Open();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Network Interface"));
  ASSERT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Description"));
  EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("IP Address"));
  const std::vector<std::pair<QString, QString>> expected = {
      {QStringLiteral("eth0"), QStringLiteral("10.0.0.5")},
      {QStringLiteral("eth1"), QStringLiteral("192.168.10.5")},
      {QStringLiteral("eth2"), QStringLiteral("Unknown")},
  };
  EXPECT_EQ(Rows(list), expected);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(DialogAdapterTest, NoAdaptersLeaveTheListEmpty) {
  host.interfaces = {MakeInterface("lo", 1, kLoopbackLinkType, true, {{0x7F000001, 0xFF000000}})};
  QTreeWidget* list = Open();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(DialogAdapterTest, ColumnsShareTheClientWidthThreeToOne) {
  QTreeWidget* list = Open();
  ASSERT_NE(list, nullptr);
  // Three rows need no scroll bar, so the viewport is the whole client area.
  ASSERT_FALSE(list->verticalScrollBar()->isVisible());
  const int width = list->viewport()->width();
  ASSERT_GT(width, 0);
  EXPECT_EQ(list->header()->sectionSize(0), width * 3 / 4);
  EXPECT_EQ(list->header()->sectionSize(1), width / 4);
}

TEST_F(DialogAdapterTest, OkWithoutSelectionAsksForOneAndStaysOpen) {
  ASSERT_NE(Open(), nullptr);
  ClickOk();
  const std::vector<ShownPrompt> expected = {{"Please select an adapter.", "corvessa", PromptKind::Message}};
  EXPECT_EQ(prompts.Shown(), expected);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(DialogAdapterTest, ChoosingWritesTheSelectionAndTheAddressText) {
  struct Case {
    int row;
    const char* description;
    const char* address;
  };
  for (const Case c : {Case{1, "eth1", "192.168.10.5"}, Case{2, "eth2", "Unknown"}}) {
    SCOPED_TRACE(c.description);
    testsupport::TempFolder scratch{"netcfg"};
    SettingsStore own(scratch.File("corvessa.conf"));
    InterfaceDialog one(own, prompts, host);
    one.show();
    auto* list = FindControl<QTreeWidget>(one, kListId);
    ASSERT_NE(list, nullptr);
    list->topLevelItem(c.row)->setSelected(true);
    QTest::mouseClick(FindControl<QPushButton>(one, kOkId), Qt::LeftButton);

    EXPECT_EQ(one.result(), QDialog::Accepted);
    EXPECT_FALSE(one.isVisible());
    EXPECT_EQ(one.ChosenDescription(), c.description);
    EXPECT_EQ(one.ChosenAddress(), c.address);
    const std::string expected = std::string() +
                                 "[Version 3.06.00]\n" +                                // section
                                 "\"lastadapter\"=\"" + c.description + "\"\n" +        // the interface
                                 "\n" +                                                 // between sections
                                 "[" + c.description + "]\n" +                          // its own section
                                 "\"ipaddress\"=\"" + c.address + "\"\n";               // its address text
    EXPECT_EQ(ReadWholeFile(scratch.File("corvessa.conf")), expected);
  }
  EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(DialogAdapterTest, SeveralSelectedRowsTakeTheFirstInListOrder) {
  QTreeWidget* list = Open();
  ASSERT_NE(list, nullptr);
  // Selected bottom-up, so the current row is the last one, not the first.
  list->setCurrentItem(list->topLevelItem(2), 0, QItemSelectionModel::Select);
  list->setCurrentItem(list->topLevelItem(1), 0, QItemSelectionModel::Select);
  list->setCurrentItem(list->topLevelItem(2), 0, QItemSelectionModel::NoUpdate);
  ASSERT_EQ(list->selectedItems().size(), 2);
  ClickOk();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), "eth1");
  EXPECT_EQ(store.GetString("eth1", names::kIpAddress), "192.168.10.5");
  EXPECT_EQ(store.GetString("eth2", names::kIpAddress), "");
}

TEST_F(DialogAdapterTest, ChoosingTheSameInterfaceRewritesOnlyItsAddress) {
  ASSERT_TRUE(store.SetString(names::kVersionSection, names::kLastAdapter, "eth1"));
  ASSERT_TRUE(store.SetString("eth1", names::kIpAddress, "192.168.99.9"));
  ASSERT_TRUE(store.SetDword("eth1", names::kGateway, 0xC0A80A01));
  QTreeWidget* list = Open();
  ASSERT_NE(list, nullptr);
  list->topLevelItem(1)->setSelected(true);
  // Enter presses the default button.
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), "eth1");
  EXPECT_EQ(store.GetString("eth1", names::kIpAddress), "192.168.10.5");
  EXPECT_EQ(store.GetDword("eth1", names::kGateway), 0xC0A80A01u);
}

TEST_F(DialogAdapterTest, EscapeAndTheCloseBoxWriteNothing) {
  QTreeWidget* list = Open();
  ASSERT_NE(list, nullptr);
  list->topLevelItem(0)->setSelected(true);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());

  InterfaceDialog closed(store, prompts, host);
  closed.show();
  FindControl<QTreeWidget>(closed, kListId)->topLevelItem(1)->setSelected(true);
  closed.setResult(QDialog::Accepted);  // so that only the close box can make it Rejected
  EXPECT_TRUE(closed.close());
  EXPECT_EQ(closed.result(), QDialog::Rejected);

  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(DialogAdapterTest, ControlsCarryTheirIdsAndNames) {
  QTreeWidget* list = Open();
  ASSERT_NE(list, nullptr);
  const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);  // OK only, no Cancel
  QPushButton* ok = buttons.front();
  EXPECT_EQ(ok->property("controlId").toInt(), kOkId);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(AccessibleName(ok), QStringLiteral("OK"));

  QLabel* label = testing::LabelOf(dialog, list);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QStringLiteral("Please select a network interface:"));
  EXPECT_TRUE(label->accessibleName().isEmpty());
  EXPECT_EQ(AccessibleName(label), QStringLiteral("Please select a network interface:"));
  EXPECT_EQ(AccessibleName(list), QStringLiteral("Please select a network interface"));
}

}  // namespace
}  // namespace corvessa
