#include "core/network_settings.h"

#include <algorithm>

#include "core/address.h"

namespace corvessa {

void NetworkSettings::SetDomainName(std::string_view name) {
  domainName.fill(0);
  // A longer stored name is cut: the field has no room for more.
  const std::size_t count = std::min(name.size(), kDomainNameSize);
  std::copy_n(name.begin(), count, domainName.begin());
  domainNameLength = static_cast<std::uint8_t>(count);
}

std::string NetworkSettings::DomainName() const {
  const std::size_t count = std::min<std::size_t>(domainNameLength, kDomainNameSize);
  return std::string(domainName.data(), count);
}

void ServerIdentity::SetHostName(std::string_view name) {
  hostName.fill(0);
  // Keep room for the terminating 0; longer names are cut.
  const std::size_t count = std::min(name.size(), kHostNameSize - 1);
  std::copy_n(name.begin(), count, hostName.begin());
}

std::string ServerIdentity::HostName() const {
  const auto end = std::find(hostName.begin(), hostName.end(), '\0');
  return std::string(hostName.begin(), end);
}

std::uint32_t ServerIdentity::ServerAddressHostOrder() const {
  return (static_cast<std::uint32_t>(serverAddress[0]) << 24) |
         (static_cast<std::uint32_t>(serverAddress[1]) << 16) |
         (static_cast<std::uint32_t>(serverAddress[2]) << 8) |
         static_cast<std::uint32_t>(serverAddress[3]);
}

void ServerIdentity::SetServerAddressHostOrder(std::uint32_t address) {
  serverAddress[0] = static_cast<std::uint8_t>(address >> 24);
  serverAddress[1] = static_cast<std::uint8_t>(address >> 16);
  serverAddress[2] = static_cast<std::uint8_t>(address >> 8);
  serverAddress[3] = static_cast<std::uint8_t>(address);
}

bool IsValidNetworkSettings(const NetworkSettings& settings) {
  const auto zeroOrValid = [](std::uint32_t address) {
    return address == 0 || IsValidIp(address);
  };
  return IsValidMask(settings.subnetMask) && zeroOrValid(settings.gateway) &&
         zeroOrValid(settings.dns1) && zeroOrValid(settings.dns2);
}

}  // namespace corvessa
