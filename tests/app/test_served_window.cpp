// A real DHCP client gets its address through the main window: the window
// runs inside the test's server namespace with the live host facts, its
// socket events drive the handling, and busybox udhcpc asks from the client
// namespace at the other end of the veth pair.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include "netconfig/startup_settings.h"
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

// The window of the test's server namespace, serving on the veth.
struct ServingWindow {
  Surroundings surroundings;
  std::unique_ptr<MainWindow> window;
};

void OpenServingWindow(ServingWindow& serving) {
  const testsupport::VethLink& link = Namespaces().link;
  SettingsStore& store = serving.surroundings.store;
  store.SetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart, startup_settings::kFirstStartDone);
  store.SetString(names::kVersionSection, names::kLastAdapter, link.serverIf);
  store.SetString(link.serverIf, names::kIpAddress, link.serverAddress);
  SaveNetworkSettings(store, link.serverIf, ValidSettings());

  corvessa::Environment env = serving.surroundings.Environment();
  env.host = nullptr;  // the live host facts of the server namespace
  // Two adapters live here (the veth and the second pair): the choice is the veth.
  serving.surroundings.networkDialogs.chosenAdapter = Adapter{link.serverIf, link.serverAddress};
  serving.window = std::make_unique<MainWindow>(std::move(env));
  ASSERT_TRUE(serving.window->OnInitDialog()) << ::testing::PrintToString(serving.surroundings.log);
  ASSERT_TRUE(serving.window->Runtime().HasSocket());
  serving.window->show();
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

  ServingWindow serving;
  ASSERT_NO_FATAL_FAILURE(OpenServingWindow(serving));
  MainWindow& window = *serving.window;

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
  EXPECT_EQ(window.RelationTableView()->CellText(0, 1), "DHCP");
  EXPECT_EQ(window.StatusText(), "Sent 192.168.77.50 to Ethernet address " + macUpper);
  EXPECT_EQ(ToStdString(qobject_cast<QLabel*>(window.Control(ids::kRelationCounter))->text()), "1 of 256");
}

// Sends BOOTP requests from the client namespace as broadcasts on its end of
// the veth, all before the window gets to run; false when a send fails.
bool BroadcastFromClient(const std::vector<std::vector<std::uint8_t>>& requests, std::string& failure) {
  bool ok = false;
  std::thread sender([&] {
    const testsupport::NamespaceGuard inClient(Namespaces().link.clientNs);
    if (!inClient.ok()) {
      failure = "cannot enter the client namespace";
      return;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    const std::string device = Namespaces().link.clientIf;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(67);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    ok = fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
         ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), static_cast<socklen_t>(device.size() + 1)) == 0;
    for (std::size_t i = 0; ok && i < requests.size(); ++i) {
      ok = ::sendto(fd, requests[i].data(), requests[i].size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(requests[i].size());
    }
    if (!ok) failure = std::string("sending failed: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);
  });
  sender.join();
  return ok;
}

// A burst that is already waiting when the window next runs is handled to
// the last datagram, and the relation list that was rebuilt for it shows
// what was served.
TEST(ServedThroughTheWindow, WaitingBurstIsHandledCompletelyAndTheListFollows) {
  REQUIRE_NAMESPACES();
  ServingWindow serving;
  ASSERT_NO_FATAL_FAILURE(OpenServingWindow(serving));
  MainWindow& window = *serving.window;

  // Three listed devices spread through 300 requests, one of them last.
  constexpr int kRequests = 300;
  const auto macOf = [](int i) {
    return std::vector<std::uint8_t>{0x02, 0x00, 0x5E, 0x10, static_cast<std::uint8_t>(i >> 8),
                                     static_cast<std::uint8_t>(i)};
  };
  const int listed[] = {7, 150, kRequests - 1};
  for (int k = 0; k < 3; ++k) {
    window.Relations().Append(MakeRelation(macOf(listed[k]), Ip(192, 168, 77, static_cast<std::uint8_t>(60 + k)),
                                           "dev" + std::to_string(k), ""));
  }
  window.RefreshRelationList();
  QApplication::processEvents();

  std::vector<std::vector<std::uint8_t>> requests;
  for (int i = 0; i < kRequests; ++i) requests.push_back(BootpRequest(macOf(i)));
  std::string failure;
  ASSERT_TRUE(BroadcastFromClient(requests, failure)) << failure;

  QElapsedTimer elapsed;
  elapsed.start();
  while (window.History().RowCount() < kRequests && elapsed.elapsed() < 10000) QTest::qWait(10);

  ASSERT_EQ(window.History().RowCount(), kRequests);
  EXPECT_EQ(window.History().Row(0).mac, "02:00:5E:10:01:2B");
  // The listed devices are answered once their addresses are found free.
  const std::string lastSent = "Sent 192.168.77.62 to Ethernet address 02:00:5E:10:01:2B";
  while (window.StatusText() != lastSent && elapsed.elapsed() < 10000) QTest::qWait(10);
  EXPECT_EQ(window.StatusText(), lastSent);
  const Table& rows = *window.RelationTableView();
  ASSERT_EQ(rows.RowCount(), 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(rows.CellText(row, 1), "BOOTP") << "row " << row;
    EXPECT_EQ(window.Rows().At(row), window.Relations().At(row)) << "row " << row;
  }

  // Painting may be held back while requests keep coming, never for good.
  QTest::qWait(200);
  for (const int id : {ids::kHistoryList, ids::kRelationList, ids::kStatusLine}) {
    ASSERT_NE(window.Control(id), nullptr) << id;
    EXPECT_TRUE(window.Control(id)->updatesEnabled()) << "control " << id;
  }
}

}  // namespace
}  // namespace corvessa::app_test
