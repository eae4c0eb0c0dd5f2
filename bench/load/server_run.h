#pragma once
// One burst against one freshly started server: start it in the server
// namespace, wait until it answers, play the burst from the client namespace,
// read its memory peak, stop it.

#include <cstdint>
#include <optional>
#include <string>

#include "bench/load/burst.h"
#include "bench/load/lab.h"

namespace corvessa::load {

enum class ServerKind { Corvessa, Dnsmasq };

const char* ServerName(ServerKind kind);

struct ServerRun {
  bool ok = false;
  std::string failure;  // why there are no figures
  BurstResult burst;
  std::optional<std::uint64_t> peakKiB;
  // Datagrams the kernel dropped because the server's port-67 socket had a
  // full receive queue: the part of the loss that a larger buffer would save.
  std::uint64_t socketDrops = 0;
};

// The calling thread must be in the Lab's client namespace.
ServerRun RunAgainstServer(const Lab& lab, ServerKind kind, const std::string& program, const BurstPlan& plan);

}  // namespace corvessa::load
