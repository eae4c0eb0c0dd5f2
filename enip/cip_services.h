#pragma once
// The attribute reads and the Configuration Control write that the
// commissioning commands make on an open, registered session.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "enip/cip_message.h"
#include "enip/encap_session.h"
#include "relations/relation_table.h"

namespace corvessa {

// Written to bits 0-3 of Configuration Control.
enum ConfigurationMethod : std::uint8_t {
  kMethodStoredConfiguration = 0,
  kMethodBootp = 1,
  kMethodDhcp = 2,
};

// Bit of Configuration Control carried over from the device's current value.
inline constexpr std::uint32_t kDnsEnableBit = 0x10;

enum class CipOutcome { TransportFailure, NoReplyItem, GeneralStatusError, Success };

struct CipResult {
  CipOutcome outcome = CipOutcome::TransportFailure;
  std::uint8_t generalStatus = 0;
  CipReply reply;  // valid for GeneralStatusError and Success
};

// One request and its reply: Transact (announced), FindReplyItem, general status.
[[nodiscard]] CipResult CheckCipReply(EncapSession& session, std::span<const std::uint8_t> request,
                                      std::string_view label, std::uint8_t service);

// True when the device is one that may answer on FallbackClass instead.
[[nodiscard]] bool FallbackApplies(const Relation& relation, std::uint8_t generalStatus);

// Highest TCP/IP Interface instance; 1 whenever it cannot be learnt.
[[nodiscard]] int GetMaxInstance(EncapSession& session, const Relation& relation);

// The Ethernet Link instance an interface instance names, -1 when it names
// none; nothing when the instance did not answer usably.
[[nodiscard]] std::optional<int> GetPhysicalLink(EncapSession& session, const Relation& relation,
                                                 int instance);

enum class AddressMatch { Match, Mismatch, NoAnswer };
[[nodiscard]] AddressMatch MatchPhysicalAddress(EncapSession& session, const Relation& relation,
                                                int linkInstance);

// Reads Configuration Control and writes `method`, keeping DNS Enable.
[[nodiscard]] bool ChangeConfigurationMethod(EncapSession& session, const Relation& relation,
                                             int instance, ConfigurationMethod method);

}  // namespace corvessa
