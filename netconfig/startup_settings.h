#pragma once
// Values the program keeps for itself in the per-user settings, beside the
// network settings.

#include <cstdint>
#include <string_view>

namespace corvessa::startup_settings {

// The application's own key: the section with the empty name.
inline constexpr std::string_view kApplicationSection = "";
// 1 once the first start for this user has run its firewall check; absent
// (0) before.
inline constexpr std::string_view kFirstStart = "firststart";
inline constexpr std::uint32_t kFirstStartDone = 1;

// 1 while the identity scan repeats every 10 s (the View menu's option).
inline constexpr std::string_view kScanRepeat = "scanrepeat";

// In an interface's section: 1 once the user has been told that ufw may drop
// the requests on it. That warning cannot be sure (ufw's rules are not
// readable without privileges), so it is given once per interface, not at
// every start.
inline constexpr std::string_view kFirewallNotice = "firewallnotice";
inline constexpr std::uint32_t kFirewallNoticeGiven = 1;

}  // namespace corvessa::startup_settings
