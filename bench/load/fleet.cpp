#include "bench/load/fleet.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace corvessa::load {

namespace {

constexpr std::uint8_t kLocalAdministered = 0x02;
constexpr std::uint8_t kListedTag = 0x4C;
constexpr std::uint32_t kFirstRelationAddress = 0x0A4D0100;  // 10.77.1.0
// Host numbers 1..200 of each /24, so no relation ends in .0 or .255.
constexpr int kHostsPerBlock = 200;

}  // namespace

std::vector<Device> MakeFleet(int count) {
  std::vector<Device> fleet;
  fleet.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    Device device;
    device.mac = {kLocalAdministered, kListedTag, 0, 0, static_cast<std::uint8_t>(i >> 8),
                  static_cast<std::uint8_t>(i)};
    device.ipAddress = kFirstRelationAddress + static_cast<std::uint32_t>((i / kHostsPerBlock) << 8) +
                       static_cast<std::uint32_t>(i % kHostsPerBlock + 1);
    char name[16];
    std::snprintf(name, sizeof name, "dev-%03d", i + 1);
    device.hostname = name;
    device.kind = i % 2 == 0 ? DeviceKind::Dhcp : DeviceKind::Bootp;
    fleet.push_back(std::move(device));
  }
  return fleet;
}

std::vector<Mac> MakeUnlistedMacs(int count, std::uint8_t tag) {
  std::vector<Mac> macs;
  macs.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    macs.push_back({kLocalAdministered, tag, 0, static_cast<std::uint8_t>(i >> 16),
                    static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
  }
  return macs;
}

NetworkSettings FleetSettings() {
  NetworkSettings settings;
  settings.subnetMask = kSubnetMask;
  settings.gateway = kGateway;
  settings.dns1 = kNameServer1;
  settings.dns2 = kNameServer2;
  settings.SetDomainName(kDomainName);
  return settings;
}

void FillRelationTable(const std::vector<Device>& fleet, RelationTable& table) {
  for (const Device& device : fleet) {
    auto relation = std::make_unique<Relation>();
    std::copy(device.mac.begin(), device.mac.end(), relation->hardwareAddress.begin());
    relation->hardwareAddressLength = static_cast<std::uint8_t>(device.mac.size());
    relation->ipAddress = device.ipAddress;
    const std::size_t length = std::min(device.hostname.size(), relation->hostname.size());
    std::copy_n(device.hostname.begin(), length, relation->hostname.begin());
    relation->hostnameLength = static_cast<std::uint8_t>(length);
    table.Append(std::move(relation));
  }
}

std::string DottedText(std::uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                address & 0xFF);
  return text;
}

std::string MacText(const Mac& mac) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  return text;
}

}  // namespace corvessa::load
