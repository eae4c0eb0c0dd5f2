// The server runtime's real socket when things are not ordinary: unknown
// devices, another program on port 67, over-long datagrams, and the reset
// message as the client side sees it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "core/strings.h"
#include "server/port67_owners.h"
#include "tests/net/net_harness.h"

namespace corvessa::nettest {
namespace {

class ServerFaults : public NetFixture {
 protected:
  ServerFaults() : NetFixture("flt") {}

  // A UDP socket created inside the client namespace (it stays there when
  // the thread returns to the server namespace).
  int ClientSocket(std::uint16_t bindPort) const {
    testsupport::NamespaceGuard inClient(link_.clientNs);
    if (!inClient.ok()) return -1;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bindPort == 0) return fd;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(bindPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      close(fd);
      return -1;
    }
    return fd;
  }

  // Sends one datagram from the client namespace to the server's port 67.
  bool SendFromClient(const std::vector<std::uint8_t>& bytes) const {
    const int fd = ClientSocket(0);
    if (fd < 0) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(67);
    inet_pton(AF_INET, kServerAddress, &to.sin_addr);
    const ssize_t n = sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    close(fd);
    return n == static_cast<ssize_t>(bytes.size());
  }

  void GiveClientAnAddress() {
    ASSERT_EQ(testsupport::Run(InClient("ip addr add " + std::string(kClientAddress) + "/24 dev " + link_.clientIf)),
              0);
  }

  std::string UdhcpcCommand() const {
    return InClient("busybox udhcpc -i " + link_.clientIf + " -n -q -f -t 3 -T 1 -s /bin/true >/dev/null 2>&1");
  }
};

// A BOOTP request (no option 53) from 00:11:22:33:44:55, `size` bytes long.
std::vector<std::uint8_t> BootpRequest(std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0);
  bytes[0] = 1;  // op BOOTREQUEST
  bytes[1] = 1;  // htype Ethernet
  bytes[2] = 6;  // hlen
  const std::uint8_t mac[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  std::copy(std::begin(mac), std::end(mac), bytes.begin() + 28);
  const std::uint8_t cookie[] = {99, 130, 83, 99};
  std::copy(std::begin(cookie), std::end(cookie), bytes.begin() + 236);
  return bytes;
}

TEST_F(ServerFaults, UnlistedClientGetsNoReplyAndShowsRisingCounts) {
  ASSERT_TRUE(StartOnServerVeth());
  std::vector<std::string> counts;
  const int status = RunClientWhileServing(UdhcpcCommand(), 20s, [&] {
    if (history_.RowCount() > 0) counts.push_back(history_.Row(0).count);
  });

  EXPECT_NE(status, 0) << "udhcpc got a lease from a server that does not know it";
  ASSERT_GE(counts.size(), 2u);
  for (std::size_t i = 0; i < counts.size(); ++i) EXPECT_EQ(counts[i], std::to_string(i + 1));
  EXPECT_EQ(runtime_->RequestCounter(), counts.size());
  ASSERT_EQ(history_.RowCount(), 1);
  EXPECT_EQ(history_.Row(0).mac, "02:00:00:77:00:02");
  EXPECT_EQ(history_.Row(0).type, "DHCP");
  EXPECT_EQ(history_.Row(0).ipAddress, "");
  EXPECT_EQ(owner_.LastStatus(), "Unable to service DHCP request from 02:00:00:77:00:02.");
}

TEST_F(ServerFaults, AnotherProgramOnPort67StopsTheStartNamingIt) {
  if (!HasTool("/usr/bin/python3")) GTEST_SKIP() << "tool not installed: /usr/bin/python3";
  // Ends on its own after 30 s should the test be cut short.
  Background holder(InServer("/usr/bin/python3 -c \"import socket, time; s = socket.socket(socket.AF_INET, "
                             "socket.SOCK_DGRAM); s.bind(('0.0.0.0', 67)); time.sleep(30)\""),
                    Temp("holder.out"), Temp("holder.err"));
  // This thread is in the server namespace, so it sees the holder's socket.
  ASSERT_TRUE(WaitUntil([] { return !FindPort67Owners().empty(); }, 10s))
      << "the holder did not bind port 67: " << ReadWholeFile(Temp("holder.err"));

  EXPECT_FALSE(StartOnServerVeth());
  EXPECT_EQ(fatalExits_, 1);
  EXPECT_FALSE(runtime_->HasSocket());
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].text,
            "The BOOTP/DHCP is unable to function because port 67 is being used by another process:\n\n"
            " - python3, PID: " +
                std::to_string(holder.Pid()) +
                ";\n"
                "\n"
                "Please close this process and restart the application.");
  EXPECT_EQ(prompts_.shown[0].caption, "Network Setup Warning");
  holder.Stop(SIGTERM, 2s);
}

// An over-long datagram, from anyone, is dropped and counted: the socket
// stays bound to the chosen interface, so a listed device asking on another
// network of the host gets no answer, and the chosen one is still served.
TEST_F(ServerFaults, OverlongDatagramKeepsTheSocketOnTheChosenInterface) {
  GiveClientAnAddress();
  ASSERT_TRUE(AddSecondNetwork()) << "could not create the second network";
  ASSERT_TRUE(StartOnServerVeth());
  ListClient();
  const int fd = runtime_->Fd();

  // A datagram of exactly the message size is an ordinary request.
  ASSERT_TRUE(SendFromClient(BootpRequest(kBootpMessageSize)));
  Serve([&] { return !owner_.statuses.empty(); }, 5s);
  EXPECT_EQ(owner_.statuses, std::vector<std::string>{"Unable to service BOOTP request from 00:11:22:33:44:55."});

  // One byte more is dropped.
  owner_.statuses.clear();
  owner_.calls.clear();
  ASSERT_TRUE(SendFromClient(BootpRequest(kBootpMessageSize + 1)));
  Serve([&] { return !owner_.statuses.empty(); }, 5s);
  EXPECT_EQ(owner_.statuses,
            std::vector<std::string>{"Ignored a datagram of 2285 bytes from 192.168.77.2: longer than any BOOTP/DHCP "
                                     "request (1 so far)."});
  EXPECT_EQ(owner_.calls, std::vector<std::string>{"status"});
  EXPECT_EQ(runtime_->Fd(), fd);
  EXPECT_EQ(runtime_->OversizedDatagrams(), 1u);
  EXPECT_EQ(runtime_->RequestCounter(), 1u);

  // The listed device on the other network asks in vain: nothing hears it.
  const std::string onSecond = testsupport::InNs(
      secondClientNs_, "busybox udhcpc -i " + secondClientIf_ + " -n -q -f -t 2 -T 1 -s /bin/true >/dev/null 2>&1");
  EXPECT_NE(RunClientWhileServing(onSecond, 15s), 0) << "a device on another network was served";
  EXPECT_EQ(runtime_->RequestCounter(), 1u);

  EXPECT_EQ(RunClientWhileServing(UdhcpcCommand(), 20s), 0) << "no lease on the chosen interface";
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02");
}

TEST_F(ServerFaults, ResetMessageReachesTheClientAsBroadcast) {
  ASSERT_TRUE(StartOnServerVeth());
  ListClient();
  auto second = std::make_unique<Relation>();
  const std::uint8_t secondMac[] = {0x02, 0x00, 0x00, 0x77, 0x00, 0x03};
  std::copy(std::begin(secondMac), std::end(secondMac), second->hardwareAddress.begin());
  second->hardwareAddressLength = 6;
  second->ipAddress = 0xC0A84D33;
  table_.Append(std::move(second));

  const int listener = ClientSocket(68);
  ASSERT_GE(listener, 0) << "no listener on port 68 in the client namespace";
  EXPECT_TRUE(runtime_->SendForceRenew({table_.At(0), table_.At(1)}));

  struct Received {
    std::vector<std::uint8_t> bytes;
    std::string source;
  };
  std::vector<Received> received;
  const auto end = Clock::now() + 5s;
  while (received.size() < 2 && Clock::now() < end) {
    pollfd entry{listener, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    std::vector<std::uint8_t> buffer(4096);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n =
        recvfrom(listener, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) continue;
    buffer.resize(static_cast<std::size_t>(n));
    char address[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
    received.push_back({buffer, std::string(address) + ":" + std::to_string(ntohs(from.sin_port))});
  }
  close(listener);

  ASSERT_EQ(received.size(), 2u);
  const std::vector<std::uint8_t> xids[] = {{0x01, 0x00, 0x00, 0x00}, {0x02, 0x00, 0x00, 0x00}};
  for (std::size_t i = 0; i < received.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& bytes = received[i].bytes;
    ASSERT_EQ(bytes.size(), kBootpReplySize);
    EXPECT_EQ(received[i].source, "192.168.77.1:67");
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 4, bytes.begin() + 8), xids[i]);       // xid
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 240, bytes.begin() + 244),             // 53 = 9, End
              (std::vector<std::uint8_t>{53, 1, 9, 255}));
  }
  EXPECT_EQ(std::vector<std::uint8_t>(received[1].bytes.begin() + 28, received[1].bytes.begin() + 34),
            std::vector<std::uint8_t>(std::begin(secondMac), std::end(secondMac)));
  EXPECT_EQ(owner_.LastStatus(), "Sent network reset message (DHCP FORCE_RENEW) to 02:00:00:77:00:03");
}

}  // namespace
}  // namespace corvessa::nettest
