#pragma once
// What an export to a permanent DHCP service is made from: the relation list,
// the network settings, the interface the service listens on and the
// server's address on it. Checks shared by every writer live here too.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/network_settings.h"
#include "relations/relation_table.h"

namespace corvessa {

struct HandoffSource {
  const RelationTable& relations;
  const NetworkSettings& settings;
  std::string interfaceName;
  std::uint32_t serverAddress = 0;  // host order
};

// The text of an exported file, or the reasons why none was written. A
// writer never hands back a text together with problems.
struct HandoffExport {
  std::string text;
  std::vector<std::string> problems;
  bool Succeeded() const { return problems.empty(); }
};

// Problems that make any export wrong: an empty list, invalid settings, an interface name
// that a configuration line cannot carry, a server address that is no host
// address, relations outside the interface's subnet (a permanent service
// answers only its own subnet) or on its network, broadcast or server
// address.
std::vector<std::string> CheckHandoffSource(const HandoffSource& source);

// The subnet of the server: its network address and prefix length.
std::uint32_t NetworkAddress(const HandoffSource& source);
int PrefixLength(std::uint32_t mask);


// Letters, digits, '.', '_' and '-' only, not empty: a text that every
// configuration language here takes as it stands.
bool IsPlainToken(std::string_view text);
bool IsValidUtf8(std::string_view text);
bool HasControlCharacter(std::string_view text);

// 0-15 for a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);

// "506C63" (upper-case pairs, no separator) and back; nothing for a text
// that is not an even number of hexadecimal digits (':' between pairs is
// allowed when `separator` is ':').
std::string ToHex(std::string_view bytes, std::string_view separator = {});
[[nodiscard]] bool FromHex(std::string_view hex, std::string& bytes);

}  // namespace corvessa
