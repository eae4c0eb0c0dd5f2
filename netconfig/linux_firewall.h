#pragma once
// Whether the host's own firewall lets DHCP requests reach UDP port 67 on an
// interface, judged from what an unprivileged user can read: firewalld's
// answers over D-Bus, and ufw's files. The decisions are plain functions over
// those inputs; where nothing can be read, the verdict is Unknown and nothing
// is said.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvessa {

enum class PortVerdict {
  Unknown,   // no firewall found, or nothing readable
  Open,      // the firewall lets the requests in
  Blocked,   // the firewall drops them
  MayBlock,  // the firewall drops what it does not allow, and its rules cannot be read
};

struct PortFinding {
  PortVerdict verdict = PortVerdict::Unknown;
  std::string warning;  // the text to show for Blocked and MayBlock

  bool operator==(const PortFinding&) const = default;
};

// The runtime settings of one firewalld zone that decide about DHCP requests.
struct FirewalldZone {
  std::string target;                                       // "default", "ACCEPT", "DROP", "%%REJECT%%"
  std::vector<std::string> services;                        // "ssh", "dhcp", ...
  std::vector<std::pair<std::string, std::string>> ports;   // ("67", "udp"), ("60-70", "udp")
  std::vector<std::string> protocols;                       // "udp", ...
  std::vector<std::string> richRules;

  bool operator==(const FirewalldZone&) const = default;
};

// firewalld as it answers over D-Bus. Each call gives nullopt when firewalld
// does not answer or does not let this user read it.
class FirewalldSource {
 public:
  virtual ~FirewalldSource() = default;
  virtual std::optional<std::string> DefaultZone() = 0;
  // "" when the interface is bound to no zone (the default zone then applies).
  virtual std::optional<std::string> ZoneOfInterface(std::string_view interfaceName) = 0;
  virtual std::optional<FirewalldZone> Zone(std::string_view zoneName) = 0;
};

// ufw keeps its state in files; the rules file is readable by root only on
// a normal installation.
struct UfwFiles {
  std::string config = "/etc/ufw/ufw.conf";
  std::string defaults = "/etc/default/ufw";
  std::string userRules = "/etc/ufw/user.rules";
};

// True when the zone lets a broadcast from 0.0.0.0:68 to UDP port 67 in.
bool FirewalldZoneAllowsDhcp(const FirewalldZone& zone);
bool RichRuleAllowsDhcp(std::string_view rule);

PortFinding CheckFirewalld(FirewalldSource& firewalld, std::string_view interfaceName);

// Open/Blocked by the first rule of ufw's user rules that decides about
// such a request, ufw's default input policy otherwise.
PortFinding CheckUfw(const UfwFiles& files, std::string_view interfaceName);

// firewalld first, then ufw: the first finding that is not Open or Unknown;
// Open when one of them was read and lets the requests in.
PortFinding CheckLinuxFirewall(FirewalldSource& firewalld, const UfwFiles& ufw, std::string_view interfaceName);

}  // namespace corvessa
