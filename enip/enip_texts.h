#pragma once
// Status texts of the EtherNet/IP session and of a commissioning run that
// have no number of their own.

#include <string_view>

namespace corvessa::text {

inline constexpr std::string_view kSocketCreateFailed = "Socket creation failed for %s. (%s)";
inline constexpr std::string_view kConnectionClosed = "Connection closed by %s. [%s]";
inline constexpr std::string_view kIncompleteResponse =
    "Received an incomplete response from %s. [%s] (%d bytes)";

// A device that a cancelled run did not finish.
inline constexpr std::string_view kDeviceCancelled = "Command cancelled for %s.";
// A device whose row had no relation: it has no hardware address to name it by.
inline constexpr std::string_view kNoDevice = "(no relation)";

// The parts of a device's sequence and its outcome, as the progress window
// shows them.
inline constexpr std::string_view kStepWaiting = "Waiting";
inline constexpr std::string_view kStepDiscovery = "Instance discovery";
inline constexpr std::string_view kStepDhcpAttempt = "DHCP attempt";
inline constexpr std::string_view kStepPause = "Pause before BOOTP";
inline constexpr std::string_view kStepBootpAttempt = "BOOTP attempt";
inline constexpr std::string_view kStepStoredConfiguration = "Stored configuration";
inline constexpr std::string_view kOutcomeSucceeded = "Succeeded";
inline constexpr std::string_view kOutcomeFailed = "Failed";
inline constexpr std::string_view kOutcomeCancelled = "Cancelled";

// "Enable BOOTP/DHCP: 3 of 16 devices done", and the summary at the end.
inline constexpr std::string_view kRunProgress = "%s: %d of %d devices done";
inline constexpr std::string_view kRunSummary = "%s: %d succeeded, %d failed, %d cancelled";

// The progress window.
inline constexpr std::string_view kRunDevices = "Devices";
inline constexpr std::string_view kRunColumnDevice = "Device";
inline constexpr std::string_view kRunColumnIp = "IP Address";
inline constexpr std::string_view kRunColumnStep = "Step";
inline constexpr std::string_view kRunColumnStatus = "Status";
inline constexpr std::string_view kRunProgressBar = "Progress";
inline constexpr std::string_view kRunCancel = "Cancel";
inline constexpr std::string_view kRunClose = "Close";

}  // namespace corvessa::text
