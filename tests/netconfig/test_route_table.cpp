#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "netconfig/route_table.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

// /proc/net/route prints each address as the hexadecimal value of its
// network-order word read natively: on the little-endian hosts the program
// runs on, the first octet is the last pair of digits.
constexpr const char* kRoutes =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
    // eth0: default via 192.168.0.1 (C0.A8.00.01), flags UP|GATEWAY, metric 100
    "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
    // eth0: connected 192.168.0.0/24, no gateway
    "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
    // wlan0: default via 192.168.1.254, metric 600
    "wlan0\t00000000\tFE01A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
    // wlan0: default via 192.168.1.1, metric 50 -- the kernel prefers this one
    "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t50\t00000000\t0\t0\t0\n"
    // wlan0: default via 192.168.1.2, metric 50 again -- the first of a tie stays
    "wlan0\t00000000\t0201A8C0\t0003\t0\t0\t50\t00000000\t0\t0\t0\n"
    // eth1: default route straight onto the link, flags UP only
    "eth1\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n"
    // eth2: unreachable default, flags UP|GATEWAY|REJECT
    "eth2\t00000000\t0102A8C0\t0203\t0\t0\t0\t00000000\t0\t0\t0\n"
    // eth3: 0.0.0.0/8 via 192.168.3.1 -- destination 0 but not the default
    "eth3\t00000000\t0103A8C0\t0003\t0\t0\t0\t000000FF\t0\t0\t0\n"
    // eth4: a line cut short, and one with a gateway of 7 digits
    "eth4\t00000000\t0104A8C0\n"
    "eth4\t00000000\t104A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
    // eth5: 10.77.0.254 with blanks instead of tabs
    "eth5    00000000    FE004D0A    0003    0    0    0    00000000    0    0    0\n";

TEST(RouteTableTest, DefaultGatewayPerInterface) {
  struct Case {
    const char* interfaceName;
    std::optional<std::uint32_t> gateway;
  };
  const Case cases[] = {
      {"eth0", 0xC0A80001},   // 192.168.0.1
      {"wlan0", 0xC0A80101},  // 192.168.1.1
      {"eth1", std::nullopt},
      {"eth2", std::nullopt},
      {"eth3", std::nullopt},
      {"eth4", std::nullopt},
      {"eth5", 0x0A4D00FE},  // 10.77.0.254
      {"eth", std::nullopt},
      {"Iface", std::nullopt},
  };
  for (const Case& c : cases) {
    std::istringstream routes(kRoutes);
    EXPECT_EQ(FindDefaultGateway(routes, c.interfaceName), c.gateway) << c.interfaceName;
  }
}

TEST(RouteTableTest, EmptyTableHasNoGateway) {
  std::istringstream headerOnly("Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n");
  EXPECT_EQ(FindDefaultGateway(headerOnly, "eth0"), std::nullopt);
  std::istringstream nothing("");
  EXPECT_EQ(FindDefaultGateway(nothing, "eth0"), std::nullopt);
}

TEST(RouteTableTest, ReadsTheKernelsPaddedLines) {
  // As the kernel writes them: every line padded with blanks to 127 columns.
  const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT";
  // nzeta: default via 10.77.0.254, flags UP|GATEWAY
  const std::string deflt = "nzeta\t00000000\tFE004D0A\t0003\t0\t0\t0\t00000000\t0\t0\t0";
  // nzeta: connected 10.77.0.0/24
  const std::string link = "nzeta\t00004D0A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0";
  const auto padded = [](const std::string& line) { return line + std::string(127 - line.size(), ' ') + "\n"; };
  testsupport::TempFolder dir{"netcfg"};
  ASSERT_TRUE(dir.ok());
  std::ifstream routes(dir.Write("route", padded(header) + padded(link) + padded(deflt)));
  EXPECT_EQ(FindDefaultGateway(routes, "nzeta"), 0x0A4D00FEu);
}

}  // namespace
}  // namespace corvessa
