#include "files/handoff_source.h"

#include <algorithm>
#include <bit>

#include "core/address.h"

namespace corvessa {

namespace {

bool IsLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Interface names as Linux makes them: no blank, quote, comma, '#', '/'.
bool IsInterfaceName(std::string_view name) {
  return !name.empty() && name.size() <= 15 &&
         std::all_of(name.begin(), name.end(), [](char c) { return IsLetterOrDigit(c) || c == '.' || c == '_' || c == '-' || c == '@'; });
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int PrefixLength(std::uint32_t mask) { return std::popcount(mask); }

std::uint32_t NetworkAddress(const HandoffSource& source) { return source.serverAddress & source.settings.subnetMask; }

std::vector<std::string> CheckHandoffSource(const HandoffSource& source) {
  std::vector<std::string> problems;
  const NetworkSettings& settings = source.settings;
  if (source.relations.Count() == 0) problems.push_back("The relation list is empty: there is nothing to hand over.");
  if (!IsValidNetworkSettings(settings)) {
    problems.push_back(
        "The network settings are not valid: check the subnet mask, gateway and name servers under Tools, Network "
        "Settings.");
    return problems;
  }
  if (!IsInterfaceName(source.interfaceName)) {
    problems.push_back("The interface name '" + source.interfaceName +
                       "' cannot be written into a configuration: it must be 1 to 15 letters, digits, '.', '_', "
                       "'-' or '@'.");
  }
  if (!IsValidIp(source.serverAddress)) {
    problems.push_back("The server address " + IpToText(source.serverAddress) + " is not a valid host address.");
    return problems;
  }
  const std::uint32_t mask = settings.subnetMask;
  const std::uint32_t network = source.serverAddress & mask;
  const std::uint32_t broadcast = network | ~mask;
  if (source.serverAddress == network || source.serverAddress == broadcast) {
    problems.push_back("The server address " + IpToText(source.serverAddress) + " is the network or broadcast "
                       "address of its own subnet.");
    return problems;
  }
  const std::string subnet = IpToText(network) + "/" + std::to_string(PrefixLength(mask));
  if (settings.gateway != 0 && !SameSubnet(mask, settings.gateway, source.serverAddress)) {
    problems.push_back("The gateway " + IpToText(settings.gateway) + " lies outside the subnet " + subnet + ".");
  }
  for (const auto& relation : source.relations) {
    const std::uint32_t ip = relation->ipAddress;
    if (!SameSubnet(mask, ip, source.serverAddress)) {
      problems.push_back("The relation " + RelationMacText(*relation) + " has the address " + IpToText(ip) +
                         ", outside the subnet " + subnet + " of the interface.");
    } else if (ip == network || ip == broadcast) {
      problems.push_back("The relation " + RelationMacText(*relation) + " has the address " + IpToText(ip) +
                         ", the network or broadcast address of " + subnet + ".");
    } else if (ip == source.serverAddress) {
      problems.push_back("The relation " + RelationMacText(*relation) + " has the server's own address " +
                         IpToText(ip) + ".");
    }
  }
  return problems;
}

bool IsPlainToken(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return IsLetterOrDigit(c) || c == '.' || c == '_' || c == '-'; });
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int follow = 0;
    std::uint32_t point = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
      point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      point = lead & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(follow) >= text.size()) return false;
    for (int k = 1; k <= follow; ++k) {
      const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((c & 0xC0) != 0x80) return false;
      point = (point << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and points past U+10FFFF are not UTF-8.
    if ((follow == 2 && (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF))) ||
        (follow == 3 && (point < 0x10000 || point > 0x10FFFF))) {
      return false;
    }
    i += static_cast<std::size_t>(follow) + 1;
  }
  return true;
}

std::string ToHex(std::string_view bytes, std::string_view separator) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) hex += separator;
    const auto b = static_cast<unsigned char>(bytes[i]);
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

bool FromHex(std::string_view hex, std::string& bytes) {
  bytes.clear();
  std::size_t i = 0;
  while (i < hex.size()) {
    if (!bytes.empty() && hex[i] == ':') ++i;
    if (i + 2 > hex.size()) return false;
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>((high << 4) | low);
    i += 2;
  }
  return true;
}

}  // namespace corvessa
