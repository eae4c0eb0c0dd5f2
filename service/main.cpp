// corvessa-server: serves a Corvessa relation list on one interface, without
// a window, as a systemd service or from a shell.

#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "netconfig/firewall.h"
#include "netconfig/host_network.h"
#include "netconfig/startup_checks.h"
#include "service/headless_service.h"
#include "service/log_line.h"
#include "service/server_options.h"

int main(int argc, char** argv) {
  using namespace corvessa;
  using namespace corvessa::service;
  // A SIGTERM during the start waits for the loop, which then ends cleanly.
  if (!BlockServiceSignals()) {
    std::cerr << "corvessa-server: the signals cannot be blocked\n";
    return kFatalExitStatus;
  }
  // A log reader that went away must not end the service.
  signal(SIGPIPE, SIG_IGN);

  const ParsedServerOptions parsed = ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.options.help) {
    std::cout << ServerHelpText();
    return kExitServed;
  }
  if (parsed.options.version) {
    std::cout << "corvessa-server (Corvessa) 3.06.00\n";
    return kExitServed;
  }
  if (!parsed.error.empty()) {
    std::cerr << "corvessa-server: " << parsed.error << "\nTry 'corvessa-server --help' for more information.\n";
    return kExitUsage;
  }

  DescriptorLog log(STDOUT_FILENO);
  DescriptorLog errors(STDERR_FILENO);
  const HostNetwork host;
  HostFirewallPolicyReader firewall;
  HeadlessService server(parsed.options, log, host, firewall);
  if (const std::optional<std::string> failure = server.Start()) {
    errors.Write(LogLevel::Error, "corvessa-server: " + *failure);
    return kFatalExitStatus;
  }
  return server.Run();
}
