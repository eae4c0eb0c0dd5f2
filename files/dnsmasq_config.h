#pragma once
// The relation list as a dnsmasq configuration snippet: DHCP on one
// interface, a static range (only listed devices get an address), one
// dhcp-host line per relation with an infinite lease, and the network
// settings as options.

#include <string>
#include <string_view>

#include "files/handoff_source.h"

namespace corvessa {

HandoffExport WriteDnsmasqConfig(const HandoffSource& source);

// Would dnsmasq take this hostname in a dhcp-host line and send it exactly as
// written? dnsmasq lower-cases such names and reads some texts as lease times
// or keywords; every other name travels as an option of its own.
bool IsDnsmasqPlainHostname(std::string_view name);

// dnsmasq reads a field of digits, with at most one unit letter after them
// (s, m, h, d, w in either case), as a lease time.
bool LooksLikeDnsmasqLeaseTime(std::string_view field);

// The tag that ties a relation's hostname option to its dhcp-host line.
std::string DnsmasqHostnameTag(int position);

// A text in double quotes as dnsmasq reads it back: backslash and quote
// escaped. The text must hold no control character.
std::string DnsmasqQuoted(std::string_view text);

// A description as a comment line's text: backslashes, control characters
// and blanks at the end escaped ("\\", "\xHH"), so that a line break cannot
// end the comment and the text reads back whole.
std::string EscapeComment(std::string_view text);
std::string UnescapeComment(std::string_view text);

}  // namespace corvessa
