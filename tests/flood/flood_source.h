#pragma once
// The datagrams of the flood: random sizes 0..4,000 bytes with random
// content from a fixed seed, so every run sends the same bytes, with a valid
// request from an unlisted hardware address after every `spacing` of them.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "bench/load/client_message.h"

namespace corvessa::flood {

inline constexpr std::size_t kLargestRandomDatagram = 4000;

class FloodSource {
 public:
  FloodSource(std::uint32_t seed, int randomCount, std::vector<load::Mac> unlisted);

  // The next datagram into `out`; false once all have been produced.
  bool Next(std::vector<std::uint8_t>& out);
  int Produced() const { return randomProduced_ + requestsProduced_; }
  int RequestsProduced() const { return requestsProduced_; }

 private:
  std::mt19937 engine_;
  std::uniform_int_distribution<std::size_t> size_{0, kLargestRandomDatagram};
  int randomCount_;
  int spacing_;
  std::vector<load::Mac> unlisted_;
  int randomProduced_ = 0;
  int requestsProduced_ = 0;
  int sinceRequest_ = 0;
};

}  // namespace corvessa::flood
