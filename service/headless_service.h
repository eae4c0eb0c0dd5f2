#pragma once
// corvessa-server: the window's server without the window. One thread, one
// poll() over the server socket, the interface watch (rtnetlink), a signalfd
// for SIGTERM, SIGINT and SIGHUP, a timerfd for the server's rebind waits,
// and the address probe's socket, its deadline poll()'s timeout. The list
// and its settings live in a Session, read with the window's own load; the server is the window's ServerRuntime, so the replies are the
// same bytes under the same rules.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/posix_file.h"
#include "netconfig/firewall.h"
#include "netconfig/host_network.h"
#include "netconfig/link_watch.h"
#include "server/history.h"
#include "server/server_runtime.h"
#include "service/log_line.h"
#include "service/server_options.h"
#include "session/session.h"

namespace corvessa::service {

// Blocks SIGTERM, SIGINT and SIGHUP in the calling thread, so that they wait
// for the service's signalfd instead of ending the process. Call it first in
// main(), before any other thread could exist. False when refused.
[[nodiscard]] bool BlockServiceSignals();

class HeadlessService final : private ServerReports {
 public:
  // `log` takes the log lines; nothing is owned.
  HeadlessService(ServerOptions options, LogSink& log, const HostNetwork& host, FirewallPolicyReader& firewall);
  ~HeadlessService() override;
  HeadlessService(const HeadlessService&) = delete;
  HeadlessService& operator=(const HeadlessService&) = delete;

  // Reads the file, checks the host, chooses the server address and binds
  // the interface, in the order and with the texts of the window's start.
  // Nothing when it serves; the reason when it cannot.
  [[nodiscard]] std::optional<std::string> Start();
  // Serves until SIGTERM or SIGINT; returns the exit status.
  int Run();

 private:
  // ServerReports
  void ServerStatus(std::string_view text) override;
  void SocketChanged() override {}
  void ScheduleRebind(std::chrono::milliseconds delay) override;

  std::optional<std::string> ChooseServerAddress(std::string& address) const;
  std::optional<std::string> OpenEventSources();
  void ReportStart(const std::vector<std::string>& warnings);
  // The signals waiting; an exit status once SIGTERM or SIGINT came.
  std::optional<int> HandleSignals();
  void ServeWaitingDatagrams();
  // Conflicts are warnings; a request that waited for its probe is logged
  // once it is answered.
  void LogConflict(const RequestOutcome& outcome);
  void LogProbeOutcomes(const std::vector<RequestOutcome>& outcomes);
  void ConfirmConflicts();
  void Reload();
  void Notify(const std::string& state) const;
  // READY=1 and what the service now serves, for systemctl status.
  void NotifyServing() const;

  ServerOptions options_;
  LogSink& log_;
  const HostNetwork& host_;
  FirewallPolicyReader& firewall_;

  Session session_;
  HistoryList history_;
  ServerRuntime runtime_;
  FileDescriptor signals_;
  FileDescriptor rebindTimer_;
  // Without it the server still serves; it only cannot follow the interface.
  std::unique_ptr<LinkWatch> watch_;
};

}  // namespace corvessa::service
