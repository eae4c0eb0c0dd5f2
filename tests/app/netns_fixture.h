#pragma once
// A network namespace of the test's own for the whole test binary: a veth
// pair to a client namespace (the server end "A" at 192.168.77.1/24) and a
// second veth pair inside the server namespace (its end "B" at
// 10.9.0.1/24). The binary's main thread moves into the server namespace,
// so the server sockets of the window never touch the machine's interfaces.
// Without root nothing is created and the tests that need it skip.

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "tests/support/netns.h"

namespace corvessa::app_test {

struct NamespaceSetup {
  testsupport::VethLink link;
  std::string secondIf;  // "B", in the server namespace
  std::string secondPeer;
  std::string reason;    // why it is not available; empty when it is
  std::unique_ptr<testsupport::NamespaceGuard> guard;

  bool Available() const { return reason.empty(); }
};

inline NamespaceSetup& Namespaces() {
  static NamespaceSetup setup;
  return setup;
}

// Registered from the test's main file: ::testing::AddGlobalTestEnvironment.
class NamespaceEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    NamespaceSetup& setup = Namespaces();
    if (!testsupport::IsRoot()) {
      setup.reason = "needs root to create network namespaces";
      return;
    }
    if (!testsupport::CreateVethLink(setup.link, "ap", "192.168.77.1")) {
      setup.reason = "could not create the veth pair";
      return;
    }
    const std::string id = std::to_string(getpid() % 100000);
    setup.secondIf = "vb" + id;
    setup.secondPeer = "vp" + id;
    const std::string ns = setup.link.serverNs;
    const std::string steps[] = {
        testsupport::InNs(ns, "ip link add " + setup.secondIf + " type veth peer name " + setup.secondPeer),
        testsupport::InNs(ns, "ip addr add 10.9.0.1/24 dev " + setup.secondIf),
        testsupport::InNs(ns, "ip link set " + setup.secondIf + " up"),
        testsupport::InNs(ns, "ip link set " + setup.secondPeer + " up"),
    };
    for (const std::string& step : steps) {
      if (testsupport::Run(step + " >/dev/null 2>&1") != 0) {
        setup.reason = "could not create the second interface";
        return;
      }
    }
    setup.guard = std::make_unique<testsupport::NamespaceGuard>(ns);
    if (!setup.guard->ok()) setup.reason = "could not enter the server namespace";
  }

  void TearDown() override {
    NamespaceSetup& setup = Namespaces();
    setup.guard.reset();
    testsupport::DestroyVethLink(setup.link);
  }
};

#define REQUIRE_NAMESPACES()                                                         \
  do {                                                                               \
    if (!::corvessa::app_test::Namespaces().Available())                             \
      GTEST_SKIP() << ::corvessa::app_test::Namespaces().reason;                     \
  } while (false)

}  // namespace corvessa::app_test
