#pragma once
// Lets one thread stop EtherNet/IP work that other threads are blocked in.
// Cancel shuts down every socket being watched, so a connect, wait or receive
// on it returns at once, and wakes every pause. Work that begins after Cancel
// finds its socket shut down as soon as it is watched.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

namespace corvessa {

class CancelToken {
 public:
  CancelToken() = default;
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  void Cancel();
  [[nodiscard]] bool Cancelled() const;

  // A socket to shut down on Cancel. False when the token is already
  // cancelled: the socket is then shut down at once.
  bool Watch(int fd);
  // Must come before the socket is closed, so that Cancel never shuts down a
  // descriptor that has been reused meanwhile.
  void Unwatch(int fd);

  // Waits for `length` or until Cancel; false when cancelled.
  bool SleepFor(std::chrono::milliseconds length);

 private:
  mutable std::mutex mutex_;
  std::condition_variable woken_;
  std::set<int> sockets_;
  bool cancelled_ = false;
};

}  // namespace corvessa
