#pragma once
// The live TCP/IP configuration of the interface the server runs on: the
// defaults the network settings dialog offers.

#include <string>

#include "netconfig/host_network.h"

namespace corvessa {

class SettingsStore;

// Dotted texts; each is empty when not found.
struct InterfaceConfiguration {
  std::string address;
  std::string subnetMask;
  std::string gateway;
  std::string dns1;
  std::string dns2;
  std::string domain;

  bool operator==(const InterfaceConfiguration&) const = default;
};

// The configuration of the interface whose first IPv4 address, as text,
// equals the stored "ipaddress" of the selected interface (or, when none is
// stored, the host's first address). All six texts are empty when no
// interface matches, when the host's name does not resolve, or when the
// target is empty: an interface without an IPv4 address has no configuration
// worth offering.
InterfaceConfiguration ReadInterfaceConfiguration(const SettingsStore& store, const HostNetwork& host);

}  // namespace corvessa
