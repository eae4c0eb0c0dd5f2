#pragma once
// Configuration files built by hand, field by field, for the file command
// tests, and the three relations they hold.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/app/window_fixture.h"

namespace corvessa::app_test {

// Little-endian bytes of a file, appended in order.
class FileBytes {
 public:
  FileBytes& Raw(std::initializer_list<std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
  }
  FileBytes& Raw(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  FileBytes& U8(std::uint8_t value) { return Raw({value}); }
  FileBytes& Le32(std::uint32_t value) {
    return Raw({static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
  }
  // The text, then zeros up to `size`.
  FileBytes& Text(std::string_view text, std::size_t size) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.insert(bytes_.end(), size - text.size(), 0);
    return *this;
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

struct FileRelation {
  std::vector<std::uint8_t> mac;
  const char* macText;
  std::uint32_t ip;
  const char* ipText;
  std::string hostname;
  std::string description;
};

inline const FileRelation kFirst{{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, "00:1D:9C:C8:12:34", Ip(192, 168, 1, 10),
                                 "192.168.1.10", "plc-a", "Line 1"};
inline const FileRelation kSecond{{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35}, "00:1D:9C:C8:12:35", Ip(192, 168, 1, 11),
                                  "192.168.1.11", "plc-b", "Line 2"};
inline const FileRelation kThird{{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x36}, "00:1D:9C:C8:12:36", Ip(192, 168, 1, 12),
                                 "192.168.1.12", "", "Spare"};

// The settings the .bpc files below carry.
inline constexpr std::uint32_t kFileMask = Ip(255, 255, 0, 0);
inline constexpr std::uint32_t kFileGateway = Ip(192, 168, 1, 1);
inline constexpr std::uint32_t kFileDns1 = Ip(192, 168, 1, 2);
inline constexpr const char* kFileDomain = "line4.plant";

struct HeaderFields {
  std::uint32_t mask = kFileMask;
  std::uint32_t gateway = kFileGateway;
  std::uint32_t dns1 = kFileDns1;
  std::string domain = kFileDomain;
};

// Magic, version and the settings block of formats 3 and 2.2.
using VersionBytes = std::array<std::uint8_t, 4>;
inline constexpr VersionBytes kVersion3 = {0x00, 0x00, 0x03, 0x00};   // 0x00030000
inline constexpr VersionBytes kVersion22 = {0x00, 0x00, 0x02, 0x02};  // 0x02020000

inline FileBytes BpcHeader(const VersionBytes& versionBytes, std::int32_t count,
                           const HeaderFields& fields = {}) {
  FileBytes file;
  file.Raw({0x89, 0x67, 0x45, 0x23})                       // magic 0x23456789
      .Raw(versionBytes)                                   // version
      .Le32(fields.mask)                                   // subnet mask
      .Le32(fields.gateway)                                // gateway
      .Le32(fields.dns1)                                   // primary name server
      .Le32(0)                                             // secondary name server: none
      .Text(fields.domain, 32)                             // domain name, zero-filled
      .U8(static_cast<std::uint8_t>(fields.domain.size()))  // domain name length
      .Le32(static_cast<std::uint32_t>(count));            // record count
  return file;
}

// One record of format 3 (310 bytes); format 2.2 stops after the hostname length.
inline void AppendRecord(FileBytes& file, const FileRelation& r, bool withDescription = true) {
  file.Text(std::string_view(reinterpret_cast<const char*>(r.mac.data()), r.mac.size()), 16)  // hardware address
      .U8(static_cast<std::uint8_t>(r.mac.size()))                                          // its length
      .Le32(r.ip)                                                                           // IP address
      .Text(r.hostname, 32)                                                                 // hostname
      .U8(static_cast<std::uint8_t>(r.hostname.size()));                                   // its length
  if (!withDescription) return;
  file.Text(r.description, 255)                           // description
      .U8(static_cast<std::uint8_t>(r.description.size()));  // its length
}

// Format 3 with the three relations in this order.
inline std::vector<std::uint8_t> ThreeRelationsBpc() {
  FileBytes file = BpcHeader(kVersion3, 3);
  for (const FileRelation* r : {&kFirst, &kSecond, &kThird}) AppendRecord(file, *r);
  return file.Bytes();
}

inline std::unique_ptr<Relation> ToRelation(const FileRelation& r) {
  return MakeRelation(r.mac, r.ip, r.hostname, r.description);
}

}  // namespace corvessa::app_test
