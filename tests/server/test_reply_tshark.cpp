// The replies as a real dissector sees them: every message the server builds
// is written into a capture file and read back with tshark, which must decode
// each as BOOTP/DHCP with the expected fields and flag nothing as malformed.
// Nothing is sent anywhere; the capture is written by hand.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/reply.h"
#include "tests/server/reply_fixture.h"
#include "tests/support/tshark.h"

namespace corvessa::reply_test {
namespace {

using testsupport::Lines;

void AppendBe16(Bytes& out, std::uint16_t v) { Append(out, {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)}); }

// Ethernet II / IPv4 / UDP 67 -> 68 around one datagram.
Bytes Frame(const SentDatagram& datagram, std::uint32_t second) {
  const std::uint16_t udpLength = static_cast<std::uint16_t>(8 + datagram.bytes.size());
  Bytes ip;
  Append(ip, {0x45});                          // version 4, header length 5 words
  Append(ip, {0x00});                          // DSCP/ECN
  AppendBe16(ip, static_cast<std::uint16_t>(20 + udpLength));  // total length
  AppendBe16(ip, static_cast<std::uint16_t>(second));           // identification
  AppendBe16(ip, 0);                           // flags, fragment offset
  Append(ip, {64});                            // TTL
  Append(ip, {17});                            // protocol: UDP
  AppendBe16(ip, 0);                           // checksum, filled below
  Append(ip, {192, 168, 1, 5});                // source: the server
  AppendU32(ip, datagram.destination.address); // destination
  const std::uint16_t checksum = testsupport::Ipv4HeaderChecksum(ip);
  ip[10] = static_cast<std::uint8_t>(checksum >> 8);
  ip[11] = static_cast<std::uint8_t>(checksum);

  Bytes frame;
  Append(frame, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});  // destination MAC: broadcast
  Append(frame, {0x02, 0x00, 0x00, 0x00, 0x00, 0x05});  // source MAC: locally administered
  AppendBe16(frame, 0x0800);                            // EtherType: IPv4
  frame.insert(frame.end(), ip.begin(), ip.end());
  AppendBe16(frame, kBootpServerPort);                  // UDP source port 67
  AppendBe16(frame, datagram.destination.port);         // UDP destination port
  AppendBe16(frame, udpLength);                         // UDP length
  AppendBe16(frame, 0);                                 // UDP checksum: none
  frame.insert(frame.end(), datagram.bytes.begin(), datagram.bytes.end());
  return frame;
}

class ReplyTshark : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HasTshark()) GTEST_SKIP() << "tshark is not installed";
    ASSERT_TRUE(tshark_.ok());
  }

  std::string Tshark(const std::string& arguments) { return tshark_.Read(arguments); }

  static constexpr const char* kFindingsFilter = "-Y '_ws.malformed || _ws.expert.severity >= error' -T fields -e frame.number";

  void WriteCapture(const std::vector<SentDatagram>& datagrams) {
    Bytes file = testsupport::PcapFileHeader();
    std::uint32_t second = 1;
    for (const SentDatagram& d : datagrams) {
      testsupport::AppendPcapRecord(file, second, Frame(d, second));
      ++second;
    }
    ASSERT_TRUE(tshark_.Write(file));
  }

  testsupport::TsharkCapture tshark_;
};

TEST_F(ReplyTshark, EveryMessageDecodesWithItsFields) {
  std::vector<SentDatagram> datagrams;
  const auto collect = [&](ServerUnderTest& server) {
    ASSERT_EQ(server.sender.sent.size(), 1u);
    datagrams.push_back(server.sender.sent[0]);
  };
  {  // 1: BOOTP reply with every setting
    ServerUnderTest server;
    server.settings = EverySetting();
    ASSERT_NE(ServeBootp(Message(RequestBytes({}, {255})), server.context), nullptr);
    collect(server);
  }
  {  // 2: OFFER
    ServerUnderTest server;
    server.settings = EverySetting();
    (void)ServeDhcp(Message(RequestBytes({}, {53, 1, 1, 255})), server.context);
    collect(server);
  }
  {  // 3: ACK
    ServerUnderTest server;
    server.settings = EverySetting();
    ASSERT_NE(ServeDhcp(Message(RequestBytes({}, {53, 1, 3, 50, 4, 192, 168, 1, 50, 255})), server.context), nullptr);
    collect(server);
  }
  {  // 4: NAK
    ServerUnderTest server;
    server.settings = EverySetting();
    ASSERT_EQ(ServeDhcp(Message(RequestBytes({}, {53, 1, 3, 50, 4, 192, 168, 1, 77, 255})), server.context), nullptr);
    collect(server);
  }
  {  // 5: the largest ACK: 32-byte domain name and hostname, End on byte 357
    ServerUnderTest server;
    server.settings = EverySetting();
    server.settings.SetDomainName(std::string(32, 'd'));
    server.SetDeviceHostname(std::string(32, 'h'));
    ASSERT_NE(ServeDhcp(Message(RequestBytes({}, {53, 1, 3, 255})), server.context), nullptr);
    collect(server);
  }
  {  // 6: FORCERENEW
    const auto relation = MakeRelation(kDeviceMac, kDeviceAddress, "plc-01");
    const auto message = BuildForceRenew(6, *relation);
    datagrams.push_back({Bytes(message.begin(), message.end()), {kLimitedBroadcast, kBootpClientPort}});
  }
  WriteCapture(datagrams);

  const std::string fields = Tshark(
      "-T fields -e frame.number -e dhcp.option.dhcp -e dhcp.ip.your -e dhcp.ip.server "
      "-e dhcp.option.subnet_mask -e dhcp.option.router -e dhcp.option.hostname -e dhcp.hw.mac_addr "
      "-e _ws.malformed -E separator=, -E aggregator=+");
  const std::vector<std::string> expected = {
      // frame, DHCP type, yiaddr, siaddr, mask, router, hostname, chaddr, malformed
      "1,,192.168.1.50,192.168.1.5,255.255.255.0,192.168.1.1,plc-01,00:1d:9c:c8:12:34,",
      "2,2,192.168.1.50,192.168.1.5,255.255.255.0,192.168.1.1,plc-01,00:1d:9c:c8:12:34,",
      "3,5,192.168.1.50,192.168.1.5,255.255.255.0,192.168.1.1,plc-01,00:1d:9c:c8:12:34,",
      "4,6,192.168.1.50,192.168.1.5,,,,00:1d:9c:c8:12:34,",
      "5,5,192.168.1.50,192.168.1.5,255.255.255.0,192.168.1.1," + std::string(32, 'h') + ",00:1d:9c:c8:12:34,",
      "6,9,0.0.0.0,0.0.0.0,,,,00:1d:9c:c8:12:34,",
  };
  EXPECT_EQ(Lines(fields), expected) << fields;

  // The times, server identifier, name servers and domain name of the OFFER,
  // the ACKs and the NAK, which names the server and nothing else.
  const std::string dhcpFields = Tshark(
      "-Y 'dhcp.option.dhcp == 2 || dhcp.option.dhcp == 5 || dhcp.option.dhcp == 6' -T fields -e frame.number "
      "-e dhcp.option.ip_address_lease_time -e dhcp.option.renewal_time_value "
      "-e dhcp.option.rebinding_time_value -e dhcp.option.dhcp_server_id "
      "-e dhcp.option.domain_name_server -e dhcp.option.domain_name -E separator=, -E aggregator=+");
  const std::vector<std::string> expectedDhcp = {
      "2,4294967295,4294967295,4294967295,192.168.1.5,192.168.1.2+10.9.8.7,plant.local",
      "3,4294967295,4294967295,4294967295,192.168.1.5,192.168.1.2+10.9.8.7,plant.local",
      "4,,,,192.168.1.5,,",
      "5,4294967295,4294967295,4294967295,192.168.1.5,192.168.1.2+10.9.8.7," + std::string(32, 'd'),
  };
  EXPECT_EQ(Lines(dhcpFields), expectedDhcp) << dhcpFields;

  // Every frame is BOOTP over UDP 67 -> 68 with a good IPv4 header, and none
  // carries an error-level finding.
  EXPECT_EQ(Lines(Tshark("-o ip.check_checksum:TRUE -Y 'dhcp && udp.srcport == 67 && udp.dstport == 68 && "
                         "ip.checksum.status == \"Good\"' -T fields -e frame.number"))
                .size(),
            datagrams.size());
  EXPECT_EQ(Tshark(kFindingsFilter), "");
}

// The findings filter does catch a broken message: a host name option whose
// length runs past the end of the datagram.
TEST_F(ReplyTshark, FindingsFilterCatchesABrokenMessage) {
  ServerUnderTest server;
  server.SetDeviceHostname("");
  ASSERT_NE(ServeBootp(Message(RequestBytes({}, {255})), server.context), nullptr);
  ASSERT_EQ(server.sender.sent.size(), 1u);
  SentDatagram broken = server.sender.sent[0];
  broken.bytes[240] = 12;   // host name
  broken.bytes[241] = 200;  // 200 bytes, but only 58 follow
  WriteCapture({broken});
  EXPECT_EQ(Tshark(kFindingsFilter), "1\n");
}

}  // namespace
}  // namespace corvessa::reply_test
