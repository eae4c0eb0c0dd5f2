#include "enip/commissioning.h"

#include <thread>
#include <utility>
#include <vector>

#include "core/strings.h"
#include "enip/encap_session.h"
#include "ui/prompts.h"

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
  if (context.status) context.status(text);
}

void ShowMessage(const EnipContext& context, int textId, int captionId) {
  if (context.prompts) context.prompts->Message(LoadString(textId), LoadString(captionId));
}

void Pause(const EnipContext& context, std::chrono::milliseconds length) {
  if (context.sleep) {
    context.sleep(length);
  } else {
    std::this_thread::sleep_for(length);
  }
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
  EncapSession session(context);
  if (!session.PrepareRequestBlock()) return false;
  const BusyScope busy(context.busy);
  // The read and the write of Configuration Control.
  if (!session.ObtainCommandBlock() || !session.PrepareResponseBlock()) return false;

  bool succeeded = false;
  if (!relation) {
    Report(context, LoadString(kIdsNullRelation));
  } else if (session.Open(*relation) && session.RegisterSession(true)) {
    succeeded = ChangeConfigurationMethod(session, *relation, instance, method);
  }
  session.Close();

  if (!succeeded) {
    if (!quiet) ShowMessage(context, kIdsCommandFailed, kIdsCommunicationErrorCaption);
    return false;
  }
  Report(context, CommandSuccessText(method, relation));
  return true;
}

void EnableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context) {
  if (selected.empty()) {
    ShowMessage(context, kIdsSelectAddressFirst, kIdsSelectAddressCaption);
    return;
  }
  for (const Relation* relation : selected) {
    const int instance = FindInterfaceInstance(relation, context);
    if (SendConfigurationMethod(relation, kMethodDhcp, true, instance, context)) continue;
    Pause(context, kBootpRetryPause);
    SendConfigurationMethod(relation, kMethodBootp, false, instance, context);
  }
}

void DisableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context) {
  if (selected.empty()) {
    ShowMessage(context, kIdsSelectAddressFirst, kIdsSelectAddressCaption);
    return;
  }
  for (const Relation* relation : selected) {
    const int instance = FindInterfaceInstance(relation, context);
    SendConfigurationMethod(relation, kMethodStoredConfiguration, false, instance, context);
  }
}

}  // namespace corvessa
