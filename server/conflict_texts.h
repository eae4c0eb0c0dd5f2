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
    "%s declined %s: address in use. Not given again until you confirm it.";
// %s: the address. The history row's IP Address column of a refused request.
inline constexpr std::string_view kHistoryConflictFormat = "%s: address in use";
// The command that confirms an address in conflict.
inline constexpr std::string_view kMenuConfirmAddress = "Confirm Address";
// %s: the address, the listed device.
inline constexpr std::string_view kConfirmedFormat = "%s confirmed: it is given to %s from now on.";
// %s: the interface, the reason. Said once per start when no probe can run.
inline constexpr std::string_view kProbeUnavailableFormat =
    "Addresses are given on %s without checking that they are free: %s.";

}  // namespace text

// The status text of an address in conflict (Taken or Declined) for the
// listed device `deviceText` (its hardware address text); empty otherwise.
std::string ConflictText(std::uint32_t address, const AddressRecord& record, const std::string& deviceText);
// The history row's mark of a request refused for a conflict at `address`.
std::string HistoryConflictText(std::uint32_t address);

}  // namespace corvessa
