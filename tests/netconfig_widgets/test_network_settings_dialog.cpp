// The network settings dialog against a scripted host whose configuration
// files sit in a scratch folder.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/settings_names.h"
#include "netconfig/widgets/network_settings_dialog.h"
#include "tests/netconfig_widgets/dialog_test_support.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"
#include "ui/settings_store.h"
#include "ui/widgets/ip_address_edit.h"
#include "ui/scripted_prompts.h"

namespace corvessa {
namespace {

using testing::FindControl;
using testing::ShowActive;
using testsupport::MakeInterface;
using testsupport::ScriptedHost;

namespace names = settings_names;

constexpr int kOkId = 1;
constexpr int kCancelId = 2;
constexpr int kResetId = 1040;
constexpr int kMaskId = 1059;
constexpr int kGatewayId = 1060;
constexpr int kDns1Id = 1061;
constexpr int kDns2Id = 1062;
constexpr int kDomainId = 1071;
constexpr int kServerId = 1073;
constexpr int kAdapterId = 1077;

constexpr const char* kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
// eth1: default via 192.168.10.1 (C0.A8.0A.01 read little-endian), metric 100
constexpr const char* kDefaultRoute = "eth1\t00000000\t010AA8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
// eth1: connected 192.168.10.0/24, no gateway
constexpr const char* kConnectedRoute = "eth1\t000AA8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";

constexpr const char* kTwoServers = "nameserver 10.0.0.53\nnameserver 10.0.0.54\nsearch plant.local lab.local\n";

constexpr const char* kInvalidAddressCaption = "Invalid Address";
constexpr const char* kMaskMessage = "The subnet mask entered is invalid.\nPlease check it and try again.";
constexpr const char* kGatewayMessage = "The gateway address entered is invalid.\nPlease check it and try again.";
constexpr const char* kDns1Message =
    "The primary domain name server address entered\nis invalid. Please check it and try again.";
constexpr const char* kDns2Message =
    "The secondary domain name server address entered\nis invalid. Please check it and try again.";

// What the control shows: "a.b.c.d", "" when blank.
std::string Shown(const IpAddressEdit* edit) {
  if (edit->IsBlank()) return {};
  QStringList parts;
  for (int i = 0; i < IpAddressEdit::kFieldCount; ++i) parts << edit->Field(i)->text();
  return parts.join(QLatin1Char('.')).toStdString();
}

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

NetworkSettings Settings(std::uint32_t mask, std::uint32_t gateway, std::uint32_t dns1, std::uint32_t dns2,
                         const char* domain) {
  NetworkSettings settings;
  settings.subnetMask = mask;
  settings.gateway = gateway;
  settings.dns1 = dns1;
  settings.dns2 = dns2;
  settings.SetDomainName(domain);
  return settings;
}

bool SameSettings(const NetworkSettings& a, const NetworkSettings& b) {
  return a.subnetMask == b.subnetMask && a.gateway == b.gateway && a.dns1 == b.dns1 && a.dns2 == b.dns2 &&
         a.domainName == b.domainName && a.domainNameLength == b.domainNameLength;
}

class SetDefaultsDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    host.routeFile = dir.Write("route", std::string(kRouteHeader) + kDefaultRoute + kConnectedRoute);
    host.resolvConf = dir.Write("resolv.conf", kTwoServers);
    host.resolvedUpstream = dir.File("no-upstream");
    host.interfaces = {
        MakeInterface("eth0", 2, kEthernetLinkType, true, {{0x0A000005, 0xFF000000}}),  // 10.0.0.5/8
        MakeInterface("eth1", 3, kEthernetLinkType, true, {{0xC0A80A05, 0xFFFFFF00}}),  // 192.168.10.5/24
    };
    Select("eth1", "192.168.10.5");
  }

  void Select(const std::string& adapter, const std::string& address) {
    ASSERT_TRUE(store.SetString(names::kVersionSection, names::kLastAdapter, adapter));
    ASSERT_TRUE(store.SetString(adapter, names::kIpAddress, address));
  }

  IpAddressEdit* Edit(int id) { return FindControl<IpAddressEdit>(dialog, id); }
  QLineEdit* LineEdit(int id) { return FindControl<QLineEdit>(dialog, id); }
  void Click(int id) { QTest::mouseClick(FindControl<QPushButton>(dialog, id), Qt::LeftButton); }

  // The shown values of mask, gateway, dns1, dns2 and the domain.
  std::vector<std::string> ShownValues() {
    return {Shown(Edit(kMaskId)), Shown(Edit(kGatewayId)), Shown(Edit(kDns1Id)), Shown(Edit(kDns2Id)),
            LineEdit(kDomainId)->text().toStdString()};
  }

  testsupport::TempFolder dir{"netcfg"};
  SettingsStore store{dir.File("corvessa.conf")};
  ScriptedPrompts prompts;
  ScriptedHost host;
  NetworkSettingsDialog dialog{store, prompts, host};
};

TEST_F(SetDefaultsDlgTest, FirstStartOffersTheInterfacesOwnConfiguration) {
  dialog.SetSettings(NetworkSettings{});
  dialog.show();
  const std::vector<std::string> expected = {"255.255.255.0", "192.168.10.1", "10.0.0.53", "10.0.0.54",
                                             "plant.local"};
  EXPECT_EQ(ShownValues(), expected);
  EXPECT_EQ(FindControl<QLabel>(dialog, kAdapterId)->text(), QStringLiteral("Adapter: eth1"));
  EXPECT_EQ(LineEdit(kServerId)->text(), QStringLiteral("192.168.10.5"));
  EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(SetDefaultsDlgTest, SettingsWithAnAddressAreShownAsTheyAre) {
  // Only the mask set: the configuration is not offered, zeros stay blank.
  dialog.SetSettings(Settings(0xFFFF0000, 0, 0, 0, "own.domain"));
  dialog.show();
  const std::vector<std::string> expected = {"255.255.0.0", "", "", "", "own.domain"};
  EXPECT_EQ(ShownValues(), expected);
}

TEST_F(SetDefaultsDlgTest, NoMatchingInterfaceLeavesAllBlankButTheMask) {
  Select("eth2", "Unknown");
  dialog.SetSettings(NetworkSettings{});
  dialog.show();
  const std::vector<std::string> expected = {"0.0.0.0", "", "", "", ""};
  EXPECT_EQ(ShownValues(), expected);
  EXPECT_EQ(FindControl<QLabel>(dialog, kAdapterId)->text(), QStringLiteral("Adapter: eth2"));
  EXPECT_EQ(LineEdit(kServerId)->text(), QStringLiteral("Unknown"));
  EXPECT_TRUE(LineEdit(kServerId)->isReadOnly());
}

TEST_F(SetDefaultsDlgTest, MaskAloneIsAccepted) {
  Select("eth2", "Unknown");
  dialog.SetSettings(NetworkSettings{});
  dialog.show();
  Edit(kMaskId)->SetAddress(0xFFFFFF00);
  Click(kOkId);
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(SameSettings(dialog.Settings(), Settings(0xFFFFFF00, 0, 0, 0, "")));
}

TEST_F(SetDefaultsDlgTest, OkStoresWhatWasEntered) {
  // A longer name before: the bytes after the new, shorter one must be 0.
  dialog.SetSettings(Settings(0xFFFF0000, 0, 0, 0, "a.much.longer.domain.name.example"));
  ASSERT_TRUE(ShowActive(dialog));
  Edit(kMaskId)->SetAddress(0xFFFFFF00);
  Edit(kGatewayId)->SetAddress(0xC0A80A01);
  Edit(kDns1Id)->SetAddress(0x0A000035);
  Edit(kDns2Id)->SetAddress(0x0A000036);
  LineEdit(kDomainId)->clear();
  QTest::keyClicks(LineEdit(kDomainId), QStringLiteral("lab.local"));
  QTest::keyClick(LineEdit(kDomainId), Qt::Key_Return);  // Enter is OK
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(SameSettings(dialog.Settings(), Settings(0xFFFFFF00, 0xC0A80A01, 0x0A000035, 0x0A000036, "lab.local")));
  EXPECT_EQ(dialog.Settings().domainNameLength, 9);
}

struct ProblemCase {
  const char* name;
  std::function<void(IpAddressEdit* mask, IpAddressEdit* gateway, IpAddressEdit* dns1, IpAddressEdit* dns2)> enter;
  const char* message;
  int focusId;
};

TEST_F(SetDefaultsDlgTest, EachProblemGetsOneMessageAndTheFocus) {
  const ProblemCase cases[] = {
      {"gateway in another subnet than the server",
       [](auto*, auto* gw, auto*, auto*) { gw->SetAddress(0xC0A80B01); },  // 192.168.11.1
       kGatewayMessage, kGatewayId},
      {"invalid mask and invalid gateway",
       [](auto* mask, auto* gw, auto*, auto*) {
         mask->SetAddress(0xFF00FF00);  // 255.0.255.0
         gw->SetAddress(0x7F000001);    // 127.0.0.1
       },
       kMaskMessage, kMaskId},
      {"invalid primary name server",
       [](auto*, auto*, auto* dns1, auto*) { dns1->SetAddress(0xE0000001); },  // 224.0.0.1
       kDns1Message, kDns1Id},
      {"invalid secondary name server",
       [](auto*, auto*, auto*, auto* dns2) { dns2->SetAddress(0xFFFFFFFF); },  // 255.255.255.255
       kDns2Message, kDns2Id},
  };
  for (const ProblemCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPrompts own;
    NetworkSettingsDialog one(store, own, host);
    one.SetSettings(NetworkSettings{});  // first start: the interface's configuration is shown
    ASSERT_TRUE(ShowActive(one));
    c.enter(FindControl<IpAddressEdit>(one, kMaskId), FindControl<IpAddressEdit>(one, kGatewayId),
            FindControl<IpAddressEdit>(one, kDns1Id), FindControl<IpAddressEdit>(one, kDns2Id));
    // Start from elsewhere, so the focus has to move.
    FindControl<QLineEdit>(one, kDomainId)->setFocus();
    QTest::mouseClick(FindControl<QPushButton>(one, kOkId), Qt::LeftButton);

    const std::vector<ShownPrompt> expected = {{c.message, kInvalidAddressCaption, PromptKind::Message}};
    EXPECT_EQ(own.Shown(), expected);
    EXPECT_TRUE(one.isVisible());
    EXPECT_NE(one.result(), QDialog::Accepted);
    IpAddressEdit* target = FindControl<IpAddressEdit>(one, c.focusId);
    EXPECT_EQ(QApplication::focusWidget(), target->Field(0));
    EXPECT_TRUE(target->hasFocus());
    one.reject();
  }
}

TEST_F(SetDefaultsDlgTest, UnknownServerAddressRejectsEveryGateway) {
  Select("eth2", "Unknown");
  // Gateways that a real server address in their subnet would let pass.
  for (const std::uint32_t gateway : {0xC0A80A01u, 0x0A000001u}) {
    SCOPED_TRACE(gateway);
    ScriptedPrompts own;
    NetworkSettingsDialog one(store, own, host);
    one.SetSettings(Settings(0xFFFFFF00, 0, 0, 0, ""));
    ASSERT_TRUE(ShowActive(one));
    FindControl<IpAddressEdit>(one, kGatewayId)->SetAddress(gateway);
    QTest::mouseClick(FindControl<QPushButton>(one, kOkId), Qt::LeftButton);
    const std::vector<ShownPrompt> expected = {{kGatewayMessage, kInvalidAddressCaption, PromptKind::Message}};
    EXPECT_EQ(own.Shown(), expected);
    EXPECT_TRUE(FindControl<IpAddressEdit>(one, kGatewayId)->hasFocus());
    one.reject();
  }
}

TEST_F(SetDefaultsDlgTest, DomainEditStopsAtThirtyTwoCharacters) {
  dialog.SetSettings(Settings(0xFFFFFF00, 0, 0, 0, ""));
  ASSERT_TRUE(ShowActive(dialog));
  QLineEdit* domain = LineEdit(kDomainId);
  domain->setFocus();
  QTest::keyClicks(domain, QStringLiteral("abcdefghij.abcdefghij.abcdefghij.abcdefgh"));  // 41 typed
  EXPECT_EQ(domain->text(), QStringLiteral("abcdefghij.abcdefghij.abcdefghij"));
  Click(kOkId);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Settings().DomainName(), "abcdefghij.abcdefghij.abcdefghij");
  EXPECT_EQ(dialog.Settings().domainNameLength, 32);
}

TEST_F(SetDefaultsDlgTest, DomainOfWideCharactersIsCutAtAWholeCharacter) {
  dialog.SetSettings(Settings(0xFFFFFF00, 0, 0, 0, ""));
  dialog.show();
  // 20 x U+00E9: 20 characters fit the edit, but take 40 bytes.
  LineEdit(kDomainId)->setText(QString(20, QChar(0x00E9)));
  Click(kOkId);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  std::string expected;
  for (int i = 0; i < 16; ++i) expected += "\xC3\xA9";  // 16 whole characters, 32 bytes
  EXPECT_EQ(dialog.Settings().DomainName(), expected);
}

TEST_F(SetDefaultsDlgTest, ResetDefaultsRefillsAndBlanksZeros) {
  dialog.SetSettings(Settings(0xFFFF0000, 0xC0A80001, 0x08080808, 0x08080404, "old.domain"));
  dialog.show();
  // Now the interface has no default route and one name server.
  host.routeFile = dir.Write("route", std::string(kRouteHeader) + kConnectedRoute);
  host.resolvConf = dir.Write("resolv.conf", "nameserver 10.0.0.53\ndomain plant.local\n");
  Click(kResetId);
  const std::vector<std::string> expected = {"255.255.255.0", "", "10.0.0.53", "", "plant.local"};
  EXPECT_EQ(ShownValues(), expected);
  EXPECT_EQ(FindControl<QLabel>(dialog, kAdapterId)->text(), QStringLiteral("Adapter: eth1"));
  EXPECT_EQ(LineEdit(kServerId)->text(), QStringLiteral("192.168.10.5"));
  EXPECT_TRUE(dialog.isVisible());
  Click(kOkId);
  EXPECT_TRUE(SameSettings(dialog.Settings(), Settings(0xFFFFFF00, 0, 0x0A000035, 0, "plant.local")));
}

TEST_F(SetDefaultsDlgTest, ResetWithoutConfigurationBlanksEvenTheMask) {
  dialog.SetSettings(Settings(0xFFFF0000, 0xC0A80001, 0, 0, "old.domain"));
  dialog.show();
  host.interfaces.clear();  // the interface is gone
  Click(kResetId);
  const std::vector<std::string> expected = {"", "", "", "", ""};
  EXPECT_EQ(ShownValues(), expected);
}

TEST_F(SetDefaultsDlgTest, CancelLeavesTheWorkingCopyAsGiven) {
  const NetworkSettings given = Settings(0xFFFF0000, 0xC0A80001, 0, 0, "own.domain");
  const std::function<void(NetworkSettingsDialog&)> endings[] = {
      [](NetworkSettingsDialog& d) { QTest::mouseClick(FindControl<QPushButton>(d, kCancelId), Qt::LeftButton); },
      [](NetworkSettingsDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](NetworkSettingsDialog& d) { d.close(); },
  };
  for (const auto& end : endings) {
    for (const NetworkSettings& start : {given, NetworkSettings{}}) {
      NetworkSettingsDialog one(store, prompts, host);
      one.SetSettings(start);
      one.show();
      QTest::mouseClick(FindControl<QPushButton>(one, kResetId), Qt::LeftButton);
      FindControl<IpAddressEdit>(one, kDns1Id)->SetAddress(0x0A000099);
      end(one);
      EXPECT_EQ(one.result(), QDialog::Rejected);
      EXPECT_FALSE(one.isVisible());
      EXPECT_TRUE(SameSettings(one.Settings(), start));
    }
  }
  EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(SetDefaultsDlgTest, ControlsCarryTheirIdsLabelsAndNames) {
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Network Settings"));
  const QList<QGroupBox*> groups = dialog.findChildren<QGroupBox*>();
  ASSERT_EQ(groups.size(), 1);
  EXPECT_EQ(groups.front()->title(), QStringLiteral("Defaults"));

  QLabel* adapter = FindControl<QLabel>(dialog, kAdapterId);
  ASSERT_NE(adapter, nullptr);
  EXPECT_TRUE(adapter->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(adapter->accessibleName().isEmpty());

  const struct {
    int id;
    const char* label;
    const char* name;
  } rows[] = {
      {kServerId, "Server IP address:", "Server IP address"}, {kMaskId, "Subnet Mask:", "Subnet Mask"},
      {kGatewayId, "Gateway:", "Gateway"},                    {kDns1Id, "Primary DNS:", "Primary DNS"},
      {kDns2Id, "Secondary DNS:", "Secondary DNS"},           {kDomainId, "Domain Name:", "Domain Name"},
  };
  int previousTop = adapter->mapTo(&dialog, QPoint(0, 0)).y();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    QWidget* control = FindControl<QWidget>(dialog, row.id);
    ASSERT_NE(control, nullptr);
    QLabel* label = testing::LabelOf(dialog, control);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8(row.label));
    EXPECT_TRUE(label->accessibleName().isEmpty());
    EXPECT_EQ(AccessibleName(control), QString::fromUtf8(row.name));
    EXPECT_TRUE(groups.front()->isAncestorOf(control));
    // Top to bottom in the order of the rows, each label left of its control.
    const int top = control->mapTo(&dialog, QPoint(0, 0)).y();
    EXPECT_GT(top, previousTop);
    previousTop = top;
    EXPECT_LT(label->mapTo(&dialog, QPoint(0, 0)).x(), control->mapTo(&dialog, QPoint(0, 0)).x());
  }
  EXPECT_EQ(AccessibleName(Edit(kMaskId)->Field(0)), QStringLiteral("Subnet Mask octet 1"));

  QPushButton* reset = FindControl<QPushButton>(dialog, kResetId);
  QPushButton* ok = FindControl<QPushButton>(dialog, kOkId);
  QPushButton* cancel = FindControl<QPushButton>(dialog, kCancelId);
  ASSERT_NE(reset, nullptr);
  ASSERT_NE(ok, nullptr);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(reset->text(), QStringLiteral("Reset Defaults"));
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_FALSE(groups.front()->isAncestorOf(ok));
  EXPECT_LT(reset->x(), ok->x());
  EXPECT_LT(ok->x(), cancel->x());
  for (QPushButton* button : {reset, ok, cancel}) EXPECT_EQ(AccessibleName(button), button->text());
}

}  // namespace
}  // namespace corvessa
