#pragma once
// Enable and Disable BOOTP/DHCP on the selected relations: for each device an
// instance discovery session and a command session, each opened and closed
// within its flow.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "enip/cip_services.h"
#include "enip/enip_context.h"
#include "relations/relation_table.h"

namespace corvessa {

// Highest TCP/IP Interface instance the discovery asks about: an instance is
// sent in one byte.
inline constexpr int kMaxDiscoveredInstance = 255;
inline constexpr std::chrono::milliseconds kBootpRetryPause{1000};

// The parts of one device's sequence, reported as each begins.
enum class CommissionStep : std::uint8_t {
  Discovery,            // the instance discovery flow
  DhcpAttempt,          // Enable: the command flow with DHCP
  Pause,                // Enable: the pause before the BOOTP attempt
  BootpAttempt,         // Enable: the command flow with BOOTP
  StoredConfiguration,  // Disable: the command flow with the stored configuration
};
using StepSink = std::function<void(CommissionStep)>;

enum class DeviceOutcome : std::uint8_t { Succeeded, Failed, Cancelled };

// The TCP/IP Interface instance that carries the relation's hardware address;
// 1 whenever it cannot be learnt. `relation` may be null (a row without one).
[[nodiscard]] int FindInterfaceInstance(const Relation* relation, const EnipContext& context);

// Writes the method to Configuration Control of the instance. Reports the
// outcome on the status line and, unless quiet, a failure to the context's
// commandFailed with the failure text.
bool SendConfigurationMethod(const Relation* relation, ConfigurationMethod method, bool quiet,
                             int instance, const EnipContext& context);

// One device's whole sequence: discovery, the DHCP attempt and, when that
// fails, the pause and the BOOTP attempt (Enable); discovery and the command
// flow (Disable). Cancelled when the context's cancel token stopped it.
DeviceOutcome EnableDevice(const Relation* relation, const EnipContext& context,
                           const StepSink& step = {});
DeviceOutcome DisableDevice(const Relation* relation, const EnipContext& context,
                            const StepSink& step = {});

// The bodies of the two commands, over the selected rows in list order, one
// device after the other. False, and nothing sent, when nothing is selected.
bool EnableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context);
bool DisableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context);

// "[Enable DHCP] Command successful" and its kin.
std::string CommandSuccessText(ConfigurationMethod method, const Relation* relation);

}  // namespace corvessa
