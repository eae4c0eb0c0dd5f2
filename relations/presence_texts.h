#pragma once
// Texts of the presence columns of the relation list.

#include <array>
#include <string_view>

namespace corvessa::presence_text {

inline constexpr std::array<std::string_view, 2> kColumns = {"Online", "Product"};

inline constexpr std::string_view kOnline = "Online";
inline constexpr std::string_view kOnlineAt = "Online at %s";
inline constexpr std::string_view kAddressUsedBy = "Address used by %s";
inline constexpr std::string_view kChanged = "%s (changed)";

inline constexpr std::string_view kOnlineAtTip =
    "The listed device answered from %s, not from the address of its relation.";
inline constexpr std::string_view kAddressUsedByTip =
    "Another device (%s) answers at this relation's address; the listed device did not answer.";
inline constexpr std::string_view kChangedTip =
    "Another device answers at this address than at an earlier scan.\nBefore: %s, serial number %s\nNow: %s, serial "
    "number %s";

}  // namespace corvessa::presence_text
