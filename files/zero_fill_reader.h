#pragma once
// Sequential reading of a configuration file held in memory, with the
// file-reading rule of the .bpc loader: bytes past the end of the file read
// as zero and the position stops at the end, so a short file yields zeroed
// fields rather than a failure.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/bytes.h"

namespace corvessa {

class ZeroFillReader {
 public:
  explicit ZeroFillReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Position() const { return position_; }
  bool AtEnd() const { return position_ >= bytes_.size(); }
  std::size_t Remaining() const { return bytes_.size() - position_; }

  // Fills `out` with the next bytes; what lies past the end stays zero.
  void Read(std::span<std::uint8_t> out) {
    const std::size_t available = std::min(out.size(), bytes_.size() - position_);
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), available, out.begin());
    position_ += available;
  }
  void Read(std::span<char> out) {
    Read(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(out.data()), out.size()));
  }

  void Skip(std::size_t count) { position_ += std::min(count, bytes_.size() - position_); }

  std::uint8_t U8() {
    std::array<std::uint8_t, 1> field{};
    Read(field);
    return field[0];
  }
  std::uint32_t U32() {
    std::array<std::uint8_t, 4> field{};
    Read(field);
    return little_endian::Get32(field, 0).value_or(0);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace corvessa
