// enip_device_sim: the simulated EtherNet/IP adapter as a process, for
// end-to-end tests. It listens on 127.0.0.1 unless --listen names another
// address (one of a test namespace), prints "port <n>" once it
// is ready, and ends on SIGTERM/SIGINT or after --seconds (default 300).
// With --udp-port it also answers List Identity on that UDP port of every
// address of its namespace, and prints "udp <n>" once that is ready.

#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/enip/sim/device_sim.h"

namespace {

volatile std::sig_atomic_t stop = 0;
void OnSignal(int) { stop = 1; }

void Usage() {
  std::fputs(
      "usage: enip_device_sim [--port N] [--listen ADDRESS] [--seconds N] [--record FILE]\n"
      "  [--mode answer|silent|refuse|close|trickle|huge-length|close-mid-reply|slow]\n"
      "  [--trickle-ms N] [--slow-ms N] [--handle N] [--register-status N]\n"
      "  [--request-status N] [--max-instance N] [--config-control N]\n"
      "  [--link INSTANCE=HEX] [--address LINK=MAC] [--reject VALUE=STATUS]\n"
      "  [--status SERVICE,CLASS,INSTANCE,ATTRIBUTE=STATUS] (fields may be *)\n"
      "  [--additional-status W,W...] [--fallback-alias CLASS]\n"
      "  [--fault REQUEST=split:N|truncate:N|truncate-close:N|close|silent|service:B]\n"
      "  [--udp-port N] [--vendor N] [--device-type N] [--product-code N]\n"
      "  [--revision MAJOR.MINOR] [--identity-status N] [--serial N] [--product-name TEXT]\n"
      "  [--state N|none] [--identity-address ADDRESS] [--identity-delay-ms N]\n"
      "  [--identity-fault silent|truncate:N|long-length|no-item|name-overrun|error-status|twice]\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvessa::enipsim;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  SimOptions options;
  std::string error;
  if (!ParseSimArguments(arguments, options, error)) {
    std::fprintf(stderr, "enip_device_sim: %s\n", error.c_str());
    Usage();
    return 2;
  }
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);

  DeviceSim sim(options.config, options.port, options.address);
  if (!sim.ok()) {
    std::fprintf(stderr, "enip_device_sim: cannot listen on port %u\n",
                 static_cast<unsigned>(options.port));
    return 1;
  }
  std::printf("port %u\n", static_cast<unsigned>(sim.Port()));
  std::fflush(stdout);
  std::optional<IdentityResponder> identity;
  if (options.udpPort != 0) {
    identity.emplace(options.identity, options.udpPort);
    if (!identity->ok()) {
      std::fprintf(stderr, "enip_device_sim: cannot answer on UDP port %u\n", static_cast<unsigned>(options.udpPort));
      return 1;
    }
    std::printf("udp %u\n", static_cast<unsigned>(identity->Port()));
    std::fflush(stdout);
  }

  for (int tenths = 0; !stop && tenths < options.seconds * 10; ++tenths) usleep(100000);
  sim.Stop();
  if (identity) identity->Stop();

  if (!options.recordFile.empty()) {
    std::ofstream out(options.recordFile);
    for (const ReceivedRequest& request : sim.Requests()) {
      out << request.connection << ' ';
      for (const std::uint8_t byte : request.bytes) {
        static constexpr char kHex[] = "0123456789abcdef";
        out << kHex[byte >> 4] << kHex[byte & 0x0F];
      }
      out << '\n';
    }
    if (sim.LastConfigurationWrite()) {
      out << "configuration-control " << *sim.LastConfigurationWrite() << '\n';
    }
  }
  return 0;
}
