#include "relations/relation_entry.h"

#include <algorithm>
#include <cstring>

#include "core/strings.h"

namespace corvessa {

namespace {

constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;
constexpr std::size_t kLongestSequence = 4;

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & kContinuationMask) == kContinuationBits;
}

// At most `size` bytes of a UTF-8 text. A character that straddles the limit
// goes whole, so a stored text never ends in half a character; bytes that are
// no UTF-8 sequence are cut where they stand.
std::string_view CutText(std::string_view text, std::size_t size) {
  if (text.size() <= size) return text;
  std::size_t back = 0;
  while (back < kLongestSequence - 1 && back < size && IsContinuation(text[size - back])) ++back;
  const auto lead = static_cast<unsigned char>(text[size - back]);
  if (back > 0 && (lead & kContinuationMask) == kContinuationMask) return text.substr(0, size - back);
  return text.substr(0, size);
}

template <std::size_t N>
std::uint8_t StoreText(std::array<char, N>& field, std::string_view text) {
  static_assert(N <= 255, "the length must fit its byte");
  field.fill(0);
  const std::string_view cut = CutText(text, N);
  std::copy(cut.begin(), cut.end(), field.begin());
  return static_cast<std::uint8_t>(cut.size());
}

template <std::size_t N>
std::uint8_t CopyBytes(std::array<char, N>& field, const char* bytes, std::uint8_t length) {
  field.fill(0);
  if (bytes == nullptr || length == 0) return 0;
  const std::size_t n = std::min<std::size_t>(length, N);
  std::memcpy(field.data(), bytes, n);
  return static_cast<std::uint8_t>(n);
}

template <std::size_t N>
std::string UpToZero(const std::array<char, N>& field) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  return std::string(field.begin(), end);
}

bool IsOther(const Relation* found, const Relation* edited) { return found != nullptr && found != edited; }

}  // namespace

void SetEntryHardwareAddress(RelationEntry& entry, const std::uint8_t* bytes, std::uint8_t length) {
  entry.hardwareAddress.fill(0);
  entry.hardwareAddressLength = kNoHardwareAddress;
  if (bytes == nullptr || length == 0) return;
  // The buffer holds 16 bytes; a longer claim would show and compare bytes
  // that are not there.
  const std::size_t n = std::min<std::size_t>(length, kMacCapacity);
  std::memcpy(entry.hardwareAddress.data(), bytes, n);
  entry.hardwareAddressLength = static_cast<std::uint8_t>(n);
}

void SetEntryHostname(RelationEntry& entry, const char* bytes, std::uint8_t length) {
  entry.hostnameLength = CopyBytes(entry.hostname, bytes, length);
}

void SetEntryDescription(RelationEntry& entry, const char* bytes, std::uint8_t length) {
  entry.descriptionLength = CopyBytes(entry.description, bytes, length);
}

std::string EntryHardwareAddressText(const RelationEntry& entry) {
  if (entry.hardwareAddressLength == kNoHardwareAddress) return {};
  return MacToText(entry.hardwareAddress.data(), std::min<std::size_t>(entry.hardwareAddressLength, kMacCapacity));
}

std::string EntryHostnameText(const RelationEntry& entry) { return UpToZero(entry.hostname); }

std::string EntryDescriptionText(const RelationEntry& entry) { return UpToZero(entry.description); }

bool ReadEntryHardwareAddress(RelationEntry& entry, std::string_view text) {
  std::uint8_t length = kMacCapacity;
  if (!TextToMac(text, entry.hardwareAddress.data(), length)) return false;
  entry.hardwareAddressLength = length;
  return true;
}

void ReadEntryHostname(RelationEntry& entry, std::string_view text) {
  entry.hostnameLength = StoreText(entry.hostname, text);
}

void ReadEntryDescription(RelationEntry& entry, std::string_view text) {
  entry.descriptionLength = StoreText(entry.description, text);
}

std::optional<RelationEntryProblem> CheckRelationEntry(const RelationEntry& entry, bool macConverted,
                                               const RelationEntryContext& context, std::string_view serverAddressText) {
  using Field = EntryField;
  if (!macConverted) return RelationEntryProblem{kIdsInvalidMacAddress, kIdsInvalidAddressCaption, Field::HardwareAddress};
  if (!IsValidIp(entry.ipAddress)) return RelationEntryProblem{kIdsInvalidIpAddress, kIdsInvalidAddressCaption, Field::IpAddress};
  if (context.table != nullptr) {
    const RelationTable& table = *context.table;
    // The edited relation may keep its own values: it is compared by identity.
    if (IsOther(table.FindByMac(entry.hardwareAddress.data(), entry.hardwareAddressLength), context.edited)) {
      return RelationEntryProblem{kIdsMacExists, kIdsAddressExistsCaption, Field::HardwareAddress};
    }
    if (IsOther(table.FindByIp(entry.ipAddress), context.edited)) {
      return RelationEntryProblem{kIdsIpExists, kIdsAddressExistsCaption, Field::IpAddress};
    }
    if (IsOther(table.FindByHostname(entry.hostname.data(), entry.hostnameLength), context.edited)) {
      return RelationEntryProblem{kIdsHostnameExists, kIdsAddressExistsCaption, Field::Hostname};
    }
  }
  if (context.gateway != 0 && !SameSubnet(context.subnetMask, context.gateway, entry.ipAddress)) {
    return RelationEntryProblem{kIdsGatewaySubnetMismatch, kIdsNetworkSetupWarningCaption, Field::IpAddress};
  }
  if (!SameSubnet(context.subnetMask, ParseDottedIp(serverAddressText).value_or(0), entry.ipAddress)) {
    return RelationEntryProblem{kIdsServerSubnetMismatch, kIdsNetworkSetupWarningCaption, Field::IpAddress};
  }
  return std::nullopt;
}

std::unique_ptr<Relation> MakeRelation(const RelationEntry& entry) {
  auto relation = std::make_unique<Relation>();
  relation->hardwareAddress = entry.hardwareAddress;
  relation->hardwareAddressLength = entry.hardwareAddressLength;
  relation->ipAddress = entry.ipAddress;
  relation->hostname = entry.hostname;
  relation->hostnameLength = entry.hostnameLength;
  relation->description = entry.description;
  relation->descriptionLength = entry.descriptionLength;
  relation->type = kRelationTypeNone;
  return relation;
}

}  // namespace corvessa
