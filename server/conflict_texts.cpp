#include "server/conflict_texts.h"

#include "core/address.h"
#include "core/strings.h"

namespace corvessa {

std::string ConflictText(std::uint32_t address, const AddressRecord& record, const std::string& deviceText) {
  const std::string ip = IpToText(address);
  if (record.state == AddressState::Declined) {
    return FormatText(text::kDeclinedFormat, deviceText.c_str(), ip.c_str());
  }
  if (record.state != AddressState::Taken) return {};
  if (record.evidence == ProbeEvidence::OwnAddress) {
    return FormatText(text::kOwnAddressFormat, ip.c_str(), deviceText.c_str());
  }
  if (record.holder) {
    const std::string holder = MacToText(record.holder->data(), record.holder->size());
    return FormatText(text::kTakenByFormat, ip.c_str(), holder.c_str(), deviceText.c_str());
  }
  return FormatText(text::kTakenFormat, ip.c_str(), deviceText.c_str());
}

std::string HistoryConflictText(std::uint32_t address) {
  return FormatText(text::kHistoryConflictFormat, IpToText(address).c_str());
}

}  // namespace corvessa
