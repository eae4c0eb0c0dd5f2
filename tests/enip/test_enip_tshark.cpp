// What a real dissector makes of the requests: a whole Enable BOOTP/DHCP run
// against the simulated device is written, request and reply as recorded,
// into a capture file of TCP segments and read back with tshark, which must
// decode every request with its service, class, instance and attribute and
// flag nothing as malformed. The capture is written by hand; nothing extra is
// sent anywhere.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "enip/commissioning.h"
#include "tests/enip/enip_fixture.h"
#include "tests/support/tshark.h"

namespace corvessa::enip_test {
namespace {

using testsupport::Lines;
using enipsim::DeviceConfig;
using enipsim::DeviceSim;

void Be16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
void Be32(Bytes& out, std::uint32_t v) {
  Be16(out, static_cast<std::uint16_t>(v >> 16));
  Be16(out, static_cast<std::uint16_t>(v));
}

// One direction of a TCP connection between 127.0.0.1 ports.
struct Endpoint {
  std::uint16_t port;
  std::uint32_t seq;
};

class Capture {
 public:
  Capture() : file_(testsupport::PcapFileHeader()) {}

  // Handshake; afterwards `client` and `server` carry their next sequence numbers.
  void Open(Endpoint& client, Endpoint& server) {
    Segment(client, server, kSyn, {});
    ++client.seq;
    Segment(server, client, kSyn | kAck, {});
    ++server.seq;
    Segment(client, server, kAck, {});
  }
  void Data(Endpoint& from, const Endpoint& to, const Bytes& payload) {
    Segment(from, to, kPsh | kAck, payload);
    from.seq += static_cast<std::uint32_t>(payload.size());
  }
  const Bytes& File() const { return file_; }

 private:
  static constexpr std::uint8_t kSyn = 0x02;
  static constexpr std::uint8_t kPsh = 0x08;
  static constexpr std::uint8_t kAck = 0x10;

  void Segment(const Endpoint& from, const Endpoint& to, std::uint8_t flags, const Bytes& payload) {
    Bytes tcp;
    Be16(tcp, from.port);                     // source port
    Be16(tcp, to.port);                       // destination port
    Be32(tcp, from.seq);                      // sequence number
    Be32(tcp, (flags & kAck) ? to.seq : 0);   // acknowledgement number
    tcp.push_back(0x50);                      // header length: 5 words
    tcp.push_back(flags);                     // flags
    Be16(tcp, 65535);                         // window
    Be16(tcp, 0);                             // checksum: not checked by tshark
    Be16(tcp, 0);                             // urgent pointer
    tcp.insert(tcp.end(), payload.begin(), payload.end());

    Bytes ip;
    ip.push_back(0x45);                                          // version 4, 5 words
    ip.push_back(0x00);                                          // DSCP/ECN
    Be16(ip, static_cast<std::uint16_t>(20 + tcp.size()));       // total length
    Be16(ip, ++ident_);                                          // identification
    Be16(ip, 0x4000);                                            // don't fragment
    ip.push_back(64);                                            // TTL
    ip.push_back(6);                                             // protocol: TCP
    Be16(ip, 0);                                                 // checksum, below
    Be32(ip, kLoopback);                                         // source
    Be32(ip, kLoopback);                                         // destination
    const std::uint16_t checksum = testsupport::Ipv4HeaderChecksum(ip);
    ip[10] = static_cast<std::uint8_t>(checksum >> 8);
    ip[11] = static_cast<std::uint8_t>(checksum);

    Bytes frame(12, 0);                                          // MAC addresses: 0 on loopback
    Be16(frame, 0x0800);                                         // EtherType: IPv4
    frame.insert(frame.end(), ip.begin(), ip.end());
    frame.insert(frame.end(), tcp.begin(), tcp.end());

    testsupport::AppendPcapRecord(file_, ++second_, frame);
  }

  Bytes file_;
  std::uint16_t ident_ = 0;
  std::uint32_t second_ = 0;
};

class EnipTshark : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HasTshark()) GTEST_SKIP() << "tshark is not installed";
    ASSERT_TRUE(tshark_.ok());
  }

  // The simulated device's port decodes as EtherNet/IP.
  std::string Tshark(const std::string& arguments) {
    return tshark_.Read("-d tcp.port==" + std::to_string(port_) + ",enip " + arguments);
  }

  void Write(const DeviceSim& sim) {
    const auto requests = sim.Requests();
    const auto replies = sim.Replies();
    ASSERT_EQ(requests.size(), replies.size());
    Capture capture;
    Endpoint client{}, server{};
    int connection = -1;
    for (std::size_t i = 0; i < requests.size(); ++i) {
      if (requests[i].connection != connection) {
        connection = requests[i].connection;
        client = {static_cast<std::uint16_t>(1024 + connection), 1000};
        server = {port_, 5000};
        capture.Open(client, server);
      }
      capture.Data(client, server, requests[i].bytes);
      capture.Data(server, client, replies[i]);
    }
    ASSERT_TRUE(tshark_.Write(capture.File()));
  }

  testsupport::TsharkCapture tshark_;
  std::uint16_t port_ = 0;
};

TEST_F(EnipTshark, EnableRunDecodes) {
  DeviceConfig config;
  config.sessionHandle = 0x0000ABCD;
  config.maxInstance = 2;
  config.physicalLinks[1] = {0x02, 0x00, 0x20, 0xF6, 0x24, 0x01};
  config.physicalLinks[2] = {0x02, 0x00, 0x20, 0xF6, 0x24, 0x02};
  config.physicalAddresses[1] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
  config.physicalAddresses[2] = Bytes(kDeviceMac.begin(), kDeviceMac.end());
  config.configurationControl = 0x10;
  DeviceSim sim(config);
  ASSERT_TRUE(sim.ok());
  port_ = sim.Port();
  Harness harness(sim.Port());
  const Relation relation = MakeRelation();
  const Relation* selected[] = {&relation};
  EnableBootpDhcp(selected, harness.context);
  ASSERT_EQ(harness.Last(), "[Enable DHCP] Command successful");
  Write(sim);

  const std::string port = std::to_string(port_);
  const std::string requests = Tshark(
      "-Y 'enip && tcp.dstport == " + port + "' -T fields -e enip.command -e enip.session "
      "-e cip.sc -e cip.class -e cip.instance -e cip.attribute -E separator=,");
  const std::vector<std::string> expectedRequests = {
      // command, session, service, class, instance, attribute
      "0x0065,0x00000000,,,,",              // Register Session (discovery)
      "0x006f,0x0000abcd,0x0e,0xf5,0x00,2",  // Max Instance
      "0x006f,0x0000abcd,0x0e,0xf5,0x01,4",  // Physical Link of instance 1
      "0x006f,0x0000abcd,0x0e,0xf5,0x02,4",  // Physical Link of instance 2
      "0x006f,0x0000abcd,0x0e,0xf6,0x01,3",  // Physical Address of link 1
      "0x006f,0x0000abcd,0x0e,0xf6,0x02,3",  // Physical Address of link 2
      "0x0065,0x00000000,,,,",              // Register Session (command)
      "0x006f,0x0000abcd,0x0e,0xf5,0x02,3",  // Configuration Control read
      "0x006f,0x0000abcd,0x10,0xf5,0x02,3",  // Configuration Control write
  };
  EXPECT_EQ(Lines(requests), expectedRequests) << requests;

  // The simulated device's replies decode as well: replies, status 0.
  const std::string replies = Tshark(
      "-Y 'enip && tcp.srcport == " + port + "' -T fields -e enip.command -e enip.status "
      "-e cip.rr -e cip.genstat -E separator=,");
  std::vector<std::string> expectedReplies(9, "0x006f,0x00000000,0x01,0x00");
  expectedReplies[0] = expectedReplies[6] = "0x0065,0x00000000,,";
  EXPECT_EQ(Lines(replies), expectedReplies) << replies;

  const std::string findings = Tshark("-Y '_ws.malformed || _ws.expert.severity >= error' -T fields -e frame.number");
  EXPECT_EQ(findings, "") << "frames flagged by tshark";
}

}  // namespace
}  // namespace corvessa::enip_test
