#include "enip/commissioning.h"

#include <thread>
#include <utility>
#include <vector>

#include "core/strings.h"
#include "enip/cancel_token.h"
#include "enip/encap_session.h"

namespace corvessa {
namespace {

struct Candidate {
  int instance;
  int link;  // -1: the instance named no Ethernet Link
};

int ChooseInstance(EncapSession& session, const Relation& relation) {
  constexpr int kDefault = 1;
  const int count = std::min(GetMaxInstance(session, relation), kMaxDiscoveredInstance);
  if (count == 1) return kDefault;

  std::vector<Candidate> candidates;
  for (int instance = 1; instance <= count; ++instance) {
    if (const auto link = GetPhysicalLink(session, relation, instance)) {
      candidates.push_back({instance, *link});
    }
  }
  if (candidates.empty()) return kDefault;
  if (candidates.size() == 1) return candidates.front().instance;
  for (const Candidate& candidate : candidates) {
    // An instance without a link has no address to compare.
    if (candidate.link < 0) continue;
    if (MatchPhysicalAddress(session, relation, candidate.link) == AddressMatch::Match) {
      return candidate.instance;
    }
  }
  return kDefault;
}

void Report(const EnipContext& context, std::string_view text) {
  if (context.status && !(context.cancel != nullptr && context.cancel->Cancelled())) {
    context.status(text);
  }
}

bool Cancelled(const EnipContext& context) {
  return context.cancel != nullptr && context.cancel->Cancelled();
}

// False when a cancel ended the pause early.
bool Pause(const EnipContext& context, std::chrono::milliseconds length) {
  if (context.sleep) {
    context.sleep(length);
  } else if (context.cancel != nullptr) {
    return context.cancel->SleepFor(length);
  } else {
    std::this_thread::sleep_for(length);
  }
  return !Cancelled(context);
}

void Begin(const StepSink& step, CommissionStep which) {
  if (step) step(which);
}

std::string_view ProtocolWord(ConfigurationMethod method, const Relation* relation) {
  if (method == kMethodBootp) return text::kTypeBootp;
  if (method == kMethodDhcp) return text::kTypeDhcp;
  if (method == kMethodStoredConfiguration && relation) {
    if (relation->type == kRelationTypeBootp) return text::kTypeBootp;
    if (relation->type == kRelationTypeDhcp) return text::kTypeDhcp;
  }
  return text::kTypeBootpDhcp;
}

}  // namespace

std::string CommandSuccessText(ConfigurationMethod method, const Relation* relation) {
  const std::string action(method != kMethodStoredConfiguration ? text::kActionEnable
                                                                : text::kActionDisable);
  const std::string protocol(ProtocolWord(method, relation));
  return FormatString(kIdsCommandSuccessful, action.c_str(), protocol.c_str());
}

int FindInterfaceInstance(const Relation* relation, const EnipContext& context) {
  constexpr int kDefault = 1;
  EncapSession session(context);
  if (!session.PrepareRequestBlock()) return kDefault;
  const BusyScope busy(context.busy);
  if (!session.PrepareResponseBlock()) return kDefault;
  if (!relation) {
    Report(context, LoadString(kIdsNullRelation));
    return kDefault;
  }
  if (!session.Open(*relation) || !session.RegisterSession()) return kDefault;
  return ChooseInstance(session, *relation);
}

bool SendConfigurationMethod(const Relation* relation, ConfigurationMethod method, bool quiet,
                             int instance, const EnipContext& context) {
  // The failure box carries the text of the failed step itself: the status
  // line may show something else by the time the box is read.
  std::string lastText;
  EnipContext flow = context;
  flow.status = [&lastText, &context](std::string_view text) {
    lastText.assign(text);
    if (context.status) context.status(text);
  };

  EncapSession session(flow);
  if (!session.PrepareRequestBlock()) return false;
  const BusyScope busy(flow.busy);
  // The read and the write of Configuration Control.
  if (!session.ObtainCommandBlock() || !session.PrepareResponseBlock()) return false;

  bool succeeded = false;
  if (!relation) {
    Report(flow, LoadString(kIdsNullRelation));
  } else if (session.Open(*relation) && session.RegisterSession(true)) {
    succeeded = ChangeConfigurationMethod(session, *relation, instance, method);
  }
  session.Close();

  if (!succeeded) {
    if (!quiet && context.commandFailed && !Cancelled(context)) context.commandFailed(lastText);
    return false;
  }
  Report(flow, CommandSuccessText(method, relation));
  return true;
}

DeviceOutcome EnableDevice(const Relation* relation, const EnipContext& context,
                           const StepSink& step) {
  Begin(step, CommissionStep::Discovery);
  const int instance = FindInterfaceInstance(relation, context);
  if (Cancelled(context)) return DeviceOutcome::Cancelled;
  Begin(step, CommissionStep::DhcpAttempt);
  if (SendConfigurationMethod(relation, kMethodDhcp, true, instance, context)) {
    return DeviceOutcome::Succeeded;
  }
  if (Cancelled(context)) return DeviceOutcome::Cancelled;
  Begin(step, CommissionStep::Pause);
  if (!Pause(context, kBootpRetryPause)) return DeviceOutcome::Cancelled;
  Begin(step, CommissionStep::BootpAttempt);
  if (SendConfigurationMethod(relation, kMethodBootp, false, instance, context)) {
    return DeviceOutcome::Succeeded;
  }
  return Cancelled(context) ? DeviceOutcome::Cancelled : DeviceOutcome::Failed;
}

DeviceOutcome DisableDevice(const Relation* relation, const EnipContext& context,
                            const StepSink& step) {
  Begin(step, CommissionStep::Discovery);
  const int instance = FindInterfaceInstance(relation, context);
  if (Cancelled(context)) return DeviceOutcome::Cancelled;
  Begin(step, CommissionStep::StoredConfiguration);
  if (SendConfigurationMethod(relation, kMethodStoredConfiguration, false, instance, context)) {
    return DeviceOutcome::Succeeded;
  }
  return Cancelled(context) ? DeviceOutcome::Cancelled : DeviceOutcome::Failed;
}

namespace {

using DeviceSequence = DeviceOutcome (*)(const Relation*, const EnipContext&, const StepSink&);

bool OneAfterTheOther(std::span<const Relation* const> selected, const EnipContext& context,
                      DeviceSequence sequence) {
  if (selected.empty()) return false;
  for (const Relation* relation : selected) {
    if (sequence(relation, context, {}) == DeviceOutcome::Cancelled) break;
  }
  return true;
}

}  // namespace

bool EnableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context) {
  return OneAfterTheOther(selected, context, &EnableDevice);
}

bool DisableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context) {
  return OneAfterTheOther(selected, context, &DisableDevice);
}

}  // namespace corvessa
