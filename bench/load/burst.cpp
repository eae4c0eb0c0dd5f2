#include "bench/load/burst.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "server/bootp_message.h"

namespace corvessa::load {

namespace {

// Large enough for any datagram the servers send, and for a stray one.
constexpr std::size_t kReceiveCapacity = 4096;
// Unlisted DISCOVERs use their own transaction ids, far from the listed ones.
constexpr std::uint32_t kUnlistedXidBase = 0xD15C0000;
constexpr std::uint8_t kMacLength = 6;

struct Exchange {
  int device = -1;
  bool requestStep = false;  // the REQUEST after an OFFER
  std::uint32_t xid = 0;
  TimePoint firstSent{};
  TimePoint lastSent{};
  int tries = 0;
  std::array<std::uint8_t, kRequestSize> request{};
};

class Burst {
 public:
  Burst(const BurstPlan& plan, Wire& wire) : plan_(plan), wire_(wire), slots_(static_cast<std::size_t>(std::max(plan.window, 1))) {
    for (const Device& device : plan_.listed) result_.exchangesPlanned += device.kind == DeviceKind::Dhcp ? 2 : 1;
  }

  BurstResult Run() {
    start_ = wire_.Now();
    const TimePoint end = start_ + plan_.limit;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) StartNextDevice(slot);

    std::array<std::uint8_t, kReceiveCapacity> buffer{};
    while (InFlight() > 0) {
      const TimePoint now = wire_.Now();
      if (now >= end) {
        result_.timedOut = true;
        break;
      }
      RetransmitExpired(now);
      if (InFlight() == 0) break;
      const auto length = wire_.Receive(buffer, std::min(NextExpiry(), end));
      if (length) Handle(std::span<const std::uint8_t>(buffer.data(), *length));
    }
    result_.devicesFailed = static_cast<int>(plan_.listed.size()) - result_.devicesServed;
    return std::move(result_);
  }

 private:
  int InFlight() const { return static_cast<int>(byXid_.size()); }

  void StartNextDevice(std::size_t slot) {
    if (nextDevice_ >= plan_.listed.size()) return;
    const int device = static_cast<int>(nextDevice_++);
    const Device& d = plan_.listed[static_cast<std::size_t>(device)];
    RequestFields fields;
    fields.kind = d.kind == DeviceKind::Dhcp ? RequestKind::Discover : RequestKind::Bootp;
    fields.mac = d.mac;
    Begin(slot, device, false, fields);
  }

  void Begin(std::size_t slot, int device, bool requestStep, RequestFields fields) {
    Exchange& exchange = slots_[slot];
    exchange.device = device;
    exchange.requestStep = requestStep;
    exchange.xid = plan_.xidBase + static_cast<std::uint32_t>(device) * 2 + (requestStep ? 1 : 0);
    fields.xid = exchange.xid;
    exchange.request = BuildRequest(fields);
    exchange.tries = 1;
    exchange.firstSent = exchange.lastSent = wire_.Now();
    byXid_[exchange.xid] = slot;
    result_.peakInFlight = std::max(result_.peakInFlight, InFlight());
    if (!wire_.Send(exchange.request)) ++result_.sendFailures;
    ++firstSends_;
    SendUnlistedShare();
  }

  // After the k-th first send of a listed exchange, k/planned of the
  // unlisted DISCOVERs have gone out.
  void SendUnlistedShare() {
    if (plan_.unlisted.empty() || result_.exchangesPlanned == 0) return;
    const std::size_t target = plan_.unlisted.size() * static_cast<std::size_t>(firstSends_) /
                               static_cast<std::size_t>(result_.exchangesPlanned);
    while (static_cast<std::size_t>(result_.unlistedSent) < std::min(target, plan_.unlisted.size())) {
      RequestFields fields;
      fields.kind = RequestKind::Discover;
      fields.mac = plan_.unlisted[static_cast<std::size_t>(result_.unlistedSent)];
      fields.xid = kUnlistedXidBase + static_cast<std::uint32_t>(result_.unlistedSent);
      if (!wire_.Send(BuildRequest(fields))) ++result_.sendFailures;
      ++result_.unlistedSent;
    }
  }

  void Finish(std::size_t slot) {
    byXid_.erase(slots_[slot].xid);
    slots_[slot].device = -1;
    StartNextDevice(slot);
  }

  void RetransmitExpired(TimePoint now) {
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
      Exchange& exchange = slots_[slot];
      if (exchange.device < 0 || now - exchange.lastSent < plan_.timeout) continue;
      if (exchange.tries >= plan_.maxTries) {
        Finish(slot);
        continue;
      }
      ++exchange.tries;
      ++result_.retransmissions;
      exchange.lastSent = now;
      if (!wire_.Send(exchange.request)) ++result_.sendFailures;
    }
  }

  TimePoint NextExpiry() const {
    TimePoint next = TimePoint::max();
    for (const Exchange& exchange : slots_) {
      if (exchange.device >= 0) next = std::min(next, exchange.lastSent + plan_.timeout);
    }
    return next;
  }

  void Handle(std::span<const std::uint8_t> datagram) {
    const TimePoint now = wire_.Now();
    const auto reply = ParseReply(datagram);
    const auto found = reply ? byXid_.find(reply->xid) : byXid_.end();
    if (found == byXid_.end()) {
      ++result_.strayDatagrams;
      return;
    }
    const std::size_t slot = found->second;
    Exchange& exchange = slots_[slot];
    const Device& device = plan_.listed[static_cast<std::size_t>(exchange.device)];
    if (reply->hlen != kMacLength || reply->mac != device.mac) {
      ++result_.strayDatagrams;
      return;
    }
    const std::optional<std::uint8_t> expected =
        device.kind == DeviceKind::Bootp
            ? std::nullopt
            : std::optional<std::uint8_t>(exchange.requestStep ? dhcp_type::kAck : dhcp_type::kOffer);
    if (reply->messageType == dhcp_type::kNak) {
      ++result_.wrongReplies;
      Finish(slot);
      return;
    }
    if (reply->messageType != expected || reply->yiaddr != device.ipAddress) {
      ++result_.wrongReplies;
      return;
    }

    ++result_.exchangesCompleted;
    result_.latencies.push_back(now - exchange.firstSent);
    if (device.kind == DeviceKind::Dhcp && !exchange.requestStep) {
      byXid_.erase(exchange.xid);
      RequestFields fields;
      fields.kind = RequestKind::Request;
      fields.mac = device.mac;
      fields.requestedAddress = reply->yiaddr;
      fields.serverIdentifier = reply->serverIdentifier.value_or(0);
      Begin(slot, exchange.device, true, fields);
      return;
    }
    ++result_.devicesServed;
    result_.toLastServed = now - start_;
    Finish(slot);
  }

  const BurstPlan& plan_;
  Wire& wire_;
  std::vector<Exchange> slots_;
  std::unordered_map<std::uint32_t, std::size_t> byXid_;
  std::size_t nextDevice_ = 0;
  int firstSends_ = 0;
  TimePoint start_{};
  BurstResult result_;
};

double Milliseconds(Duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

BurstResult RunBurst(const BurstPlan& plan, Wire& wire) { return Burst(plan, wire).Run(); }

LatencySummary Summarize(std::vector<Duration> latencies) {
  LatencySummary summary;
  if (latencies.empty()) return summary;
  std::sort(latencies.begin(), latencies.end());
  const auto rank = [&](std::size_t percent) {
    // Nearest rank: the smallest sample with at least `percent` % of all at or below it.
    const std::size_t index = std::clamp<std::size_t>((latencies.size() * percent + 99) / 100, 1, latencies.size());
    return Milliseconds(latencies[index - 1]);
  };
  summary.medianMs = rank(50);
  summary.p99Ms = rank(99);
  summary.maxMs = Milliseconds(latencies.back());
  return summary;
}

double ExchangesPerSecond(const BurstResult& result) {
  const double seconds = std::chrono::duration<double>(result.toLastServed).count();
  return seconds > 0 ? result.exchangesCompleted / seconds : 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[(values.size() - 1) / 2];
}

}  // namespace corvessa::load
