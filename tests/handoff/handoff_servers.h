#pragma once
// Kea and dnsmasq started from exported files inside a test's server
// namespace, with every file they write (leases, pid, locks) in the test's
// scratch folder. They listen only on the namespace's veth end.

#include <filesystem>
#include <memory>
#include <string>

#include "tests/net/net_harness.h"

namespace corvessa::nettest {

inline bool HasKea() { return HasTool("kea-dhcp4"); }
inline bool HasDnsmasq() { return HasTool("dnsmasq"); }

// "KEA_...=<folder> kea-dhcp4 <arguments>": Kea puts its pid and lock files
// where these say instead of under /run.
inline std::string KeaCommand(const std::filesystem::path& folder, const std::string& arguments) {
  return "env KEA_PIDFILE_DIR=" + folder.string() + " KEA_LOCKFILE_DIR=" + folder.string() +
         " kea-dhcp4 " + arguments;
}

inline std::string DnsmasqCommand(const std::filesystem::path& config, const std::filesystem::path& folder) {
  // No DNS (port 0), no other configuration file, in the foreground, the
  // lease and pid files in the scratch folder.
  return "dnsmasq --keep-in-foreground --port=0 --user=root --conf-file=" + config.string() +
         " --dhcp-leasefile=" + (folder / "dnsmasq.leases").string() + " --pid-file=" +
         (folder / "dnsmasq.pid").string() + " --log-facility=- --log-dhcp";
}

}  // namespace corvessa::nettest
