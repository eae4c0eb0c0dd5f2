// dnsmasq's dhcp-host lines, with the hostname options that the export ties
// to them by tag and the comment line right above each as its description.

#include <algorithm>
#include <map>

#include "files/dnsmasq_config.h"
#include "files/handoff_import.h"
#include "files/handoff_source.h"

namespace corvessa {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// The fields of an option's value as dnsmasq reads them: commas split
// outside double quotes, quotes are removed, and inside them \" and \\ stand
// for themselves. Blanks around a field are dropped, but not those inside
// quotes. A '#' after a blank outside quotes starts a comment.
std::vector<std::string> SplitValue(std::string_view value) {
  std::vector<std::string> fields(1);
  std::string blanks;  // unquoted blanks, kept only if more text follows
  bool started = false;
  bool quoted = false;
  bool afterBlank = true;
  const auto take = [&](char c) {
    fields.back() += blanks;
    blanks.clear();
    fields.back() += c;
    started = true;
  };
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quoted) {
      if (c == '\\' && i + 1 < value.size() && (value[i + 1] == '"' || value[i + 1] == '\\')) {
        take(value[++i]);
      } else if (c == '"') {
        quoted = false;
      } else {
        take(c);
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      fields.back() += blanks;
      blanks.clear();
      started = true;
    } else if (c == '#' && afterBlank) {
      break;
    } else if (c == ',') {
      fields.emplace_back();
      blanks.clear();
      started = false;
    } else if (IsBlank(c)) {
      if (started) blanks += c;
    } else {
      take(c);
    }
    afterBlank = IsBlank(c);
  }
  return fields;
}

bool IsDottedQuad(std::string_view field) {
  return std::count(field.begin(), field.end(), '.') == 3 &&
         std::all_of(field.begin(), field.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool IsHardwareAddress(std::string_view field) {
  return field.find(':') != std::string_view::npos &&
         std::all_of(field.begin(), field.end(), [](char c) { return HexDigitValue(c) >= 0 || c == ':' || c == '*' || c == '-'; });
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

struct DhcpHost {
  HostEntry entry;
  std::vector<std::string> setTags;
};

DhcpHost ParseDhcpHost(const std::vector<std::string>& fields, const std::string& description) {
  DhcpHost host;
  host.entry.description = description;
  int macs = 0;
  for (const std::string& field : fields) {
    if (field.empty()) continue;
    if (StartsWith(field, "set:")) {
      host.setTags.push_back(field.substr(4));
    } else if (StartsWith(field, "tag:") || StartsWith(field, "net:")) {
      // A condition on the request, not part of the device's identity.
    } else if (StartsWith(field, "id:")) {
      // Hosts known by client identifier have no hardware address to list.
      host.entry.representable = false;
    } else if (field == "ignore") {
      host.entry.representable = false;
    } else if (field == "infinite" || LooksLikeDnsmasqLeaseTime(field) || field.front() == '[') {
      // Lease times and IPv6 addresses.
    } else if (IsDottedQuad(field)) {
      host.entry.ip = field;
    } else if (IsHardwareAddress(field)) {
      ++macs;
      if (field.find('*') != std::string::npos) host.entry.representable = false;
      host.entry.mac = field;
    } else {
      host.entry.hostname = field;
    }
  }
  if (macs != 1) host.entry.representable = false;
  return host;
}

// "tag:X,12,name" or "tag:X,option:hostname,name": the hostname for tag X.
void ReadHostnameOption(const std::vector<std::string>& fields, std::map<std::string, std::string>& names) {
  if (fields.size() != 3 || !StartsWith(fields[0], "tag:")) return;
  if (fields[1] != "12" && fields[1] != "option:hostname") return;
  names[fields[0].substr(4)] = fields[2];
}

}  // namespace

HandoffLoad ReadDnsmasqHosts(std::string_view text, RelationTable& table) {
  HandoffLoad load;
  load.format = HandoffFormat::Dnsmasq;
  std::vector<DhcpHost> hosts;
  std::map<std::string, std::string> taggedNames;
  std::string comment;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line.front() == '#') {
      std::string_view note = line.substr(1);
      if (!note.empty() && note.front() == ' ') note.remove_prefix(1);
      comment = UnescapeComment(note);
      continue;
    }
    const std::size_t equals = line.find('=');
    const std::string_view key = Trim(line.substr(0, equals));
    if (equals != std::string_view::npos) {
      const auto fields = SplitValue(line.substr(equals + 1));
      if (key == "dhcp-host") {
        hosts.push_back(ParseDhcpHost(fields, comment));
      } else if (key == "dhcp-option" || key == "dhcp-option-force") {
        ReadHostnameOption(fields, taggedNames);
      }
    }
    comment.clear();
  }
  if (hosts.empty()) {
    load.failure = "The file holds no dnsmasq dhcp-host lines.";
    return load;
  }
  std::vector<HostEntry> entries;
  for (DhcpHost& host : hosts) {
    for (const std::string& tag : host.setTags) {
      if (const auto it = taggedNames.find(tag); it != taggedNames.end()) host.entry.hostname = it->second;
    }
    entries.push_back(std::move(host.entry));
  }
  load.omitted = AppendHostEntries(entries, table, load.limitReached);
  return load;
}

}  // namespace corvessa
