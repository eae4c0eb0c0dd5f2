#pragma once
// A program run as a child of the load tools (a server under test, or a
// client), with its output in files, and what /proc tells about it: its
// memory peak and its UDP sockets, seen in its own network namespace.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvessa::load {

class ChildProcess {
 public:
  // Starts argv[0] (searched in PATH) with `extraEnvironment` added to ours;
  // standard output and error go to `output`, standard input is /dev/null.
  ChildProcess(const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& extraEnvironment,
               const std::filesystem::path& output);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  // Exit status once ended: the code, or 128 + signal.
  std::optional<int> ExitStatus() const { return exitStatus_; }
  // Waits at most `limit` for the child to end on its own.
  bool Wait(std::chrono::milliseconds limit);
  // SIGTERM, then SIGKILL after `grace` if it is still there.
  void Stop(std::chrono::milliseconds grace);

 private:
  pid_t pid_ = -1;
  std::optional<int> exitStatus_;
};

// "VmHWM" of /proc/<pid>/status in KiB; nothing when it cannot be read.
std::optional<std::uint64_t> PeakResidentKiB(pid_t pid);

struct UdpSocketState {
  std::uint64_t receiveQueueBytes = 0;
  std::uint64_t drops = 0;
};

// The UDP socket of `pid`'s network namespace bound to local port `port`, from
// /proc/<pid>/net/udp; nothing when there is none (or the file cannot be read).
std::optional<UdpSocketState> UdpSocketOnPort(pid_t pid, std::uint16_t port);

// Waits at most `limit` until the child, still running, has a UDP socket on `port`.
bool WaitForUdpPort(ChildProcess& child, std::uint16_t port, std::chrono::milliseconds limit);

struct UdpCounters {
  std::uint64_t inDatagrams = 0;  // read by a program (Linux counts at the read, not on arrival)
  std::uint64_t noPorts = 0;
  std::uint64_t receiveBufferErrors = 0;
  std::uint64_t inErrors = 0;
};

// The "Udp:" counters of `pid`'s network namespace, from /proc/<pid>/net/snmp.
std::optional<UdpCounters> NamespaceUdpCounters(pid_t pid);

}  // namespace corvessa::load
