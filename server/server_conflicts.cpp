// Address conflicts in the server: a listed device's address is probed before
// its first reply in a run, the request waits for the probe, and an address
// that another device holds, or that the device declined, is not given until
// the user confirms it.

#include <algorithm>
#include <cstring>

#include "core/address.h"
#include "core/strings.h"
#include "server/conflict_texts.h"
#include "server/server_runtime.h"

namespace corvessa {

namespace {

HardwareAddress Requester(const BootpMessage& request) {
  HardwareAddress requester{};
  const std::size_t length = std::min<std::size_t>({request.Hlen(), kChaddrSize, requester.size()});
  std::copy_n(request.Chaddr(), length, requester.begin());
  return requester;
}

bool IsDecline(const BootpMessage& request) {
  const auto type = FindOption(request, option::kMessageType);
  return type && type->length > 0 && request.bytes[type->position] == dhcp_type::kDecline;
}

}  // namespace

void ServerRuntime::RestartProbe() {
  guard_.Reset();
  if (!probingWanted_) {
    probe_.Close();
    reports_.ProbeChanged();
    return;
  }
  if (!probe_.Open(interfaceName_)) {
    // Serving unprobed beats not serving: said once, then the devices are served.
    reports_.ServerStatus(
        FormatText(text::kProbeUnavailableFormat, interfaceName_.c_str(), std::strerror(probe_.Error())));
  }
  reports_.ProbeChanged();
}

void ServerRuntime::ScheduleProbeCheck() {
  if (const auto deadline = probe_.NextDeadline()) reports_.ScheduleProbeCheck(*deadline);
}

bool ServerRuntime::InConflict(std::uint32_t address) const {
  const AddressState state = guard_.State(address);
  return state == AddressState::Taken || state == AddressState::Declined;
}

bool ServerRuntime::ConfirmAddress(std::uint32_t address) {
  if (!InConflict(address)) return false;
  guard_.Confirm(address);
  return true;
}

AddressConflict ServerRuntime::ConflictOf(std::uint32_t address, bool found) const {
  AddressConflict conflict;
  conflict.address = address;
  conflict.found = found;
  if (const AddressRecord* record = guard_.Find(address)) {
    conflict.state = record->state;
    conflict.evidence = record->evidence;
    conflict.holder = record->holder;
  }
  return conflict;
}

RequestOutcome ServerRuntime::Respond(const BootpMessage& request, RequestKind kind) {
  RequestOutcome outcome;
  outcome.kind = kind;
  outcome.deviceText = RequestMacText(request);
  const Relation* relation = AddressReplyRelation(request, table_, identity_);
  const std::uint32_t address = relation != nullptr ? relation->ipAddress : 0;
  if (address != 0) {
    GuardAction action = GuardAction::Serve;
    bool foundNow = false;
    if (probe_.Method() != ProbeMethod::None) {
      action = guard_.OnRequest(address, Requester(request), request);
    } else if (InConflict(address)) {
      // Not probed, but declined by the device: still not given.
      action = GuardAction::Refuse;
    }
    if (action == GuardAction::StartProbe) {
      if (const std::optional<ProbeResult> decided = probe_.Start(address, std::chrono::steady_clock::now())) {
        // The interface's own address: decided without waiting.
        (void)guard_.OnProbeResult(*decided);
        action = GuardAction::Refuse;
        foundNow = true;
      } else if (!probe_.Probing(address)) {
        (void)guard_.ProbeUnavailable(address);
        action = GuardAction::Serve;
      } else {
        ScheduleProbeCheck();
        action = GuardAction::Hold;
      }
    }
    if (action == GuardAction::Hold) {
      outcome.waiting = true;
      outcome.statusText = FormatText(text::kProbingFormat, IpToText(address).c_str(), outcome.deviceText.c_str());
      return outcome;
    }
    if (action == GuardAction::Refuse) {
      outcome.conflict = ConflictOf(address, foundNow);
      outcome.statusText = ConflictText(address, *guard_.Find(address), outcome.deviceText);
      return outcome;
    }
  }
  outcome.served = Serve(request, kind);
  if (outcome.served != nullptr) {
    outcome.statusText =
        FormatString(kIdsSentToEthernet, IpToText(outcome.served->ipAddress).c_str(), outcome.deviceText.c_str());
  } else {
    outcome.statusText = FormatString(kIdsUnableToService, std::string(RequestTypeText(request)).c_str(),
                                      outcome.deviceText.c_str());
  }
  return outcome;
}

std::optional<RequestOutcome> ServerRuntime::OnDecline(const BootpMessage& request) {
  if (!IsDecline(request) || request.Hlen() > kChaddrSize) return std::nullopt;
  const Relation* relation = table_.FindByMac(request.Chaddr(), request.Hlen());
  if (relation == nullptr || !guard_.OnDecline(relation->ipAddress, request)) return std::nullopt;
  RequestOutcome outcome;
  outcome.kind = RequestKind::DhcpIgnored;
  outcome.deviceText = RequestMacText(request);
  outcome.conflict = ConflictOf(relation->ipAddress, true);
  outcome.statusText = ConflictText(relation->ipAddress, *guard_.Find(relation->ipAddress), outcome.deviceText);
  return outcome;
}

std::optional<RequestOutcome> ServerRuntime::ProbeFinished(const ProbeResult& result) {
  const AddressRecord* record = guard_.Find(result.address);
  if (record == nullptr || record->state != AddressState::Probing || !record->kept) {
    (void)guard_.OnProbeResult(result);
    return std::nullopt;
  }
  // The guard lets go of the request when the address is taken.
  const BootpMessage kept = *record->kept;
  const ProbeOutcome decided = guard_.OnProbeResult(result);
  if (decided.state == AddressState::Taken) {
    RequestOutcome outcome;
    outcome.kind = ClassifyRequest(kept);
    outcome.afterProbe = true;
    outcome.deviceText = RequestMacText(kept);
    outcome.conflict = ConflictOf(result.address, true);
    outcome.statusText = ConflictText(result.address, *guard_.Find(result.address), outcome.deviceText);
    UpdateHistoryEntry(history_, kept, nullptr, HistoryConflictText(result.address));
    return outcome;
  }
  // Answered as if it had just arrived: the relation may have changed while
  // the probe ran, and a new address is probed in its turn.
  RequestOutcome outcome = Respond(kept, ClassifyRequest(kept));
  outcome.afterProbe = true;
  UpdateHistoryEntry(history_, kept, outcome.served,
                     outcome.conflict ? HistoryConflictText(outcome.conflict->address) : std::string());
  return outcome;
}

std::vector<RequestOutcome> ServerRuntime::ProbesFinished(const std::vector<ProbeResult>& results) {
  std::vector<RequestOutcome> outcomes;
  for (const ProbeResult& result : results) {
    if (std::optional<RequestOutcome> outcome = ProbeFinished(result)) outcomes.push_back(std::move(*outcome));
  }
  ScheduleProbeCheck();
  return outcomes;
}

std::vector<RequestOutcome> ServerRuntime::OnProbeReadable() { return ProbesFinished(probe_.OnReadable()); }

std::vector<RequestOutcome> ServerRuntime::OnProbeDeadline(std::chrono::steady_clock::time_point now) {
  return ProbesFinished(probe_.OnDeadline(now));
}

}  // namespace corvessa
