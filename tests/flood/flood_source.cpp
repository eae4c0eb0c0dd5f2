#include "tests/flood/flood_source.h"

#include <algorithm>

namespace corvessa::flood {

FloodSource::FloodSource(std::uint32_t seed, int randomCount, std::vector<load::Mac> unlisted)
    : engine_(seed),
      randomCount_(randomCount),
      spacing_(unlisted.empty() ? 0 : std::max(1, randomCount / static_cast<int>(unlisted.size()))),
      unlisted_(std::move(unlisted)) {}

bool FloodSource::Next(std::vector<std::uint8_t>& out) {
  const bool requestsLeft = requestsProduced_ < static_cast<int>(unlisted_.size());
  const bool randomLeft = randomProduced_ < randomCount_;
  if (requestsLeft && (sinceRequest_ >= spacing_ || !randomLeft)) {
    // Unlisted devices in turn ask by DHCP and by plain BOOTP.
    load::RequestFields fields;
    fields.kind = requestsProduced_ % 2 == 0 ? load::RequestKind::Discover : load::RequestKind::Bootp;
    fields.mac = unlisted_[static_cast<std::size_t>(requestsProduced_)];
    fields.xid = static_cast<std::uint32_t>(engine_());
    const auto request = load::BuildRequest(fields);
    out.assign(request.begin(), request.end());
    ++requestsProduced_;
    sinceRequest_ = 0;
    return true;
  }
  if (!randomLeft) return false;
  out.resize(size_(engine_));
  // Four bytes from each draw of the 32-bit engine.
  for (std::size_t i = 0; i < out.size(); i += 4) {
    const std::uint32_t word = static_cast<std::uint32_t>(engine_());
    for (std::size_t j = 0; j < 4 && i + j < out.size(); ++j) out[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
  }
  ++randomProduced_;
  ++sinceRequest_;
  return true;
}

}  // namespace corvessa::flood
