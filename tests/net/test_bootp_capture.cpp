// A pure BOOTP client gets its address, and a capture on the server's
// interface shows what the replies look like on the wire.

#include "tests/net/net_harness.h"

namespace corvessa::nettest {
namespace {

class BootpAndCapture : public NetFixture {
 protected:
  BootpAndCapture() : NetFixture("bcap") {}

  // bootpc broadcasts through an ordinary UDP socket, which needs a route
  // even while the interface has no address.
  std::string BootpcCommand() const {
    return InClient("ip route replace 255.255.255.255/32 dev " + link_.clientIf) + " && " +
           InClient("bootpc --dev " + link_.clientIf + " --timeoutwait 5 --returniffail");
  }
};

TEST_F(BootpAndCapture, BootpcGetsItsAddressFromABootpReply) {
  if (!HasTool("bootpc")) GTEST_SKIP() << "tool not installed: bootpc";
  ASSERT_TRUE(StartOnServerVeth());
  ListClient();
  const auto out = Temp("bootpc.out");

  const int status =
      RunClientWhileServing(BootpcCommand() + " > " + out.string() + " 2>/dev/null", 15s);

  EXPECT_EQ(status, 0) << ReadWholeFile(out);
  EXPECT_NE(ReadWholeFile(out).find("IPADDR='192.168.77.50'"), std::string::npos) << ReadWholeFile(out);
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02");
  ASSERT_EQ(history_.RowCount(), 1);
  EXPECT_EQ(history_.Row(0).type, "BOOTP");
  ASSERT_EQ(table_.Count(), 1);
  EXPECT_EQ(table_.At(0)->type, kRelationTypeBootp);
}

TEST_F(BootpAndCapture, RepliesLeaveFromTheServerAddressWithTheirFixedSizes) {
  for (const char* tool : {"tshark", "bootpc"}) {
    if (!HasTool(tool)) GTEST_SKIP() << "tool not installed: " << tool;
  }
  ASSERT_TRUE(StartOnServerVeth());
  ListClient();
  const auto capture = Temp("replies.pcapng");
  const auto tsharkOut = Temp("tshark.out");
  const auto tsharkErr = Temp("tshark.err");
  Background tshark(InServer("tshark -l -P -i " + link_.serverIf + " -f \"udp port 67 or udp port 68\" -w " +
                             capture.string() + " -a duration:40"),
                    tsharkOut, tsharkErr);
  ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(tsharkErr).find("Capturing on") != std::string::npos; }, 15s))
      << "tshark did not start capturing: " << ReadWholeFile(tsharkErr);
  ASSERT_TRUE(WaitForCaptureToSeeTraffic(tsharkOut)) << "tshark captured nothing: " << ReadWholeFile(tsharkErr);

  EXPECT_EQ(RunClientWhileServing(InClient("busybox udhcpc -i " + link_.clientIf +
                                           " -n -q -f -t 3 -T 1 -s /bin/true >/dev/null 2>&1"),
                                  15s),
            0);
  EXPECT_EQ(RunClientWhileServing(BootpcCommand() + " >/dev/null 2>&1", 15s), 0);
  // A moment for the last reply to reach the capture, then a clean stop.
  std::this_thread::sleep_for(500ms);
  tshark.Stop(SIGINT, 10s);

  // One line per reply: source address, ports and UDP length (8 header bytes).
  const std::string fields = testsupport::RunOutput(
      "tshark -r " + capture.string() +
      " -Y \"udp.srcport == 67\" -T fields -E separator=, -e ip.src -e udp.srcport -e udp.dstport -e udp.length "
      "2>/dev/null");
  std::map<std::string, int> seen;
  std::istringstream lines(fields);
  std::string line;
  while (std::getline(lines, line)) ++seen[line];
  // OFFER and ACK are DHCP replies (358 bytes), the BOOTP reply is 300.
  EXPECT_EQ(seen, (std::map<std::string, int>{{"192.168.77.1,67,68,366", 2}, {"192.168.77.1,67,68,308", 1}}))
      << fields;
}

}  // namespace
}  // namespace corvessa::nettest
