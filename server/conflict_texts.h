#pragma once
// Texts of the address guard: the status line while an address is probed and
// when it is refused, and the short mark for the relation and history rows.
// printf-style.

#include <cstdint>
#include <string>
#include <string_view>

#include "server/address_guard.h"

namespace corvessa {
namespace text {

// The relation's and the history row's mark of an address in conflict.
inline constexpr std::string_view kAddressInUse = "address in use";
// %s: the address, the listed device waiting for it.
inline constexpr std::string_view kProbingFormat = "Checking that %s is free before it is given to %s...";
// %s: the address, the hardware address that answers there, the listed device.
inline constexpr std::string_view kTakenByFormat = "%s is in use by %s: not given to %s until you confirm it.";
// %s: the address, the listed device.
inline constexpr std::string_view kTakenFormat =
    "%s is in use by another device: not given to %s until you confirm it.";
inline constexpr std::string_view kOwnAddressFormat =
    "%s is this computer's own address: not given to %s until you confirm it.";
// %s: the listed device, the address.
inline constexpr std::string_view kDeclinedFormat =
    "%s declined %s: the address is in use. Not given again until you confirm it.";

}  // namespace text

// The status text of an address in conflict (Taken or Declined) for the
// listed device `deviceText` (its hardware address text); empty otherwise.
std::string ConflictText(std::uint32_t address, const AddressRecord& record, const std::string& deviceText);

}  // namespace corvessa
