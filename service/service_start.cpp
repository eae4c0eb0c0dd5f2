// The start of the headless service, in the order of the window's start:
// the file and its settings, a usable host address, the interface, the
// server's address, the bind; then what the window would warn about.

#include <signal.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <systemd/sd-daemon.h>

#include <algorithm>

#include "core/address.h"
#include "core/strings.h"
#include "netconfig/host_address.h"
#include "service/headless_service.h"
#include "service/relation_file.h"
#include "service/service_log.h"
#include "service/service_texts.h"

namespace corvessa::service {

namespace {

sigset_t ServiceSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, number);
  return set;
}

std::string FirstLine(std::string_view text) { return std::string(text.substr(0, text.find('\n'))); }

}  // namespace

bool BlockServiceSignals() {
  const sigset_t set = ServiceSignals();
  return sigprocmask(SIG_BLOCK, &set, nullptr) == 0;
}

HeadlessService::HeadlessService(ServerOptions options, LogSink& log, const HostNetwork& host,
                                 FirewallPolicyReader& firewall)
    : options_(std::move(options)),
      log_(log),
      host_(host),
      firewall_(firewall),
      runtime_(session_.Relations(), session_.Settings(), history_, *this, host) {}

HeadlessService::~HeadlessService() = default;

std::optional<std::string> HeadlessService::Start() {
  ListLoad load = LoadServedList(options_.file, options_.settings);
  if (!load.list) return load.failure;
  if (!HostHasUsableAddress(host_)) return std::string(LoadString(kIdsNoValidIpAddress));
  std::string address;
  if (std::optional<std::string> failure = ChooseServerAddress(address)) return failure;
  if (std::optional<std::string> failure = OpenEventSources()) return failure;

  session_.SetSettings(load.list->settings, false);
  session_.ReplaceRelations(std::move(load.list->relations));
  if (const std::optional<StartFailure> failure = runtime_.StartServer(options_.interfaceName, address)) {
    return failure->text;
  }
  ReportStart(load.list->warnings);
  return std::nullopt;
}

// The interface's own address, not the host's first: the host's first
// address may sit on another network, which the devices on this interface
// cannot reach, and replies leave from the address they name. An address
// given by the user must be one of the interface's for the same reason.
std::optional<std::string> HeadlessService::ChooseServerAddress(std::string& address) const {
  const std::string& name = options_.interfaceName;
  const std::vector<HostInterface> interfaces = host_.Interfaces();
  const auto entry = std::find_if(interfaces.begin(), interfaces.end(),
                                  [&](const HostInterface& candidate) { return candidate.name == name; });
  if (entry == interfaces.end()) return FormatText(text::kNoInterfaceFormat, name.c_str());
  if (!options_.serverAddress) {
    if (entry->addresses.empty()) return FormatText(text::kInterfaceWithoutAddressFormat, name.c_str());
    address = IpToText(entry->addresses.front().address);
    return std::nullopt;
  }
  std::uint32_t given = 0;
  if (!TextToIp(*options_.serverAddress, given) || !IsValidIp(given)) {
    return FormatText(text::kInvalidServerAddressFormat, options_.serverAddress->c_str());
  }
  std::string own;
  for (const InterfaceAddress& candidate : entry->addresses) {
    if (candidate.address == given) {
      address = IpToText(given);
      return std::nullopt;
    }
    own += (own.empty() ? "" : ", ") + IpToText(candidate.address);
  }
  return FormatText(text::kAddressNotOnInterfaceFormat, IpToText(given).c_str(), name.c_str(),
                    own.empty() ? "none" : own.c_str());
}

std::optional<std::string> HeadlessService::OpenEventSources() {
  const sigset_t set = ServiceSignals();
  signals_ = FileDescriptor(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!signals_.valid()) return FormatText(text::kNoEventSourceFormat, ("signalfd: " + ErrorText(errno)).c_str());
  rebindTimer_ = FileDescriptor(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!rebindTimer_.valid()) {
    return FormatText(text::kNoEventSourceFormat, ("timerfd_create: " + ErrorText(errno)).c_str());
  }
  auto watch = std::make_unique<LinkWatch>();
  if (watch->Open()) {
    watch_ = std::move(watch);
  } else {
    log_.Write(LogLevel::Warning, WarningLine(text::kNoInterfaceWatch));
  }
  return std::nullopt;
}

void HeadlessService::ReportStart(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) log_.Write(LogLevel::Warning, WarningLine(warning));
  // Checked once the port is bound, as the window checks it; a service has
  // nobody to tell only once, so it says so at every start.
  const PortFinding finding = firewall_.ReadPortFinding(options_.interfaceName);
  if (finding.verdict == PortVerdict::Blocked || finding.verdict == PortVerdict::MayBlock) {
    log_.Write(LogLevel::Warning, WarningLine(finding.warning));
  }
  const std::string server = IpToText(runtime_.Identity().ServerAddressHostOrder());
  log_.Write(LogLevel::Notice, ServingLine(options_.interfaceName, server, options_.file,
                                           session_.Relations().Count(), session_.Settings()));
  NotifyServing();
}

void HeadlessService::ServerStatus(std::string_view text) {
  log_.Write(LogLevel::Notice, StatusLine(text));
  Notify("STATUS=" + FirstLine(text));
}

void HeadlessService::ScheduleRebind(std::chrono::milliseconds delay) {
  itimerspec when{};
  const auto nanoseconds = std::max<std::int64_t>(std::chrono::nanoseconds(delay).count(), 1);
  when.it_value.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
  when.it_value.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
  (void)timerfd_settime(rebindTimer_.get(), 0, &when, nullptr);
}

void HeadlessService::NotifyServing() const {
  const std::string server = IpToText(runtime_.Identity().ServerAddressHostOrder());
  Notify("READY=1\nSTATUS=" + FormatText(text::kServingStatusFormat, options_.interfaceName.c_str(), server.c_str(),
                                          session_.Relations().Count()));
}

void HeadlessService::Notify(const std::string& state) const {
  // Nothing happens outside a systemd service (no NOTIFY_SOCKET).
  (void)sd_notify(0, state.c_str());
}

}  // namespace corvessa::service
