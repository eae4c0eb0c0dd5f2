#include "relations/relation_table.h"

#include <algorithm>
#include <cstring>

#include "core/address.h"

namespace corvessa {

std::span<const std::uint8_t> MacBytes(const Relation& relation) {
  return {relation.hardwareAddress.data(),
          std::min<std::size_t>(relation.hardwareAddressLength, relation.hardwareAddress.size())};
}

bool HasVendorPrefix(const Relation& relation) {
  const std::span<const std::uint8_t> bytes = MacBytes(relation);
  return bytes.size() >= kVendorPrefix.size() && std::equal(kVendorPrefix.begin(), kVendorPrefix.end(), bytes.begin());
}

std::string RelationMacText(const Relation& relation) {
  const std::span<const std::uint8_t> bytes = MacBytes(relation);
  return MacToText(bytes.data(), bytes.size());
}

std::string_view HostnameText(const Relation& relation) {
  return {relation.hostname.data(), std::min<std::size_t>(relation.hostnameLength, relation.hostname.size())};
}

std::string_view DescriptionText(const Relation& relation) {
  return {relation.description.data(),
          std::min<std::size_t>(relation.descriptionLength, relation.description.size())};
}

int RelationTable::Count() const { return static_cast<int>(records_.size()); }

void RelationTable::Append(std::unique_ptr<Relation> relation) {
  if (relation) records_.push_back(std::move(relation));
}

void RelationTable::Remove(const Relation* relation) {
  // Erasing moves the owning pointers, never the records they point to.
  const auto found = std::find_if(records_.begin(), records_.end(),
                                  [relation](const auto& owned) { return owned.get() == relation; });
  if (found != records_.end()) records_.erase(found);
}

void RelationTable::Clear() { records_.clear(); }

Relation* RelationTable::At(int position) const {
  if (position < 0 || position >= Count()) return nullptr;
  return records_[static_cast<std::size_t>(position)].get();
}

Relation* RelationTable::FindByMac(const std::uint8_t* bytes, int length) const {
  // A length beyond the field matches nothing: no record may be read past its
  // 16 bytes, whatever its own length byte claims.
  if (bytes == nullptr || length <= 0 || static_cast<std::size_t>(length) > kMacCapacity) return nullptr;
  for (const auto& record : records_) {
    if (record->hardwareAddressLength == length &&
        std::memcmp(record->hardwareAddress.data(), bytes, static_cast<std::size_t>(length)) == 0) {
      return record.get();
    }
  }
  return nullptr;
}

Relation* RelationTable::FindByIp(std::uint32_t address) const {
  if (address == 0) return nullptr;
  for (const auto& record : records_) {
    if (record->ipAddress == address) return record.get();
  }
  return nullptr;
}

Relation* RelationTable::FindByHostname(const char* text, int length) const {
  if (text == nullptr || length <= 0 || static_cast<std::size_t>(length) > kRelationHostnameSize ||
      text[0] == '\0') {
    return nullptr;
  }
  for (const auto& record : records_) {
    if (record->hostnameLength == length &&
        std::memcmp(record->hostname.data(), text, static_cast<std::size_t>(length)) == 0) {
      return record.get();
    }
  }
  return nullptr;
}

namespace {

// Characters before the first 0 of the hostname field; the whole field when
// a 32-character name leaves no room for one.
std::size_t HostnameTextLength(const Relation& relation) {
  const auto end = std::find(relation.hostname.begin(), relation.hostname.end(), '\0');
  return static_cast<std::size_t>(end - relation.hostname.begin());
}

// Only the address's own bytes count: a file may leave other bytes in the
// unused rest of the field, and they must not make 00:00:00:00:00:00 pass.
bool AllZero(const Relation& relation) {
  const std::span<const std::uint8_t> mac = MacBytes(relation);
  return std::all_of(mac.begin(), mac.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

bool RelationTable::CheckCandidate(const Relation& relation) const {
  if (!IsValidIp(relation.ipAddress)) return false;
  if (relation.hardwareAddressLength == 0) return false;
  if (HostnameTextLength(relation) != relation.hostnameLength) return false;
  if (!IsValidMacLength(relation.hardwareAddressLength)) return false;
  if (AllZero(relation)) return false;
  if (FindByMac(relation.hardwareAddress.data(), relation.hardwareAddressLength) != nullptr) return false;
  if (FindByIp(relation.ipAddress) != nullptr) return false;
  if (FindByHostname(relation.hostname.data(), relation.hostnameLength) != nullptr) return false;
  return true;
}

}  // namespace corvessa
