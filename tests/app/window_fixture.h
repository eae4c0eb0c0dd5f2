#pragma once
// Scripted surroundings of the main window: a settings file in a temporary
// folder, message boxes and file dialogs that answer from a queue, a host
// whose interfaces the test sets, network dialogs that record their turn, and
// a fatal exit that records instead of ending the process. The binary's main
// creates the QApplication.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QUrl>

#include "app/environment.h"
#include "app/network_dialogs.h"
#include "app/main_window.h"
#include "netconfig/adapters.h"
#include "netconfig/firewall.h"
#include "netconfig/host_network.h"
#include "server/reply.h"
#include "server/server_runtime.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"
#include "ui/settings_store.h"
#include "ui/scripted_file_dialogs.h"
#include "ui/scripted_prompts.h"

namespace corvessa::app_test {

using testsupport::kLoopbackLinkType;
using testsupport::MakeInterface;
using testsupport::ReadWholeFile;
using testsupport::ScriptedHost;
using testsupport::TempFolder;
using testsupport::WriteWholeFile;

// 192.168.77.1/24 and friends, host order.
inline constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

class ScriptedFirewall final : public FirewallPolicyReader {
 public:
  std::optional<FirewallProfile> ReadProfile(std::string_view name) override {
    if (name == failingProfile) return FirewallProfile{1, 1};
    return std::nullopt;
  }
  PortFinding ReadPortFinding(std::string_view interfaceName) override {
    portChecks.emplace_back(interfaceName);
    return portFinding;
  }
  std::string failingProfile;  // empty: every profile passes
  PortFinding portFinding;     // default: nothing known
  std::vector<std::string> portChecks;
};

// Every box, dialog and the window itself note their turn here.
using EventLog = std::vector<std::string>;

class ScriptedNetworkDialogs final : public NetworkDialogs {
 public:
  ScriptedNetworkDialogs(SettingsStore& store, EventLog& log) : store_(store), log_(log) {}

  bool SelectInterface(QWidget*) override {
    log_.push_back("interface dialog");
    if (!chosenAdapter) return false;
    // What the real dialog records on OK.
    RememberInterface(store_, *chosenAdapter);
    return true;
  }
  std::optional<NetworkSettings> EditNetworkSettings(QWidget*, const NetworkSettings& current) override {
    log_.push_back("settings dialog");
    shownSettings.push_back(current);
    return enteredSettings;
  }

  std::optional<Adapter> chosenAdapter;            // nothing: the dialog is closed without OK
  std::optional<NetworkSettings> enteredSettings;  // nothing: Cancel
  std::vector<NetworkSettings> shownSettings;

 private:
  SettingsStore& store_;
  EventLog& log_;
};

inline NetworkSettings ValidSettings() {
  NetworkSettings settings;
  settings.subnetMask = Ip(255, 255, 255, 0);
  settings.gateway = Ip(192, 168, 77, 254);
  settings.SetDomainName("plant.local");
  return settings;
}

// Everything a window needs, scripted; `Environment()` hands it over.
// Changes the window's network settings in memory, as a load would (the
// configuration is not marked modified).
inline void ChangeSettings(MainWindow& window, const std::function<void(NetworkSettings&)>& change) {
  NetworkSettings settings = window.Settings();
  change(settings);
  window.CurrentSession().SetSettings(settings, false);
}

struct Surroundings {
  Surroundings() : store(SettingsPath()), networkDialogs(store, log) {
    prompts.OnShown([this](const ShownPrompt& shown) { log.push_back("message: " + shown.text); });
  }

  std::string SettingsPath() const { return (folder.Path() / "corvessa.conf").string(); }
  std::string StateFolder() const { return (folder.Path() / "state" / "corvessa").string(); }

  corvessa::Environment Environment() {
    corvessa::Environment env;
    env.settingsPath = SettingsPath();
    env.stateFolder = StateFolder();
    // The test's QApplication must go on: only the window's own loop ends.
    env.endModalLoops = [this] { ++endedModalLoops; };
    env.prompts = &prompts;
    env.fileDialogs = &fileDialogs;
    env.host = &host;
    env.firewall = &firewall;
    env.networkDialogs = &networkDialogs;
    env.fatalExit = [this] {
      ++fatalExits;
      log.push_back("fatal exit");
    };
    env.openUrl = [this](const QUrl& url, const std::function<void()>& unavailable) {
      openedUrls.push_back(url);
      if (!helpViewerInstalled) unavailable();
    };
    env.runKeaExportDialog = environmentKeaDialog;
    return env;
  }

  TempFolder folder{"app"};
  SettingsStore store;
  EventLog log;
  ScriptedPrompts prompts{PromptAnswer::Cancel};
  ScriptedFileDialogs fileDialogs;
  ScriptedHost host;
  ScriptedFirewall firewall;
  ScriptedNetworkDialogs networkDialogs;
  int fatalExits = 0;
  int endedModalLoops = 0;
  std::vector<QUrl> openedUrls;
  bool helpViewerInstalled = true;  // false: opening a page reports that nothing could show it
  // The Kea export's options dialog; empty: the real one.
  std::function<bool(KeaOptions&, int)> environmentKeaDialog;
};

// Records what the server would send instead of sending it.
class RecordingSender final : public DatagramSender {
 public:
  struct Sent {
    std::vector<std::uint8_t> bytes;
    Endpoint destination;
  };
  bool SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) override {
    sent.push_back({std::vector<std::uint8_t>(data, data + length), destination});
    return true;
  }
  std::vector<Sent> sent;
};

inline std::unique_ptr<Relation> MakeRelation(std::vector<std::uint8_t> mac, std::uint32_t ip,
                                              std::string hostname = {}, std::string description = {}) {
  auto relation = std::make_unique<Relation>();
  std::copy(mac.begin(), mac.end(), relation->hardwareAddress.begin());
  relation->hardwareAddressLength = static_cast<std::uint8_t>(mac.size());
  relation->ipAddress = ip;
  std::copy(hostname.begin(), hostname.end(), relation->hostname.begin());
  relation->hostnameLength = static_cast<std::uint8_t>(hostname.size());
  std::copy(description.begin(), description.end(), relation->description.begin());
  relation->descriptionLength = static_cast<std::uint8_t>(description.size());
  return relation;
}

// A BOOTP request (no option 53) from this hardware address: op 1, htype 1,
// hlen 6, chaddr, magic cookie, End.
inline std::vector<std::uint8_t> BootpRequest(const std::vector<std::uint8_t>& mac) {
  std::vector<std::uint8_t> bytes(300, 0);
  bytes[0] = 1;                                    // op BOOTREQUEST
  bytes[1] = 1;                                    // htype Ethernet
  bytes[2] = static_cast<std::uint8_t>(mac.size());  // hlen
  std::copy(mac.begin(), mac.end(), bytes.begin() + 28);  // chaddr
  bytes[236] = 99;                                 // magic cookie
  bytes[237] = 130;
  bytes[238] = 83;
  bytes[239] = 99;
  bytes[240] = 255;                                // End
  return bytes;
}

}  // namespace corvessa::app_test
