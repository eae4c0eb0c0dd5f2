#pragma once
// The relation table: the devices the server answers, in insertion order.
// Records are individually allocated and keep their address while they are in
// the table, because list rows and the server's reply path refer to them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

inline constexpr int RelationCapacity = 256;
inline constexpr std::size_t kRelationHostnameSize = 32;
inline constexpr std::size_t kRelationDescriptionSize = 255;

enum RelationType : std::uint8_t { kRelationTypeNone = 0, kRelationTypeBootp = 1, kRelationTypeDhcp = 2 };

struct Relation {
  std::array<std::uint8_t, 16> hardwareAddress{};  // bytes past the length are 0
  std::uint8_t hardwareAddressLength = 0;
  std::uint8_t type = kRelationTypeNone;  // set by the server only
  std::uint32_t ipAddress = 0;            // host order
  std::array<char, kRelationHostnameSize> hostname{};  // rest 0, no 0 at full length
  std::uint8_t hostnameLength = 0;
  std::array<char, kRelationDescriptionSize> description{};
  std::uint8_t descriptionLength = 0;
};

// The hardware address prefix of one family of devices: they take the
// network reset message, and their CIP objects may answer under a second
// class code.
inline constexpr std::array<std::uint8_t, 3> kVendorPrefix = {0x0A, 0x00, 0x3C};
bool HasVendorPrefix(const Relation& relation);

// The hardware address bytes a relation claims, never more than its buffer
// holds, and their text ("00:1D:9C:C8:12:34").
std::span<const std::uint8_t> MacBytes(const Relation& relation);
std::string RelationMacText(const Relation& relation);
// The hostname and description as their length bytes give them.
std::string_view HostnameText(const Relation& relation);
std::string_view DescriptionText(const Relation& relation);

class RelationTable {
 public:
  int Count() const;
  // Takes ownership and adds the record at the end.
  void Append(std::unique_ptr<Relation> relation);
  // Unlinks and destroys the record with this identity; unknown records are ignored.
  void Remove(const Relation* relation);
  void Clear();
  Relation* At(int position) const;  // nullptr past the end

  Relation* FindByMac(const std::uint8_t* bytes, int length) const;
  Relation* FindByIp(std::uint32_t address) const;
  Relation* FindByHostname(const char* text, int length) const;

  // May this record, read from a file, be appended? Checks in a fixed order.
  bool CheckCandidate(const Relation& relation) const;

  using Records = std::vector<std::unique_ptr<Relation>>;
  Records::const_iterator begin() const { return records_.begin(); }
  Records::const_iterator end() const { return records_.end(); }

 private:
  Records records_;
};

}  // namespace corvessa
