// What a real dissector makes of the requests: a whole Enable BOOTP/DHCP run
// against the simulated device is written, request and reply as recorded,
// into a capture file of TCP segments and read back with tshark, which must
// decode every request with its service, class, instance and attribute and
// flag nothing as malformed. The capture is written by hand; nothing extra is
// sent anywhere.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "enip/commissioning.h"
#include "tests/enip/enip_fixture.h"
#include "tests/support/netns.h"

namespace corvessa::enip_test {
namespace {

namespace fs = std::filesystem;
using enipsim::DeviceConfig;
using enipsim::DeviceSim;

void Le16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Le32(Bytes& out, std::uint32_t v) {
  Le16(out, static_cast<std::uint16_t>(v));
  Le16(out, static_cast<std::uint16_t>(v >> 16));
}
void Be16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
void Be32(Bytes& out, std::uint32_t v) {
  Be16(out, static_cast<std::uint16_t>(v >> 16));
  Be16(out, static_cast<std::uint16_t>(v));
}

std::uint16_t Ipv4Checksum(const Bytes& header) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < header.size(); i += 2) sum += (std::uint32_t{header[i]} << 8) | header[i + 1];
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

// One direction of a TCP connection between 127.0.0.1 ports.
struct Endpoint {
  std::uint16_t port;
  std::uint32_t seq;
};

class Capture {
 public:
  Capture() {
    Le32(file_, 0xA1B2C3D4);  // magic: microsecond time stamps
    Le16(file_, 2);           // version major
    Le16(file_, 4);           // version minor
    Le32(file_, 0);           // time zone offset
    Le32(file_, 0);           // time stamp accuracy
    Le32(file_, 65535);       // snapshot length
    Le32(file_, 1);           // link type: Ethernet
  }

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
    const std::uint16_t checksum = Ipv4Checksum(ip);
    ip[10] = static_cast<std::uint8_t>(checksum >> 8);
    ip[11] = static_cast<std::uint8_t>(checksum);

    Bytes frame(12, 0);                                          // MAC addresses: 0 on loopback
    Be16(frame, 0x0800);                                         // EtherType: IPv4
    frame.insert(frame.end(), ip.begin(), ip.end());
    frame.insert(frame.end(), tcp.begin(), tcp.end());

    Le32(file_, ++second_);                                      // seconds
    Le32(file_, 0);                                              // microseconds
    Le32(file_, static_cast<std::uint32_t>(frame.size()));       // captured length
    Le32(file_, static_cast<std::uint32_t>(frame.size()));       // original length
    file_.insert(file_.end(), frame.begin(), frame.end());
  }

  Bytes file_;
  std::uint16_t ident_ = 0;
  std::uint32_t second_ = 0;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class EnipTshark : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::Run("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "tshark is not installed";
    char pattern[] = "/tmp/corvessa-enip-tshark-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // tshark with an empty profile of its own; its exit status must be 0, so an
  // empty answer means "nothing matched", never "tshark refused".
  std::string Tshark(const std::string& arguments) {
    const std::string out = testsupport::RunOutput(
        "HOME='" + dir_.string() + "' XDG_CONFIG_HOME='" + dir_.string() + "' tshark -n -r '" +
        capture_.string() + "' -d tcp.port==" + std::to_string(port_) + ",enip " + arguments +
        " 2>/dev/null; echo \"exit=$?\"");
    const auto at = out.rfind("exit=");
    EXPECT_NE(at, std::string::npos) << arguments;
    if (at == std::string::npos) return out;
    EXPECT_EQ(out.substr(at), "exit=0\n") << arguments;
    return out.substr(0, at);
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
    capture_ = dir_ / "enip.pcap";
    std::ofstream out(capture_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(capture.File().data()),
              static_cast<std::streamsize>(capture.File().size()));
    ASSERT_TRUE(out.good());
  }

  fs::path dir_;
  fs::path capture_;
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
