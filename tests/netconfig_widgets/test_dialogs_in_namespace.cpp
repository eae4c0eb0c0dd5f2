// Both dialogs against the live host facts, read inside a network namespace
// the test builds: the interface, its address, mask and default route come
// from the kernel, only resolv.conf is a file of the test's own. No packet is
// sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "core/address.h"
#include "core/settings_names.h"
#include "netconfig/widgets/interface_dialog.h"
#include "netconfig/widgets/network_settings_dialog.h"
#include "tests/support/temp_folder.h"
#include "tests/netconfig_widgets/dialog_test_support.h"
#include "tests/support/netns.h"
#include "ui/settings_store.h"
#include "ui/widgets/ip_address_edit.h"
#include "ui/scripted_prompts.h"

namespace corvessa {
namespace {

using testing::FindControl;
using testsupport::InNs;
using testsupport::NamespaceGuard;

namespace names = settings_names;

constexpr const char* kServerAddress = "192.168.77.5";
constexpr int kPrefix = 26;  // 255.255.255.192: not a mask anyone would guess

constexpr int kListId = 1076;
constexpr int kResetId = 1040;
constexpr int kMaskId = 1059;
constexpr int kGatewayId = 1060;
constexpr int kDns1Id = 1061;
constexpr int kDns2Id = 1062;
constexpr int kDomainId = 1071;
constexpr int kServerId = 1073;
constexpr int kAdapterId = 1077;

std::string Shown(const IpAddressEdit* edit) { return edit->IsBlank() ? std::string() : IpToText(edit->Address()); }

class DialogsInNamespaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root to create network namespaces (ip netns)";
    ASSERT_TRUE(dir.ok());
    ASSERT_TRUE(testsupport::CreateVethLink(link, "nd", kServerAddress, kPrefix)) << "cannot create the veth link";
    created_ = true;
    ASSERT_EQ(Run("ip route add default via 192.168.77.1 dev " + link.serverIf), 0);
    host.resolvConf = dir.Write("resolv.conf", "nameserver 10.7.0.53\nnameserver 10.7.0.54\ndomain cell4.plant\n");
    host.resolvedUpstream = dir.File("no-upstream");
    guard_.emplace(link.serverNs);
    ASSERT_TRUE(guard_->ok()) << "cannot enter " << link.serverNs;
  }

  void TearDown() override {
    guard_.reset();
    if (created_) testsupport::DestroyVethLink(link);
  }

  int Run(const std::string& command) const {
    return testsupport::Run(InNs(link.serverNs, command) + " >/dev/null 2>&1");
  }

  testsupport::TempFolder dir{"netcfg"};
  SettingsStore store{dir.File("corvessa.conf")};
  ScriptedPrompts prompts;
  HostNetwork host;
  testsupport::VethLink link;
  bool created_ = false;
  std::optional<NamespaceGuard> guard_;
};

TEST_F(DialogsInNamespaceTest, AdapterListShowsTheNamespacesInterfaces) {
  // A second pair inside the namespace: two adapters without an address.
  ASSERT_EQ(Run("ip link add ndA type veth peer name ndB"), 0);
  InterfaceDialog dialog(store, prompts, host);
  dialog.show();
  auto* list = FindControl<QTreeWidget>(dialog, kListId);
  ASSERT_NE(list, nullptr);
  std::vector<std::pair<std::string, std::string>> rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    rows.emplace_back(list->topLevelItem(i)->text(0).toStdString(), list->topLevelItem(i)->text(1).toStdString());
  }
  // lo is no adapter. The order is the kernel's interface index, which a
  // moved veth end keeps from where it was made; compare without it.
  std::vector<std::pair<std::string, std::string>> expected = {
      {link.serverIf, kServerAddress}, {"ndA", "Unknown"}, {"ndB", "Unknown"}};
  std::sort(rows.begin(), rows.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rows, expected);

  const QList<QTreeWidgetItem*> server =
      list->findItems(QString::fromStdString(link.serverIf), Qt::MatchExactly, 0);
  ASSERT_EQ(server.size(), 1);
  server.front()->setSelected(true);
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(store.GetString(names::kVersionSection, names::kLastAdapter), link.serverIf);
  EXPECT_EQ(store.GetString(link.serverIf, names::kIpAddress), kServerAddress);
}

TEST_F(DialogsInNamespaceTest, FirstStartShowsTheInterfacesConfiguration) {
  ASSERT_TRUE(store.SetString(names::kVersionSection, names::kLastAdapter, link.serverIf));
  ASSERT_TRUE(store.SetString(link.serverIf, names::kIpAddress, kServerAddress));
  NetworkSettingsDialog dialog(store, prompts, host);
  dialog.SetSettings(NetworkSettings{});
  dialog.show();

  EXPECT_EQ(Shown(FindControl<IpAddressEdit>(dialog, kMaskId)), "255.255.255.192");
  EXPECT_EQ(Shown(FindControl<IpAddressEdit>(dialog, kGatewayId)), "192.168.77.1");
  EXPECT_EQ(Shown(FindControl<IpAddressEdit>(dialog, kDns1Id)), "10.7.0.53");
  EXPECT_EQ(Shown(FindControl<IpAddressEdit>(dialog, kDns2Id)), "10.7.0.54");
  EXPECT_EQ(FindControl<QLineEdit>(dialog, kDomainId)->text(), QStringLiteral("cell4.plant"));
  EXPECT_EQ(FindControl<QLabel>(dialog, kAdapterId)->text(), QString::fromStdString("Adapter: " + link.serverIf));
  EXPECT_EQ(FindControl<QLineEdit>(dialog, kServerId)->text(), QString::fromLatin1(kServerAddress));

  // The route changes while the dialog is open; Reset Defaults reads it anew.
  ASSERT_EQ(Run("ip route replace default via 192.168.77.2 dev " + link.serverIf), 0);
  QTest::mouseClick(FindControl<QPushButton>(dialog, kResetId), Qt::LeftButton);
  EXPECT_EQ(Shown(FindControl<IpAddressEdit>(dialog, kGatewayId)), "192.168.77.2");

  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_TRUE(prompts.Shown().empty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const NetworkSettings& taken = dialog.Settings();
  EXPECT_EQ(taken.subnetMask, 0xFFFFFFC0u);  // 255.255.255.192
  EXPECT_EQ(taken.gateway, 0xC0A84D02u);     // 192.168.77.2
  EXPECT_EQ(taken.dns1, 0x0A070035u);        // 10.7.0.53
  EXPECT_EQ(taken.dns2, 0x0A070036u);        // 10.7.0.54
  EXPECT_EQ(taken.DomainName(), "cell4.plant");
}

}  // namespace
}  // namespace corvessa
