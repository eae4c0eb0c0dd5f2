// A real DHCP client gets its address through the main window: the window
// runs inside the test's server namespace with the live host facts, its
// socket events drive the handling, and busybox udhcpc asks from the client
// namespace at the other end of the veth pair.

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cctype>
#include <thread>

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include "app/app_settings.h"
#include "app/command_ids.h"
#include "core/settings_names.h"
#include "tests/app/netns_fixture.h"
#include "tests/app/window_fixture.h"
#include "ui/network_settings_store.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

const auto* const kNamespaces = ::testing::AddGlobalTestEnvironment(new NamespaceEnvironment);

namespace names = settings_names;

// Bounded: udhcpc gives up after its own retries, and the loop below after this.
constexpr int kClientDeadlineMs = 30000;

std::vector<std::uint8_t> ParseMac(std::string text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 2 <= text.size() && bytes.size() < 6; i += 3) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(ServedThroughTheWindow, UdhcpcObtainsTheListedAddress) {
  (void)kNamespaces;
  REQUIRE_NAMESPACES();
  if (testsupport::Run("command -v busybox >/dev/null 2>&1") != 0) GTEST_SKIP() << "busybox is not installed";
  const testsupport::VethLink& link = Namespaces().link;

  // The client end of the veth: only the real interface counts here; the
  // second one inside the server namespace is moved out of the way by
  // choosing the veth in the settings.
  std::string macText =
      testsupport::RunOutput(testsupport::InNs(link.clientNs, "cat /sys/class/net/" + link.clientIf + "/address"));
  while (!macText.empty() && std::isspace(static_cast<unsigned char>(macText.back()))) macText.pop_back();
  const std::vector<std::uint8_t> mac = ParseMac(macText);
  ASSERT_EQ(mac.size(), 6u) << macText;

  Surroundings surroundings;
  SettingsStore& store = surroundings.store;
  store.SetDword(app_settings::kApplicationSection, app_settings::kFirstStart, app_settings::kFirstStartDone);
  store.SetString(names::kVersionSection, names::kLastAdapter, link.serverIf);
  store.SetString(link.serverIf, names::kIpAddress, link.serverAddress);
  SaveNetworkSettings(store, link.serverIf, ValidSettings());

  corvessa::Environment env = surroundings.Environment();
  env.host = nullptr;  // the live host facts of the server namespace
  // Two adapters live here (the veth and the second pair): the choice is the veth.
  surroundings.networkDialogs.chosenAdapter = Adapter{link.serverIf, link.serverAddress};
  CProvanDlg window(std::move(env));
  ASSERT_TRUE(window.OnInitDialog()) << ::testing::PrintToString(surroundings.log);
  ASSERT_TRUE(window.Runtime().HasSocket());
  window.show();

  window.Relations().Append(MakeRelation(mac, Ip(192, 168, 77, 50), "plc1", "Press line 4"));
  window.RefreshRelationList();
  window.UpdateRelationCounter();

  std::atomic<bool> done = false;
  std::string clientOutput;
  std::thread client([&] {
    // -n: give up without a lease; -q: quit once it has one; -s /bin/true:
    // do not configure the interface.
    clientOutput = testsupport::RunOutput(testsupport::InNs(
        link.clientNs, "timeout 25 busybox udhcpc -f -n -q -t 4 -T 2 -s /bin/true -i " + link.clientIf + " 2>&1"));
    done = true;
  });
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done && elapsed.elapsed() < kClientDeadlineMs) QTest::qWait(20);
  client.join();

  const std::string macUpper = Upper(macText);
  EXPECT_NE(clientOutput.find("192.168.77.50"), std::string::npos) << clientOutput;
  ASSERT_GE(window.History().RowCount(), 1);
  const HistoryEntry& row = window.History().Row(0);
  EXPECT_EQ(row.mac, macUpper);
  EXPECT_EQ(row.type, "DHCP");
  EXPECT_EQ(row.ipAddress, "192.168.77.50");
  EXPECT_EQ(row.hostname, "plc1");
  EXPECT_EQ(window.RelationTableView()->Rows()->CellText(0, 1), "DHCP");
  EXPECT_EQ(window.StatusText(), "Sent 192.168.77.50 to Ethernet address " + macUpper);
  EXPECT_EQ(ToStdString(qobject_cast<QLabel*>(window.Control(ids::kRelationCounter))->text()), "1 of 256");
}

}  // namespace
}  // namespace corvessa::app_test
