#include "files/dnsmasq_config.h"

#include <algorithm>

#include "core/address.h"

namespace corvessa {

namespace {

bool IsLowerLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::string AddressList(const std::vector<std::uint32_t>& addresses) {
  std::string list;
  for (const std::uint32_t address : addresses) list += "," + IpToText(address);
  return list;
}

}  // namespace

bool LooksLikeDnsmasqLeaseTime(std::string_view field) {
  if (field.size() > 1 && std::string_view("smhdwSMHDW").find(field.back()) != std::string_view::npos) {
    field.remove_suffix(1);
  }
  return !field.empty() && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsDnsmasqPlainHostname(std::string_view name) {
  if (name.empty() || !IsLowerLetterOrDigit(name.front())) return false;
  if (!std::all_of(name.begin(), name.end(), [](char c) { return IsLowerLetterOrDigit(c) || c == '-' || c == '_'; })) {
    return false;
  }
  return !LooksLikeDnsmasqLeaseTime(name) && name != "infinite" && name != "ignore";
}

std::string DnsmasqHostnameTag(int position) { return "corvessa" + std::to_string(position + 1); }

std::string DnsmasqQuoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string EscapeComment(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string escaped;
  // Blanks at the end of a line would be lost when it is read back.
  std::size_t keep = text.size();
  while (keep > 0 && text[keep - 1] == ' ') --keep;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      escaped += "\\\\";
    } else if (u < 0x20 || u == 0x7F || i >= keep) {
      escaped += "\\x";
      escaped += kDigits[u >> 4];
      escaped += kDigits[u & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string UnescapeComment(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      plain += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexDigitValue(text[i + 2]) >= 0 &&
               HexDigitValue(text[i + 3]) >= 0) {
      plain += static_cast<char>((HexDigitValue(text[i + 2]) << 4) | HexDigitValue(text[i + 3]));
      i += 3;
    } else {
      plain += text[i];
    }
  }
  return plain;
}

HandoffExport WriteDnsmasqConfig(const HandoffSource& source) {
  HandoffExport result;
  result.problems = CheckHandoffSource(source);
  const NetworkSettings& settings = source.settings;
  const std::string domain = settings.DomainName();
  if (HasControlCharacter(domain)) {
    result.problems.push_back("The domain name holds a control character, which dnsmasq cannot send.");
  }
  for (const auto& relation : source.relations) {
    if (HasControlCharacter(HostnameText(*relation))) {
      result.problems.push_back("The hostname of " + RelationMacText(*relation) +
                                " holds a control character, which dnsmasq cannot send.");
    }
  }
  if (!result.Succeeded()) return result;

  std::string& out = result.text;
  out += "# dnsmasq DHCP configuration for the " + std::to_string(source.relations.Count()) +
         " devices listed on " + source.interfaceName + ".\n";
  out += "# The range is static: only the devices of the dhcp-host lines get an address,\n";
  out += "# by DHCP or by BOOTP, each with an infinite lease.\n";
  out += "interface=" + source.interfaceName + "\n";
  out += "bind-interfaces\n";
  out += "dhcp-range=" + IpToText(NetworkAddress(source)) + ",static," + IpToText(settings.subnetMask) +
         ",infinite\n";
  // Forced options go to every device, asked for or not, as the settings do
  // from the commissioning server. An option without a value is left out:
  // by default dnsmasq would name itself as router and name server.
  out += settings.gateway != 0 ? "dhcp-option-force=option:router" + AddressList({settings.gateway}) + "\n"
                               : std::string("dhcp-option=option:router\n");
  std::vector<std::uint32_t> nameServers;
  for (const std::uint32_t server : {settings.dns1, settings.dns2}) {
    if (server != 0) nameServers.push_back(server);
  }
  // Nor is the broadcast address sent: in the 64 bytes a BOOTP reply has
  // for options it would push out the router.
  out += "dhcp-option=28\n";
  out += !nameServers.empty() ? "dhcp-option-force=option:dns-server" + AddressList(nameServers) + "\n"
                              : std::string("dhcp-option=option:dns-server\n");
  if (settings.HasDomainName()) {
    out += "dhcp-option-force=option:domain-name," + (IsPlainToken(domain) ? domain : DnsmasqQuoted(domain)) + "\n";
  }

  int position = 0;
  for (const auto& relation : source.relations) {
    const std::string_view description = DescriptionText(*relation);
    if (!description.empty()) out += "# " + EscapeComment(description) + "\n";
    const std::string_view hostname = HostnameText(*relation);
    const std::string head = "dhcp-host=" + RelationMacText(*relation) + "," + IpToText(relation->ipAddress) + ",";
    if (hostname.empty()) {
      out += head + "infinite\n";
    } else if (IsDnsmasqPlainHostname(hostname)) {
      out += head + std::string(hostname) + ",infinite\n";
    } else {
      // dnsmasq would lower-case or refuse this name in dhcp-host: the device
      // gets it exactly through an option of its own.
      const std::string tag = DnsmasqHostnameTag(position);
      out += head + "set:" + tag + ",infinite\n";
      out += "dhcp-option-force=tag:" + tag + ",12," + DnsmasqQuoted(hostname) + "\n";
    }
    ++position;
  }
  return result;
}

}  // namespace corvessa
