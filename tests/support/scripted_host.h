#pragma once
// A host whose interfaces, name and resolver answer are set by the test, and
// interface entries to fill it with.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "netconfig/host_network.h"

namespace corvessa::testsupport {

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

class ScriptedHost final : public HostNetwork {
 public:
  std::vector<HostInterface> interfaces;
  std::optional<std::string> hostName = std::string("bench-pc");
  std::optional<std::vector<std::uint32_t>> answer;  // nullopt: the name does not resolve
  mutable std::vector<std::string> resolvedNames;    // every name asked for, in order

  std::vector<HostInterface> Interfaces() const override { return interfaces; }
  std::optional<std::string> HostName() const override { return hostName; }
  std::optional<std::vector<std::uint32_t>> ResolveName(const std::string& name) const override {
    resolvedNames.push_back(name);
    return answer;
  }
};

}  // namespace corvessa::testsupport
