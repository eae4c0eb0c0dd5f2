#pragma once
// The host's own addresses, as the server and the start-up check see them.

#include <cstdint>
#include <vector>

#include "netconfig/host_network.h"

namespace corvessa {

struct HostAddresses {
  bool resolved = false;                // the host's name gave any address
  std::vector<std::uint32_t> addresses;  // host order; empty when not resolved
};

// The IPv4 addresses of the up, non-loopback interfaces in interface order.
// Only when there is none, the resolver's answer for the host name: Debian
// maps the host name to 127.0.1.1, so asking the resolver first would refuse
// every start on an ordinary desktop.
HostAddresses ResolveHostAddresses(const HostNetwork& host);

// False only when the host's first address is unusable (loopback or not a
// valid host address). A name that does not resolve passes here; the server
// set-up reports it.
bool HostHasUsableAddress(const HostNetwork& host);

}  // namespace corvessa
