#pragma once
// A commissioning run against many simulated devices, and a sink that keeps
// every report with the time it came.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "enip/commissioning_run.h"
#include "tests/enip/enip_fixture.h"

namespace corvessa::enip_test {

// 10.99.0.<n>: never reached, the forwarding sockets stand in.
inline constexpr std::uint32_t DeviceAddress(int n) { return 0x0A630000u + static_cast<std::uint32_t>(n); }

inline Relation NumberedRelation(int n, std::uint8_t type = kRelationTypeNone) {
  const Mac mac{0x00, 0x11, 0x22, 0x33, 0x44, static_cast<std::uint8_t>(n)};
  Relation relation = MakeRelation(mac, type);
  relation.ipAddress = DeviceAddress(n);
  return relation;
}

class RecordingSink : public CommissionSink {
 public:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    CommissionEvent event;
    Clock::time_point at;
  };

  void Report(const CommissionEvent& event) override {
    {
      const std::lock_guard lock(mutex_);
      entries_.push_back({event, Clock::now()});
    }
    changed_.notify_all();
  }
  void Finished(const CommissionSummary& summary) override {
    {
      const std::lock_guard lock(mutex_);
      summary_ = summary;
      ++finishedCalls_;
      finishedAt_ = Clock::now();
    }
    changed_.notify_all();
  }

  // Waits at most `limit` until `condition` holds over the entries so far.
  bool WaitFor(const std::function<bool(const std::vector<Entry>&)>& condition,
               std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return condition(entries_); });
  }

  std::vector<Entry> Entries() const {
    const std::lock_guard lock(mutex_);
    return entries_;
  }
  // The status texts of one device, in order.
  std::vector<std::string> Texts(int device) const {
    std::vector<std::string> texts;
    for (const Entry& e : Entries()) {
      if (e.event.device == device && e.event.kind == CommissionEvent::Kind::Status) texts.push_back(e.event.text);
    }
    return texts;
  }
  std::vector<CommissionStep> Steps(int device) const {
    std::vector<CommissionStep> steps;
    for (const Entry& e : Entries()) {
      if (e.event.device == device && e.event.kind == CommissionEvent::Kind::Step) steps.push_back(e.event.step);
    }
    return steps;
  }
  std::optional<Entry> FinishedEntry(int device) const {
    for (const Entry& e : Entries()) {
      if (e.event.device == device && e.event.kind == CommissionEvent::Kind::Finished) return e;
    }
    return std::nullopt;
  }
  std::optional<CommissionSummary> Summary() const {
    const std::lock_guard lock(mutex_);
    return summary_;
  }
  int FinishedCalls() const {
    const std::lock_guard lock(mutex_);
    return finishedCalls_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Entry> entries_;
  std::optional<CommissionSummary> summary_;
  int finishedCalls_ = 0;
  Clock::time_point finishedAt_{};
};

// Simulated devices behind forwarding sockets, and the context of a run.
struct Fleet {
  Fleet() {
    context.sockets = &sockets;
    context.port = kEnipTcpPort;
    context.connectTimeout = std::chrono::seconds(5);
    context.waitPeriod = std::chrono::milliseconds(500);
  }
  // Device n answers as `config` says.
  enipsim::DeviceSim& Add(int n, enipsim::DeviceConfig config) {
    sims.push_back(std::make_unique<enipsim::DeviceSim>(std::move(config)));
    EXPECT_TRUE(sims.back()->ok()) << "the simulated device could not bind 127.0.0.1";
    sockets.Add(DeviceAddress(n), sims.back()->Port());
    return *sims.back();
  }

  ForwardingSockets sockets;
  EnipContext context;
  std::vector<std::unique_ptr<enipsim::DeviceSim>> sims;
};

}  // namespace corvessa::enip_test
