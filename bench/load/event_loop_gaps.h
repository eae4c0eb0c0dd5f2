#pragma once
// How long the event loop of this thread was unable to run a timer: a
// precise 5 ms timer records the largest interval between two of its ticks
// while recording is on. Nothing else can run while a handler blocks the
// loop, so the largest interval bounds the longest stall from above.

#include <chrono>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace corvessa::load {

class EventLoopGaps : public QObject {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 5;
  static constexpr qint64 kStallMs = 50;

  explicit EventLoopGaps(QObject* parent = nullptr);

  // Runs on this object's thread (queue it from another one).
  void Start();
  void Stop();

  qint64 LargestGapNs() const { return largestGapNs_; }
  int GapsOverStall() const { return gapsOverStall_; }
  int Ticks() const { return ticks_; }

 private:
  void Tick();

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 lastNs_ = 0;
  qint64 largestGapNs_ = 0;
  int gapsOverStall_ = 0;
  int ticks_ = 0;
};

}  // namespace corvessa::load
