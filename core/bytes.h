#pragma once
// Checked access to byte buffers. Every read and write first checks that
// offset + size lies inside the buffer and reports failure instead of touching
// memory outside it. Integers are assembled by shifts, so the host's own byte
// order never matters: BOOTP/DHCP fields use big_endian, EtherNet/IP and the
// configuration files little_endian.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace corvessa {

// True when `count` bytes from `offset` lie inside a buffer of `length` bytes.
// Written so that a huge offset or count cannot wrap around.
[[nodiscard]] constexpr bool FitsIn(std::size_t length, std::size_t offset,
                                    std::size_t count) noexcept {
  return offset <= length && count <= length - offset;
}

// The `count` bytes at `offset`, or nothing when they do not fit.
[[nodiscard]] constexpr std::optional<std::span<const std::uint8_t>> GetBytes(
    std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t count) noexcept {
  if (!FitsIn(buffer.size(), offset, count)) return std::nullopt;
  return buffer.subspan(offset, count);
}

// Copies `bytes` to `offset`; writes nothing when they do not fit.
[[nodiscard]] constexpr bool PutBytes(std::span<std::uint8_t> buffer, std::size_t offset,
                                      std::span<const std::uint8_t> bytes) noexcept {
  if (!FitsIn(buffer.size(), offset, bytes.size())) return false;
  for (std::size_t i = 0; i < bytes.size(); ++i) buffer[offset + i] = bytes[i];
  return true;
}

// Sets `count` bytes from `offset` to `value`; writes nothing when they do not fit.
[[nodiscard]] constexpr bool FillBytes(std::span<std::uint8_t> buffer, std::size_t offset,
                                       std::size_t count, std::uint8_t value) noexcept {
  if (!FitsIn(buffer.size(), offset, count)) return false;
  for (std::size_t i = 0; i < count; ++i) buffer[offset + i] = value;
  return true;
}

namespace bytes_detail {

// Byte i (0 = first in the buffer) carries bits shift(i) and up.
template <typename T, bool kBigEndian>
[[nodiscard]] constexpr std::optional<T> Get(std::span<const std::uint8_t> buffer,
                                             std::size_t offset) noexcept {
  constexpr std::size_t kSize = sizeof(T);
  if (!FitsIn(buffer.size(), offset, kSize)) return std::nullopt;
  T value = 0;
  for (std::size_t i = 0; i < kSize; ++i) {
    const std::size_t shift = 8 * (kBigEndian ? kSize - 1 - i : i);
    value = static_cast<T>(value | static_cast<T>(static_cast<T>(buffer[offset + i]) << shift));
  }
  return value;
}

template <typename T, bool kBigEndian>
[[nodiscard]] constexpr bool Put(std::span<std::uint8_t> buffer, std::size_t offset,
                                 T value) noexcept {
  constexpr std::size_t kSize = sizeof(T);
  if (!FitsIn(buffer.size(), offset, kSize)) return false;
  for (std::size_t i = 0; i < kSize; ++i) {
    const std::size_t shift = 8 * (kBigEndian ? kSize - 1 - i : i);
    buffer[offset + i] = static_cast<std::uint8_t>(value >> shift);
  }
  return true;
}

}  // namespace bytes_detail

namespace big_endian {

[[nodiscard]] constexpr std::optional<std::uint8_t> Get8(std::span<const std::uint8_t> buffer,
                                                         std::size_t offset) noexcept {
  return bytes_detail::Get<std::uint8_t, true>(buffer, offset);
}
[[nodiscard]] constexpr std::optional<std::uint16_t> Get16(std::span<const std::uint8_t> buffer,
                                                           std::size_t offset) noexcept {
  return bytes_detail::Get<std::uint16_t, true>(buffer, offset);
}
[[nodiscard]] constexpr std::optional<std::uint32_t> Get32(std::span<const std::uint8_t> buffer,
                                                           std::size_t offset) noexcept {
  return bytes_detail::Get<std::uint32_t, true>(buffer, offset);
}
[[nodiscard]] constexpr bool Put8(std::span<std::uint8_t> buffer, std::size_t offset,
                                  std::uint8_t value) noexcept {
  return bytes_detail::Put<std::uint8_t, true>(buffer, offset, value);
}
[[nodiscard]] constexpr bool Put16(std::span<std::uint8_t> buffer, std::size_t offset,
                                   std::uint16_t value) noexcept {
  return bytes_detail::Put<std::uint16_t, true>(buffer, offset, value);
}
[[nodiscard]] constexpr bool Put32(std::span<std::uint8_t> buffer, std::size_t offset,
                                   std::uint32_t value) noexcept {
  return bytes_detail::Put<std::uint32_t, true>(buffer, offset, value);
}

}  // namespace big_endian

namespace little_endian {

[[nodiscard]] constexpr std::optional<std::uint8_t> Get8(std::span<const std::uint8_t> buffer,
                                                         std::size_t offset) noexcept {
  return bytes_detail::Get<std::uint8_t, false>(buffer, offset);
}
[[nodiscard]] constexpr std::optional<std::uint16_t> Get16(std::span<const std::uint8_t> buffer,
                                                           std::size_t offset) noexcept {
  return bytes_detail::Get<std::uint16_t, false>(buffer, offset);
}
[[nodiscard]] constexpr std::optional<std::uint32_t> Get32(std::span<const std::uint8_t> buffer,
                                                           std::size_t offset) noexcept {
  return bytes_detail::Get<std::uint32_t, false>(buffer, offset);
}
[[nodiscard]] constexpr bool Put8(std::span<std::uint8_t> buffer, std::size_t offset,
                                  std::uint8_t value) noexcept {
  return bytes_detail::Put<std::uint8_t, false>(buffer, offset, value);
}
[[nodiscard]] constexpr bool Put16(std::span<std::uint8_t> buffer, std::size_t offset,
                                   std::uint16_t value) noexcept {
  return bytes_detail::Put<std::uint16_t, false>(buffer, offset, value);
}
[[nodiscard]] constexpr bool Put32(std::span<std::uint8_t> buffer, std::size_t offset,
                                   std::uint32_t value) noexcept {
  return bytes_detail::Put<std::uint32_t, false>(buffer, offset, value);
}

}  // namespace little_endian

// Sequential reading of a received message or a file: each read advances the
// position; after the first read that does not fit, every later read fails
// too, so a parser may check once at the end or after each step.
class ByteReader {
 public:
  constexpr explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

  constexpr std::size_t Position() const noexcept { return position_; }
  constexpr std::size_t Remaining() const noexcept {
    return failed_ ? 0 : bytes_.size() - position_;
  }
  constexpr bool Failed() const noexcept { return failed_; }

  [[nodiscard]] constexpr std::optional<std::span<const std::uint8_t>> Bytes(
      std::size_t count) noexcept {
    if (failed_) return std::nullopt;
    const auto part = GetBytes(bytes_, position_, count);
    return Advance(part, count);
  }
  [[nodiscard]] constexpr bool Skip(std::size_t count) noexcept {
    return Bytes(count).has_value();
  }
  [[nodiscard]] constexpr std::optional<std::uint8_t> U8() noexcept {
    return Next<std::uint8_t, true>();
  }
  [[nodiscard]] constexpr std::optional<std::uint16_t> U16Big() noexcept {
    return Next<std::uint16_t, true>();
  }
  [[nodiscard]] constexpr std::optional<std::uint32_t> U32Big() noexcept {
    return Next<std::uint32_t, true>();
  }
  [[nodiscard]] constexpr std::optional<std::uint16_t> U16Little() noexcept {
    return Next<std::uint16_t, false>();
  }
  [[nodiscard]] constexpr std::optional<std::uint32_t> U32Little() noexcept {
    return Next<std::uint32_t, false>();
  }

 private:
  template <typename T, bool kBigEndian>
  constexpr std::optional<T> Next() noexcept {
    if (failed_) return std::nullopt;
    return Advance(bytes_detail::Get<T, kBigEndian>(bytes_, position_), sizeof(T));
  }
  template <typename T>
  constexpr std::optional<T> Advance(std::optional<T> value, std::size_t count) noexcept {
    if (value) {
      position_ += count;
    } else {
      failed_ = true;
    }
    return value;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

// Sequential writing into a fixed buffer, with the same sticky failure as
// ByteReader. A write that does not fit changes no byte.
class ByteWriter {
 public:
  constexpr explicit ByteWriter(std::span<std::uint8_t> bytes) noexcept : bytes_(bytes) {}

  constexpr std::size_t Position() const noexcept { return position_; }
  constexpr bool Failed() const noexcept { return failed_; }

  constexpr bool Bytes(std::span<const std::uint8_t> data) noexcept {
    return Advance(!failed_ && PutBytes(bytes_, position_, data), data.size());
  }
  constexpr bool Fill(std::size_t count, std::uint8_t value) noexcept {
    return Advance(!failed_ && FillBytes(bytes_, position_, count, value), count);
  }
  constexpr bool U8(std::uint8_t value) noexcept { return Next<std::uint8_t, true>(value); }
  constexpr bool U16Big(std::uint16_t value) noexcept { return Next<std::uint16_t, true>(value); }
  constexpr bool U32Big(std::uint32_t value) noexcept { return Next<std::uint32_t, true>(value); }
  constexpr bool U16Little(std::uint16_t value) noexcept {
    return Next<std::uint16_t, false>(value);
  }
  constexpr bool U32Little(std::uint32_t value) noexcept {
    return Next<std::uint32_t, false>(value);
  }

 private:
  template <typename T, bool kBigEndian>
  constexpr bool Next(T value) noexcept {
    return Advance(!failed_ && bytes_detail::Put<T, kBigEndian>(bytes_, position_, value),
                   sizeof(T));
  }
  constexpr bool Advance(bool ok, std::size_t count) noexcept {
    if (ok) {
      position_ += count;
    } else {
      failed_ = true;
    }
    return ok;
  }

  std::span<std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace corvessa
