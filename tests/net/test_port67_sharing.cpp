// Port 67 shared with other DHCP servers of the host, as on a Linux desktop:
// a holder bound to another interface leaves the chosen one to us; a holder
// on the chosen interface is named, as precisely as the user running the
// program may know it; a user without the port privilege is told how to
// grant it. The holders are real dnsmasq servers; the unprivileged starts
// run as a scratch user created for the test.

#include "core/strings.h"
#include "server/server_texts.h"
#include "tests/net/net_harness.h"
#include "tests/support/scratch_user.h"

namespace corvessa::nettest {
namespace {

std::string PortMessage(const std::string& ownerLines) {
  return std::string(LoadString(kIdsPort67InUse)) + ownerLines + "\n" + std::string(LoadString(kIdsClosePort67Process));
}

using testsupport::ScratchUser;

class Port67Sharing : public NetFixture {
 protected:
  Port67Sharing() : NetFixture("shr") {}

  // The probe's output when started by `user` in the server namespace.
  std::string ProbeAs(const ScratchUser& user, bool portPrivilege) const {
    return testsupport::RunOutput(
        InServer(user.As(std::string(START_PROBE) + " " + link_.serverIf + " /nonexistent/corvessa.conf", portPrivilege)) +
        " 2>&1");
  }

  void RequireScratchUser(const ScratchUser& user) {
    for (const char* tool : {"useradd", "setpriv"}) {
      if (!HasTool(tool)) GTEST_SKIP() << "tool not installed: " << tool;
    }
    ASSERT_TRUE(user.ok()) << "could not create a scratch user";
    if (testsupport::Run(user.As("test -x " + std::string(START_PROBE), false)) != 0) {
      GTEST_SKIP() << "the build folder cannot be read by other users";
    }
  }
};

TEST_F(Port67Sharing, HolderOnAnotherInterfaceLeavesTheChosenOneToUs) {
  ASSERT_TRUE(AddSecondNetwork()) << "could not create the second network";
  const auto dnsmasq = StartDnsmasq(secondIf_, "10.9.0.0");
  ASSERT_NE(dnsmasq, nullptr) << "dnsmasq did not bind port 67 on " << secondIf_;

  ASSERT_TRUE(StartOnServerVeth());
  EXPECT_EQ(fatalExits_, 0);
  EXPECT_TRUE(prompts_.shown.empty());
  ListClient();
  EXPECT_EQ(RunClientWhileServing(InClient("busybox udhcpc -i " + link_.clientIf +
                                           " -n -q -f -t 3 -T 1 -s /bin/true >/dev/null 2>&1"),
                                  20s),
            0)
      << "no lease beside the other server";
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02");
  EXPECT_TRUE(dnsmasq->Running()) << "the other server lost its port";
}

TEST_F(Port67Sharing, HolderOnTheChosenInterfaceIsNamed) {
  const auto dnsmasq = StartDnsmasq(link_.serverIf, "192.168.77.0");
  ASSERT_NE(dnsmasq, nullptr) << "dnsmasq did not bind port 67 on " << link_.serverIf;

  EXPECT_FALSE(StartOnServerVeth());
  EXPECT_EQ(fatalExits_, 1);
  EXPECT_FALSE(runtime_->HasSocket());
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].text, PortMessage(" - dnsmasq, PID: " + std::to_string(dnsmasq->Pid()) + ";\n"));
  EXPECT_EQ(prompts_.shown[0].caption, "Network Setup Warning");
}

// As a normal user with the port privilege (the README's way), another
// user's descriptors cannot be read: the holder is named by the user that
// owns its socket, and a holder elsewhere still leaves the port to us.
TEST_F(Port67Sharing, UnprivilegedUserLearnsTheHoldersUser) {
  const ScratchUser user;
  RequireScratchUser(user);
  ASSERT_TRUE(AddSecondNetwork()) << "could not create the second network";
  {
    const auto elsewhere = StartDnsmasq(secondIf_, "10.9.0.0");
    ASSERT_NE(elsewhere, nullptr) << "dnsmasq did not bind port 67 on " << secondIf_;
    EXPECT_EQ(ProbeAs(user, true), "serving\n");
  }
  const auto dnsmasq = StartDnsmasq(link_.serverIf, "192.168.77.0");
  ASSERT_NE(dnsmasq, nullptr) << "dnsmasq did not bind port 67 on " << link_.serverIf;
  EXPECT_EQ(ProbeAs(user, true), "caption: Network Setup Warning\nmessage: " +
                                     PortMessage(" - a process of user root, PID: unknown;\n") + "\nfatal exit\n");
}

TEST_F(Port67Sharing, UserWithoutThePortPrivilegeIsToldHowToGrantIt) {
  const ScratchUser user;
  RequireScratchUser(user);
  EXPECT_EQ(ProbeAs(user, false),
            "caption: Network Setup Warning\nmessage: " +
                FormatText(text::kNoPrivilegeFormat, "/opt/corvessa/corvessa") + "\nfatal exit\n");
}

}  // namespace
}  // namespace corvessa::nettest
