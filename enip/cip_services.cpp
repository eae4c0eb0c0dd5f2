#include "enip/cip_services.h"

#include <algorithm>
#include <array>

#include "core/strings.h"

namespace corvessa {
namespace {

// Every operation makes at most this many attempts.
constexpr int kAttempts = 2;

// Physical Link Object path of two words: class segment 0xF6, instance segment.
constexpr std::uint16_t kLinkPathWords = 2;
constexpr std::size_t kLinkPathSizeOffset = 4;
constexpr std::size_t kLinkPathOffset = 6;
constexpr std::size_t kLinkInstanceOffset = 9;

// Result of one attempt once the reply has been judged.
enum class Step { Retry, Stop };

// What the attempts table does with a general status error: the fallback rule
// moves every request of the operation to FallbackClass and tries again;
// anything else ends the operation.
Step OnGeneralStatus(const Relation& relation, std::uint8_t status,
                     std::initializer_list<std::span<std::uint8_t>> requests) {
  if (!FallbackApplies(relation, status)) return Step::Stop;
  for (const auto request : requests) SetRequestClass(request, FallbackClass);
  return Step::Retry;
}

}  // namespace

CipResult CheckCipReply(EncapSession& session, std::span<const std::uint8_t> request,
                        std::string_view label, std::uint8_t service) {
  CipResult result;
  if (!session.Transact(request, label, true)) return result;
  const auto reply = FindReplyItem(session.Reply(), service);
  if (!reply) {
    result.outcome = CipOutcome::NoReplyItem;
    return result;
  }
  result.reply = *reply;
  result.generalStatus = reply->generalStatus;
  if (reply->generalStatus != kCipSuccess) {
    const std::string labelText(label);
    session.Status(FormatString(kIdsReceivedError, session.DeviceText().c_str(), labelText.c_str(),
                                static_cast<int>(reply->generalStatus)));
    result.outcome = CipOutcome::GeneralStatusError;
    return result;
  }
  result.outcome = CipOutcome::Success;
  return result;
}

bool FallbackApplies(const Relation& relation, std::uint8_t generalStatus) {
  // Only the devices of this prefix may need FallbackClass.
  return generalStatus == kCipPathDestinationUnknown && HasVendorPrefix(relation);
}

int GetMaxInstance(EncapSession& session, const Relation& relation) {
  constexpr int kDefault = 1;
  if (!session.ObtainCommandBlock()) return kDefault;
  auto request = BuildGetAttributeSingle(
      session.Handle(), {kTcpIpInterfaceClass, kClassInstance, kMaxInstanceAttribute});
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const CipResult result =
        CheckCipReply(session, request, text::kLabelGetAttributeSingle, kCipGetAttributeSingle);
    if (result.outcome == CipOutcome::GeneralStatusError &&
        OnGeneralStatus(relation, result.generalStatus, {request}) == Step::Stop) {
      return kDefault;
    }
    if (result.outcome != CipOutcome::Success) continue;
    // Taken at offset 4 whatever the additional status size says.
    const auto count = little_endian::Get16(result.reply.data, kReplyDataOffset);
    if (!count) continue;  // too short to hold the count: as no reply item
    return std::max<int>(*count, kDefault);
  }
  return kDefault;
}

std::optional<int> GetPhysicalLink(EncapSession& session, const Relation& relation, int instance) {
  if (!session.ObtainCommandBlock()) return std::nullopt;
  auto request = BuildGetAttributeSingle(
      session.Handle(),
      {kTcpIpInterfaceClass, static_cast<std::uint8_t>(instance), kPhysicalLinkAttribute});
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const CipResult result =
        CheckCipReply(session, request, text::kLabelGetAttributeSingle, kCipGetAttributeSingle);
    if (result.outcome == CipOutcome::GeneralStatusError &&
        OnGeneralStatus(relation, result.generalStatus, {request}) == Step::Retry) {
      continue;
    }
    if (result.outcome != CipOutcome::Success) return std::nullopt;

    const auto data = result.reply.data;
    const auto words = little_endian::Get16(data, kLinkPathSizeOffset);
    if (!words) return std::nullopt;
    if (*words != kLinkPathWords) return -1;
    const auto path = GetBytes(data, kLinkPathOffset, 4);
    if (!path) return std::nullopt;
    if ((*path)[0] != kClassSegment || (*path)[1] != kEthernetLinkClass ||
        (*path)[2] != kInstanceSegment) {
      return std::nullopt;
    }
    return static_cast<int>((*path)[kLinkInstanceOffset - kLinkPathOffset]);
  }
  // Both attempts answered "path destination unknown": nothing was learnt.
  return std::nullopt;
}

AddressMatch MatchPhysicalAddress(EncapSession& session, const Relation& relation,
                                  int linkInstance) {
  if (!session.ObtainCommandBlock()) return AddressMatch::NoAnswer;
  auto request = BuildGetAttributeSingle(
      session.Handle(),
      {kEthernetLinkClass, static_cast<std::uint8_t>(linkInstance), kPhysicalAddressAttribute});
  const std::size_t length = MacBytes(relation).size();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const CipResult result =
        CheckCipReply(session, request, text::kLabelGetAttributeSingle, kCipGetAttributeSingle);
    if (result.outcome == CipOutcome::GeneralStatusError &&
        OnGeneralStatus(relation, result.generalStatus, {request}) == Step::Retry) {
      continue;
    }
    if (result.outcome != CipOutcome::Success) return AddressMatch::NoAnswer;
    const auto address = GetBytes(result.reply.data, kReplyDataOffset, length);
    if (!address) return AddressMatch::NoAnswer;
    return std::equal(address->begin(), address->end(), relation.hardwareAddress.begin())
               ? AddressMatch::Match
               : AddressMatch::Mismatch;
  }
  // Both attempts answered "path destination unknown": no address to compare.
  return AddressMatch::NoAnswer;
}

bool ChangeConfigurationMethod(EncapSession& session, const Relation& relation, int instance,
                               ConfigurationMethod method) {
  const CipPath path{kTcpIpInterfaceClass, static_cast<std::uint8_t>(instance),
                     kConfigurationControlAttribute};
  auto read = BuildGetAttributeSingle(session.Handle(), path);
  auto write = BuildSetAttributeSingle(session.Handle(), path, method);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const CipResult current =
        CheckCipReply(session, read, text::kLabelGetAttributeSingle, kCipGetAttributeSingle);
    if (current.outcome == CipOutcome::GeneralStatusError &&
        OnGeneralStatus(relation, current.generalStatus, {read, write}) == Step::Stop) {
      return false;
    }
    if (current.outcome != CipOutcome::Success) continue;
    const auto value = little_endian::Get32(
        current.reply.data, kReplyDataOffset + 2 * std::size_t{current.reply.additionalStatusWords});
    if (!value) continue;  // too short to hold the value: as no reply item
    // From the method each time, so a bit seen in an earlier attempt is not kept.
    SetRequestValue(write, method | (*value & kDnsEnableBit));

    const CipResult written =
        CheckCipReply(session, write, text::kLabelSetAttributeSingle, kCipSetAttributeSingle);
    if (written.outcome == CipOutcome::GeneralStatusError &&
        OnGeneralStatus(relation, written.generalStatus, {read, write}) == Step::Stop) {
      return false;
    }
    if (written.outcome != CipOutcome::Success) continue;
    const std::string label(text::kLabelSetAttributeSingle);
    session.Status(FormatString(kIdsReceivedOk, session.DeviceText().c_str(), label.c_str(),
                                static_cast<int>(written.generalStatus)));
    return true;
  }
  return false;
}

}  // namespace corvessa
