// The relation editor driven as a user would: fields typed, OK clicked, the
// message boxes answered by a scripted implementation, the focus read from
// the application. The settings file sits in a scratch folder.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/settings_names.h"
#include "relations/relation_table.h"
#include "relations/widgets/relation_editor.h"
#include "tests/netconfig_widgets/dialog_test_support.h"
#include "tests/support/temp_folder.h"
#include "ui/network_settings_store.h"
#include "ui/settings_store.h"
#include "ui/widgets/ip_address_edit.h"
#include "ui/scripted_prompts.h"

namespace corvessa {
namespace {

using testing::FindControl;
using testing::ShowActive;
namespace names = settings_names;

constexpr int kOkId = 1;
constexpr int kCancelId = 2;
constexpr int kIpId = 1059;
constexpr int kMacId = 1069;
constexpr int kServerId = 1070;
constexpr int kHostnameId = 1072;
constexpr int kDescriptionId = 1073;

constexpr std::uint32_t kMask24 = 0xFFFFFF00;  // 255.255.255.0

// The messages and captions, byte for byte.
constexpr const char* kInvalidAddress = "Invalid Address";
constexpr const char* kAddressExists = "Address Exists";
constexpr const char* kSetupWarning = "Network Setup Warning";
constexpr const char* kBadMac = "The Ethernet (MAC) address entered is invalid.\nPlease check it and try again.";
constexpr const char* kBadIp = "The IP address entered is invalid.\nPlease check it and try again.";
constexpr const char* kMacExists =
    "The specified hardware address (MAC)\nis already in the relation list. Please change\nthe MAC and try again.";
constexpr const char* kIpExists =
    "The specified IP address is already in the\nrelation list. Please change the IP and\ntry again.";
constexpr const char* kHostnameExists =
    "The specified hostname is already in the\nrelation list. Please change the hostname\nand try again.";
constexpr const char* kGatewaySubnet =
    "The IP address and gateway are not in the same subnet.\n Please check your settings.";
constexpr const char* kServerSubnet =
    "The IP address you entered is not in the same subnet.\nPlease check your Network Settings in the Tools menu.";

constexpr std::array<std::uint8_t, 6> kListedMac = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
constexpr std::uint32_t kListedIp = 0xC0A80132;  // 192.168.1.50

std::unique_ptr<Relation> MakeListed(const std::array<std::uint8_t, 6>& mac, std::uint32_t ip, const std::string& host,
                                     const std::string& description = {}) {
  auto relation = std::make_unique<Relation>();
  std::copy(mac.begin(), mac.end(), relation->hardwareAddress.begin());
  relation->hardwareAddressLength = 6;
  relation->ipAddress = ip;
  std::copy(host.begin(), host.end(), relation->hostname.begin());
  relation->hostnameLength = static_cast<std::uint8_t>(host.size());
  std::copy(description.begin(), description.end(), relation->description.begin());
  relation->descriptionLength = static_cast<std::uint8_t>(description.size());
  return relation;
}

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

// What the IP control shows: "a.b.c.d".
std::string Shown(const IpAddressEdit* edit) {
  QStringList parts;
  for (int i = 0; i < IpAddressEdit::kFieldCount; ++i) parts << edit->Field(i)->text();
  return parts.join(QLatin1Char('.')).toStdString();
}

// The editor as the window opens it: the server address it shows is the one
// remembered for the interface the server runs on.
void InitEditor(RelationEditor& editor, const SettingsStore& store, std::string_view title,
                const std::uint8_t* mac, std::uint8_t macLength, std::uint32_t ip, const char* hostname,
                std::uint8_t hostnameLength, const char* description, std::uint8_t descriptionLength,
                const RelationTable& table, const Relation* edited, std::uint32_t mask, std::uint32_t gateway) {
  RelationEditorRequest request;
  request.title = std::string(title);
  SetEntryHardwareAddress(request.entry, mac, macLength);
  request.entry.ipAddress = ip;
  SetEntryHostname(request.entry, hostname, hostnameLength);
  SetEntryDescription(request.entry, description, descriptionLength);
  request.context = RelationEntryContext{&table, edited, mask, gateway};
  request.serverAddressText = ReadInterfaceAddressText(store, ReadLastAdapter(store));
  editor.RelationEditorInit(request);
}

class RelationEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.ok());
    SelectInterface("eth0", "192.168.1.5");
    table.Append(MakeListed(kListedMac, kListedIp, "plc1", "Line 1"));
    table.Append(MakeListed({0x00, 0x1D, 0x9C, 0x00, 0x00, 0x02}, 0xC0A80133, "", "no hostname"));
  }

  void SelectInterface(const std::string& adapter, const std::string& address) {
    ASSERT_TRUE(store.SetString(names::kVersionSection, names::kLastAdapter, adapter));
    ASSERT_TRUE(store.SetString(adapter, names::kIpAddress, address));
  }

  // A "New Entry" editor with nothing given, shown as the active window.
  void OpenNew(std::uint32_t gateway = 0) {
    InitEditor(dialog, store, "New Entry", nullptr, 0, 0, nullptr, 0, nullptr, 0, table, nullptr, kMask24, gateway);
    ASSERT_TRUE(ShowActive(dialog));
  }

  void Enter(const char* mac, std::uint32_t ip, const char* hostname = "") {
    Line(kMacId)->setText(QString::fromUtf8(mac));
    Ip()->SetAddress(ip);
    Line(kHostnameId)->setText(QString::fromUtf8(hostname));
  }

  // Clicks OK with the focus parked on the description, so that a focus
  // check sees where OnOK moved it.
  void PressOk() {
    Line(kDescriptionId)->setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(FindControl<QPushButton>(dialog, kOkId), Qt::LeftButton);
  }

  QLineEdit* Line(int id) { return FindControl<QLineEdit>(dialog, id); }
  IpAddressEdit* Ip() { return FindControl<IpAddressEdit>(dialog, kIpId); }

  // The widget that holds the keyboard focus when `id` has it.
  QWidget* FocusOf(int id) {
    if (id == kIpId) return Ip()->Field(0);
    return Line(id);
  }

  bool Accepted() { return dialog.result() == QDialog::Accepted && !dialog.isVisible(); }

  testsupport::TempFolder folder{"settings"};
  SettingsStore store{(folder.Path() / "corvessa.conf").string()};
  ScriptedPrompts prompts;
  RelationTable table;
  RelationEditor dialog{prompts};
};

TEST_F(RelationEditorTest, ControlsFollowTheTemplate) {
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("New Entry"));
  EXPECT_TRUE(dialog.isModal());
  EXPECT_EQ(dialog.parentWidget(), nullptr);

  struct Row {
    int id;
    const char* label;
    const char* name;
    const char* tip;
  };
  const Row rows[] = {
      {kServerId, "Server IP Address:", "Server IP Address", ""},
      {kMacId, "Client Address (MAC):", "Client Address (MAC)",
       "Enter the hardware address (MAC) for the requesting device."},
      {kIpId, "Client IP Address:", "Client IP Address", "Enter the IP address for the device to be assigned."},
      {kHostnameId, "Hostname:", "Hostname", "Enter the hostname for the device to be assigned."},
      {kDescriptionId, "Description:", "Description", "Enter a short description for this device."},
  };
  ASSERT_TRUE(ShowActive(dialog));
  int previousBottom = -1;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    QWidget* control = row.id == kIpId ? static_cast<QWidget*>(Ip()) : Line(row.id);
    ASSERT_NE(control, nullptr);
    const QLabel* label = testing::LabelOf(dialog, control);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8(row.label));
    EXPECT_EQ(AccessibleName(control), QString::fromUtf8(row.name));
    EXPECT_EQ(control->toolTip(), QString::fromUtf8(row.tip));
    // Top to bottom: each label above its control, below the previous control.
    EXPECT_GT(label->y(), previousBottom);
    EXPECT_GT(control->y(), label->y());
    previousBottom = control->y();
  }
  EXPECT_TRUE(Line(kServerId)->isReadOnly());
  EXPECT_FALSE(Line(kMacId)->isReadOnly());
  EXPECT_EQ(Line(kHostnameId)->maxLength(), 32);
  EXPECT_EQ(Line(kDescriptionId)->maxLength(), 255);
  // No limit of its own: QLineEdit's largest.
  EXPECT_EQ(Line(kMacId)->maxLength(), 32767);
  EXPECT_EQ(FindControl<QPushButton>(dialog, kOkId)->text(), QStringLiteral("OK"));
  EXPECT_TRUE(FindControl<QPushButton>(dialog, kOkId)->isDefault());
  EXPECT_EQ(FindControl<QPushButton>(dialog, kCancelId)->text(), QStringLiteral("Cancel"));
}

TEST_F(RelationEditorTest, PropertiesShowTheRelationAndTheServerAddress) {
  const Relation& listed = *table.At(0);
  InitEditor(dialog, store, "Properties", listed.hardwareAddress.data(), listed.hardwareAddressLength,
                            listed.ipAddress, listed.hostname.data(), listed.hostnameLength, listed.description.data(),
                            listed.descriptionLength, table, &listed, kMask24, 0);
  ASSERT_TRUE(ShowActive(dialog));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Properties"));
  EXPECT_EQ(Line(kMacId)->text(), QStringLiteral("00:1D:9C:C8:12:34"));
  EXPECT_EQ(Shown(Ip()), "192.168.1.50");
  EXPECT_EQ(Line(kHostnameId)->text(), QStringLiteral("plc1"));
  EXPECT_EQ(Line(kDescriptionId)->text(), QStringLiteral("Line 1"));
  EXPECT_EQ(Line(kServerId)->text(), QStringLiteral("192.168.1.5"));
}

TEST_F(RelationEditorTest, NewEntryWithNothingGivenStartsEmpty) {
  OpenNew();
  EXPECT_EQ(Line(kMacId)->text(), QString());
  EXPECT_EQ(Shown(Ip()), "0.0.0.0");
  EXPECT_EQ(Line(kHostnameId)->text(), QString());
  EXPECT_EQ(Line(kDescriptionId)->text(), QString());
}

TEST_F(RelationEditorTest, PartlyConvertedAddressIsShownAsGiven) {
  // What Add Relation hands over when a history text did not convert.
  const std::uint8_t partial[] = {0x00, 0x1D, 0x9C};
  InitEditor(dialog, store, "New Entry", partial, 3, 0, nullptr, 0, nullptr, 0, table, nullptr, kMask24, 0);
  ASSERT_TRUE(ShowActive(dialog));
  EXPECT_EQ(Line(kMacId)->text(), QStringLiteral("00:1D:9C"));
}

struct CheckCase {
  const char* name;
  const char* mac;
  std::uint32_t ip;
  const char* hostname;
  std::uint32_t gateway;
  const char* message;
  const char* caption;
  int focusId;
};

TEST_F(RelationEditorTest, EachFailedCheckShowsItsBoxAndTakesTheFocus) {
  const CheckCase cases[] = {
      {"MAC with five bytes", "00:1D:9C:C8:12", 0xC0A8013C, "", 0, kBadMac, kInvalidAddress, kMacId},
      {"MAC with eleven digits", "001D9CC8123", 0xC0A8013C, "", 0, kBadMac, kInvalidAddress, kMacId},
      {"MAC with thirteen digits", "001D9CC812345", 0xC0A8013C, "", 0, kBadMac, kInvalidAddress, kMacId},
      {"empty MAC", "", 0xC0A8013C, "", 0, kBadMac, kInvalidAddress, kMacId},
      {"MAC and IP both invalid: only the MAC", "zz", 0x7F000001, "", 0, kBadMac, kInvalidAddress, kMacId},
      {"loopback IP", "00:1D:9C:00:00:09", 0x7F000001, "", 0, kBadIp, kInvalidAddress, kIpId},
      {"blank IP", "00:1D:9C:00:00:09", 0, "", 0, kBadIp, kInvalidAddress, kIpId},
      {"listed MAC in another spelling", "00-1d-9c-c8-12-34", 0xC0A8013C, "", 0, kMacExists, kAddressExists,
       kMacId},
      {"listed IP", "00:1D:9C:00:00:09", kListedIp, "", 0, kIpExists, kAddressExists, kIpId},
      {"listed hostname", "00:1D:9C:00:00:09", 0xC0A8013C, "plc1", 0, kHostnameExists, kAddressExists,
       kHostnameId},
      {"IP outside the gateway's subnet", "00:1D:9C:00:00:09", 0xC0A80205, "", 0xC0A80101, kGatewaySubnet,
       kSetupWarning, kIpId},
      {"IP outside the server's subnet", "00:1D:9C:00:00:09", 0x0A010203, "", 0, kServerSubnet, kSetupWarning,
       kIpId},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.ClearShown();
    RelationEditor editor{prompts};
    InitEditor(editor, store, "New Entry", nullptr, 0, 0, nullptr, 0, nullptr, 0, table, nullptr, kMask24,
                              c.gateway);
    ASSERT_TRUE(ShowActive(editor));
    FindControl<QLineEdit>(editor, kMacId)->setText(QString::fromUtf8(c.mac));
    if (c.ip == 0) {
      FindControl<IpAddressEdit>(editor, kIpId)->Clear();
    } else {
      FindControl<IpAddressEdit>(editor, kIpId)->SetAddress(c.ip);
    }
    FindControl<QLineEdit>(editor, kHostnameId)->setText(QString::fromUtf8(c.hostname));
    FindControl<QLineEdit>(editor, kDescriptionId)->setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(FindControl<QPushButton>(editor, kOkId), Qt::LeftButton);

    const std::vector<ShownPrompt> expected = {{c.message, c.caption, PromptKind::Message}};
    EXPECT_EQ(prompts.Shown(), expected);
    QWidget* focusTarget = c.focusId == kIpId
                               ? FindControl<IpAddressEdit>(editor, kIpId)->Field(0)
                               : static_cast<QWidget*>(FindControl<QLineEdit>(editor, c.focusId));
    EXPECT_EQ(QApplication::focusWidget(), focusTarget);
    EXPECT_TRUE(editor.isVisible());
    EXPECT_NE(editor.result(), QDialog::Accepted);
  }
}

TEST_F(RelationEditorTest, FieldsAreReadEvenWhenACheckFails) {
  OpenNew();
  Enter("00-1d-9c-00-00-09", 0x7F000001, "cell7");
  Line(kDescriptionId)->setText(QStringLiteral("spare"));
  PressOk();
  ASSERT_EQ(prompts.ShownTexts(), std::vector<std::string>{kBadIp});
  const RelationEntry& entry = dialog.Entry();
  EXPECT_EQ(entry.hardwareAddressLength, 6);
  const std::array<std::uint8_t, 16> mac = {0x00, 0x1D, 0x9C, 0x00, 0x00, 0x09};
  EXPECT_EQ(entry.hardwareAddress, mac);
  EXPECT_EQ(entry.ipAddress, 0x7F000001u);
  EXPECT_EQ(std::string(entry.hostname.data(), entry.hostnameLength), "cell7");
  EXPECT_EQ(std::string(entry.description.data(), entry.descriptionLength), "spare");

  // Corrected and pressed again: the dialog closes.
  prompts.ClearShown();
  Ip()->SetAddress(0xC0A8013C);
  PressOk();
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_TRUE(Accepted());
}

TEST_F(RelationEditorTest, HostnameInOtherCasePasses) {
  OpenNew();
  Enter("00:1D:9C:00:00:09", 0xC0A8013C, "PLC1");
  PressOk();
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_TRUE(Accepted());
}

TEST_F(RelationEditorTest, EmptyHostnameNeverCollides) {
  // The second listed relation has no hostname either.
  OpenNew();
  Enter("00:1D:9C:00:00:09", 0xC0A8013C, "");
  PressOk();
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_TRUE(Accepted());
}

TEST_F(RelationEditorTest, GatewayZeroSkipsTheGatewayCheck) {
  // 192.168.1.60 is in the server's subnet; only a set gateway elsewhere refuses it.
  for (const std::uint32_t gateway : {0u, 0xC0A80201u}) {
    SCOPED_TRACE(gateway);
    prompts.ClearShown();
    RelationEditor editor{prompts};
    InitEditor(editor, store, "New Entry", nullptr, 0, 0, nullptr, 0, nullptr, 0, table, nullptr, kMask24, gateway);
    ASSERT_TRUE(ShowActive(editor));
    FindControl<QLineEdit>(editor, kMacId)->setText(QStringLiteral("00:1D:9C:00:00:09"));
    FindControl<IpAddressEdit>(editor, kIpId)->SetAddress(0xC0A8013C);
    editor.OnOK();
    if (gateway == 0) {
      EXPECT_TRUE(prompts.Shown().empty());
      EXPECT_EQ(editor.result(), QDialog::Accepted);
    } else {
      EXPECT_EQ(prompts.ShownTexts(), std::vector<std::string>{kGatewaySubnet});
    }
  }
}

TEST_F(RelationEditorTest, WithoutAServerAddressEveryValidIpFails) {
  SelectInterface("eth1", "");
  for (const std::uint32_t ip : {0xC0A8013Cu, 0x0A010203u, 0xAC100001u, 0xDF000001u}) {
    SCOPED_TRACE(ip);
    prompts.ClearShown();
    RelationEditor editor{prompts};
    InitEditor(editor, store, "New Entry", nullptr, 0, 0, nullptr, 0, nullptr, 0, table, nullptr, kMask24, 0);
    ASSERT_TRUE(ShowActive(editor));
    EXPECT_EQ(FindControl<QLineEdit>(editor, kServerId)->text(), QString());
    FindControl<QLineEdit>(editor, kMacId)->setText(QStringLiteral("00:1D:9C:00:00:09"));
    FindControl<IpAddressEdit>(editor, kIpId)->SetAddress(ip);
    editor.OnOK();
    EXPECT_EQ(prompts.ShownTexts(), std::vector<std::string>{kServerSubnet});
  }
}

TEST_F(RelationEditorTest, UnchangedEditPassesAgainstItself) {
  Relation& listed = *table.At(0);
  listed.type = kRelationTypeDhcp;
  InitEditor(dialog, store, "Properties", listed.hardwareAddress.data(), listed.hardwareAddressLength,
                            listed.ipAddress, listed.hostname.data(), listed.hostnameLength, listed.description.data(),
                            listed.descriptionLength, table, &listed, kMask24, 0xC0A80101);
  ASSERT_TRUE(ShowActive(dialog));
  PressOk();
  EXPECT_TRUE(prompts.Shown().empty());
  ASSERT_TRUE(Accepted());

  const std::unique_ptr<Relation> taken = dialog.TakeRelation();
  EXPECT_NE(taken.get(), &listed);
  EXPECT_EQ(taken->hardwareAddress, listed.hardwareAddress);
  EXPECT_EQ(taken->hardwareAddressLength, 6);
  EXPECT_EQ(taken->ipAddress, kListedIp);
  EXPECT_EQ(taken->hostname, listed.hostname);
  EXPECT_EQ(taken->hostnameLength, 4);
  EXPECT_EQ(taken->description, listed.description);
  EXPECT_EQ(taken->descriptionLength, 6);
  EXPECT_EQ(taken->type, kRelationTypeNone);
}

TEST_F(RelationEditorTest, EditStillRefusesAnotherRelationsValues) {
  // Editing the second relation to the first one's IP address.
  const Relation& second = *table.At(1);
  InitEditor(dialog, store, "Properties", second.hardwareAddress.data(), second.hardwareAddressLength,
                            second.ipAddress, second.hostname.data(), second.hostnameLength,
                            second.description.data(), second.descriptionLength, table, &second, kMask24, 0);
  ASSERT_TRUE(ShowActive(dialog));
  Ip()->SetAddress(kListedIp);
  PressOk();
  EXPECT_EQ(prompts.ShownTexts(), std::vector<std::string>{kIpExists});
  EXPECT_EQ(QApplication::focusWidget(), FocusOf(kIpId));
}

TEST_F(RelationEditorTest, ThreeSpellingsGiveTheSameSixBytes) {
  RelationTable empty;
  for (const char* spelling : {"00:1D:9C:C8:12:34", "00-1d-9c-c8-12-34", "001D9CC81234"}) {
    SCOPED_TRACE(spelling);
    RelationEditor editor{prompts};
    InitEditor(editor, store, "New Entry", nullptr, 0, 0, nullptr, 0, nullptr, 0, empty, nullptr, kMask24, 0);
    ASSERT_TRUE(ShowActive(editor));
    FindControl<QLineEdit>(editor, kMacId)->setText(QString::fromUtf8(spelling));
    FindControl<IpAddressEdit>(editor, kIpId)->SetAddress(0xC0A8013C);
    editor.OnOK();
    ASSERT_EQ(editor.result(), QDialog::Accepted);
    const std::unique_ptr<Relation> taken = editor.TakeRelation();
    // 00 1D 9C C8 12 34, then ten zero bytes
    const std::array<std::uint8_t, 16> expected = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
    EXPECT_EQ(taken->hardwareAddress, expected);
    EXPECT_EQ(taken->hardwareAddressLength, 6);
  }
  EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(RelationEditorTest, HostnameTakesThirtyTwoCharactersAndNoMore) {
  OpenNew();
  Enter("00:1D:9C:00:00:09", 0xC0A8013C);
  const QString thirtyTwo = QStringLiteral("abcdefghijklmnopqrstuvwxyz-12345");
  ASSERT_EQ(thirtyTwo.size(), 32);
  Line(kHostnameId)->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(Line(kHostnameId), thirtyTwo);
  QTest::keyClicks(Line(kHostnameId), QStringLiteral("X"));
  EXPECT_EQ(Line(kHostnameId)->text(), thirtyTwo);
  PressOk();
  ASSERT_TRUE(Accepted());
  const std::unique_ptr<Relation> taken = dialog.TakeRelation();
  EXPECT_EQ(taken->hostnameLength, 32);
  // The full field, no terminating zero.
  EXPECT_EQ(std::string(taken->hostname.data(), taken->hostname.size()), thirtyTwo.toStdString());
}

// Types `text` one key at a time, each key carrying its character (QTest's
// own key clicks know only ASCII).
void Type(QLineEdit* edit, const QString& text) {
  for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Texts from an older file in Latin-1: 0xF6 is "ö", which UTF-8 writes as
// two bytes. Properties and OK without a change must leave every byte.
TEST_F(RelationEditorTest, UnchangedLatinOneTextsKeepTheirBytes) {
  const std::string hostname = "station-\xF6" "lkeller-abcdefghijklmno";  // 32 bytes, one of them 0xF6
  ASSERT_EQ(hostname.size(), 32u);
  const std::string description = "Schl\xFC" "ssel \xF6l";
  RelationTable own;
  own.Append(MakeListed(kListedMac, kListedIp, hostname, description));
  const Relation& listed = *own.At(0);
  InitEditor(dialog, store, "Properties", listed.hardwareAddress.data(), listed.hardwareAddressLength,
                            listed.ipAddress, listed.hostname.data(), listed.hostnameLength, listed.description.data(),
                            listed.descriptionLength, own, &listed, kMask24, 0);
  ASSERT_TRUE(ShowActive(dialog));
  EXPECT_EQ(Line(kHostnameId)->text(), QString::fromLatin1(hostname));
  PressOk();
  ASSERT_TRUE(Accepted());
  const std::unique_ptr<Relation> taken = dialog.TakeRelation();
  EXPECT_EQ(taken->hostname, listed.hostname);
  EXPECT_EQ(taken->hostnameLength, 32);
  EXPECT_EQ(taken->description, listed.description);
  EXPECT_EQ(taken->descriptionLength, description.size());
}

// A changed Latin-1 text stays Latin-1: the rest of its bytes do not change
// because one character was added.
TEST_F(RelationEditorTest, ChangedLatinOneTextIsStoredInLatinOne) {
  const std::string description = "Schl\xFC" "ssel \xF6l";
  RelationTable own;
  own.Append(MakeListed(kListedMac, kListedIp, "plc1", description));
  const Relation& listed = *own.At(0);
  InitEditor(dialog, store, "Properties", listed.hardwareAddress.data(), listed.hardwareAddressLength,
                            listed.ipAddress, listed.hostname.data(), listed.hostnameLength, listed.description.data(),
                            listed.descriptionLength, own, &listed, kMask24, 0);
  ASSERT_TRUE(ShowActive(dialog));
  Line(kDescriptionId)->setFocus(Qt::OtherFocusReason);
  Line(kDescriptionId)->end(false);
  Type(Line(kDescriptionId), QString::fromUtf8("\xC3\xA4"));  // "ä", 0xE4 in Latin-1
  PressOk();
  ASSERT_TRUE(Accepted());
  const std::unique_ptr<Relation> taken = dialog.TakeRelation();
  EXPECT_EQ(std::string(taken->description.data(), taken->descriptionLength), description + "\xE4");
}

// The hostname's limit counts the bytes it is stored as: 16 characters of
// two UTF-8 bytes fill its 32 bytes.
TEST_F(RelationEditorTest, LengthLimitCountsStoredBytes) {
  OpenNew();
  Enter("00:1D:9C:00:00:09", 0xC0A8013C);
  const QString oe = QString::fromUtf8("\xC3\xB6");  // "ö", two bytes in UTF-8
  Line(kHostnameId)->setFocus(Qt::OtherFocusReason);
  Type(Line(kHostnameId), QStringLiteral("a") + oe.repeated(15));  // 31 bytes
  Type(Line(kHostnameId), oe);                                     // 33: refused
  EXPECT_EQ(Line(kHostnameId)->text(), QStringLiteral("a") + oe.repeated(15));
  Type(Line(kHostnameId), QStringLiteral("b"));  // 32: taken
  Type(Line(kHostnameId), QStringLiteral("c"));  // 33: refused
  PressOk();
  ASSERT_TRUE(Accepted());
  const std::unique_ptr<Relation> taken = dialog.TakeRelation();
  EXPECT_EQ(taken->hostnameLength, 32);
  std::string expected = "a";
  for (int i = 0; i < 15; ++i) expected += "\xC3\xB6";
  expected += "b";
  EXPECT_EQ(std::string(taken->hostname.data(), taken->hostname.size()), expected);
}

TEST_F(RelationEditorTest, TakenRelationHoldsTheEnteredBytes) {
  OpenNew();
  Enter("0a:00:3c:01:02:03", 0xC0A8013C, "drive-3");
  Line(kDescriptionId)->setText(QStringLiteral("Conveyor"));
  PressOk();
  ASSERT_TRUE(Accepted());
  const std::unique_ptr<Relation> taken = dialog.TakeRelation();

  Relation expected;
  // hardware address 0A 00 3C 01 02 03, length 6
  expected.hardwareAddress = {0x0A, 0x00, 0x3C, 0x01, 0x02, 0x03};
  expected.hardwareAddressLength = 6;
  // IP 192.168.1.60
  expected.ipAddress = 0xC0A8013C;
  // hostname "drive-3", rest zero
  expected.hostname = {'d', 'r', 'i', 'v', 'e', '-', '3'};
  expected.hostnameLength = 7;
  // description "Conveyor", rest zero
  expected.description = {'C', 'o', 'n', 'v', 'e', 'y', 'o', 'r'};
  expected.descriptionLength = 8;
  EXPECT_EQ(taken->hardwareAddress, expected.hardwareAddress);
  EXPECT_EQ(taken->hardwareAddressLength, expected.hardwareAddressLength);
  EXPECT_EQ(taken->type, kRelationTypeNone);
  EXPECT_EQ(taken->ipAddress, expected.ipAddress);
  EXPECT_EQ(taken->hostname, expected.hostname);
  EXPECT_EQ(taken->hostnameLength, expected.hostnameLength);
  EXPECT_EQ(taken->description, expected.description);
  EXPECT_EQ(taken->descriptionLength, expected.descriptionLength);
}

TEST_F(RelationEditorTest, CancelRunsNoCheck) {
  OpenNew();
  Enter("zz", 0);
  QTest::mouseClick(FindControl<QPushButton>(dialog, kCancelId), Qt::LeftButton);
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(RelationEditorTest, EnterPressesOk) {
  OpenNew();
  Enter("00:1D:9C:00:00:09", 0x7F000001);
  Line(kHostnameId)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(Line(kHostnameId), Qt::Key_Return);
  EXPECT_EQ(prompts.ShownTexts(), std::vector<std::string>{kBadIp});
  EXPECT_EQ(QApplication::focusWidget(), FocusOf(kIpId));
}

}  // namespace
}  // namespace corvessa
