// The main window without a server socket: layout, menus and their enabling,
// the context menus, the buttons, the relation list, the keys that end the
// window, help and About. Requests are fed to the server runtime directly and
// its replies recorded, so nothing here needs the network.

#include <QAbstractItemView>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/about_dialog.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "netconfig/widgets/network_settings_dialog.h"
#include "tests/app/window_fixture.h"
#include "tests/support/cell_fit.h"
#include "ui/widgets/ip_address_edit.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

const std::vector<std::uint8_t> kResettableMac = {0x0A, 0x00, 0x3C, 0x12, 0x34, 0x56};
const std::vector<std::uint8_t> kOtherMac = {0x02, 0x00, 0x00, 0x12, 0x34, 0x56};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    corvessa::Environment env = surroundings.Environment();
    env.runPopupMenu = [this](QMenu& menu, const QPoint& position) { return RunPopup(menu, position); };
    window = std::make_unique<MainWindow>(std::move(env));
    window->SetupLists();
    window->Runtime().SetSender(&sender);
    window->Runtime().SetClock([] { return LocalTime{9, 5, 3}; });
    window->UpdateButtons();
    window->UpdateRelationCounter();
  }

  // Opens the pop-up as the program would, notes what is enabled and picks
  // the command queued in `popupChoice`.
  QAction* RunPopup(QMenu& menu, const QPoint& position) {
    menu.popup(position);
    popupTitle = ToStdString(menu.title());
    popupEnabled.clear();
    QAction* chosen = nullptr;
    for (QAction* action : menu.actions()) {
      popupEnabled.emplace_back(ControlIdOf(action), action->isEnabled());
      if (ControlIdOf(action) == popupChoice) chosen = action;
    }
    menu.hide();
    return chosen;
  }

  Relation* AddRelation(const std::vector<std::uint8_t>& mac, std::uint32_t ip, std::string hostname = {}) {
    auto relation = MakeRelation(mac, ip, std::move(hostname));
    Relation* raw = relation.get();
    window->Relations().Append(std::move(relation));
    window->RefreshRelationList();
    window->UpdateRelationCounter();
    return raw;
  }

  void SelectRelationRows(std::initializer_list<int> rows) {
    window->RelationTableView()->ClearSelectionOfRows();
    for (const int row : rows) window->RelationTableView()->SelectRow(row, true);
  }

  void Request(const std::vector<std::uint8_t>& mac) {
    const std::vector<std::uint8_t> bytes = BootpRequest(mac);
    window->HandleDatagram(bytes.data(), bytes.size());
  }

  // Enabled state of each command of a main-menu pop-up as it opens.
  std::map<int, bool> OpenMainMenu(int index) {
    QMenu* menu = window->MenuBar()->actions().at(index)->menu();
    menu->popup(QPoint(0, 0));
    std::map<int, bool> enabled;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator()) enabled[ControlIdOf(action)] = action->isEnabled();
    }
    menu->hide();
    return enabled;
  }

  std::string RelationCell(int row, int column) const {
    return window->RelationTableView()->CellText(row, column);
  }

  bool Shown(int id) const { return !window->Control(id)->isHidden() && window->Control(id)->isEnabled(); }

  Surroundings surroundings;
  RecordingSender sender;
  std::unique_ptr<MainWindow> window;
  std::string popupTitle;
  std::vector<std::pair<int, bool>> popupEnabled;
  int popupChoice = 0;
};

constexpr int kToolsMenu = 1;

// --- Layout ---

struct ButtonCase {
  int id;
  std::string_view text;
  int tip;
};

TEST_F(MainWindowTest, ButtonsCarryTheirIdTextTooltipAndName) {
  const ButtonCase cases[] = {
      {ids::kAddRelationButton, "Add Relation",
       kIdsTipAddRelation},  // "Create a new address relation based on ..."
      {ids::kClearHistoryButton, "Clear History", kIdsTipClearHistory},
      {ids::kDeleteRelationButton, "Delete Relation", kIdsTipDeleteRelation},
      {ids::kEnableButton, "Enable BOOTP/DHCP", kIdsTipEnable},
      {ids::kDisableButton, "Disable BOOTP/DHCP", kIdsTipDisable},
  };
  for (const ButtonCase& c : cases) {
    auto* button = qobject_cast<QPushButton*>(window->Control(c.id));
    ASSERT_NE(button, nullptr) << c.id;
    EXPECT_EQ(ToStdString(button->text()), c.text);
    EXPECT_EQ(ToStdString(button->accessibleName()), c.text);
    EXPECT_EQ(ToStdString(button->toolTip()), LoadString(c.tip));
  }
  EXPECT_EQ(ToStdString(window->Control(ids::kClearHistoryButton)->toolTip()),
            "Clear the history window of all BOOTP and DHCP requests");
  EXPECT_EQ(ToStdString(window->Control(ids::kDisableButton)->toolTip()),
            "Force selected device to retain configuration in memory at next power cycle");
}

TEST_F(MainWindowTest, ListsStatusAndCounterAsTheWindowOpens) {
  Table* history = window->HistoryTable();
  Table* relations = window->RelationTableView();
  EXPECT_EQ(window->Control(ids::kHistoryList), history);
  EXPECT_EQ(window->Control(ids::kRelationList), relations);
  EXPECT_EQ(ToStdString(history->accessibleName()), "Discovery History");
  EXPECT_EQ(ToStdString(relations->accessibleName()), "Entered Relations");
  EXPECT_EQ(history->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(history->horizontalHeader()->sectionsClickable());
  EXPECT_EQ(relations->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(relations->horizontalHeader()->sectionsClickable());

  const std::vector<std::string> historyHeaders = {
      "Ethernet Address (MAC)", "Type  ", "(hr:min:sec)", "#   ", "IP Address          ", "Hostname"};
  // The relation's own columns, then what the last identity scan said of it.
  const std::vector<std::string> relationHeaders = {"Ethernet Address (MAC)", "Type  ", "IP Address          ",
                                                    "Hostname", "Description", "Online", "Product"};
  EXPECT_EQ(history->Model()->Headers(), historyHeaders);
  EXPECT_EQ(relations->Model()->Headers(), relationHeaders);

  auto* status = qobject_cast<QLabel*>(window->Control(ids::kStatusLine));
  auto* counter = qobject_cast<QLabel*>(window->Control(ids::kRelationCounter));
  ASSERT_NE(status, nullptr);
  ASSERT_NE(counter, nullptr);
  EXPECT_EQ(ToStdString(status->text()), "Listening for connected devices...");
  EXPECT_EQ(ToStdString(counter->text()), "0 of 256");
  // Labels are read through their text; a fixed name would hide it.
  EXPECT_TRUE(status->accessibleName().isEmpty());
  EXPECT_TRUE(counter->accessibleName().isEmpty());
  EXPECT_EQ(ToStdString(qobject_cast<QGroupBox*>(status->parentWidget())->title()), "Errors and warnings");
  EXPECT_EQ(ToStdString(qobject_cast<QGroupBox*>(counter->parentWidget())->title()), "Relations");
  EXPECT_EQ(ToStdString(window->windowTitle()), "Corvessa");
}

TEST_F(MainWindowTest, ControlsStandInTheirRowsFromTopToBottom) {
  window->show();
  QApplication::processEvents();
  const auto top = [this](int id) { return window->Control(id)->mapTo(window.get(), QPoint(0, 0)).y(); };
  const auto left = [this](QWidget* w) { return w->mapTo(window.get(), QPoint(0, 0)).x(); };
  QLabel* historyCaption = nullptr;
  QLabel* relationCaption = nullptr;
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (label->text() == "Discovery History") historyCaption = label;
    if (label->text() == "Entered Relations") relationCaption = label;
  }
  ASSERT_NE(historyCaption, nullptr);
  ASSERT_NE(relationCaption, nullptr);
  EXPECT_TRUE(historyCaption->accessibleName().isEmpty());

  EXPECT_LT(top(ids::kAddRelationButton), top(ids::kHistoryList));
  EXPECT_LT(top(ids::kHistoryList), top(ids::kDeleteRelationButton));
  EXPECT_LT(top(ids::kDeleteRelationButton), top(ids::kRelationList));
  EXPECT_LT(top(ids::kRelationList), top(ids::kStatusLine));
  EXPECT_EQ(top(ids::kStatusLine), top(ids::kRelationCounter));

  // Left, middle, right within each button row.
  EXPECT_LT(left(window->Control(ids::kAddRelationButton)), left(historyCaption));
  EXPECT_LT(left(historyCaption), left(window->Control(ids::kClearHistoryButton)));
  EXPECT_LT(left(window->Control(ids::kDeleteRelationButton)), left(relationCaption));
  EXPECT_LT(left(relationCaption), left(window->Control(ids::kEnableButton)));
  EXPECT_LT(left(window->Control(ids::kEnableButton)), left(window->Control(ids::kDisableButton)));
  EXPECT_LT(left(window->Control(ids::kStatusLine)), left(window->Control(ids::kRelationCounter)));

  // A fixed frame.
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
}

struct MenuEntry {
  std::string_view text;  // empty for a separator
  int id;
};
constexpr int kSubmenu = -1;

TEST_F(MainWindowTest, MainMenuHoldsEveryItemWithItsCommand) {
  const std::vector<std::pair<std::string_view, std::vector<MenuEntry>>> expected = {
      {"&File",
       {{"&New", 57600},
        {"&Open", 57601},
        {"", 0},
        {"&Save", 57603},
        {"&Save As...", 57604},
        {"", 0},
        {"&Import...", 32900},
        {"&Export", kSubmenu},
        {"", 0},
        {"E&xit", 57665}}},
      {"&Tools",
       {{"Select Network Interface", 32888},
        {"&Network Settings", 32781},
        {"Add Relation", 32794},
        {"Clear Discovery History", 32788},
        {"Delete Relation", 32808},
        {"Enable BOOTP/DHCP", 32809},
        {"Disable BOOTP/DHCP", 32810},
        {"Reset Module's Network Settings to Factory Defaults", 32813},
        {"Properties", 32811},
        {"Confirm Address", 32920}}},
      {"&View", {{"&Scan", 32911}, {"Scan &Every 10 s", 32912}, {"", 0}, {"&Devices on the Network", 32913}}},
      {"&Help", {{"Help Topics\t\tF1", 32824}, {"", 0}, {"&About Corvessa", 32780}}},
  };
  const QList<QAction*> popups = window->MenuBar()->actions();
  ASSERT_EQ(popups.size(), static_cast<qsizetype>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QMenu* menu = popups[static_cast<qsizetype>(i)]->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(ToStdString(menu->title()), expected[i].first);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(expected[i].second.size())) << expected[i].first;
    for (std::size_t j = 0; j < static_cast<std::size_t>(items.size()); ++j) {
      const MenuEntry& entry = expected[i].second[j];
      QAction* item = items[static_cast<qsizetype>(j)];
      EXPECT_EQ(item->isSeparator(), entry.id == 0) << entry.text;
      if (entry.id == 0) continue;
      if (entry.id == kSubmenu) {
        // File, Export: one item for each permanent DHCP service.
        ASSERT_NE(item->menu(), nullptr) << entry.text;
        EXPECT_EQ(ToStdString(item->text()), entry.text);
        const QList<QAction*> exports = item->menu()->actions();
        ASSERT_EQ(exports.size(), 2);
        EXPECT_EQ(ToStdString(exports[0]->text()), "ISC &Kea DHCPv4...");
        EXPECT_EQ(ControlIdOf(exports[0]), 32901);
        EXPECT_EQ(ToStdString(exports[1]->text()), "&dnsmasq...");
        EXPECT_EQ(ControlIdOf(exports[1]), 32902);
        continue;
      }
      EXPECT_EQ(ToStdString(item->text()), entry.text);
      EXPECT_EQ(ControlIdOf(item), entry.id);
    }
  }
}

// --- Menu enabling ---

TEST_F(MainWindowTest, EmptyWindowGreysWhatNeedsRowsOrAFile) {
  const std::map<int, bool> file = OpenMainMenu(0);
  EXPECT_FALSE(file.at(ids::kFileSave));  // no file name
  EXPECT_TRUE(file.at(ids::kFileSaveAs));
  EXPECT_TRUE(file.at(ids::kFileNew));
  EXPECT_TRUE(file.at(ids::kFileOpen));
  EXPECT_TRUE(file.at(ids::kFileExit));

  const std::map<int, bool> tools = OpenMainMenu(kToolsMenu);
  EXPECT_TRUE(tools.at(ids::kSelectInterface));
  EXPECT_TRUE(tools.at(ids::kNetworkSettings));
  EXPECT_TRUE(tools.at(ids::kAddRelation));
  for (const int id : {ids::kClearHistory, ids::kDeleteRelation, ids::kEnableBootpDhcp, ids::kDisableBootpDhcp,
                       ids::kResetModule, ids::kProperties}) {
    EXPECT_FALSE(tools.at(id)) << id;
  }
  const std::map<int, bool> help = OpenMainMenu(3);
  EXPECT_TRUE(help.at(ids::kHelpTopics));
  EXPECT_TRUE(help.at(ids::kAbout));
}

TEST_F(MainWindowTest, SaveNeedsBothAFileNameAndAChange) {
  struct Case {
    std::string fileName;
    bool modified;
    bool enabled;
  };
  const Case cases[] = {
      {"", false, false}, {"", true, false}, {"/tmp/plant.bpc", false, false}, {"/tmp/plant.bpc", true, true}};
  for (const Case& c : cases) {
    ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(c.fileName));
    window->CurrentSession().SetModified(c.modified);
    const std::map<int, bool> file = OpenMainMenu(0);
    EXPECT_EQ(file.at(ids::kFileSave), c.enabled) << c.fileName << " " << c.modified;
    EXPECT_TRUE(file.at(ids::kFileSaveAs));
  }
}

TEST_F(MainWindowTest, ClearHistoryFollowsTheHistoryRows) {
  Request({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  EXPECT_TRUE(OpenMainMenu(kToolsMenu).at(ids::kClearHistory));
  window->OnCommand(ids::kClearHistory);
  EXPECT_EQ(window->History().RowCount(), 0);
  EXPECT_FALSE(OpenMainMenu(kToolsMenu).at(ids::kClearHistory));
}

TEST_F(MainWindowTest, ResetNeedsExactlyOneSelectedDeviceOfTheResettableKind) {
  AddRelation(kResettableMac, Ip(192, 168, 1, 20));
  AddRelation(kOtherMac, Ip(192, 168, 1, 21));
  struct Case {
    std::initializer_list<int> rows;
    bool reset;
    bool others;
  };
  const Case cases[] = {
      {{0}, true, true},      // 0A-00-3C-12-34-56 alone
      {{1}, false, true},     // 02-00-00-12-34-56 alone
      {{0, 1}, false, true},  // two rows
      {{}, false, false},     // nothing selected
  };
  for (const Case& c : cases) {
    SelectRelationRows(c.rows);
    const std::map<int, bool> tools = OpenMainMenu(kToolsMenu);
    EXPECT_EQ(tools.at(ids::kResetModule), c.reset) << c.rows.size();
    for (const int id : {ids::kDeleteRelation, ids::kEnableBootpDhcp, ids::kDisableBootpDhcp, ids::kProperties}) {
      EXPECT_EQ(tools.at(id), c.others) << id;
    }
  }
}

// --- Context menus ---

TEST_F(MainWindowTest, RelationListPopupWithNothingSelectedOffersOnlyAddRelation) {
  AddRelation(kResettableMac, Ip(192, 168, 1, 20));
  window->OnRelationRightClick(QPoint(10, 10));
  EXPECT_EQ(popupTitle, "Relation_List_Menu");
  const std::vector<std::pair<int, bool>> expected = {
      {ids::kAddRelationContext, true}, {ids::kDeleteRelation, false}, {ids::kEnableBootpDhcp, false},
      {ids::kDisableBootpDhcp, false},  {ids::kResetModule, false},    {ids::kProperties, false},
      {ids::kConfirmAddress, false}};
  EXPECT_EQ(popupEnabled, expected);
}

TEST_F(MainWindowTest, RelationListPopupFollowsTheResetRuleWhenItOpens) {
  AddRelation(kResettableMac, Ip(192, 168, 1, 20));
  AddRelation({0x0A, 0x00, 0x3C, 0x01, 0x02, 0x03}, Ip(192, 168, 1, 22));
  SelectRelationRows({0});
  window->OnRelationRightClick(QPoint(10, 10));
  EXPECT_EQ(popupEnabled.at(4), std::make_pair(ids::kResetModule, true));
  SelectRelationRows({0, 1});
  window->OnRelationRightClick(QPoint(10, 10));
  EXPECT_EQ(popupEnabled.at(4), std::make_pair(ids::kResetModule, false));
  EXPECT_EQ(popupEnabled.at(1), std::make_pair(ids::kDeleteRelation, true));
  EXPECT_EQ(popupEnabled.at(5), std::make_pair(ids::kProperties, true));
}

TEST_F(MainWindowTest, HistoryPopupGreysClearHistoryWithoutRows) {
  window->OnHistoryRightClick(QPoint(10, 10));
  EXPECT_EQ(popupTitle, "IP Request Menu");
  EXPECT_EQ(popupEnabled,
            (std::vector<std::pair<int, bool>>{{ids::kAddRelation, true}, {ids::kClearHistory, false}}));
  Request({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  popupChoice = ids::kClearHistory;
  window->OnHistoryRightClick(QPoint(10, 10));
  EXPECT_EQ(popupEnabled,
            (std::vector<std::pair<int, bool>>{{ids::kAddRelation, true}, {ids::kClearHistory, true}}));
  // The chosen command ran.
  EXPECT_EQ(window->History().RowCount(), 0);
}

TEST_F(MainWindowTest, CommandChosenFromTheRelationPopupRuns) {
  AddRelation(kOtherMac, Ip(192, 168, 1, 21));
  SelectRelationRows({0});
  popupChoice = ids::kDeleteRelation;
  window->OnRelationRightClick(QPoint(10, 10));
  EXPECT_EQ(window->Relations().Count(), 0);
}

TEST_F(MainWindowTest, ConfirmAddressGivesADeclinedAddressAgain) {
  AddRelation(kResettableMac, Ip(192, 168, 1, 20));
  AddRelation(kOtherMac, Ip(192, 168, 1, 21), "plc-b");
  const int declinedRow = 1;
  ASSERT_EQ(window->Relations().FindByMac(kOtherMac.data(), 6), window->Rows().At(declinedRow));
  // DHCPDECLINE of 192.168.1.21 (options 53 and 50).
  std::vector<std::uint8_t> decline = BootpRequest(kOtherMac);
  const std::uint8_t options[] = {53, 1, 4, 50, 4, 192, 168, 1, 21, 255};
  std::copy(std::begin(options), std::end(options), decline.begin() + 240);
  window->HandleDatagram(decline.data(), decline.size());
  EXPECT_EQ(window->StatusText(),
            "02:00:00:12:34:56 declined 192.168.1.21: address in use. Not given again until you confirm it.");
  EXPECT_EQ(window->HistoryTable()->CellText(0, 4), "192.168.1.21: address in use");

  SelectRelationRows({1 - declinedRow});
  EXPECT_FALSE(OpenMainMenu(kToolsMenu).at(ids::kConfirmAddress)) << "that relation is in no conflict";
  window->OnRelationRightClick(QPoint(10, 10));
  EXPECT_EQ(popupEnabled.back(), std::make_pair(ids::kConfirmAddress, false));
  SelectRelationRows({declinedRow});
  EXPECT_TRUE(OpenMainMenu(kToolsMenu).at(ids::kConfirmAddress));
  Request(kOtherMac);
  EXPECT_TRUE(sender.sent.empty()) << "served while in conflict";

  popupChoice = ids::kConfirmAddress;
  window->OnRelationRightClick(QPoint(10, 10));
  EXPECT_EQ(popupEnabled.back(), std::make_pair(ids::kConfirmAddress, true));
  EXPECT_EQ(window->StatusText(), "192.168.1.21 confirmed: it is given to 02:00:00:12:34:56 from now on.");
  EXPECT_FALSE(OpenMainMenu(kToolsMenu).at(ids::kConfirmAddress));
  Request(kOtherMac);
  EXPECT_EQ(sender.sent.size(), 1u);
  EXPECT_EQ(window->StatusText(), "Sent 192.168.1.21 to Ethernet address 02:00:00:12:34:56");
  EXPECT_EQ(window->HistoryTable()->CellText(0, 4), "192.168.1.21");
}

// --- Buttons ---

TEST_F(MainWindowTest, OnlyAddRelationShowsAtFirst) {
  EXPECT_TRUE(Shown(ids::kAddRelationButton));
  for (const int id : {ids::kClearHistoryButton, ids::kDeleteRelationButton, ids::kEnableButton, ids::kDisableButton}) {
    EXPECT_TRUE(window->Control(id)->isHidden()) << id;
    EXPECT_FALSE(window->Control(id)->isEnabled()) << id;
  }
}

TEST_F(MainWindowTest, ButtonsFollowTheListsNotifications) {
  // A new history row is an inserted row of the history list.
  Request({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  EXPECT_TRUE(Shown(ids::kClearHistoryButton));
  EXPECT_TRUE(window->Control(ids::kDeleteRelationButton)->isHidden());

  // Selecting a relation changes an item of the relation list.
  AddRelation(kOtherMac, Ip(192, 168, 1, 21));
  SelectRelationRows({0});
  for (const int id : {ids::kDeleteRelationButton, ids::kEnableButton, ids::kDisableButton}) {
    EXPECT_TRUE(Shown(id)) << id;
  }
  window->RelationTableView()->ClearSelectionOfRows();
  for (const int id : {ids::kDeleteRelationButton, ids::kEnableButton, ids::kDisableButton}) {
    EXPECT_TRUE(window->Control(id)->isHidden()) << id;
  }
  EXPECT_TRUE(Shown(ids::kAddRelationButton));
}

TEST_F(MainWindowTest, ClearHistoryButtonEmptiesTheHistoryAndRestartsTheCount) {
  Request({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  Request({0x00, 0x11, 0x22, 0x33, 0x44, 0x66});
  ASSERT_EQ(window->Runtime().RequestCounter(), 2u);
  QTest::mouseClick(qobject_cast<QPushButton*>(window->Control(ids::kClearHistoryButton)), Qt::LeftButton);
  EXPECT_EQ(window->History().RowCount(), 0);
  EXPECT_EQ(window->Runtime().RequestCounter(), 0u);
}

// --- Relation list ---

TEST_F(MainWindowTest, RowsShowTheTableInOrderWithCounter) {
  AddRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 1, 50), "plc1");
  AddRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35}, Ip(192, 168, 1, 51));
  ASSERT_EQ(window->RelationTableView()->RowCount(), 2);
  EXPECT_EQ(RelationCell(0, 0), "00:1D:9C:C8:12:34");
  EXPECT_EQ(RelationCell(0, 1), "");
  EXPECT_EQ(RelationCell(0, 2), "192.168.1.50");
  EXPECT_EQ(RelationCell(0, 3), "plc1");
  EXPECT_EQ(RelationCell(1, 0), "00:1D:9C:C8:12:35");
  EXPECT_EQ(ToStdString(qobject_cast<QLabel*>(window->Control(ids::kRelationCounter))->text()), "2 of 256");
}

TEST_F(MainWindowTest, HeaderClicksSortDescendingThenAscendingAndRefreshKeepsIt) {
  AddRelation({0x00, 0, 0, 0, 0, 1}, Ip(10, 0, 0, 1));
  AddRelation({0x00, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 20));
  AddRelation({0x00, 0, 0, 0, 0, 3}, Ip(192, 168, 1, 3));
  const auto ips = [this] {
    std::vector<std::string> column;
    for (int row = 0; row < window->RelationTableView()->RowCount(); ++row) column.push_back(RelationCell(row, 2));
    return column;
  };
  QHeaderView* header = window->RelationTableView()->horizontalHeader();
  emit header->sectionClicked(2);
  EXPECT_EQ(ips(), (std::vector<std::string>{"192.168.1.20", "192.168.1.3", "10.0.0.1"}));
  emit header->sectionClicked(2);
  EXPECT_EQ(ips(), (std::vector<std::string>{"10.0.0.1", "192.168.1.3", "192.168.1.20"}));
  // A rebuild (as after a served request) applies the sort again without reversing it.
  window->RefreshRelationList();
  EXPECT_EQ(ips(), (std::vector<std::string>{"10.0.0.1", "192.168.1.3", "192.168.1.20"}));
  EXPECT_EQ(window->Rows().SortColumn(), 2);
  EXPECT_TRUE(window->Rows().SortAscending());
}

TEST_F(MainWindowTest, DeleteKeyRemovesEverySelectedRelationWithoutAsking) {
  for (std::uint8_t i = 1; i <= 4; ++i) AddRelation({0x00, 0, 0, 0, 0, i}, Ip(192, 168, 1, i));
  SelectRelationRows({0, 2, 3});
  QTest::keyClick(window->RelationTableView(), Qt::Key_Delete);
  EXPECT_EQ(window->Relations().Count(), 1);
  EXPECT_EQ(window->RelationTableView()->RowCount(), 1);
  EXPECT_EQ(RelationCell(0, 0), "00:00:00:00:00:02");
  EXPECT_TRUE(window->Modified());
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(ToStdString(qobject_cast<QLabel*>(window->Control(ids::kRelationCounter))->text()), "1 of 256");
  EXPECT_TRUE(window->Control(ids::kDeleteRelationButton)->isHidden());
}

TEST_F(MainWindowTest, DoubleClicksAddARelationWhenNoRowIsSelected) {
  // A full table shows the limit box before any editor: the sign that the
  // double-click reached Add Relation.
  for (int i = 0; i < RelationCapacity; ++i) {
    window->Relations().Append(
        MakeRelation({0x00, 0x01, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)},
                     Ip(10, 0, static_cast<unsigned>(i >> 8), static_cast<unsigned>(i & 0xFF))));
  }
  window->RefreshRelationList();
  window->OnRelationListDoubleClick();
  window->OnHistoryDoubleClick();
  const ShownPrompt limit{"The relation list only allows 256 entries.", "Limit Reached", PromptKind::Message};
  EXPECT_EQ(surroundings.prompts.Shown(), (std::vector<ShownPrompt>{limit, limit}));
}

// --- Served requests through the window ---

TEST_F(MainWindowTest, ServedRequestShowsTypeStatusAndHistory) {
  window->CurrentSession().SetSettings(ValidSettings(), false);
  AddRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 77, 50), "plc1");
  Request({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34});
  ASSERT_EQ(sender.sent.size(), 1u);
  EXPECT_EQ(window->StatusText(), "Sent 192.168.77.50 to Ethernet address 00:1D:9C:C8:12:34");
  EXPECT_EQ(RelationCell(0, 1), "BOOTP");
  ASSERT_EQ(window->History().RowCount(), 1);
  EXPECT_EQ(window->History().Row(0),
            (HistoryEntry{"00:1D:9C:C8:12:34", "BOOTP", "9:05:03", "1", "192.168.77.50", "plc1"}));

  // Both lists show the type whole, in their bold font.
  EXPECT_TRUE(testsupport::CellShowsWhole(*window->RelationTableView(), 0, 1, QStringLiteral("BOOTP")));
  EXPECT_TRUE(testsupport::CellShowsWhole(*window->HistoryTable(), 0, 1, QStringLiteral("BOOTP")));

  Request({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  EXPECT_EQ(window->StatusText(), "Unable to service BOOTP request from 00:11:22:33:44:55.");
}

// The user's selection is on relations, not on row numbers: serving moves
// rows (here into table order after a new relation went on top) and the
// selected relations stay selected; the buttons keep following them.
TEST_F(MainWindowTest, SelectionStaysOnItsRelationsWhileDevicesAreServed) {
  window->CurrentSession().SetSettings(ValidSettings(), false);
  AddRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, Ip(192, 168, 77, 50), "plc1");
  AddRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35}, Ip(192, 168, 77, 51), "plc2");
  auto third = MakeRelation({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x36}, Ip(192, 168, 77, 52), "plc3");
  window->CurrentSession().Add(std::move(third));  // on top: plc3, plc1, plc2
  ASSERT_EQ(RelationCell(0, 3), "plc3");
  SelectRelationRows({0, 2});  // plc3 and plc2
  window->UpdateButtons();

  Request({0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34});  // plc1 served: back to table order
  ASSERT_EQ(RelationCell(0, 3), "plc1");
  ASSERT_EQ(RelationCell(0, 1), "BOOTP");
  std::vector<std::string> selected;
  for (const Relation* relation : window->SelectedRelations()) selected.emplace_back(HostnameText(*relation));
  EXPECT_EQ(selected, (std::vector<std::string>{"plc2", "plc3"}));
  EXPECT_TRUE(Shown(ids::kDeleteRelationButton));
}

TEST_F(MainWindowTest, ResetSendsForceRenewToEachSelectedRowInListOrder) {
  AddRelation(kResettableMac, Ip(192, 168, 1, 20));
  AddRelation({0x0A, 0x00, 0x3C, 0x00, 0x00, 0x07}, Ip(192, 168, 1, 21));
  for (int i = 0; i < 5; ++i) Request({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  ASSERT_EQ(window->Runtime().RequestCounter(), 5u);
  SelectRelationRows({0, 1});
  window->OnCommand(ids::kResetModule);

  ASSERT_EQ(sender.sent.size(), 2u);
  std::vector<std::uint8_t> first(300, 0);
  first[0] = 2;      // op BOOTREPLY
  first[1] = 1;      // htype Ethernet
  first[2] = 6;      // hlen
  first[4] = 0x06;   // xid: counter 5 + 1, least significant byte first
  first[28] = 0x0A;  // chaddr 0A:00:3C:12:34:56
  first[29] = 0x00;
  first[30] = 0x3C;
  first[31] = 0x12;
  first[32] = 0x34;
  first[33] = 0x56;
  first[236] = 99;   // magic cookie
  first[237] = 130;
  first[238] = 83;
  first[239] = 99;
  first[240] = 53;   // option 53, DHCP message type
  first[241] = 1;    // length 1
  first[242] = 9;    // FORCERENEW
  first[243] = 255;  // End; the rest stays 0
  EXPECT_EQ(sender.sent[0].bytes, first);
  EXPECT_EQ(sender.sent[0].destination.address, Ip(255, 255, 255, 255));
  EXPECT_EQ(sender.sent[0].destination.port, 68);
  EXPECT_EQ(sender.sent[1].bytes[4], 0x07);  // xid of the second row
  EXPECT_EQ(sender.sent[1].bytes[33], 0x07);  // its chaddr
  EXPECT_EQ(window->Runtime().RequestCounter(), 7u);
  EXPECT_EQ(window->StatusText(), "Sent network reset message (DHCP FORCE_RENEW) to 0A:00:3C:00:00:07");
}

// --- Ending the window ---

TEST_F(MainWindowTest, EnterWithUnsavedChangesAsksAndCancelKeepsTheWindow) {
  window->show();
  window->CurrentSession().SetModified(true);
  surroundings.prompts.QueueAnswer(PromptAnswer::Cancel);
  QTest::keyClick(window->RelationTableView(), Qt::Key_Return);
  const ShownPrompt question{"Would you like to save your changes?", "Save Changes", PromptKind::YesNoCancel};
  EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{question});
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, EnterEscapeAndExitWithoutChangesEndAtOnce) {
  for (const int key : {static_cast<int>(Qt::Key_Return), static_cast<int>(Qt::Key_Enter),
                        static_cast<int>(Qt::Key_Escape)}) {
    window->show();
    QTest::keyClick(window->RelationTableView(), static_cast<Qt::Key>(key));
    EXPECT_FALSE(window->isVisible()) << key;
  }
  window->show();
  window->OnCommand(ids::kFileExit);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
}

TEST_F(MainWindowTest, CloseBoxAsksWhenModified) {
  window->show();
  window->CurrentSession().SetModified(true);
  surroundings.prompts.QueueAnswer(PromptAnswer::Cancel);
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  surroundings.prompts.QueueAnswer(PromptAnswer::No);
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(surroundings.prompts.Shown().size(), 2u);
}

// --- Network settings command ---

TEST_F(MainWindowTest, NetworkSettingsOkCopiesBackAndMarksModified) {
  window->CurrentSession().SetSettings(ValidSettings(), false);
  NetworkSettings entered = ValidSettings();
  entered.gateway = Ip(192, 168, 77, 1);
  entered.dns1 = Ip(192, 168, 77, 2);
  entered.SetDomainName("line4.plant.local");
  surroundings.networkDialogs.enteredSettings = entered;
  window->OnCommand(ids::kNetworkSettings);
  ASSERT_EQ(surroundings.networkDialogs.shownSettings.size(), 1u);
  EXPECT_EQ(surroundings.networkDialogs.shownSettings[0].gateway, Ip(192, 168, 77, 254));
  EXPECT_EQ(window->Settings().gateway, Ip(192, 168, 77, 1));
  EXPECT_EQ(window->Settings().dns1, Ip(192, 168, 77, 2));
  EXPECT_EQ(window->Settings().DomainName(), "line4.plant.local");
  EXPECT_TRUE(window->Modified());
}

TEST_F(MainWindowTest, NetworkSettingsCancelChangesNothing) {
  window->CurrentSession().SetSettings(ValidSettings(), false);
  surroundings.networkDialogs.enteredSettings.reset();
  window->OnCommand(ids::kNetworkSettings);
  EXPECT_EQ(window->Settings().gateway, Ip(192, 168, 77, 254));
  EXPECT_FALSE(window->Modified());
}

TEST_F(MainWindowTest, RealNetworkSettingsDialogHandsItsEntryBack) {
  Surroundings own;
  corvessa::Environment env = own.Environment();
  env.networkDialogs = nullptr;  // the real NetworkSettingsDialog
  MainWindow real(std::move(env));
  real.CurrentSession().SetSettings(ValidSettings(), false);
  std::string caption;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<NetworkSettingsDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    caption = ToStdString(dialog->windowTitle());
    dialog->GatewayEdit()->Clear();
    dialog->PrimaryDnsEdit()->SetAddress(Ip(192, 168, 77, 53));
    dialog->DomainNameEdit()->setText("cell7.local");
    dialog->OkButton()->click();
  });
  real.OnCommand(ids::kNetworkSettings);
  EXPECT_EQ(caption, "Network Settings");
  EXPECT_EQ(real.Settings().subnetMask, Ip(255, 255, 255, 0));
  EXPECT_EQ(real.Settings().gateway, 0u);
  EXPECT_EQ(real.Settings().dns1, Ip(192, 168, 77, 53));
  EXPECT_EQ(real.Settings().DomainName(), "cell7.local");
  EXPECT_TRUE(real.Modified());
}

// --- Title, help, About ---

TEST_F(MainWindowTest, TitleNamesTheFile) {
  ASSERT_TRUE(window->CurrentSession().SetCurrentFileName("/srv/plant/line4.bpc"));
  window->UpdateTitle();
  EXPECT_EQ(ToStdString(window->windowTitle()), "Corvessa - /srv/plant/line4.bpc");
  EXPECT_FALSE(window->CurrentSession().SetCurrentFileName(std::string(513, 'a')));
  EXPECT_EQ(window->CurrentFileName(), "/srv/plant/line4.bpc");
}

TEST(MainWindowHelp, HelpOpensThePageNextToTheExecutableAtItsAnchor) {
  struct Case {
    std::string executable;
    std::string url;  // empty: nothing opens
  };
  const Case cases[] = {
      {"/opt/corvessa/bin/corvessa", "file:///opt/corvessa/bin/BootP.html#131217"},
      {"/corvessa", ""},
      {"corvessa", ""},
  };
  for (const Case& c : cases) {
    for (const int command : {ids::kHelpTopics, ids::kHelp}) {
      Surroundings surroundings;
      corvessa::Environment env = surroundings.Environment();
      env.executablePath = c.executable;
      MainWindow window(std::move(env));
      window.OnCommand(command);
      if (c.url.empty()) {
        EXPECT_TRUE(surroundings.openedUrls.empty()) << c.executable;
      } else {
        ASSERT_EQ(surroundings.openedUrls.size(), 1u) << c.executable;
        EXPECT_EQ(ToStdString(surroundings.openedUrls[0].toString()), c.url);
      }
    }
  }
}

TEST_F(MainWindowTest, F1OpensHelp) {
  window->show();
  QTest::keyClick(window->RelationTableView(), Qt::Key_F1);
  ASSERT_EQ(surroundings.openedUrls.size(), 1u);
  EXPECT_EQ(ToStdString(surroundings.openedUrls[0].fileName()), "BootP.html");
  EXPECT_EQ(ToStdString(surroundings.openedUrls[0].fragment()), "131217");
}

TEST_F(MainWindowTest, AboutBoxShowsNameVersionAndOk) {
  std::string caption;
  std::vector<std::string> texts;
  bool hasIcon = false;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
    if (about == nullptr) return;
    caption = ToStdString(about->windowTitle());
    for (QLabel* label : about->findChildren<QLabel*>()) {
      if (!label->pixmap().isNull()) hasIcon = true;
      if (!label->text().isEmpty()) texts.push_back(ToStdString(label->text()));
    }
    about->OkButton()->click();
  });
  window->OnCommand(ids::kAbout);
  EXPECT_EQ(caption, "About Corvessa");
  EXPECT_EQ(texts, std::vector<std::string>{"Corvessa Version 3.06.00"});
  EXPECT_TRUE(hasIcon);
}

}  // namespace
}  // namespace corvessa::app_test
