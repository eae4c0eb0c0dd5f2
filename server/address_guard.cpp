#include "server/address_guard.h"

#include "core/bytes.h"

namespace corvessa {

GuardAction AddressGuard::OnRequest(std::uint32_t address, const HardwareAddress& requester,
                                    const BootpMessage& request) {
  AddressRecord& record = records_[address];
  switch (record.state) {
    case AddressState::Unprobed:
      record.state = AddressState::Probing;
      record.requester = requester;
      record.kept = request;
      return GuardAction::StartProbe;
    case AddressState::Probing:
      record.requester = requester;
      record.kept = request;
      return GuardAction::Hold;
    case AddressState::Taken:
      // The relation now names the device that was found at the address.
      if (record.holder && *record.holder == requester) {
        record.state = AddressState::Free;
        return GuardAction::Serve;
      }
      return GuardAction::Refuse;
    case AddressState::Declined:
      return GuardAction::Refuse;
    case AddressState::Free:
    case AddressState::Confirmed:
      return GuardAction::Serve;
  }
  return GuardAction::Refuse;
}

ProbeOutcome AddressGuard::OnProbeResult(const ProbeResult& result) {
  ProbeOutcome outcome;
  outcome.address = result.address;
  const auto found = records_.find(result.address);
  if (found == records_.end() || found->second.state != AddressState::Probing) return outcome;
  AddressRecord& record = found->second;
  const bool requesterItself = result.holder && *result.holder == record.requester;
  if (result.held && !requesterItself) {
    record.state = AddressState::Taken;
    record.evidence = result.evidence;
    record.holder = result.holder;
    record.kept.reset();
  } else {
    record.state = AddressState::Free;
    outcome.answerNow = std::move(record.kept);
    record.kept.reset();
  }
  outcome.state = record.state;
  outcome.holder = record.holder;
  return outcome;
}

std::optional<BootpMessage> AddressGuard::ProbeUnavailable(std::uint32_t address) {
  const auto found = records_.find(address);
  if (found == records_.end() || found->second.state != AddressState::Probing) return std::nullopt;
  found->second.state = AddressState::Free;
  std::optional<BootpMessage> kept = std::move(found->second.kept);
  found->second.kept.reset();
  return kept;
}

bool AddressGuard::OnDecline(std::uint32_t relationAddress, const BootpMessage& decline) {
  const auto named = DeclinedAddress(decline);
  if (named && *named != relationAddress) return false;
  AddressRecord& record = records_[relationAddress];
  record.state = AddressState::Declined;
  record.evidence = ProbeEvidence::Nothing;
  record.holder.reset();
  record.kept.reset();
  return true;
}

void AddressGuard::Confirm(std::uint32_t address) {
  const auto found = records_.find(address);
  if (found == records_.end()) return;
  AddressState& state = found->second.state;
  if (state == AddressState::Taken || state == AddressState::Declined) state = AddressState::Confirmed;
}

void AddressGuard::Reprobe(std::uint32_t address) {
  const auto found = records_.find(address);
  // A running probe keeps its waiting request.
  if (found != records_.end() && found->second.state != AddressState::Probing) records_.erase(found);
}

AddressState AddressGuard::State(std::uint32_t address) const {
  const auto found = records_.find(address);
  return found == records_.end() ? AddressState::Unprobed : found->second.state;
}

const AddressRecord* AddressGuard::Find(std::uint32_t address) const {
  const auto found = records_.find(address);
  return found == records_.end() ? nullptr : &found->second;
}

std::vector<std::uint32_t> AddressGuard::Conflicts() const {
  std::vector<std::uint32_t> addresses;
  for (const auto& [address, record] : records_) {
    if (record.state == AddressState::Taken || record.state == AddressState::Declined) addresses.push_back(address);
  }
  return addresses;
}

std::optional<std::uint32_t> DeclinedAddress(const BootpMessage& decline) {
  const auto found = FindOption(decline, option::kRequestedAddress);
  if (!found || found->length < 4) return std::nullopt;
  const auto address = big_endian::Get32(decline.bytes, found->position);
  if (!address || *address == 0) return std::nullopt;
  return address;
}

}  // namespace corvessa
