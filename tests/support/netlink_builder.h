#pragma once
// Kernel netlink messages written record by record for parser tests, in the
// host's own byte order as the kernel sends them.

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace corvessa::testsupport {

using Bytes = std::vector<std::uint8_t>;

inline void Align(Bytes& bytes) { bytes.resize(NLMSG_ALIGN(bytes.size()), 0); }

template <typename T>
inline void AppendRecord(Bytes& bytes, const T& record) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&record);
  bytes.insert(bytes.end(), p, p + sizeof record);
  Align(bytes);
}

inline void AppendAttribute(Bytes& bytes, unsigned short type, const Bytes& payload) {
  rtattr header{};
  header.rta_len = static_cast<unsigned short>(RTA_LENGTH(payload.size()));
  header.rta_type = type;
  const auto* p = reinterpret_cast<const std::uint8_t*>(&header);
  bytes.insert(bytes.end(), p, p + sizeof header);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  bytes.resize(bytes.size() + (RTA_ALIGN(header.rta_len) - header.rta_len), 0);
}

inline Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// A message: header (length filled in), fixed part, attributes.
template <typename Fixed>
Bytes Message(std::uint16_t type, const Fixed& fixed, const std::vector<std::pair<unsigned short, Bytes>>& attributes) {
  Bytes bytes;
  AppendRecord(bytes, nlmsghdr{});
  AppendRecord(bytes, fixed);
  for (const auto& [code, payload] : attributes) AppendAttribute(bytes, code, payload);
  nlmsghdr header{};
  header.nlmsg_len = static_cast<std::uint32_t>(bytes.size());
  header.nlmsg_type = type;
  std::memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

inline Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace corvessa::testsupport
