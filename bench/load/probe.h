#pragma once
// Waiting until a freshly started server answers: its socket being bound is
// not enough, the program may still be loading its relations.

#include <chrono>

#include "bench/load/client_socket.h"
#include "bench/load/fleet.h"

namespace corvessa::load {

// Sends a DISCOVER for `device` every 200 ms until an OFFER with its address
// comes back; false when none came within `limit`.
bool WaitUntilOffering(ClientSocket& socket, const Device& device, std::chrono::milliseconds limit);

}  // namespace corvessa::load
