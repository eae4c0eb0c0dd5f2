#include "netconfig/linux_firewall.h"

#include "core/ascii.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <sstream>

#include "core/strings.h"
#include "netconfig/firewall_texts.h"

namespace corvessa {

namespace {

// A device without an address asks from 0.0.0.0:68 to 255.255.255.255:67.
constexpr unsigned kServerPort = 67;
constexpr unsigned kClientPort = 68;
constexpr std::string_view kDhcpService = "dhcp";
constexpr std::string_view kUdp = "udp";

bool ParseNumber(std::string_view text, unsigned& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  return error == std::errc() && end == text.data() + text.size();
}

// "67", "60-70" (firewalld) or "60:70" (iptables), and lists of them joined
// by commas.
bool PortListHas(std::string_view list, unsigned port) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    const std::size_t dash = item.find_first_of("-:");
    unsigned low = 0;
    unsigned high = 0;
    if (dash == std::string_view::npos) {
      if (ParseNumber(item, low) && low == port) return true;
    } else if (ParseNumber(item.substr(0, dash), low) && ParseNumber(item.substr(dash + 1), high) && low <= port &&
               port <= high) {
      return true;
    }
  }
  return false;
}

std::string Unquoted(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\"'");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\"'\r");
  return std::string(text.substr(first, last - first + 1));
}

// KEY=value lines of a shell-style settings file; nullopt when unreadable.
std::optional<std::map<std::string, std::string>> ReadAssignments(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const std::size_t equals = line.find('=', start);
    if (equals == std::string::npos) continue;
    values[Unquoted(std::string_view(line).substr(start, equals - start))] =
        Unquoted(std::string_view(line).substr(equals + 1));
  }
  return values;
}

// Rich rule elements: a keyword and its attributes, from text such as
// rule family="ipv4" service name="dhcp" accept
struct RuleElement {
  std::string keyword;
  std::map<std::string, std::string> attributes;
};

std::vector<RuleElement> RuleElements(std::string_view rule) {
  std::vector<std::string> tokens;
  std::string token;
  bool quoted = false;
  for (const char c : rule) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ' ' || c == '\t')) {
      if (!token.empty()) tokens.push_back(token);
      token.clear();
    } else {
      token.push_back(c);
    }
  }
  if (!token.empty()) tokens.push_back(token);

  std::vector<RuleElement> elements;
  for (const std::string& t : tokens) {
    const std::size_t equals = t.find('=');
    if (equals == std::string::npos) {
      elements.push_back({t, {}});
    } else if (!elements.empty()) {
      elements.back().attributes[t.substr(0, equals)] = Unquoted(std::string_view(t).substr(equals + 1));
    }
  }
  return elements;
}

PortFinding Finding(PortVerdict verdict, std::string warning = {}) { return {verdict, std::move(warning)}; }

// One ufw user rule, in the iptables form of user.rules.
enum class RuleOutcome { NoMatch, Allow, Deny, Return };

RuleOutcome UfwRuleOutcome(const std::vector<std::string>& words, std::string_view interfaceName) {
  std::string target;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::string value = i + 1 < words.size() ? words[i + 1] : std::string();
    // A negated match cannot be judged from here.
    if (word == "!") return RuleOutcome::NoMatch;
    if (word == "-i") {
      if (value != interfaceName) return RuleOutcome::NoMatch;
    } else if (word == "-p") {
      if (value != kUdp && value != "all") return RuleOutcome::NoMatch;
    } else if (word == "--dport" || word == "--dports") {
      if (!PortListHas(value, kServerPort)) return RuleOutcome::NoMatch;
    } else if (word == "--sport" || word == "--sports") {
      if (!PortListHas(value, kClientPort)) return RuleOutcome::NoMatch;
    } else if (word == "-s" || word == "-d") {
      // A broadcast from a device without an address matches no address
      // narrower than everything.
      if (value != "0.0.0.0/0") return RuleOutcome::NoMatch;
    } else if (word == "-j") {
      target = value;
    }
  }
  // "_log" and "_log-all" follow the action of a rule that is logged.
  if (target.starts_with("ACCEPT") || target == "ufw-user-limit-accept") return RuleOutcome::Allow;
  if (target.starts_with("DROP") || target.starts_with("REJECT")) return RuleOutcome::Deny;
  if (target == "RETURN") return RuleOutcome::Return;
  return RuleOutcome::NoMatch;
}

// The first user rule that decides, or nullopt when none does (or the file
// says to leave the user rules).
std::optional<bool> UfwRulesAllow(std::istream& rules, std::string_view interfaceName) {
  std::string line;
  while (std::getline(rules, line)) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.size() < 2 || words[0] != "-A" || words[1] != "ufw-user-input") continue;
    switch (UfwRuleOutcome(words, interfaceName)) {
      case RuleOutcome::Allow:
        return true;
      case RuleOutcome::Deny:
        return false;
      case RuleOutcome::Return:
        return std::nullopt;
      case RuleOutcome::NoMatch:
        break;
    }
  }
  return std::nullopt;
}

}  // namespace

bool RichRuleAllowsDhcp(std::string_view rule) {
  bool matches = false;
  bool accepts = false;
  for (const RuleElement& element : RuleElements(rule)) {
    const auto attribute = [&](const char* name) {
      const auto found = element.attributes.find(name);
      return found == element.attributes.end() ? std::string() : found->second;
    };
    const std::string& keyword = element.keyword;
    if (keyword == "rule") {
      if (attribute("family") == "ipv6") return false;
    } else if (keyword == "source" || keyword == "destination") {
      // The request comes from 0.0.0.0 and goes to the broadcast address.
      return false;
    } else if (keyword == "source-port") {
      if (attribute("protocol") != kUdp || !PortListHas(attribute("port"), kClientPort)) return false;
    } else if (keyword == "service") {
      matches = matches || attribute("name") == kDhcpService;
    } else if (keyword == "port") {
      matches = matches || (attribute("protocol") == kUdp && PortListHas(attribute("port"), kServerPort));
    } else if (keyword == "protocol") {
      matches = matches || attribute("value") == kUdp;
    } else if (keyword == "accept") {
      accepts = true;
    }
  }
  return matches && accepts;
}

bool FirewalldZoneAllowsDhcp(const FirewalldZone& zone) {
  if (zone.target == "ACCEPT") return true;
  if (std::find(zone.services.begin(), zone.services.end(), kDhcpService) != zone.services.end()) return true;
  for (const auto& [port, protocol] : zone.ports) {
    if (protocol == kUdp && PortListHas(port, kServerPort)) return true;
  }
  if (std::find(zone.protocols.begin(), zone.protocols.end(), kUdp) != zone.protocols.end()) return true;
  return std::any_of(zone.richRules.begin(), zone.richRules.end(),
                     [](const std::string& rule) { return RichRuleAllowsDhcp(rule); });
}

PortFinding CheckFirewalld(FirewalldSource& firewalld, std::string_view interfaceName) {
  const std::optional<std::string> bound = firewalld.ZoneOfInterface(interfaceName);
  if (!bound) return {};
  std::string zoneName = *bound;
  if (zoneName.empty()) {
    // An interface in no zone is handled by the default zone.
    const std::optional<std::string> fallback = firewalld.DefaultZone();
    if (!fallback || fallback->empty()) return {};
    zoneName = *fallback;
  }
  const std::optional<FirewalldZone> zone = firewalld.Zone(zoneName);
  if (!zone) return {};
  if (FirewalldZoneAllowsDhcp(*zone)) return Finding(PortVerdict::Open);
  const std::string name(interfaceName);
  return Finding(PortVerdict::Blocked, FormatText(text::kFirewalldBlocksFormat, name.c_str(), zoneName.c_str(),
                                                  zoneName.c_str(), zoneName.c_str()));
}

PortFinding CheckUfw(const UfwFiles& files, std::string_view interfaceName) {
  const auto config = ReadAssignments(files.config);
  if (!config) return {};  // no ufw here
  const auto enabled = config->find("ENABLED");
  if (enabled == config->end() || LowerAscii(enabled->second) != "yes") return Finding(PortVerdict::Open);

  // ufw's own default when its defaults file cannot be read.
  std::string policy = "DROP";
  if (const auto defaults = ReadAssignments(files.defaults)) {
    const auto found = defaults->find("DEFAULT_INPUT_POLICY");
    if (found != defaults->end()) policy = found->second;
  }
  const bool policyAccepts = policy == "ACCEPT";
  const std::string name(interfaceName);

  std::ifstream rules(files.userRules);
  if (!rules) {
    if (policyAccepts) return Finding(PortVerdict::Open);
    return Finding(PortVerdict::MayBlock, FormatText(text::kUfwMayBlockFormat, name.c_str(), name.c_str()));
  }
  const std::optional<bool> allowed = UfwRulesAllow(rules, interfaceName);
  if (allowed.value_or(policyAccepts)) return Finding(PortVerdict::Open);
  return Finding(PortVerdict::Blocked, FormatText(text::kUfwBlocksFormat, name.c_str(), name.c_str()));
}

PortFinding CheckLinuxFirewall(FirewalldSource& firewalld, const UfwFiles& ufw, std::string_view interfaceName) {
  const PortFinding byFirewalld = CheckFirewalld(firewalld, interfaceName);
  if (byFirewalld.verdict == PortVerdict::Blocked || byFirewalld.verdict == PortVerdict::MayBlock) {
    return byFirewalld;
  }
  const PortFinding byUfw = CheckUfw(ufw, interfaceName);
  if (byUfw.verdict == PortVerdict::Blocked || byUfw.verdict == PortVerdict::MayBlock) return byUfw;
  if (byFirewalld.verdict == PortVerdict::Open || byUfw.verdict == PortVerdict::Open) {
    return Finding(PortVerdict::Open);
  }
  return {};
}

}  // namespace corvessa
