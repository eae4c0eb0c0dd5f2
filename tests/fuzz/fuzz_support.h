#pragma once
// What the fuzz targets share: a property check that holds in every build
// type (assert is gone under NDEBUG), quiet surroundings for the readers and
// the server, and comparisons of relation tables.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/address.h"
#include "relations/relation_table.h"

// A broken property is a finding like a crash: abort, so that libFuzzer keeps
// the input that broke it.
#define FUZZ_CHECK(condition)                                      \
  do {                                                             \
    if (!(condition)) {                                            \
      ::corvessa::fuzz::Fail(#condition, __FILE__, __LINE__);      \
    }                                                              \
  } while (false)

namespace corvessa::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
  std::abort();
}

// Takes bytes off the front of the input; past its end every read gives 0.
class InputCursor {
 public:
  InputCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  std::uint32_t U32Big() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | Byte();
    return value;
  }
  // What is left of the input.
  std::span<const std::uint8_t> Rest() const {
    return position_ < size_ ? std::span(data_ + position_, size_ - position_) : std::span<const std::uint8_t>();
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// The hostname bytes before the first zero, never more than the field.
inline std::string_view HostnameUpToZero(const Relation& relation) {
  const auto end = std::find(relation.hostname.begin(), relation.hostname.end(), '\0');
  return {relation.hostname.data(), static_cast<std::size_t>(end - relation.hostname.begin())};
}

// The description's counted bytes up to the first zero: what a writer keeps.
inline std::string_view DescriptionAsWritten(const Relation& relation) {
  const std::string_view counted(relation.description.data(),
                                 std::min<std::size_t>(relation.descriptionLength, relation.description.size()));
  return counted.substr(0, counted.find('\0'));
}

// Every relation a reader appends keeps the table's rules: a six-byte hardware
// address that is not all zero, a valid IP address, a hostname length that matches its text, and
// no second relation with the same address, IP address or hostname.
inline void CheckTableRules(const RelationTable& table) {
  FUZZ_CHECK(table.Count() >= 0 && table.Count() <= RelationCapacity);
  std::set<std::string> macs;
  std::set<std::uint32_t> ips;
  std::set<std::string> hostnames;
  for (const auto& relation : table) {
    FUZZ_CHECK(relation != nullptr);
    FUZZ_CHECK(IsValidMacLength(relation->hardwareAddressLength));
    const auto mac = std::span(relation->hardwareAddress).first(relation->hardwareAddressLength);
    FUZZ_CHECK(std::any_of(mac.begin(), mac.end(), [](std::uint8_t b) { return b != 0; }));
    FUZZ_CHECK(IsValidIp(relation->ipAddress));
    FUZZ_CHECK(relation->hostnameLength <= kRelationHostnameSize);
    FUZZ_CHECK(HostnameUpToZero(*relation).size() == relation->hostnameLength);
    FUZZ_CHECK(macs.insert(RelationMacText(*relation)).second);
    FUZZ_CHECK(ips.insert(relation->ipAddress).second);
    if (relation->hostnameLength != 0) FUZZ_CHECK(hostnames.insert(std::string(HostnameUpToZero(*relation))).second);
  }
}

}  // namespace corvessa::fuzz
