#pragma once
// Enable and Disable BOOTP/DHCP on the selected relations: for each device an
// instance discovery session and a command session, each opened and closed
// within its flow.

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

// The TCP/IP Interface instance that carries the relation's hardware address;
// 1 whenever it cannot be learnt. `relation` may be null (a row without one).
[[nodiscard]] int FindInterfaceInstance(const Relation* relation, const EnipContext& context);

// Writes the method to Configuration Control of the instance. Reports the
// outcome on the status line and, unless quiet, a failure in a message box.
bool SendConfigurationMethod(const Relation* relation, ConfigurationMethod method, bool quiet,
                             int instance, const EnipContext& context);

// The bodies of the two commands, over the selected rows in list order.
void EnableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context);
void DisableBootpDhcp(std::span<const Relation* const> selected, const EnipContext& context);

// "[Enable DHCP] Command successful" and its kin.
std::string CommandSuccessText(ConfigurationMethod method, const Relation* relation);

}  // namespace corvessa
