#pragma once
// A command run in the background for a test (a capture, a server, a
// simulated device), and waiting with a bound for something to happen.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace corvessa::testsupport {

using namespace std::chrono_literals;

// A command run in the background through /bin/sh, with its output in files.
// The shell execs the command, so the id is the command's own.
class Background {
 public:
  Background(const std::string& command, const std::filesystem::path& out, const std::filesystem::path& err) {
    pid_ = fork();
    if (pid_ == 0) {
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (o >= 0) dup2(o, STDOUT_FILENO);
      if (e >= 0) dup2(e, STDERR_FILENO);
      const int nul = open("/dev/null", O_RDONLY);
      if (nul >= 0) dup2(nul, STDIN_FILENO);
      const std::string line = "exec " + command;
      execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Background() { Stop(SIGKILL, 2s); }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return false;
    }
    return r == 0;
  }
  // Waits at most `limit` for the command to end on its own.
  bool Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (Running()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }
  // Sends `signal`, then waits; a command that ignores it is killed.
  void Stop(int signal, std::chrono::milliseconds grace) {
    if (!Running()) return;
    kill(pid_, signal);
    if (!Wait(grace) && pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait(2s);
    }
  }
  int ExitStatus() const { return exitStatus_; }

 private:
  pid_t pid_ = -1;
  int exitStatus_ = -1;
};

// Polls until `done` holds or `limit` passes.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

}  // namespace corvessa::testsupport
