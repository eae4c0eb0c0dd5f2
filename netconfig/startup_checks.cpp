#include "netconfig/startup_checks.h"

#include "core/strings.h"
#include "netconfig/adapters.h"
#include "netconfig/host_address.h"
#include "netconfig/startup_settings.h"

namespace corvessa {

namespace {

void RunFirewallCheckOnFirstStart(const StartupSurroundings& s) {
  if (s.store.GetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart) != 0) return;
  // Recorded before the check: whatever happens next, this was the first start.
  (void)s.store.SetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart,
                         startup_settings::kFirstStartDone);
  if (FirewallWarningNeeded(s.firewall)) {
    s.prompts.Message(LoadString(kIdsFirewallWarning), LoadString(kIdsNetworkSetupWarningCaption));
  }
}

StartupVerdict Fatal(const StartupSurroundings& s, int textId) {
  s.prompts.Message(LoadString(textId), LoadString(kIdsNetworkSetupWarningCaption));
  return StartupVerdict::Fatal;
}

}  // namespace

StartupVerdict RunStartupChecks(const StartupSurroundings& s) {
  RunFirewallCheckOnFirstStart(s);
  const bool socketsStarted = s.startSockets ? s.startSockets() : true;
  if (!socketsStarted) return Fatal(s, kIdsSocketsInitFailed);
  if (!HostHasUsableAddress(s.host)) return Fatal(s, kIdsNoValidIpAddress);
  // Several adapters: the user chooses. Giving up the choice ends the program
  // without a word, and without a failure: the user chose to leave.
  if (AutoSelectInterface(s.store, s.host) && !(s.selectInterface && s.selectInterface())) {
    return StartupVerdict::Declined;
  }
  return StartupVerdict::Go;
}

std::optional<std::string> PortFirewallWarning(FirewallPolicyReader& firewall, SettingsStore& store,
                                               std::string_view interfaceName) {
  const PortFinding finding = firewall.ReadPortFinding(interfaceName);
  switch (finding.verdict) {
    case PortVerdict::Unknown:
    case PortVerdict::Open:
      return std::nullopt;
    case PortVerdict::Blocked:
      // Known to drop every request: worth saying at every start until the
      // port is open.
      return finding.warning;
    case PortVerdict::MayBlock:
      if (store.GetDword(interfaceName, startup_settings::kFirewallNotice) != 0) return std::nullopt;
      (void)store.SetDword(interfaceName, startup_settings::kFirewallNotice, startup_settings::kFirewallNoticeGiven);
      return finding.warning;
  }
  return std::nullopt;
}

}  // namespace corvessa
