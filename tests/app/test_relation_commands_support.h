#pragma once
// Answers the relation editor while it runs modally inside a command: notes
// what it shows, runs the test's next action on it, and cancels whatever is
// still open afterwards, so a test never hangs on an editor it did not expect.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLabel>

#include "app/command_ids.h"
#include "core/settings_names.h"
#include "relations/widgets/relation_editor.h"
#include "tests/app/window_fixture.h"
#include "ui/widgets/ip_address_edit.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {

// What an editor showed when it opened.
struct ShownEditor {
  std::string title;
  std::string mac;
  std::string ip;  // the four fields joined by dots
  std::string hostname;
  std::string description;

  bool operator==(const ShownEditor&) const = default;
};

inline std::string ShownAddress(const IpAddressEdit& edit) {
  QStringList parts;
  for (int i = 0; i < IpAddressEdit::kFieldCount; ++i) parts << edit.Field(i)->text();
  return parts.join(QLatin1Char('.')).toStdString();
}

class RelationEditorDriver {
 public:
  using Action = std::function<void(RelationEditor&)>;

  RelationEditorDriver() {
    // Fires only while an event loop runs, that is while a command waits in
    // the editor's exec.
    timer_.setInterval(kPollMilliseconds);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  void Queue(Action action) { actions_.push_back(std::move(action)); }

  // Types into the fields that are given (nullptr leaves a field as shown) and presses OK.
  static Action EnterAndOk(const char* mac, const char* ip, const char* hostname = nullptr,
                           const char* description = nullptr) {
    return [=](RelationEditor& editor) {
      if (mac != nullptr) editor.HardwareAddressEdit()->setText(QString::fromUtf8(mac));
      if (ip != nullptr) {
        const QStringList octets = QString::fromUtf8(ip).split(QLatin1Char('.'));
        for (int i = 0; i < IpAddressEdit::kFieldCount && i < octets.size(); ++i) {
          editor.IpEdit()->Field(i)->setText(octets.at(i));
        }
      }
      if (hostname != nullptr) editor.HostnameEdit()->setText(QString::fromUtf8(hostname));
      if (description != nullptr) editor.DescriptionEdit()->setText(QString::fromUtf8(description));
      QTest::mouseClick(editor.OkButton(), Qt::LeftButton);
    };
  }
  static Action PressOk() { return EnterAndOk(nullptr, nullptr); }
  static Action PressCancel() {
    return [](RelationEditor& editor) { QTest::mouseClick(editor.CancelButton(), Qt::LeftButton); };
  }

  const std::vector<ShownEditor>& Shown() const { return shown_; }
  std::size_t PendingActions() const { return actions_.size(); }

 private:
  static constexpr int kPollMilliseconds = 5;
  static constexpr const char* kDrivenProperty = "drivenByTest";

  void Poll() {
    auto* editor = qobject_cast<RelationEditor*>(QApplication::activeModalWidget());
    if (editor == nullptr || !editor->isVisible() || editor->property(kDrivenProperty).toBool()) return;
    editor->setProperty(kDrivenProperty, true);
    shown_.push_back({editor->windowTitle().toStdString(), editor->HardwareAddressEdit()->text().toStdString(),
                      ShownAddress(*editor->IpEdit()), editor->HostnameEdit()->text().toStdString(),
                      editor->DescriptionEdit()->text().toStdString()});
    if (!actions_.empty()) {
      const Action action = std::move(actions_.front());
      actions_.pop_front();
      action(*editor);
    }
    // An entry the checks refused, or an editor nobody expected.
    if (editor->isVisible()) editor->reject();
  }

  QTimer timer_;
  std::deque<Action> actions_;
  std::vector<ShownEditor> shown_;
};

// A shown main window without a server socket, on a host whose server
// address is 192.168.1.5/24; requests go to the runtime directly and its
// replies are recorded.
class RelationCommandsTest : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kMask24 = Ip(255, 255, 255, 0);

  void SetUp() override {
    namespace names = settings_names;
    ASSERT_TRUE(surroundings.store.SetString(names::kVersionSection, names::kLastAdapter, "eth0"));
    ASSERT_TRUE(surroundings.store.SetString("eth0", names::kIpAddress, "192.168.1.5"));
    window = std::make_unique<MainWindow>(surroundings.Environment());
    window->SetupLists();
    ChangeSettings(*window, [&](NetworkSettings& s) { s.subnetMask = kMask24; });
    window->Runtime().SetSender(&sender);
    window->Runtime().SetClock([] { return LocalTime{9, 5, 3}; });
    window->UpdateButtons();
    window->UpdateRelationCounter();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  void TearDown() override {
    if (window) window->hide();
  }

  Relation* Listed(const std::vector<std::uint8_t>& mac, std::uint32_t ip, std::string hostname = {},
                   std::string description = {}) {
    auto relation = MakeRelation(mac, ip, std::move(hostname), std::move(description));
    Relation* raw = relation.get();
    window->Relations().Append(std::move(relation));
    window->RefreshRelationList();
    window->UpdateRelationCounter();
    return raw;
  }

  void Request(const std::vector<std::uint8_t>& mac) {
    const std::vector<std::uint8_t> bytes = BootpRequest(mac);
    window->HandleDatagram(bytes.data(), bytes.size());
  }

  Table& RelationList() { return *window->RelationTableView(); }
  Table& HistoryList() { return *window->HistoryTable(); }

  void SelectRelationRows(std::initializer_list<int> rows) {
    RelationList().ClearSelectionOfRows();
    for (const int row : rows) RelationList().SelectRow(row, true);
  }

  // The texts of one column of the relation list, top to bottom.
  std::vector<std::string> Column(int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < RelationList().RowCount(); ++row) {
      texts.push_back(RelationList().CellText(row, column));
    }
    return texts;
  }

  // The relations in table order, as hostnames.
  std::vector<std::string> TableHostnames() {
    std::vector<std::string> names;
    for (const auto& relation : window->Relations()) {
      names.emplace_back(relation->hostname.data(), relation->hostnameLength);
    }
    return names;
  }

  std::string Counter() {
    return qobject_cast<QLabel*>(window->Control(ids::kRelationCounter))->text().toStdString();
  }

  // A click on a header of the relation list, as the mouse gives it.
  void ClickHeader(int column) {
    QHeaderView* header = nullptr;
    for (QHeaderView* candidate : RelationList().findChildren<QHeaderView*>()) {
      if (candidate->orientation() == Qt::Horizontal) header = candidate;
    }
    ASSERT_NE(header, nullptr);
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }

  // A double-click on a row of a list; -1 on its empty part below the rows.
  static void DoubleClickRow(Table& list, int row) {
    QPoint at;
    if (row >= 0) {
      at = list.visualRect(list.model()->index(row, 0)).center();
    } else {
      at = QPoint(list.viewport()->width() / 2, list.viewport()->height() - 2);
    }
    // The press before the double-click selects, as a real double-click does.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }

  Surroundings surroundings;
  RecordingSender sender;
  RelationEditorDriver editors;
  std::unique_ptr<MainWindow> window;
};

}  // namespace corvessa::app_test
