#pragma once
// The devices of a load run and the addresses of the test network: a full
// relation table of listed devices (half DHCP, half BOOTP) and any number of
// unlisted hardware addresses.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/load/client_message.h"
#include "core/network_settings.h"
#include "relations/relation_table.h"

namespace corvessa::load {

// 10.77.0.0/16: the server, the load generator's own address (it needs one
// to send unicast and broadcast from an ordinary UDP socket), and room for
// 256 relations.
inline constexpr std::uint32_t kServerAddress = 0x0A4D0001;   // 10.77.0.1
inline constexpr std::uint32_t kClientAddress = 0x0A4DC801;   // 10.77.200.1
inline constexpr int kNetworkPrefix = 16;
inline constexpr std::uint32_t kSubnetMask = 0xFFFF0000;
inline constexpr std::uint32_t kGateway = 0x0A4D00FE;         // 10.77.0.254
inline constexpr std::uint32_t kNameServer1 = 0x0A4D0035;     // 10.77.0.53
inline constexpr std::uint32_t kNameServer2 = 0x0A4D0036;     // 10.77.0.54
inline constexpr const char* kDomainName = "plant.test";

enum class DeviceKind : std::uint8_t { Dhcp, Bootp };

struct Device {
  Mac mac{};
  std::uint32_t ipAddress = 0;  // host order
  std::string hostname;
  DeviceKind kind = DeviceKind::Dhcp;
};

// `count` listed devices, alternating DHCP and BOOTP from the first (a DHCP
// device). Hardware addresses 02:4C:00:00:hi:lo, addresses from 10.77.1.1,
// hostnames "dev-001" on.
std::vector<Device> MakeFleet(int count);

// `count` distinct locally administered addresses 02:<tag>:00:hi:mid:lo that
// no listed device has.
std::vector<Mac> MakeUnlistedMacs(int count, std::uint8_t tag);

// The network settings every server hands out in a load run.
NetworkSettings FleetSettings();

// The relation table of the fleet, in fleet order.
void FillRelationTable(const std::vector<Device>& fleet, RelationTable& table);

std::string DottedText(std::uint32_t address);
std::string MacText(const Mac& mac);  // lower case, as dnsmasq and ip take it

}  // namespace corvessa::load
