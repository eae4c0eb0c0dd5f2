// The replies as a real dissector sees them: every message the server builds
// is written into a capture file and read back with tshark, which must decode
// each as BOOTP/DHCP with the expected fields and flag nothing as malformed.
// Nothing is sent anywhere; the capture is written by hand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "server/reply.h"
#include "tests/server/reply_fixture.h"
#include "tests/support/netns.h"

namespace corvessa::reply_test {
namespace {

namespace fs = std::filesystem;
using testsupport::RunOutput;

void AppendLe16(Bytes& out, std::uint16_t v) { Append(out, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
void AppendLe32(Bytes& out, std::uint32_t v) {
  AppendLe16(out, static_cast<std::uint16_t>(v));
  AppendLe16(out, static_cast<std::uint16_t>(v >> 16));
}
void AppendBe16(Bytes& out, std::uint16_t v) { Append(out, {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)}); }

// One's-complement sum of the 16-bit words of an IPv4 header.
std::uint16_t Ipv4Checksum(const Bytes& header) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < header.size(); i += 2) sum += (std::uint32_t{header[i]} << 8) | header[i + 1];
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

Bytes PcapGlobalHeader() {
  Bytes b;
  AppendLe32(b, 0xA1B2C3D4);  // magic: microsecond time stamps
  AppendLe16(b, 2);           // version major
  AppendLe16(b, 4);           // version minor
  AppendLe32(b, 0);           // time zone offset
  AppendLe32(b, 0);           // time stamp accuracy
  AppendLe32(b, 65535);       // snapshot length
  AppendLe32(b, 1);           // link type: Ethernet
  return b;
}

// Ethernet II / IPv4 / UDP 67 -> 68 around one datagram, with its record header.
Bytes PcapRecord(const SentDatagram& datagram, std::uint32_t second) {
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
  const std::uint16_t checksum = Ipv4Checksum(ip);
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

  Bytes record;
  AppendLe32(record, second);                                   // seconds
  AppendLe32(record, 0);                                        // microseconds
  AppendLe32(record, static_cast<std::uint32_t>(frame.size())); // captured length
  AppendLe32(record, static_cast<std::uint32_t>(frame.size())); // original length
  record.insert(record.end(), frame.begin(), frame.end());
  return record;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ReplyTshark : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::Run("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "tshark is not installed";
    char pattern[] = "/tmp/corvessa-reply-tshark-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // tshark with its own empty profile folder, so nothing of the user's set-up applies.
  // An empty answer must mean "nothing matched", never "tshark refused the
  // filter", so its exit status is checked too.
  std::string Tshark(const std::string& arguments) {
    const std::string out = RunOutput("HOME='" + dir_.string() + "' XDG_CONFIG_HOME='" + dir_.string() +
                                      "' tshark -n -r '" + capture_.string() + "' " + arguments +
                                      " 2>/dev/null; echo \"exit=$?\"");
    const auto at = out.rfind("exit=");
    EXPECT_NE(at, std::string::npos) << arguments;
    if (at == std::string::npos) return out;
    EXPECT_EQ(out.substr(at), "exit=0\n") << arguments;
    return out.substr(0, at);
  }

  static constexpr const char* kFindingsFilter = "-Y '_ws.malformed || _ws.expert.severity >= error' -T fields -e frame.number";

  void WriteCapture(const std::vector<SentDatagram>& datagrams) {
    capture_ = dir_ / "replies.pcap";
    Bytes file = PcapGlobalHeader();
    std::uint32_t second = 1;
    for (const SentDatagram& d : datagrams) {
      const Bytes record = PcapRecord(d, second++);
      file.insert(file.end(), record.begin(), record.end());
    }
    std::ofstream out(capture_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    ASSERT_TRUE(out.good());
  }

  fs::path dir_;
  fs::path capture_;
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

  // The times, server identifier, name servers and domain name of the OFFER and ACKs.
  const std::string dhcpFields = Tshark(
      "-Y 'dhcp.option.dhcp == 2 || dhcp.option.dhcp == 5' -T fields -e frame.number "
      "-e dhcp.option.ip_address_lease_time -e dhcp.option.renewal_time_value "
      "-e dhcp.option.rebinding_time_value -e dhcp.option.dhcp_server_id "
      "-e dhcp.option.domain_name_server -e dhcp.option.domain_name -E separator=, -E aggregator=+");
  const std::vector<std::string> expectedDhcp = {
      "2,4294967295,4294967295,4294967295,192.168.1.5,192.168.1.2+10.9.8.7,plant.local",
      "3,4294967295,4294967295,4294967295,192.168.1.5,192.168.1.2+10.9.8.7,plant.local",
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
