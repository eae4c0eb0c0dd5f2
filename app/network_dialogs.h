#pragma once
// The two network dialogs as the main window uses them, behind an interface so
// that start-up and the Tools commands can run against scripted answers.

#include <optional>

#include "core/network_settings.h"
#include "netconfig/host_network.h"

class QWidget;

namespace corvessa {

class Prompts;
class SettingsStore;

class NetworkDialogs {
 public:
  virtual ~NetworkDialogs() = default;
  // The interface selection dialog. True when it ended with OK; the dialog has
  // then recorded the choice ("lastadapter" and the interface's "ipaddress").
  virtual bool SelectInterface(QWidget* parent) = 0;
  // The network settings dialog on a copy of `current`: the values entered
  // when it ended with OK, nothing when it was cancelled.
  virtual std::optional<NetworkSettings> EditNetworkSettings(QWidget* parent, const NetworkSettings& current) = 0;
};

// The real dialogs, InterfaceDialog and NetworkSettingsDialog, run modally.
class QtNetworkDialogs final : public NetworkDialogs {
 public:
  QtNetworkDialogs(SettingsStore& store, Prompts& prompts, const HostNetwork& host)
      : store_(store), prompts_(prompts), host_(host) {}

  bool SelectInterface(QWidget* parent) override;
  std::optional<NetworkSettings> EditNetworkSettings(QWidget* parent, const NetworkSettings& current) override;

 private:
  SettingsStore& store_;
  Prompts& prompts_;
  const HostNetwork& host_;
};

}  // namespace corvessa
