#include "bench/load/probe.h"

#include <array>

#include "server/bootp_message.h"

namespace corvessa::load {

namespace {

constexpr std::uint32_t kProbeXidBase = 0x9B0BE000;
constexpr auto kProbeInterval = std::chrono::milliseconds(200);

}  // namespace

bool WaitUntilOffering(ClientSocket& socket, const Device& device, std::chrono::milliseconds limit) {
  const TimePoint end = LoadClock::now() + limit;
  std::array<std::uint8_t, 4096> buffer{};
  for (std::uint32_t attempt = 0; LoadClock::now() < end; ++attempt) {
    RequestFields fields;
    fields.kind = RequestKind::Discover;
    fields.mac = device.mac;
    fields.xid = kProbeXidBase + attempt;
    (void)socket.SendTo(BuildRequest(fields), kBroadcastAddress);
    const TimePoint next = std::min(end, LoadClock::now() + kProbeInterval);
    while (const auto length = socket.Receive(buffer, next)) {
      const auto reply = ParseReply(std::span<const std::uint8_t>(buffer.data(), *length));
      if (reply && reply->mac == device.mac && reply->messageType == dhcp_type::kOffer &&
          reply->yiaddr == device.ipAddress && reply->xid >= kProbeXidBase && reply->xid <= kProbeXidBase + attempt) {
        // Late answers to earlier probes must not reach the burst that follows.
        while (socket.Receive(buffer, LoadClock::now() + kProbeInterval)) {
        }
        return true;
      }
    }
  }
  return false;
}

}  // namespace corvessa::load
