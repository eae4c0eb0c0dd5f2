#pragma once
// The server runtime against real clients: a server and a client network
// namespace joined by a veth pair, the runtime's socket created inside the
// server namespace, and a bounded poll() loop that hands each read event to
// the runtime. Everything is created by the fixture and removed at its end;
// nothing is sent on the machine's own interfaces.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/address.h"
#include "netconfig/host_network.h"
#include "netconfig/link_watch.h"
#include "relations/relation_table.h"
#include "server/history.h"
#include "server/port67_owners.h"
#include "server/server_runtime.h"
#include "tests/server/runtime_fixture.h"
#include "tests/support/background.h"
#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"
#include "ui/network_settings_store.h"
#include "ui/settings_store.h"

namespace corvessa::nettest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_runtime::RecordingOwner;

inline constexpr const char* kServerAddress = "192.168.77.1";
inline constexpr const char* kClientAddress = "192.168.77.2";  // only where a test needs one
inline constexpr const char* kClientMac = "02:00:00:77:00:02";
inline constexpr std::array<std::uint8_t, 6> kClientMacBytes = {0x02, 0x00, 0x00, 0x77, 0x00, 0x02};
inline constexpr std::uint32_t kClientLeaseAddress = 0xC0A84D32;  // 192.168.77.50
inline constexpr const char* kClientHostname = "plc-a";

using testsupport::ReadWholeFile;

inline bool HasTool(const std::string& name) {
  return testsupport::Run("command -v " + name + " >/dev/null 2>&1") == 0;
}

// "name=value" lines into a map.
inline std::map<std::string, std::string> ReadVariables(const std::filesystem::path& path) {
  std::map<std::string, std::string> values;
  std::istringstream in(ReadWholeFile(path));
  std::string line;
  while (std::getline(in, line)) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

using testsupport::Background;
using testsupport::WaitUntil;

// The boxes a fatal start shows in the window.
struct ShownBoxes {
  struct Box {
    std::string text;
    std::string caption;
  };
  void Message(std::string_view text, std::string_view caption) {
    shown.push_back({std::string(text), std::string(caption)});
  }
  std::vector<Box> shown;
};

class NetFixture : public ::testing::Test {
 protected:
  // Tag of this test binary: namespaces and interfaces carry it, so binaries
  // that ctest runs side by side never meet. At most 7 characters.
  explicit NetFixture(std::string tag) : tag_(std::move(tag)) {}

  void SetUp() override {
    if (!testsupport::IsRoot()) {
      GTEST_SKIP() << "needs root: creates network namespaces and binds UDP port 67";
    }
    for (const char* tool : {"ip", "busybox"}) {
      if (!HasTool(tool)) GTEST_SKIP() << "tool not installed: " << tool;
    }
    folder_ = std::make_unique<testsupport::TempFolder>("net-" + tag_);
    ASSERT_TRUE(folder_->ok()) << "could not create a scratch folder";
    ASSERT_TRUE(testsupport::CreateVethLink(link_, tag_, kServerAddress)) << "could not create the namespaces";
    linked_ = true;
    ASSERT_EQ(testsupport::Run(InClient("ip link set dev " + link_.clientIf + " address " + kClientMac)), 0);

    // The settings as the interface choice and the settings dialog leave them.
    setenv("XDG_CONFIG_HOME", (folder_->Path() / "config").c_str(), 1);
    store_ = std::make_unique<SettingsStore>(SettingsStore::DefaultPath());
    ASSERT_TRUE(store_->SetString("Version 3.06.00", "lastadapter", link_.serverIf));
    ASSERT_TRUE(store_->SetString(link_.serverIf, "ipaddress", kServerAddress));
    ASSERT_TRUE(store_->SetDword(link_.serverIf, "subnetmask", 0xFFFFFF00));
    ASSERT_TRUE(store_->SetDword(link_.serverIf, "gateway", 0xC0A84DFE));  // 192.168.77.254
    ASSERT_TRUE(store_->SetDword(link_.serverIf, "dns1", 0xC0A84D35));     // 192.168.77.53
    ASSERT_TRUE(store_->SetDword(link_.serverIf, "dns2", 0xC0A84D36));     // 192.168.77.54
    ASSERT_TRUE(store_->SetString(link_.serverIf, "domainname", "plant.test"));

    guard_ = std::make_unique<testsupport::NamespaceGuard>(link_.serverNs);
    ASSERT_TRUE(guard_->ok()) << "could not enter the server namespace";
    runtime_ = std::make_unique<ServerRuntime>(table_, settings_, history_, owner_, host_);
    owner_.onAddressMoved = [this](std::string_view name, std::uint32_t address) {
      (void)store_->SetString(name, "ipaddress", IpToText(address));
    };
  }

  void TearDown() override {
    runtime_.reset();
    watch_.reset();
    guard_.reset();
    if (!secondClientNs_.empty()) testsupport::Run("ip netns del " + secondClientNs_ + " >/dev/null 2>&1");
    if (linked_) testsupport::DestroyVethLink(link_);
    folder_.reset();
  }

  // A second network on the server: interface secondIf_ (10.9.0.1/24) in the
  // server namespace, joined to secondClientIf_ in a second client namespace.
  // The client end gets the listed client's hardware address, so a server
  // that listens there would answer it.
  bool AddSecondNetwork() {
    const std::string id = tag_ + std::to_string(getpid() % 100000);
    secondClientNs_ = "cv2" + id;
    secondIf_ = "vb" + id;
    secondClientIf_ = "vq" + id;
    const std::string steps[] = {
        "ip netns add " + secondClientNs_,
        "ip link add " + secondIf_ + " netns " + link_.serverNs + " type veth peer name " + secondClientIf_ +
            " netns " + secondClientNs_,
        InServer("ip addr add 10.9.0.1/24 dev " + secondIf_),
        InServer("ip link set " + secondIf_ + " up"),
        testsupport::InNs(secondClientNs_, "ip link set lo up"),
        testsupport::InNs(secondClientNs_, "ip link set dev " + secondClientIf_ + " address " + kClientMac),
        testsupport::InNs(secondClientNs_, "ip link set " + secondClientIf_ + " up"),
    };
    for (const auto& step : steps) {
      if (testsupport::Run(step + " >/dev/null 2>&1") != 0) return false;
    }
    return true;
  }

  // StartServer on the server veth, as the start-up sequence does, then the
  // settings load that follows it. The start begins with an empty relation
  // table, so relations are listed after it. A failure is shown and counted
  // as the window's fatal start would show it.
  bool StartOnServerVeth() {
    const std::string adapter = ReadLastAdapter(*store_);
    table_.Clear();
    const std::optional<StartFailure> failure =
        runtime_->StartServer(adapter, ReadInterfaceAddressText(*store_, adapter));
    settings_ = ReadNetworkSettings(*store_, adapter);
    if (failure) {
      prompts_.Message(failure->text, "Network Setup Warning");
      ++fatalExits_;
    }
    return !failure;
  }

  void ListClient() {
    auto relation = std::make_unique<Relation>();
    std::copy(kClientMacBytes.begin(), kClientMacBytes.end(), relation->hardwareAddress.begin());
    relation->hardwareAddressLength = 6;
    relation->ipAddress = kClientLeaseAddress;
    const std::string_view name = kClientHostname;
    std::copy(name.begin(), name.end(), relation->hostname.begin());
    relation->hostnameLength = static_cast<std::uint8_t>(name.size());
    table_.Append(std::move(relation));
  }

  // Watches the server namespace's interfaces as the window does; Serve then
  // hands the changes to the runtime.
  bool WatchInterfaces() {
    watch_ = std::make_unique<LinkWatch>();
    return watch_->Open();
  }

  // Hands read events to the runtime until `done` holds or `limit` passes;
  // `afterEvent` runs after each handled event. Interface changes (when
  // watched) and due rebinds are handed over as the window's notifier and
  // timer would.
  void Serve(const std::function<bool()>& done, std::chrono::milliseconds limit,
             const std::function<void()>& afterEvent = {}) {
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end) {
      if (owner_.rebindDelays.size() > rebindsHandled_ &&
          Clock::now() >= owner_.rebindRequested + owner_.rebindDelays.back()) {
        rebindsHandled_ = owner_.rebindDelays.size();
        runtime_->Rebind();
        continue;
      }
      // A request waiting for its address probe is answered at the probe's
      // deadline, or when an echo reply comes, as the window's timer and
      // notifier would hand them over.
      const auto deadline = runtime_->NextProbeDeadline();
      if (deadline && Clock::now() >= *deadline) {
        for (const RequestOutcome& outcome : runtime_->OnProbeDeadline()) ShowProbeOutcome(outcome, afterEvent);
        continue;
      }
      pollfd entries[3] = {{runtime_->Fd(), POLLIN, 0},
                           {watch_ ? watch_->Fd() : -1, POLLIN, 0},
                           {runtime_->ProbeFd(), POLLIN, 0}};
      if (entries[0].fd < 0 && entries[1].fd < 0) {
        std::this_thread::sleep_for(20ms);
        continue;
      }
      // poll() skips entries whose descriptor is negative.
      if (poll(entries, 3, 20) <= 0) continue;
      if ((entries[2].revents & POLLIN) != 0) {
        for (const RequestOutcome& outcome : runtime_->OnProbeReadable()) ShowProbeOutcome(outcome, afterEvent);
      }
      if ((entries[1].revents & POLLIN) != 0) runtime_->OnInterfaceEvents(watch_->Read());
      if (entries[0].fd >= 0 && (entries[0].revents & POLLIN) != 0 && runtime_->Fd() == entries[0].fd) {
        owner_.Show(runtime_->OnServerSocketEvent());
        if (afterEvent) afterEvent();
      }
    }
  }

  void ShowProbeOutcome(const RequestOutcome& outcome, const std::function<void()>& afterEvent) {
    owner_.Show(outcome);
    probeOutcomes_.push_back(outcome);
    if (afterEvent) afterEvent();
  }

  // Runs a shell command to its end on another thread while the runtime
  // serves; returns its exit status (-1 when it did not end in time).
  int RunClientWhileServing(const std::string& command, std::chrono::milliseconds limit,
                            const std::function<void()>& afterEvent = {}) {
    std::atomic<bool> finished{false};
    std::atomic<int> status{-1};
    std::thread client([&] {
      status = testsupport::Run(command);
      finished = true;
    });
    Serve([&] { return finished.load(); }, limit, afterEvent);
    // The client's own timeouts end it; this only waits for that.
    client.join();
    return status;
  }

  // tshark reports that it is capturing a little before packets really reach
  // it. Probes from an ephemeral port to the subnet's broadcast address on
  // port 68 go out on the server's interface (the calling thread is in the
  // server namespace) until one shows in the live summary `summary`; reply
  // counts look only at packets from port 67.
  bool WaitForCaptureToSeeTraffic(const std::filesystem::path& summary) const {
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const int on = 1;
    setsockopt(probe, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(68);
    inet_pton(AF_INET, "192.168.77.255", &to.sin_addr);
    const char payload[] = "probe";
    const bool seen = WaitUntil(
        [&] {
          sendto(probe, payload, sizeof payload, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
          std::this_thread::sleep_for(100ms);
          return !ReadWholeFile(summary).empty();
        },
        15s);
    close(probe);
    return seen;
  }

  // dnsmasq serving DHCP on `iface` of the server namespace, its port-67
  // socket bound to that interface as other servers on a desktop bind theirs
  // (a virtual machines' bridge, a shared connection). Returns once the
  // socket exists; nullptr when dnsmasq is missing or did not bind.
  std::unique_ptr<Background> StartDnsmasq(const std::string& iface, const std::string& network) {
    if (!HasTool("dnsmasq")) return nullptr;
    const std::string name = "dnsmasq-" + iface;
    auto dnsmasq = std::make_unique<Background>(
        InServer("dnsmasq --no-daemon --conf-file=/dev/null --port=0 --interface=" + iface +
                 " --bind-interfaces --dhcp-range=" + network + ",static,255.255.255.0,infinite --leasefile-ro" +
                 " --pid-file=" + Temp(name + ".pid").string() + " --log-facility=" + Temp(name + ".log").string()),
        Temp(name + ".out"), Temp(name + ".err"));
    const std::string ownerLine = "PID: " + std::to_string(dnsmasq->Pid()) + ";";
    // This thread is in the server namespace, so it sees dnsmasq's socket.
    if (!WaitUntil([&] { return FindPort67Owners().find(ownerLine) != std::string::npos; }, 10s)) return nullptr;
    return dnsmasq;
  }

  std::string InClient(const std::string& command) const { return testsupport::InNs(link_.clientNs, command); }
  std::string InServer(const std::string& command) const { return testsupport::InNs(link_.serverNs, command); }
  std::filesystem::path Temp(const std::string& name) const { return folder_->Path() / name; }

  // A shell script that writes the named variables, one "name=$name" a line,
  // to `out` when its first argument or $reason matches `event`.
  std::filesystem::path WriteReportScript(const std::string& name, const std::string& eventTest,
                                          const std::vector<std::string>& variables,
                                          const std::filesystem::path& out) const {
    const auto path = Temp(name);
    std::ofstream script(path);
    script << "#!/bin/sh\n" << eventTest << " || exit 0\n{\n";
    for (const auto& v : variables) script << "  echo \"" << v << "=$" << v << "\"\n";
    script << "} > '" << out.string() << "'\nexit 0\n";
    script.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
  }

  std::string tag_;
  testsupport::VethLink link_;
  bool linked_ = false;
  std::unique_ptr<testsupport::TempFolder> folder_;
  std::unique_ptr<SettingsStore> store_;
  std::unique_ptr<testsupport::NamespaceGuard> guard_;
  RelationTable table_;
  NetworkSettings settings_;
  HistoryList history_;
  ShownBoxes prompts_;
  RecordingOwner owner_;
  HostNetwork host_;
  int fatalExits_ = 0;
  std::unique_ptr<ServerRuntime> runtime_;
  std::unique_ptr<LinkWatch> watch_;
  std::size_t rebindsHandled_ = 0;
  // What finished address probes led to, in order.
  std::vector<RequestOutcome> probeOutcomes_;
  std::string secondClientNs_;
  std::string secondIf_;
  std::string secondClientIf_;
};

}  // namespace corvessa::nettest
