// Kea's reservations: the global ones, those of each subnet and those of the
// subnets of shared networks, in the order of the file.

#include <nlohmann/json.hpp>

#include "files/handoff_import.h"
#include "files/handoff_source.h"

namespace corvessa {

namespace {

using Json = nlohmann::json;

// Kea takes '#' comments besides the C and C++ ones that the JSON library
// skips; they become blanks, so that error positions stay true.
std::string BlankHashComments(std::string_view text) {
  std::string out(text);
  bool inString = false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char c = out[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '/' && i + 1 < out.size() && (out[i + 1] == '/' || out[i + 1] == '*')) {
      // The library skips these; a quote inside one must not open a string.
      const bool line = out[i + 1] == '/';
      const std::size_t end = line ? out.find('\n', i) : out.find("*/", i + 2);
      if (end == std::string::npos) break;
      i = line ? end : end + 1;
    } else if (c == '#') {
      while (i < out.size() && out[i] != '\n') out[i++] = ' ';
    }
  }
  return out;
}

const Json* Member(const Json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

std::string StringMember(const Json& object, const char* name) {
  const Json* value = Member(object, name);
  return value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
}

// The host-name option of a reservation, as text or as raw hexadecimal.
bool HostnameOption(const Json& reservation, std::string& hostname) {
  const Json* options = Member(reservation, "option-data");
  if (options == nullptr || !options->is_array()) return false;
  for (const Json& option : *options) {
    const Json* code = Member(option, "code");
    const bool isHostName =
        StringMember(option, "name") == "host-name" || (code != nullptr && code->is_number() && *code == 12);
    if (!isHostName) continue;
    const std::string data = StringMember(option, "data");
    const Json* csv = Member(option, "csv-format");
    if (csv != nullptr && csv->is_boolean() && !csv->get<bool>()) {
      std::string hex;
      for (const char c : data) {
        if (c != ' ' && c != ':') hex += c;
      }
      if (hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.erase(0, 2);
      return FromHex(hex, hostname);
    }
    hostname = data;
    return true;
  }
  return false;
}

HostEntry EntryOf(const Json& reservation) {
  HostEntry host;
  if (!reservation.is_object()) {
    host.representable = false;
    return host;
  }
  const Json* mac = Member(reservation, "hw-address");
  const Json* ip = Member(reservation, "ip-address");
  host.representable = mac != nullptr && mac->is_string() && ip != nullptr && ip->is_string();
  host.mac = StringMember(reservation, "hw-address");
  host.ip = StringMember(reservation, "ip-address");
  if (!HostnameOption(reservation, host.hostname)) host.hostname = StringMember(reservation, "hostname");
  if (const Json* context = Member(reservation, "user-context")) host.description = StringMember(*context, "comment");
  if (host.description.empty()) host.description = StringMember(reservation, "comment");
  return host;
}

void CollectReservations(const Json& scope, std::vector<HostEntry>& hosts) {
  if (const Json* reservations = Member(scope, "reservations"); reservations != nullptr && reservations->is_array()) {
    for (const Json& reservation : *reservations) hosts.push_back(EntryOf(reservation));
  }
}

void CollectSubnets(const Json& scope, std::vector<HostEntry>& hosts) {
  if (const Json* subnets = Member(scope, "subnet4"); subnets != nullptr && subnets->is_array()) {
    for (const Json& subnet : *subnets) CollectReservations(subnet, hosts);
  }
}

}  // namespace

HandoffLoad ReadKeaReservations(std::string_view text, RelationTable& table) {
  HandoffLoad load;
  load.format = HandoffFormat::Kea;
  Json config;
  try {
    config = Json::parse(BlankHashComments(text), nullptr, true, true);
  } catch (const Json::exception& error) {
    // An include directive is not JSON; inside a string (a description) it is
    // only text, and the file parses.
    if (text.find("<?include") != std::string_view::npos) {
      load.failure = "The Kea configuration includes other files; import the file that holds the reservations.";
      return load;
    }
    std::string what = error.what();
    if (const std::size_t end = what.find("] "); what.front() == '[' && end != std::string::npos) {
      what.erase(0, end + 2);
    }
    load.failure = "The file is not valid Kea JSON: " + what;
    return load;
  }
  const Json* dhcp4 = Member(config, "Dhcp4");
  const Json& scope = dhcp4 != nullptr ? *dhcp4 : config;
  std::vector<HostEntry> hosts;
  CollectReservations(scope, hosts);
  CollectSubnets(scope, hosts);
  if (const Json* shared = Member(scope, "shared-networks"); shared != nullptr && shared->is_array()) {
    for (const Json& network : *shared) CollectSubnets(network, hosts);
  }
  if (hosts.empty()) {
    load.failure = "The Kea configuration holds no DHCPv4 reservations.";
    return load;
  }
  load.omitted = AppendHostEntries(hosts, table, load.limitReached);
  return load;
}

}  // namespace corvessa
