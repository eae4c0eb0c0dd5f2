#include "cli/export_options.h"

namespace corvessa::cli {

std::string ExportHelpText() {
  return R"(Usage: corvessa-export --format=kea|dnsmasq [OPTION]... FILE
Write the relation list of a Corvessa file (.bpc or .csv) as the
configuration of a permanent DHCP service: ISC Kea DHCPv4 (kea-dhcp4) or
dnsmasq.

The service answers only the listed devices, by DHCP and by BOOTP, with
their fixed address, hostname and the network settings, with infinite
leases, as Corvessa does. The settings come from the .bpc file, else from
the settings Corvessa keeps for the interface; options replace them. The
interface and the server address default to the interface chosen last in
Corvessa and the address stored for it.

Options:
  -f, --format=FORMAT        kea or dnsmasq (required)
  -o, --output=FILE          write FILE instead of standard output
  -i, --interface=NAME       the interface the service listens on
  -s, --server-address=ADDR  the service's address on that interface
)" + std::string(kSettingsOptionsHelp) + R"(Kea only:
      --no-bootp             leave out the BOOTP hook (libdhcp_bootp.so)
      --hooks-dir=DIR        Kea's hook libraries (default: the Debian folder)
      --lease-file=FILE      Kea's lease file (default: )" +
         std::string(kDefaultKeaLeaseFile) + R"()
      --ha-primary-url=URL   with --ha-standby-url: a hot-standby pair; URL
      --ha-standby-url=URL     is where each server's HA listener is reached,
                               http://host:port/
      --ha-role=ROLE         primary (default) or standby: whose file to write
  -h, --help                 show this help and exit
      --version              show the version and exit

Texts that a configuration language would read differently (quotes,
commas, '#', upper case, non-ASCII) are written so that the service sends
them exactly, or refused with a reason.

Exit status: 0 when the configuration was written, 1 when the file could
not be read or the list cannot be handed over as it is (the reasons go to
standard error), 2 for a command line that is not understood.

Examples:
  corvessa-export -f kea -o /etc/kea/kea-dhcp4.conf line3.bpc
  corvessa-export -f dnsmasq -i eth1 -s 192.168.1.5 --subnet-mask=255.255.255.0 \
      line3.csv > /etc/dnsmasq.d/line3.conf
)";
}

ParsedOptions ParseExportOptions(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  ExportOptions& o = parsed.options;
  bool formatGiven = false;
  OptionTable table;
  table.valued = {
      {"format",
       [&](const std::string& v) {
         formatGiven = true;
         if (v == "kea") o.format = ExportFormat::Kea;
         else if (v == "dnsmasq") o.format = ExportFormat::Dnsmasq;
         else return false;
         return true;
       }},
      {"output", [&](const std::string& v) { return o.output = v, true; }},
      {"interface", [&](const std::string& v) { return o.interfaceName = v, true; }},
      {"server-address", [&](const std::string& v) { return o.serverAddress = v, true; }},
      {"hooks-dir", [&](const std::string& v) { return o.kea.hooksDirectory = v, true; }},
      {"lease-file", [&](const std::string& v) { return o.kea.leaseFile = v, true; }},
      {"ha-primary-url", [&](const std::string& v) { return o.haPrimaryUrl = v, true; }},
      {"ha-standby-url", [&](const std::string& v) { return o.haStandbyUrl = v, true; }},
      {"ha-role",
       [&](const std::string& v) {
         if (v == "primary") o.haRole = KeaHighAvailability::Role::Primary;
         else if (v == "standby") o.haRole = KeaHighAvailability::Role::Standby;
         else return false;
         return true;
       }},
  };
  AddSettingsOptions(table, o.settings);
  table.flags = {
      {"help", [&] { o.help = true; }},
      {"version", [&] { o.version = true; }},
      {"no-bootp", [&] { o.kea.bootpHook = false; }},
  };
  table.shortNames = {{'f', "format"}, {'o', "output"}, {'i', "interface"}, {'s', "server-address"}, {'h', "help"}};

  const CommandLine read = ReadCommandLine(arguments, table);
  if (!read.error.empty()) {
    parsed.error = read.error;
    return parsed;
  }
  const std::vector<std::string>& files = read.operands;
  if (o.help || o.version) return parsed;
  if (!formatGiven) {
    parsed.error = "--format=kea or --format=dnsmasq is required";
  } else if (files.size() != 1) {
    parsed.error = files.empty() ? "no .bpc or .csv file given" : "more than one file given";
  } else if (o.haPrimaryUrl.has_value() != o.haStandbyUrl.has_value()) {
    parsed.error = "a pair needs both --ha-primary-url and --ha-standby-url";
  } else {
    o.input = files.front();
    if (o.haPrimaryUrl) o.kea.highAvailability = KeaHighAvailability{*o.haPrimaryUrl, *o.haStandbyUrl, o.haRole};
  }
  return parsed;
}

}  // namespace corvessa::cli
