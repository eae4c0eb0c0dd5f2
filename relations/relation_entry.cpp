#include "relations/relation_entry.h"

#include <algorithm>
#include <cstring>

#include "core/strings.h"
#include "core/utf8.h"

namespace corvessa {

namespace {

template <std::size_t N>
std::uint8_t StoreText(std::array<char, N>& field, std::string_view text) {
  static_assert(N <= 255, "the length must fit its byte");
  field.fill(0);
  const std::string_view cut = CutUtf8(text, N);
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
