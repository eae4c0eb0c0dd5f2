#pragma once
// Signals that ask the program to end (SIGTERM at logout, SIGHUP when the
// terminal goes, SIGINT for Ctrl+C) reach the event loop instead of ending
// the process at once: the handler only writes the signal's number into a
// pipe, whose read end a QSocketNotifier watches, and the loop reports it.
// A signal that comes before the loop runs waits in the pipe. A signal the
// program was started with ignored (nohup, a background job) stays ignored.

#include <signal.h>

#include <initializer_list>
#include <vector>

#include <QObject>

class QSocketNotifier;

namespace corvessa {

class SignalWatcher : public QObject {
  Q_OBJECT

 public:
  // Takes over the handlers of `signalNumbers` until it is destroyed; one
  // watcher at a time.
  explicit SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
  ~SignalWatcher() override;

  // False when the pipe or a handler could not be set up; the signals then
  // keep their previous handlers.
  bool Active() const { return active_; }

 signals:
  void Caught(int signalNumber);

 private:
  void OnReadable();

  std::vector<int> signals_;
  std::vector<struct sigaction> previous_;
  QSocketNotifier* notifier_ = nullptr;
  bool active_ = false;
};

}  // namespace corvessa
