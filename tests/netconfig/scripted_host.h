#pragma once
// A host whose interfaces, name and resolver answer are set by the test.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "netconfig/host_network.h"

namespace corvessa::testing {

inline constexpr unsigned kLoopbackLinkType = 772;  // ARPHRD_LOOPBACK
inline constexpr unsigned kNoneLinkType = 65534;    // ARPHRD_NONE (tun)

inline HostInterface MakeInterface(std::string name, unsigned index, unsigned linkType, bool up,
                                   std::vector<InterfaceAddress> addresses = {}) {
  HostInterface entry;
  entry.name = std::move(name);
  entry.index = index;
  entry.linkType = linkType;
  entry.up = up;
  entry.loopback = linkType == kLoopbackLinkType;
  entry.addresses = std::move(addresses);
  return entry;
}

class ScriptedHost : public HostNetwork {
 public:
  std::vector<HostInterface> interfaces;
  std::optional<std::string> hostName = "bench-pc";
  std::optional<std::vector<std::uint32_t>> answer;  // nullopt: the name does not resolve
  mutable std::vector<std::string> resolvedNames;

  std::vector<HostInterface> Interfaces() const override { return interfaces; }
  std::optional<std::string> HostName() const override { return hostName; }
  std::optional<std::vector<std::uint32_t>> ResolveName(const std::string& name) const override {
    resolvedNames.push_back(name);
    return answer;
  }
};

}  // namespace corvessa::testing
