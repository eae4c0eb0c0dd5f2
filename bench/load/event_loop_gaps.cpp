#include "bench/load/event_loop_gaps.h"

namespace corvessa::load {

EventLoopGaps::EventLoopGaps(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &EventLoopGaps::Tick);
}

void EventLoopGaps::Start() {
  largestGapNs_ = 0;
  gapsOverStall_ = 0;
  ticks_ = 0;
  clock_.start();
  lastNs_ = 0;
  timer_.start();
}

void EventLoopGaps::Stop() {
  timer_.stop();
  // The time since the last tick counts too: a stall may run to the end.
  Tick();
}

void EventLoopGaps::Tick() {
  const qint64 now = clock_.nsecsElapsed();
  const qint64 gap = now - lastNs_;
  lastNs_ = now;
  ++ticks_;
  if (gap > largestGapNs_) largestGapNs_ = gap;
  if (gap > kStallMs * 1000 * 1000) ++gapsOverStall_;
}

}  // namespace corvessa::load
