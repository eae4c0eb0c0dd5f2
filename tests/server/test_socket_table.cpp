// The kernel's UDP socket table as sock_diag answers it, parsed from reply
// buffers written here record by record, and cut at every length.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>

#include <cstring>
#include <vector>

#include "server/socket_table.h"

namespace corvessa {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename T>
void Append(Bytes& bytes, const T& record) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&record);
  bytes.insert(bytes.end(), p, p + sizeof record);
  bytes.resize(NLMSG_ALIGN(bytes.size()), 0);
}

// One SOCK_DIAG_BY_FAMILY message with an inet_diag_msg.
Bytes DiagMessage(std::uint8_t family, std::uint16_t port, std::uint32_t address, std::uint32_t device,
                  std::uint32_t uid, std::uint32_t inode) {
  nlmsghdr header{};
  header.nlmsg_len = NLMSG_LENGTH(sizeof(inet_diag_msg));
  header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  header.nlmsg_flags = NLM_F_MULTI;
  inet_diag_msg record{};
  record.idiag_family = family;
  record.idiag_state = 7;  // TCP_CLOSE: an unconnected UDP socket
  record.id.idiag_sport = htons(port);
  record.id.idiag_src[0] = htonl(address);
  record.id.idiag_if = device;
  record.idiag_uid = uid;
  record.idiag_inode = inode;
  Bytes bytes;
  Append(bytes, header);
  Append(bytes, record);
  return bytes;
}

Bytes ControlMessage(std::uint16_t type) {
  nlmsghdr header{};
  header.nlmsg_len = NLMSG_LENGTH(sizeof(int));
  header.nlmsg_type = type;
  Bytes bytes;
  Append(bytes, header);
  Append(bytes, 0);
  return bytes;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(SockDiagReply, KeepsTheIpv4SocketsOnThePortWithUserInodeAndDevice) {
  const Bytes reply = Joined({
      DiagMessage(AF_INET, 67, 0, 0, 0, 5001),                 // 0.0.0.0:67, no device, root
      DiagMessage(AF_INET, 68, 0, 0, 0, 5002),                 // another port
      DiagMessage(AF_INET6, 67, 0, 0, 0, 5003),                // another family
      DiagMessage(AF_INET, 67, 0xC0A87A01, 4, 115, 5004),      // 192.168.122.1:67 on device 4, uid 115
      ControlMessage(NLMSG_DONE),
  });
  std::vector<UdpSocketEntry> sockets;
  EXPECT_EQ(ParseSockDiagReply(reply, 67, sockets), DiagPart::Done);
  ASSERT_EQ(sockets.size(), 2u);
  EXPECT_EQ(sockets[0].inode, 5001u);
  EXPECT_EQ(sockets[0].boundDevice, 0);
  EXPECT_EQ(sockets[0].uid, 0u);
  EXPECT_EQ(sockets[1].localAddress, 0xC0A87A01u);
  EXPECT_EQ(sockets[1].localPort, 67);
  EXPECT_EQ(sockets[1].boundDevice, 4);
  EXPECT_EQ(sockets[1].uid, 115u);
  EXPECT_EQ(sockets[1].inode, 5004u);
}

TEST(SockDiagReply, TellsMoreFromDoneAndError) {
  std::vector<UdpSocketEntry> sockets;
  EXPECT_EQ(ParseSockDiagReply(DiagMessage(AF_INET, 67, 0, 0, 0, 1), 67, sockets), DiagPart::More);
  EXPECT_EQ(ParseSockDiagReply(ControlMessage(NLMSG_ERROR), 67, sockets), DiagPart::Error);
  EXPECT_EQ(ParseSockDiagReply({}, 67, sockets), DiagPart::More);
}

// Every cut of a reply: no read past the end, only whole records kept, and
// never an end of dump that did not arrive.
TEST(SockDiagReply, CutAtEveryLengthKeepsOnlyWholeRecords) {
  const Bytes first = DiagMessage(AF_INET, 67, 0, 0, 0, 7001);
  const Bytes reply = Joined({first, DiagMessage(AF_INET, 67, 0, 2, 0, 7002), ControlMessage(NLMSG_DONE)});
  for (std::size_t length = 0; length < reply.size(); ++length) {
    SCOPED_TRACE(length);
    const Bytes cut(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(length));
    std::vector<UdpSocketEntry> sockets;
    const DiagPart part = ParseSockDiagReply(cut, 67, sockets);
    EXPECT_NE(part, DiagPart::Done);
    EXPECT_LE(sockets.size(), length / first.size());
  }
}

TEST(SockDiagReply, RecordTooShortForItsMessageIsAnError) {
  nlmsghdr header{};
  header.nlmsg_len = NLMSG_LENGTH(8);  // claims a record of 8 bytes only
  header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  Bytes reply;
  Append(reply, header);
  reply.resize(header.nlmsg_len, 0);
  std::vector<UdpSocketEntry> sockets;
  EXPECT_EQ(ParseSockDiagReply(reply, 67, sockets), DiagPart::Error);
  EXPECT_TRUE(sockets.empty());
}

}  // namespace
}  // namespace corvessa
