#include "tests/support/netns.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

namespace corvessa::testsupport {

bool IsRoot() { return geteuid() == 0; }

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string RunOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

std::string InNs(const std::string& ns, const std::string& command) {
  return "ip netns exec " + ns + " " + command;
}

bool CreateVethLink(VethLink& link, const std::string& tag, const std::string& serverAddress, int prefix) {
  const std::string id = tag + std::to_string(getpid() % 100000);
  link.serverNs = "cvs" + id;
  link.clientNs = "cvc" + id;
  link.serverIf = "vs" + id;
  link.clientIf = "vc" + id;
  link.serverAddress = serverAddress;
  link.prefix = prefix;
  // Interface names are limited to 15 characters.
  if (link.serverIf.size() > 15 || link.clientIf.size() > 15) return false;
  DestroyVethLink(link);
  const std::string steps[] = {
      "ip netns add " + link.serverNs,
      "ip netns add " + link.clientNs,
      "ip link add " + link.serverIf + " netns " + link.serverNs + " type veth peer name " + link.clientIf +
          " netns " + link.clientNs,
      InNs(link.serverNs, "ip link set lo up"),
      InNs(link.clientNs, "ip link set lo up"),
      InNs(link.serverNs, "ip addr add " + serverAddress + "/" + std::to_string(prefix) + " dev " + link.serverIf),
      InNs(link.serverNs, "ip link set " + link.serverIf + " up"),
      InNs(link.clientNs, "ip link set " + link.clientIf + " up"),
  };
  for (const auto& step : steps) {
    if (Run(step + " >/dev/null 2>&1") != 0) {
      DestroyVethLink(link);
      return false;
    }
  }
  return true;
}

void DestroyVethLink(const VethLink& link) {
  if (!link.serverNs.empty()) Run("ip netns del " + link.serverNs + " >/dev/null 2>&1");
  if (!link.clientNs.empty()) Run("ip netns del " + link.clientNs + " >/dev/null 2>&1");
}

NamespaceGuard::NamespaceGuard(const std::string& ns) {
  original_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
  const int target = open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (original_ >= 0 && target >= 0) ok_ = setns(target, CLONE_NEWNET) == 0;
  if (target >= 0) close(target);
}

NamespaceGuard::~NamespaceGuard() {
  if (original_ >= 0) {
    if (ok_) setns(original_, CLONE_NEWNET);
    close(original_);
  }
}

}  // namespace corvessa::testsupport
