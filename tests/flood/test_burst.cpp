// The burst schedule against a scripted server on a scripted clock: window,
// retransmission, failures, the spreading of unlisted DISCOVERs, and the
// latency summary.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "bench/load/burst.h"

namespace corvessa::load {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr Duration kServiceTime = 1ms;

// What the scripted server reads of a request, at the offsets every request
// of the generator uses.
struct SeenRequest {
  std::uint32_t xid = 0;
  Mac mac{};
  int type = 0;  // option 53, 0 for BOOTP
};

SeenRequest Read(std::span<const std::uint8_t> bytes) {
  SeenRequest seen;
  seen.xid = static_cast<std::uint32_t>(bytes[4] << 24 | bytes[5] << 16 | bytes[6] << 8 | bytes[7]);  // xid at 4
  std::copy_n(bytes.begin() + 28, 6, seen.mac.begin());  // chaddr at 28
  if (bytes[240] == 53) seen.type = bytes[242];           // option 53 first, at 240
  return seen;
}

// A reply with the fields the generator looks at.
Bytes Reply(std::uint32_t xid, const Mac& mac, std::uint32_t yiaddr, int type) {
  Bytes b(300, 0);
  b[0] = 2;  // op: BOOTREPLY
  b[2] = 6;  // hlen
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<std::uint8_t>(xid >> (24 - 8 * i));      // xid
  for (int i = 0; i < 4; ++i) b[16 + i] = static_cast<std::uint8_t>(yiaddr >> (24 - 8 * i));  // yiaddr
  std::copy(mac.begin(), mac.end(), b.begin() + 28);                                          // chaddr
  const std::uint8_t cookie[] = {99, 130, 83, 99};
  std::copy(std::begin(cookie), std::end(cookie), b.begin() + 236);                           // magic cookie
  std::size_t p = 240;                                                                        // options
  if (type != 0) {
    b[p++] = 53;
    b[p++] = 1;
    b[p++] = static_cast<std::uint8_t>(type);
    const std::uint8_t serverId[] = {54, 4, 10, 77, 0, 1};
    std::copy(std::begin(serverId), std::end(serverId), b.begin() + static_cast<std::ptrdiff_t>(p));
    p += sizeof serverId;
  }
  b[p] = 255;
  return b;
}

// A server on a scripted clock: each request it decides to answer is answered
// kServiceTime later. It also counts the listed requests it holds unanswered.
class ScriptedWire final : public Wire {
 public:
  explicit ScriptedWire(const std::vector<Device>& fleet) {
    for (const Device& d : fleet) addresses_[d.mac] = d.ipAddress;
  }

  // Return 0 to drop the request, or the message type to answer with (-1: BOOTP reply).
  std::function<int(const SeenRequest&, int tryOfXid)> policy = [](const SeenRequest& r, int) {
    return r.type == 0 ? -1 : r.type == 1 ? 2 : 5;
  };

  TimePoint Now() override { return now_; }

  bool Send(std::span<const std::uint8_t> bytes) override {
    const SeenRequest seen = Read(bytes);
    sent.push_back(seen);
    const int tryOfXid = ++tries_[seen.xid];
    const auto address = addresses_.find(seen.mac);
    if (address == addresses_.end()) return true;  // unlisted: never answered
    if (tryOfXid == 1) listedOutstanding_.insert(seen.xid);
    peakOutstanding = std::max(peakOutstanding, static_cast<int>(listedOutstanding_.size()));
    const int answer = policy(seen, tryOfXid);
    if (answer != 0) {
      replies_.push_back({now_ + kServiceTime, Reply(seen.xid, seen.mac, address->second, answer < 0 ? 0 : answer)});
      std::stable_sort(replies_.begin(), replies_.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    return true;
  }

  std::optional<std::size_t> Receive(std::span<std::uint8_t> buffer, TimePoint deadline) override {
    if (!extra.empty()) {
      const Bytes bytes = extra.front();
      extra.erase(extra.begin());
      std::copy(bytes.begin(), bytes.end(), buffer.begin());
      return bytes.size();
    }
    if (replies_.empty() || replies_.front().first > deadline) {
      now_ = std::max(now_, deadline);
      return std::nullopt;
    }
    now_ = std::max(now_, replies_.front().first);
    const Bytes bytes = replies_.front().second;
    replies_.erase(replies_.begin());
    listedOutstanding_.erase(Read(bytes).xid);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return bytes.size();
  }

  std::vector<SeenRequest> sent;
  std::vector<Bytes> extra;  // delivered before any reply
  int peakOutstanding = 0;

 private:
  TimePoint now_{};
  std::map<Mac, std::uint32_t> addresses_;
  std::map<std::uint32_t, int> tries_;
  std::set<std::uint32_t> listedOutstanding_;
  std::vector<std::pair<TimePoint, Bytes>> replies_;
};

BurstPlan Plan(int unlisted = 0) {
  BurstPlan plan;
  plan.listed = MakeFleet(256);
  plan.unlisted = MakeUnlistedMacs(unlisted, 0x55);
  return plan;
}

bool IsListed(const SeenRequest& r) { return r.mac[1] == 0x4C; }

TEST(Burst, PromptServerServesEveryDeviceWithinTheWindow) {
  const BurstPlan plan = Plan();
  ScriptedWire wire(plan.listed);
  const BurstResult result = RunBurst(plan, wire);

  EXPECT_EQ(result.exchangesPlanned, 384);
  EXPECT_EQ(result.exchangesCompleted, 384);
  EXPECT_EQ(result.devicesServed, 256);
  EXPECT_EQ(result.devicesFailed, 0);
  EXPECT_EQ(result.retransmissions, 0);
  EXPECT_EQ(result.wrongReplies, 0);
  EXPECT_EQ(result.strayDatagrams, 0);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.peakInFlight, 64);
  EXPECT_EQ(wire.peakOutstanding, 64);
  ASSERT_EQ(result.latencies.size(), 384u);
  EXPECT_TRUE(std::all_of(result.latencies.begin(), result.latencies.end(),
                          [](Duration d) { return d == kServiceTime; }));
  // DISCOVER, REQUEST for each DHCP device; one BOOTREQUEST for each other.
  EXPECT_EQ(std::count_if(wire.sent.begin(), wire.sent.end(), [](const auto& r) { return r.type == 1; }), 128);
  EXPECT_EQ(std::count_if(wire.sent.begin(), wire.sent.end(), [](const auto& r) { return r.type == 3; }), 128);
  EXPECT_EQ(std::count_if(wire.sent.begin(), wire.sent.end(), [](const auto& r) { return r.type == 0; }), 128);
}

TEST(Burst, LostRequestIsSentAgainAfterTheTimeoutWithItsTransactionId) {
  const BurstPlan plan = Plan();
  ScriptedWire wire(plan.listed);
  // The first try of every BOOTP request is lost.
  wire.policy = [](const SeenRequest& r, int tryOfXid) {
    if (r.type == 0) return tryOfXid == 1 ? 0 : -1;
    return r.type == 1 ? 2 : 5;
  };
  const BurstResult result = RunBurst(plan, wire);

  EXPECT_EQ(result.devicesServed, 256);
  EXPECT_EQ(result.retransmissions, 128);
  const auto slow = std::count(result.latencies.begin(), result.latencies.end(), Duration(1s + kServiceTime));
  EXPECT_EQ(slow, 128);
}

TEST(Burst, DeviceNeverAnsweredGivesUpAfterFourTries) {
  const BurstPlan plan = Plan();
  const Mac silent = plan.listed[10].mac;
  ScriptedWire wire(plan.listed);
  wire.policy = [silent](const SeenRequest& r, int) {
    if (r.mac == silent) return 0;
    return r.type == 0 ? -1 : r.type == 1 ? 2 : 5;
  };
  const BurstResult result = RunBurst(plan, wire);

  EXPECT_EQ(std::count_if(wire.sent.begin(), wire.sent.end(), [&](const auto& r) { return r.mac == silent; }), 4);
  EXPECT_EQ(result.retransmissions, 3);
  EXPECT_EQ(result.devicesServed, 255);
  EXPECT_EQ(result.devicesFailed, 1);
  EXPECT_FALSE(result.timedOut);
}

TEST(Burst, NakEndsTheDeviceAsWrongReply) {
  const BurstPlan plan = Plan();
  const Mac refused = plan.listed[0].mac;
  ScriptedWire wire(plan.listed);
  wire.policy = [refused](const SeenRequest& r, int) {
    if (r.type == 3 && r.mac == refused) return 6;
    return r.type == 0 ? -1 : r.type == 1 ? 2 : 5;
  };
  const BurstResult result = RunBurst(plan, wire);
  EXPECT_EQ(result.wrongReplies, 1);
  EXPECT_EQ(result.devicesFailed, 1);
  EXPECT_EQ(result.exchangesCompleted, 383);
}

TEST(Burst, UnlistedDiscoversAreSpreadThroughTheBurst) {
  const BurstPlan plan = Plan(2000);
  ScriptedWire wire(plan.listed);
  const BurstResult result = RunBurst(plan, wire);

  EXPECT_EQ(result.unlistedSent, 2000);
  EXPECT_EQ(result.devicesServed, 256);
  // 2000 over 384 first sends: 5 or 6 after each, never more, none before
  // the first listed request.
  int run = 0;
  int longest = 0;
  for (const SeenRequest& r : wire.sent) {
    run = IsListed(r) ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  EXPECT_EQ(longest, 6);
  EXPECT_TRUE(IsListed(wire.sent.front()));
  EXPECT_TRUE(std::all_of(wire.sent.begin(), wire.sent.end(), [](const SeenRequest& r) {
    return r.mac[1] == 0x4C || (r.mac[1] == 0x55 && r.type == 1);
  }));
}

TEST(Burst, RepliesToNothingInFlightAreStray) {
  const BurstPlan plan = Plan();
  ScriptedWire wire(plan.listed);
  wire.extra.push_back(Reply(0x01020304, plan.listed[0].mac, plan.listed[0].ipAddress, 2));  // unknown xid
  wire.extra.push_back(Reply(plan.xidBase, plan.listed[1].mac, plan.listed[0].ipAddress, 2));  // xid of device 0, other address
  wire.extra.push_back(Bytes(10, 0xFF));  // not a reply at all
  const BurstResult result = RunBurst(plan, wire);
  EXPECT_EQ(result.strayDatagrams, 3);
  EXPECT_EQ(result.devicesServed, 256);
}

TEST(Burst, EndsAtTheTimeLimit) {
  BurstPlan plan = Plan();
  plan.limit = 2500ms;
  ScriptedWire wire(plan.listed);
  wire.policy = [](const SeenRequest&, int) { return 0; };
  const BurstResult result = RunBurst(plan, wire);
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.devicesServed, 0);
  EXPECT_EQ(result.devicesFailed, 256);
  EXPECT_EQ(result.retransmissions, 64 * 2);  // at 1 s and 2 s
}

struct SummaryCase {
  std::vector<int> samplesMs;
  double median;
  double p99;
  double max;
};

TEST(LatencySummary, NearestRank) {
  std::vector<int> hundred(100);
  for (int i = 0; i < 100; ++i) hundred[static_cast<std::size_t>(i)] = 100 - i;  // 100..1, unsorted
  const SummaryCase cases[] = {
      {{}, 0, 0, 0},
      {{7}, 7, 7, 7},
      {{3, 1, 2}, 2, 3, 3},
      {{1, 2, 3, 4}, 2, 4, 4},
      {hundred, 50, 99, 100},
  };
  for (const SummaryCase& c : cases) {
    std::vector<Duration> samples;
    for (const int ms : c.samplesMs) samples.push_back(std::chrono::milliseconds(ms));
    const LatencySummary s = Summarize(samples);
    EXPECT_DOUBLE_EQ(s.medianMs, c.median) << c.samplesMs.size() << " samples";
    EXPECT_DOUBLE_EQ(s.p99Ms, c.p99) << c.samplesMs.size() << " samples";
    EXPECT_DOUBLE_EQ(s.maxMs, c.max) << c.samplesMs.size() << " samples";
  }
}

}  // namespace
}  // namespace corvessa::load
