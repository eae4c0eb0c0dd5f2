#pragma once
// Name servers and domain from the resolver configuration (resolv.conf).

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

struct ResolverConfig {
  std::vector<std::string> nameServers;  // IPv4 "nameserver" entries, in file order
  std::string domain;                    // "domain", else the first "search" entry
};

// The address of systemd-resolved's local stub.
inline constexpr std::string_view kResolvedStubAddress = "127.0.0.53";

// Reads resolv.conf text. Comment lines (# or ;) and IPv6 name servers are
// skipped; as in the resolver, the last "domain" and the last "search" line
// count.
[[nodiscard]] ResolverConfig ParseResolvConf(std::istream& text);

// Reads resolvConf; when it names only the local stub, the name servers and
// (where it has one) the domain come from the upstream file instead, since
// devices on the wire cannot reach the host's stub. A missing file gives an
// empty configuration.
[[nodiscard]] ResolverConfig ReadResolverConfig(const std::string& resolvConf, const std::string& resolvedUpstream);

// The name servers as one text separated by blanks.
std::string NameServerText(const ResolverConfig& config);

struct NameServerPair {
  std::string dns1;
  std::string dns2;
};

// Splits a name-server text at commas and blanks (a run of them counts as
// one): the first token is dns1, the second dns2.
NameServerPair SplitNameServers(std::string_view text);

}  // namespace corvessa
