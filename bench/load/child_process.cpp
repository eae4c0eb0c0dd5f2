#include "bench/load/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace corvessa::load {

namespace {

using namespace std::chrono_literals;

// Column positions in /proc/net/udp: "sl local_address rem_address st tx_queue:rx_queue ..."
constexpr std::size_t kLocalAddressColumn = 1;
constexpr std::size_t kQueuesColumn = 4;
constexpr std::size_t kDropsColumn = 12;

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::pair<std::string, std::string>>& extraEnvironment,
                           const std::filesystem::path& output) {
  if (argv.empty()) return;
  // Everything the child needs is prepared before fork: after it only
  // async-signal-safe calls are allowed.
  std::vector<char*> arguments;
  for (const std::string& a : argv) arguments.push_back(const_cast<char*>(a.c_str()));
  arguments.push_back(nullptr);
  std::vector<std::string> environmentText;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& extra : extraEnvironment) replaced = replaced || extra.first == name;
    if (!replaced) environmentText.push_back(entry);
  }
  for (const auto& [name, value] : extraEnvironment) environmentText.push_back(name + "=" + value);
  std::vector<char*> environment;
  for (const std::string& e : environmentText) environment.push_back(const_cast<char*>(e.c_str()));
  environment.push_back(nullptr);
  const std::string outputPath = output.string();

  pid_ = fork();
  if (pid_ != 0) return;
  const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out >= 0) {
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
  }
  const int nul = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nul >= 0) dup2(nul, STDIN_FILENO);
  execvpe(arguments[0], arguments.data(), environment.data());
  _exit(127);
}

ChildProcess::~ChildProcess() { Stop(2s); }

bool ChildProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  if (r == pid_) exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  pid_ = -1;
  return false;
}

bool ChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

void ChildProcess::Stop(std::chrono::milliseconds grace) {
  if (!Running()) return;
  kill(pid_, SIGTERM);
  if (Wait(grace)) return;
  kill(pid_, SIGKILL);
  Wait(5s);
}

std::optional<std::uint64_t> PeakResidentKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      const auto words = Words(line);
      if (words.size() >= 2) return std::strtoull(words[1].c_str(), nullptr, 10);
    }
  }
  return std::nullopt;
}

std::optional<UdpSocketState> UdpSocketOnPort(pid_t pid, std::uint16_t port) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/net/udp");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const auto words = Words(line);
    if (words.size() <= kDropsColumn) continue;
    const std::string& local = words[kLocalAddressColumn];
    const auto colon = local.find(':');
    if (colon == std::string::npos) continue;
    if (std::strtoul(local.c_str() + colon + 1, nullptr, 16) != port) continue;
    const std::string& queues = words[kQueuesColumn];
    const auto split = queues.find(':');
    UdpSocketState state;
    if (split != std::string::npos) state.receiveQueueBytes = std::strtoull(queues.c_str() + split + 1, nullptr, 16);
    state.drops = std::strtoull(words[kDropsColumn].c_str(), nullptr, 10);
    return state;
  }
  return std::nullopt;
}

bool WaitForUdpPort(ChildProcess& child, std::uint16_t port, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (!child.Running()) return false;
    if (UdpSocketOnPort(child.Pid(), port)) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

std::optional<UdpCounters> NamespaceUdpCounters(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/net/snmp");
  std::string line;
  std::vector<std::string> names;
  while (std::getline(in, line)) {
    if (line.rfind("Udp:", 0) != 0) continue;
    const auto words = Words(line);
    if (names.empty()) {
      names = words;
      continue;
    }
    UdpCounters counters;
    for (std::size_t i = 1; i < words.size() && i < names.size(); ++i) {
      const std::uint64_t value = std::strtoull(words[i].c_str(), nullptr, 10);
      if (names[i] == "InDatagrams") counters.inDatagrams = value;
      if (names[i] == "NoPorts") counters.noPorts = value;
      if (names[i] == "RcvbufErrors") counters.receiveBufferErrors = value;
      if (names[i] == "InErrors") counters.inErrors = value;
    }
    return counters;
  }
  return std::nullopt;
}

}  // namespace corvessa::load
