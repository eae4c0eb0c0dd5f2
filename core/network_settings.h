#pragma once
// The network parameters handed to every device, and the server's own identity.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvessa {

inline constexpr std::size_t kDomainNameSize = 32;
inline constexpr std::size_t kHostNameSize = 64;  // 63 characters and the 0

struct NetworkSettings {
  std::uint32_t subnetMask = 0;  // host order; 0 = not set
  std::uint32_t gateway = 0;     // 0 = none
  std::uint32_t dns1 = 0;        // 0 = none
  std::uint32_t dns2 = 0;        // 0 = none
  std::array<char, kDomainNameSize> domainName{};  // not 0-terminated at full length
  std::uint8_t domainNameLength = 0;

  // Clears all 32 bytes, then copies at most 32 characters and sets the count.
  void SetDomainName(std::string_view name);
  std::string DomainName() const;  // the domainNameLength characters
  bool HasDomainName() const { return domainName[0] != 0; }
};

struct ServerIdentity {
  // The server's IPv4 address in network byte order, first octet first, exactly
  // as sent in the replies. All 0 until the server socket is set up.
  std::array<std::uint8_t, 4> serverAddress{};
  std::array<char, kHostNameSize> hostName{};  // always 0-terminated

  // Copies at most 63 characters; longer names are cut.
  void SetHostName(std::string_view name);
  std::string HostName() const;
  // serverAddress as a host-order number (first octet most significant).
  std::uint32_t ServerAddressHostOrder() const;
  void SetServerAddressHostOrder(std::uint32_t address);
};

bool IsValidNetworkSettings(const NetworkSettings& settings);

}  // namespace corvessa
