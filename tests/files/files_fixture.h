#pragma once
// Shared helpers of the file format tests: a prompt recorder, relation
// builders and a byte-vector builder for hand-written file images.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "relations/relation_table.h"

namespace corvessa::files_test {

constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}


using Mac = std::array<std::uint8_t, 6>;

// A distinct valid MAC and IP for record number i (i < 60000).
inline Mac NumberedMac(unsigned i) {
  return {0x00, 0x1D, 0x9C, 0x00, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
}
// 10.1.x.y: the class A host part is never 0 and never all ones.
inline std::uint32_t NumberedIp(unsigned i) { return Ip(10, 1, (i >> 8) & 0xFF, i & 0xFF); }

template <std::size_t kSize>
void SetText(std::array<char, kSize>& field, std::uint8_t& length, std::string_view text) {
  field.fill(0);
  const std::size_t n = std::min(text.size(), kSize);
  std::copy_n(text.begin(), n, field.begin());
  length = static_cast<std::uint8_t>(n);
}

inline std::unique_ptr<Relation> MakeRelation(const Mac& mac, std::uint32_t ip, std::string_view hostname = {},
                                              std::string_view description = {}) {
  auto r = std::make_unique<Relation>();
  std::copy(mac.begin(), mac.end(), r->hardwareAddress.begin());
  r->hardwareAddressLength = 6;
  r->ipAddress = ip;
  SetText(r->hostname, r->hostnameLength, hostname);
  SetText(r->description, r->descriptionLength, description);
  return r;
}

template <std::size_t kSize>
std::string_view TextOf(const std::array<char, kSize>& field, std::uint8_t length) {
  return std::string_view(field.data(), length);
}

// Builds file images field by field; integers little-endian by shifts.
class Bytes {
 public:
  Bytes& Raw(std::initializer_list<std::uint8_t> bytes) {
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Bytes& U8(std::uint8_t value) {
    data_.push_back(value);
    return *this;
  }
  Bytes& Le32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) data_.push_back(static_cast<std::uint8_t>(value >> shift));
    return *this;
  }
  // `text` then zeros up to `size` bytes.
  Bytes& Text(std::string_view text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) data_.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
    return *this;
  }
  Bytes& Zeros(std::size_t count) {
    data_.insert(data_.end(), count, 0);
    return *this;
  }
  Bytes& Append(const std::vector<std::uint8_t>& more) {
    data_.insert(data_.end(), more.begin(), more.end());
    return *this;
  }
  const std::vector<std::uint8_t>& data() const { return data_; }
  std::size_t size() const { return data_.size(); }

 private:
  std::vector<std::uint8_t> data_;
};

inline std::vector<std::uint8_t> AsBytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace corvessa::files_test
