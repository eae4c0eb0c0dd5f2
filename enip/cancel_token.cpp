#include "enip/cancel_token.h"

#include <sys/socket.h>

namespace corvessa {

void CancelToken::Cancel() {
  {
    const std::lock_guard lock(mutex_);
    if (cancelled_) return;
    cancelled_ = true;
    // Under the lock: a socket cannot be unwatched and closed meanwhile.
    for (const int fd : sockets_) ::shutdown(fd, SHUT_RDWR);
  }
  woken_.notify_all();
}

bool CancelToken::Cancelled() const {
  const std::lock_guard lock(mutex_);
  return cancelled_;
}

bool CancelToken::Watch(int fd) {
  const std::lock_guard lock(mutex_);
  if (cancelled_) {
    ::shutdown(fd, SHUT_RDWR);
    return false;
  }
  sockets_.insert(fd);
  return true;
}

void CancelToken::Unwatch(int fd) {
  const std::lock_guard lock(mutex_);
  sockets_.erase(fd);
}

bool CancelToken::SleepFor(std::chrono::milliseconds length) {
  std::unique_lock lock(mutex_);
  return !woken_.wait_for(lock, length, [this] { return cancelled_; });
}

}  // namespace corvessa
