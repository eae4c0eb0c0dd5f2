#pragma once
// The kernel's IPv4 neighbour table (ARP cache): which hardware address
// answers at an address on an interface. Read with an rtnetlink dump; no
// privilege is needed and nothing is sent on the network.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace corvessa {

using HardwareAddress = std::array<std::uint8_t, 6>;

struct NeighbourEntry {
  int index = 0;              // interface index
  std::uint32_t address = 0;  // host order
  std::optional<HardwareAddress> mac;
  std::uint16_t state = 0;    // NUD_* bits as the kernel reports them

  bool operator==(const NeighbourEntry&) const = default;
};

// The IPv4 entries in one buffer of RTM_NEWNEIGH messages. Other families and
// malformed messages give nothing; parsing stops at the first message whose
// header does not fit. A link-layer address of any length but six is no MAC.
std::vector<NeighbourEntry> ParseNeighbourMessages(std::span<const std::uint8_t> buffer);

// How much an entry's state says about the device behind it.
enum class NeighbourConfidence {
  None,       // being resolved, failed, or not a usable entry
  Earlier,    // it answered some time ago and has not been confirmed since
  Confirmed,  // it answered recently, or the entry is permanent
};
NeighbourConfidence ConfidenceOf(const NeighbourEntry& entry);

// The IPv4 entries of one interface, as the kernel holds them now; nothing
// when the table cannot be read.
[[nodiscard]] std::optional<std::vector<NeighbourEntry>> ReadNeighbours(int interfaceIndex);

// The entry for `address` (host order) among `entries`, when it has a MAC.
const NeighbourEntry* FindNeighbour(std::span<const NeighbourEntry> entries, std::uint32_t address);

// The hardware address the kernel has for `address` on the named interface,
// from an entry that is not being resolved or failed.
[[nodiscard]] std::optional<HardwareAddress> NeighbourMac(std::string_view interfaceName, std::uint32_t address);

}  // namespace corvessa
