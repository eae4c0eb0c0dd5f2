#include "netconfig/route_table.h"

#include <arpa/inet.h>

#include <charconv>
#include <sstream>
#include <string>

namespace corvessa {

namespace {

// Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT
struct RouteLine {
  std::string interfaceName;
  std::uint32_t destination = 0;  // as printed: the network-order word read natively
  std::uint32_t gateway = 0;
  unsigned flags = 0;
  unsigned metric = 0;
  std::uint32_t mask = 0;
};

template <typename T>
bool ParseNumber(const std::string& text, int base, T& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value, base);
  return error == std::errc() && ptr == end;
}

// Addresses are printed as 8 hex digits of the network-order word as the
// host holds it.
bool ParseAddressWord(const std::string& text, std::uint32_t& value) {
  return text.size() == 8 && ParseNumber(text, 16, value);
}

bool ParseRouteLine(const std::string& line, RouteLine& route) {
  std::istringstream fields(line);
  std::string destination, gateway, flags, refcnt, use, metric, mask;
  if (!(fields >> route.interfaceName >> destination >> gateway >> flags >> refcnt >> use >> metric >> mask)) {
    return false;
  }
  return ParseAddressWord(destination, route.destination) && ParseAddressWord(gateway, route.gateway) &&
         ParseNumber(flags, 16, route.flags) && ParseNumber(metric, 10, route.metric) &&
         ParseAddressWord(mask, route.mask);
}

}  // namespace

std::optional<std::uint32_t> FindDefaultGateway(std::istream& routes, std::string_view interfaceName) {
  std::optional<std::uint32_t> best;
  unsigned bestMetric = 0;
  std::string line;
  while (std::getline(routes, line)) {
    RouteLine route;
    if (!ParseRouteLine(line, route)) continue;
    if (route.interfaceName != interfaceName || route.destination != 0 || route.mask != 0) continue;
    if ((route.flags & kRouteFlagGateway) == 0 || (route.flags & kRouteFlagReject) != 0 || route.gateway == 0) continue;
    if (best && route.metric >= bestMetric) continue;
    best = ntohl(route.gateway);
    bestMetric = route.metric;
  }
  return best;
}

}  // namespace corvessa
