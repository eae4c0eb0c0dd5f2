#pragma once
// Test hosts in network namespaces: a "server" and a "client" namespace joined
// by a veth pair. Nothing here touches the machine's real interfaces; every
// namespace is created by the fixture and removed when it ends.

#include <string>

namespace corvessa::testsupport {

bool IsRoot();

// Runs a shell command; returns its exit status (-1 when it could not run).
int Run(const std::string& command);
// Runs a shell command and returns what it printed on standard output.
std::string RunOutput(const std::string& command);

struct VethLink {
  std::string serverNs;      // e.g. "cvs12345"
  std::string clientNs;      // e.g. "cvc12345"
  std::string serverIf;      // interface name inside serverNs
  std::string clientIf;      // interface name inside clientNs
  std::string serverAddress; // dotted, without prefix
  int prefix = 24;
};

// Creates both namespaces and the veth pair; the server end gets
// serverAddress/prefix, the client end no address. Returns false (and cleans
// up) when any step fails.
bool CreateVethLink(VethLink& link, const std::string& tag, const std::string& serverAddress, int prefix = 24);
void DestroyVethLink(const VethLink& link);

// Moves the calling thread into the named namespace (sockets created
// afterwards live there) and back.
class NamespaceGuard {
 public:
  explicit NamespaceGuard(const std::string& ns);
  ~NamespaceGuard();
  bool ok() const { return ok_; }
  NamespaceGuard(const NamespaceGuard&) = delete;
  NamespaceGuard& operator=(const NamespaceGuard&) = delete;

 private:
  int original_ = -1;
  bool ok_ = false;
};

// "ip netns exec <ns> <command>"
std::string InNs(const std::string& ns, const std::string& command);

}  // namespace corvessa::testsupport
