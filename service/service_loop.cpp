// The running service: one poll() over the signals, the rebind timer, the
// interface watch, the address probe and the server socket, handled in that
// order, so that SIGTERM is heard within one batch of requests however busy
// the socket is. poll() waits no longer than the probe's next deadline.

#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include "netconfig/startup_checks.h"
#include "service/headless_service.h"
#include "service/list_changes.h"
#include "service/relation_file.h"
#include "service/service_log.h"

namespace corvessa::service {

namespace {

// The window handles as many before it paints; here they bound how long a
// signal waits behind a burst of requests.
constexpr int kDatagramsPerWake = 128;

// Milliseconds until the probe's next deadline, -1 (no limit) when none runs.
int PollTimeout(const std::optional<std::chrono::steady_clock::time_point>& deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 60'000));
}

}  // namespace

int HeadlessService::Run() {
  for (;;) {
    const int socketFd = runtime_.Fd();
    const int probeFd = runtime_.ProbeFd();
    // poll() skips entries whose descriptor is negative.
    pollfd entries[] = {{signals_.get(), POLLIN, 0},
                        {rebindTimer_.get(), POLLIN, 0},
                        {watch_ ? watch_->Fd() : -1, POLLIN, 0},
                        {socketFd, POLLIN, 0},
                        {probeFd, POLLIN, 0}};
    if (poll(entries, 5, PollTimeout(runtime_.NextProbeDeadline())) < 0) {
      if (errno == EINTR) continue;
      log_.Write(LogLevel::Error, StatusLine("poll: " + ErrorText(errno)));
      return kFatalExitStatus;
    }
    if ((entries[0].revents & POLLIN) != 0) {
      if (const std::optional<int> status = HandleSignals()) return *status;
    }
    if ((entries[1].revents & POLLIN) != 0) {
      std::uint64_t expirations = 0;
      if (read(rebindTimer_.get(), &expirations, sizeof expirations) == sizeof expirations) runtime_.Rebind();
    }
    if ((entries[2].revents & POLLIN) != 0) {
      const std::vector<LinkEvent> events = watch_->Read();
      if (!events.empty()) runtime_.OnInterfaceEvents(events);
    }
    if (probeFd >= 0 && probeFd == runtime_.ProbeFd() && (entries[4].revents & POLLIN) != 0) {
      LogProbeOutcomes(runtime_.OnProbeReadable());
    }
    const auto deadline = runtime_.NextProbeDeadline();
    if (deadline && *deadline <= std::chrono::steady_clock::now()) LogProbeOutcomes(runtime_.OnProbeDeadline());
    // The socket may have been replaced meanwhile; the new one is polled next time.
    if (socketFd >= 0 && socketFd == runtime_.Fd() && (entries[3].revents & (POLLIN | POLLERR)) != 0) {
      ServeWaitingDatagrams();
    }
  }
}

std::optional<int> HeadlessService::HandleSignals() {
  bool reload = false;
  int stop = 0;
  signalfd_siginfo info{};
  while (read(signals_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    if (info.ssi_signo == SIGHUP) {
      reload = true;
    } else if (info.ssi_signo == SIGTERM || info.ssi_signo == SIGINT) {
      stop = static_cast<int>(info.ssi_signo);
    }
  }
  if (stop != 0) {
    Notify("STOPPING=1");
    log_.Write(LogLevel::Notice, StoppingLine(sigabbrev_np(stop) != nullptr ? std::string("SIG") + sigabbrev_np(stop)
                                                                           : std::to_string(stop)));
    runtime_.StopServer();
    return kExitServed;
  }
  if (reload) Reload();
  return std::nullopt;
}

void HeadlessService::ServeWaitingDatagrams() {
  for (int handled = 0; handled < kDatagramsPerWake; ++handled) {
    const int fd = runtime_.Fd();
    if (const std::optional<RequestOutcome> outcome = runtime_.OnServerSocketEvent()) {
      // Every request puts its address's row on top of the history.
      log_.Write(LogLevel::Info, RequestLine(history_.Row(0), outcome->statusText));
      LogConflict(*outcome);
    }
    if (runtime_.Fd() != fd || !runtime_.DatagramWaiting()) return;
  }
}

void HeadlessService::LogConflict(const RequestOutcome& outcome) {
  // Once when it is found; the requests refused for it after that are request lines.
  if (outcome.conflict && outcome.conflict->found) {
    log_.Write(LogLevel::Warning, ConflictLine(*outcome.conflict, outcome.deviceText, outcome.statusText));
  }
}

void HeadlessService::LogProbeOutcomes(const std::vector<RequestOutcome>& outcomes) {
  for (const RequestOutcome& outcome : outcomes) {
    if (outcome.conflict) {
      LogConflict(outcome);
      continue;
    }
    const int row = history_.FindExact(outcome.deviceText);
    if (row >= 0) log_.Write(LogLevel::Info, AnsweredLine(history_.Row(row), outcome.statusText));
  }
}

void HeadlessService::ConfirmConflicts() {
  // A reload is how the service is told that the user has seen to them.
  for (const std::uint32_t address : runtime_.Conflicts()) {
    if (runtime_.ConfirmAddress(address)) log_.Write(LogLevel::Notice, ConfirmedLine(address));
  }
}

void HeadlessService::Reload() {
  Notify("RELOADING=1");
  ListLoad load = LoadServedList(options_.file, options_.settings);
  if (!load.list) {
    // The devices keep being served from the list in use.
    log_.Write(LogLevel::Warning, ReloadFailedLine(options_.file, session_.Relations().Count(), load.failure));
    Notify("READY=1");
    return;
  }
  const ListChanges changes =
      CompareLists(session_.Relations(), session_.Settings(), load.list->relations, load.list->settings);
  session_.SetSettings(load.list->settings, false);
  session_.ReplaceRelations(std::move(load.list->relations));
  for (const LogLine& line : ReloadLines(options_.file, session_.Relations().Count(), changes)) {
    log_.Write(LogLevel::Notice, line);
  }
  for (const std::string& warning : load.list->warnings) log_.Write(LogLevel::Warning, WarningLine(warning));
  ConfirmConflicts();
  NotifyServing();
}

}  // namespace corvessa::service
