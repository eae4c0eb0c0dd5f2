#pragma once
// How the simulator lays out its replies: appended field by field, in the
// byte order each field has on the wire.

#include <cstdint>
#include <vector>

namespace corvessa::enipsim {

using Bytes = std::vector<std::uint8_t>;

inline void Le16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Le32(Bytes& out, std::uint32_t v) {
  Le16(out, static_cast<std::uint16_t>(v));
  Le16(out, static_cast<std::uint16_t>(v >> 16));
}
inline void Be16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
inline void Be32(Bytes& out, std::uint32_t v) {
  Be16(out, static_cast<std::uint16_t>(v >> 16));
  Be16(out, static_cast<std::uint16_t>(v));
}

}  // namespace corvessa::enipsim
