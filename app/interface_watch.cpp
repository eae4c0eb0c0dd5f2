// What the window does about the host's network while it runs: the interface
// watch, the timer of a bind that is tried again, and the warning of a
// firewall that drops the requests on the chosen interface.

#include <QSocketNotifier>

#include "app/main_window.h"
#include "core/strings.h"
#include "netconfig/firewall.h"
#include "netconfig/link_watch.h"
#include "netconfig/startup_checks.h"
#include "server/server_runtime.h"
#include "ui/prompts.h"

namespace corvessa {

void MainWindow::StartInterfaceWatch() {
  if (linkWatch_) return;  // one watch for the whole run, whatever the interface
  auto watch = std::make_unique<LinkWatch>();
  // Without it the server still serves; it only cannot follow the interface.
  if (!watch->Open()) return;
  linkWatch_ = std::move(watch);
  linkNotifier_ = new QSocketNotifier(static_cast<qintptr>(linkWatch_->Fd()), QSocketNotifier::Read, this);
  connect(linkNotifier_, &QSocketNotifier::activated, this, &MainWindow::OnInterfaceWatchActivated);
}

void MainWindow::OnInterfaceWatchActivated() {
  if (!linkWatch_) return;
  const std::vector<LinkEvent> events = linkWatch_->Read();
  if (!events.empty()) runtime_->OnInterfaceEvents(events);
}

void MainWindow::SetUpRebindTimer() {
  rebindTimer_.setSingleShot(true);
  connect(&rebindTimer_, &QTimer::timeout, this, [this] { runtime_->Rebind(); });
}

void MainWindow::RunPortFirewallCheck(std::string_view interfaceName) {
  if (const std::optional<std::string> warning = PortFirewallWarning(*firewall_, store_, interfaceName)) {
    prompts_->Message(*warning, LoadString(kIdsNetworkSetupWarningCaption));
  }
}

}  // namespace corvessa
