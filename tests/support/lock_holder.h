#pragma once
// Another program holding a lock on a file: a child process that opens the
// file, takes the lock and keeps it until the holder ends. Classic POSIX
// record locks belong to a process and go when that process closes any
// descriptor of the file, so only another process can hold one the way other
// programs do.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace corvessa::testsupport {

class LockHolder {
 public:
  // `command` is F_SETLK or F_OFD_SETLK with `type` F_RDLCK or F_WRLCK, or 0
  // for flock with `type` LOCK_SH or LOCK_EX.
  LockHolder(const std::string& path, int command, int type) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
      bool held = fd >= 0;
      if (held && command == 0) {
        held = ::flock(fd, type) == 0;
      } else if (held) {
        struct flock record {};
        record.l_type = static_cast<short>(type);
        record.l_whence = SEEK_SET;
        held = ::fcntl(fd, command, &record) == 0;
      }
      const char answer = held ? 'y' : 'n';
      (void)!::write(ready[1], &answer, 1);
      for (;;) ::pause();  // until the holder ends it
    }
    ::close(ready[1]);
    char answer = 'n';
    held_ = pid_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
  }
  ~LockHolder() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

}  // namespace corvessa::testsupport
