#include "bench/load/server_run.h"

#include <fstream>
#include <sstream>
#include <thread>

#include "bench/load/child_process.h"
#include "bench/load/client_socket.h"
#include "bench/load/probe.h"

namespace corvessa::load {

namespace {

using namespace std::chrono_literals;

constexpr auto kStartLimit = 20s;
constexpr auto kStopGrace = 5s;

// The end of what the server printed, for a failure message.
std::string Tail(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  constexpr std::size_t kTail = 600;
  return all.size() > kTail ? all.substr(all.size() - kTail) : all;
}

}  // namespace

const char* ServerName(ServerKind kind) { return kind == ServerKind::Corvessa ? "corvessa" : "dnsmasq"; }

ServerRun RunAgainstServer(const Lab& lab, ServerKind kind, const std::string& program, const BurstPlan& plan) {
  ServerRun run;
  const auto command = kind == ServerKind::Corvessa ? CorvessaCommand(lab, program) : DnsmasqCommand(lab, plan.listed);
  const auto output = lab.Folder() / (std::string(ServerName(kind)) + ".out");
  ChildProcess server(command, lab.ProgramEnvironment(), output);

  ClientSocket socket;
  if (!socket.Open(lab.Link().clientIf)) {
    run.failure = "client socket: " + socket.Error();
    return run;
  }
  if (!WaitForUdpPort(server, kServerPort, kStartLimit)) {
    run.failure = "the server did not bind UDP port 67; it printed:\n" + Tail(output);
    return run;
  }
  if (plan.listed.empty() || !WaitUntilOffering(socket, plan.listed.front(), kStartLimit)) {
    run.failure = "the server bound UDP port 67 but offered nothing; it printed:\n" + Tail(output);
    return run;
  }

  SocketWire wire(socket);
  run.burst = RunBurst(plan, wire);
  run.peakKiB = PeakResidentKiB(server.Pid());
  if (const auto socketState = UdpSocketOnPort(server.Pid(), kServerPort)) run.socketDrops = socketState->drops;
  if (!server.Running()) {
    run.failure = "the server ended during the burst; it printed:\n" + Tail(output);
    return run;
  }
  server.Stop(kStopGrace);
  run.ok = true;
  return run;
}

}  // namespace corvessa::load
