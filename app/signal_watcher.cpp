#include "app/signal_watcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <QSocketNotifier>

namespace corvessa {

namespace {

// The pipe's ends; a signal handler can reach nothing else safely.
int pipeRead = -1;
int pipeWrite = -1;

void OnSignal(int signalNumber) {
  const int savedErrno = errno;
  const unsigned char number = static_cast<unsigned char>(signalNumber);
  // A full pipe drops the byte: the loop has plenty of numbers to read then.
  (void)!::write(pipeWrite, &number, 1);
  errno = savedErrno;
}

}  // namespace

SignalWatcher::SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent), signals_(signalNumbers) {
  int ends[2];
  if (pipeRead >= 0 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  pipeRead = ends[0];
  pipeWrite = ends[1];
  notifier_ = new QSocketNotifier(static_cast<qintptr>(pipeRead), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::OnReadable);

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls go on: the loop handles the signal in its turn.
  action.sa_flags = SA_RESTART;
  active_ = true;
  for (const int number : signals_) {
    struct sigaction previous {};
    if (::sigaction(number, &action, &previous) != 0) active_ = false;
    // A signal the program was started with ignored stays ignored: nohup
    // keeps it through a closed terminal, a background job from Ctrl+C.
    if (previous.sa_handler == SIG_IGN) ::sigaction(number, &previous, nullptr);
    previous_.push_back(previous);
  }
}

SignalWatcher::~SignalWatcher() {
  for (std::size_t i = 0; i < previous_.size(); ++i) {
    ::sigaction(signals_[i], &previous_[i], nullptr);
  }
  if (notifier_ != nullptr) {
    delete notifier_;
    ::close(pipeRead);
    ::close(pipeWrite);
    pipeRead = pipeWrite = -1;
  }
}

void SignalWatcher::OnReadable() {
  unsigned char numbers[64];
  for (;;) {
    const ssize_t n = ::read(pipeRead, numbers, sizeof numbers);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    for (ssize_t i = 0; i < n; ++i) emit Caught(numbers[i]);
  }
}

}  // namespace corvessa
