#pragma once
// Reading the reservations of a permanent DHCP service back into the
// relation list: Kea's JSON configuration and dnsmasq's dhcp-host lines. The
// hosts found go through the same checks and limit as the records of a .csv
// file; what cannot be read at all is reported as a reason.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "relations/relation_table.h"

namespace corvessa {

enum class HandoffFormat { Kea, Dnsmasq };

struct HandoffLoad {
  HandoffFormat format = HandoffFormat::Dnsmasq;
  std::string failure;  // empty on success; otherwise why nothing was read
  int omitted = 0;      // hosts refused, not representable, or past the limit
  bool limitReached = false;  // the table filled up before the last host
  bool unreadable = false;    // the file itself could not be read
  bool Succeeded() const { return failure.empty(); }
};

// One host as a configuration names it, before any check.
struct HostEntry {
  std::string mac;
  std::string ip;
  std::string hostname;
  std::string description;
  // False for a host that a relation cannot represent (no hardware address,
  // several of them, a wildcard, a host that is ignored).
  bool representable = true;
};

// The format by content: a file whose first thing past blanks and comments is
// '{' is Kea's JSON, anything else dnsmasq's.
HandoffFormat DetectHandoffFormat(std::string_view text);

// Appends the relations of the file to `table`, which the caller has
// emptied; after a failure the table is empty. Reports when
// the table fills up.
[[nodiscard]] HandoffLoad ReadHandoffFile(std::span<const std::uint8_t> file, RelationTable& table);
[[nodiscard]] HandoffLoad ReadKeaReservations(std::string_view text, RelationTable& table);
[[nodiscard]] HandoffLoad ReadDnsmasqHosts(std::string_view text, RelationTable& table);

// The hosts found by a reader, through the checks of a .csv record: address
// conversions, texts cut to their fields, CheckCandidate, the 256 limit.
// Returns the number omitted.
int AppendHostEntries(const std::vector<HostEntry>& hosts, RelationTable& table, bool& limitReached);

}  // namespace corvessa
