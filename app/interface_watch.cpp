// What the window does about the host's network while it runs: the interface
// watch, the timer of a bind that is tried again, and the warning of a
// firewall that drops the requests on the chosen interface.

#include <QSocketNotifier>

#include "app/app_settings.h"
#include "app/provan_dlg.h"
#include "core/strings.h"
#include "netconfig/firewall.h"
#include "netconfig/link_watch.h"
#include "server/server_runtime.h"
#include "ui/prompts.h"

namespace corvessa {

void CProvanDlg::StartInterfaceWatch() {
  if (linkWatch_) return;  // one watch for the whole run, whatever the interface
  auto watch = std::make_unique<LinkWatch>();
  // Without it the server still serves; it only cannot follow the interface.
  if (!watch->Open()) return;
  linkWatch_ = std::move(watch);
  linkNotifier_ = new QSocketNotifier(static_cast<qintptr>(linkWatch_->Fd()), QSocketNotifier::Read, this);
  connect(linkNotifier_, &QSocketNotifier::activated, this, &CProvanDlg::OnInterfaceWatchActivated);
}

void CProvanDlg::OnInterfaceWatchActivated() {
  if (!linkWatch_) return;
  const std::vector<LinkEvent> events = linkWatch_->Read();
  if (!events.empty()) runtime_->OnInterfaceEvents(events);
}

void CProvanDlg::SetUpRebindTimer() {
  rebindTimer_.setSingleShot(true);
  connect(&rebindTimer_, &QTimer::timeout, this, [this] { runtime_->Rebind(); });
}

void CProvanDlg::RunPortFirewallCheck(std::string_view interfaceName) {
  const PortFinding finding = firewall_->ReadPortFinding(interfaceName);
  switch (finding.verdict) {
    case PortVerdict::Unknown:
    case PortVerdict::Open:
      return;
    case PortVerdict::Blocked:
      // Known to drop every request: worth saying at every start until the
      // port is open.
      break;
    case PortVerdict::MayBlock:
      if (store_.GetDword(interfaceName, app_settings::kFirewallNotice) != 0) return;
      (void)store_.SetDword(interfaceName, app_settings::kFirewallNotice, app_settings::kFirewallNoticeGiven);
      break;
  }
  prompts_->Message(finding.warning, LoadString(kIdsNetworkSetupWarningCaption));
}

}  // namespace corvessa
