#include "service/server_options.h"

#include "files/file_type.h"

namespace corvessa::service {

std::string ServerHelpText() {
  return R"(Usage: corvessa-server --interface=NAME [OPTION]... FILE
Serve the relation list of a Corvessa file (.bpc or .csv) on UDP port 67 of
one network interface, without a window: BOOTP and DHCP requests of the
listed devices are answered with their fixed address, hostname and the
network settings, with infinite leases, exactly as the Corvessa window
answers them. Other devices are not answered.

Each request is logged to standard output as one line, as the Discovery
History shows it; so are the server's own reports (interface gone or back,
not serving and why, ignored datagrams). SIGHUP reads the file again and
logs what changed; when the file cannot be read, the list in use stays.
SIGTERM and SIGINT end the service with status 0.

A .bpc file brings its network settings; a .csv file holds none, so give
them as options (at least --subnet-mask). Options replace a .bpc file's
settings too.

Options:
  -i, --interface=NAME       the interface to serve on (required)
  -s, --server-address=ADDR  the address the replies name as the server;
                               default: the interface's first IPv4 address
)" + std::string(cli::kSettingsOptionsHelp) +
         R"(  -h, --help                 show this help and exit
      --version              show the version and exit

Exit status: 0 when ended by SIGTERM or SIGINT, 1 when the service cannot
start (the reason goes to standard error), 2 for a command line that is not
understood.

Examples:
  corvessa-server -i eth1 /etc/corvessa/line3.bpc
  corvessa-server -i eth1 --subnet-mask=255.255.255.0 --gateway=192.168.1.1 \
      /etc/corvessa/line3.csv
  systemctl enable --now corvessa-server@eth1    (see corvessa-server(1))
)";
}

ParsedServerOptions ParseServerOptions(const std::vector<std::string>& arguments) {
  ParsedServerOptions parsed;
  ServerOptions& o = parsed.options;
  cli::OptionTable table;
  table.valued = {
      {"interface", [&](const std::string& v) { return o.interfaceName = v, !v.empty(); }},
      {"server-address", [&](const std::string& v) { return o.serverAddress = v, true; }},
  };
  cli::AddSettingsOptions(table, o.settings);
  table.flags = {
      {"help", [&] { o.help = true; }},
      {"version", [&] { o.version = true; }},
  };
  table.shortNames = {{'i', "interface"}, {'s', "server-address"}, {'h', "help"}};

  const cli::CommandLine read = cli::ReadCommandLine(arguments, table);
  if (!read.error.empty()) {
    parsed.error = read.error;
    return parsed;
  }
  if (o.help || o.version) return parsed;
  if (o.interfaceName.empty()) {
    parsed.error = "--interface is required";
  } else if (read.operands.size() != 1) {
    parsed.error = read.operands.empty() ? "no .bpc or .csv file given" : "more than one file given";
  } else if (!HasRelationFileSuffix(read.operands.front())) {
    parsed.error = "'" + read.operands.front() + "' is neither a .bpc nor a .csv file";
  } else {
    o.file = read.operands.front();
  }
  return parsed;
}

}  // namespace corvessa::service
