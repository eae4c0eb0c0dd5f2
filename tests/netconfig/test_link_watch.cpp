// rtnetlink messages of interfaces and IPv4 addresses, parsed from buffers
// written here record by record and cut at every length; and the watch on
// a real namespace's interfaces.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "netconfig/link_watch.h"
#include "tests/support/netlink_builder.h"
#include "tests/support/netns.h"

namespace corvessa {

void PrintTo(const LinkEvent& event, std::ostream* out) {
  *out << "{" << static_cast<int>(event.kind) << ", " << event.index << ", " << event.name << ", " << std::hex
       << event.address << "}";
}

namespace {

using testsupport::AppendAttribute;
using testsupport::Bytes;
using testsupport::Joined;
using testsupport::Message;
using testsupport::Text;

Bytes Link(std::uint16_t type, int index, const std::string& name) {
  ifinfomsg info{};
  info.ifi_family = AF_UNSPEC;
  info.ifi_index = index;
  return Message(type, info, {{IFLA_IFNAME, Text(name)}});
}

Bytes Address(std::uint16_t type, unsigned char family, int index, const Bytes& local, const std::string& label) {
  ifaddrmsg info{};
  info.ifa_family = family;
  info.ifa_prefixlen = 24;
  info.ifa_index = static_cast<unsigned>(index);
  return Message(type, info, {{IFA_ADDRESS, local}, {IFA_LOCAL, local}, {IFA_LABEL, Text(label)}});
}

const Bytes kAddress = {192, 168, 77, 9};

TEST(LinkMessages, EachKindGivesItsEvent) {
  const Bytes buffer = Joined({
      Link(RTM_NEWLINK, 7, "enx00e04c"),
      Address(RTM_NEWADDR, AF_INET, 7, kAddress, "enx00e04c"),
      Address(RTM_NEWADDR, AF_INET6, 7, Bytes(16, 0xFE), "enx00e04c"),  // not IPv4: nothing
      Message(RTM_NEWROUTE, rtmsg{}, {}),                               // not a link: nothing
      Address(RTM_DELADDR, AF_INET, 7, kAddress, "enx00e04c"),
      Link(RTM_DELLINK, 7, "enx00e04c"),
  });
  const std::vector<LinkEvent> expected = {
      {LinkEventKind::LinkChanged, 7, "enx00e04c", 0},
      {LinkEventKind::AddressAdded, 7, "enx00e04c", 0xC0A84D09},
      {LinkEventKind::AddressRemoved, 7, "enx00e04c", 0xC0A84D09},
      {LinkEventKind::LinkRemoved, 7, "enx00e04c", 0},
  };
  EXPECT_EQ(ParseLinkMessages(buffer), expected);
}

TEST(LinkMessages, NamesAreCutAtTheirEndAndAtTheLongestName) {
  EXPECT_EQ(ParseLinkMessages(Link(RTM_NEWLINK, 3, std::string(40, 'x'))).at(0).name, std::string(IFNAMSIZ - 1, 'x'));
  ifinfomsg info{};
  info.ifi_index = 4;
  const Bytes unterminated = Message(RTM_NEWLINK, info, {{IFLA_IFNAME, Bytes{'e', 't', 'h'}}});
  EXPECT_EQ(ParseLinkMessages(unterminated).at(0).name, "eth");
}

TEST(LinkMessages, CutAtEveryLengthGivesOnlyWholeMessages) {
  const Bytes first = Link(RTM_NEWLINK, 7, "vs1");
  const Bytes buffer = Joined({first, Address(RTM_NEWADDR, AF_INET, 7, kAddress, "vs1")});
  for (std::size_t length = 0; length <= buffer.size(); ++length) {
    SCOPED_TRACE(length);
    const Bytes cut(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
    const auto events = ParseLinkMessages(cut);
    const std::size_t whole = length == buffer.size() ? 2 : length >= first.size() ? 1 : 0;
    EXPECT_EQ(events.size(), whole);
  }
}

TEST(LinkMessages, AttributeLongerThanItsMessageIsIgnored) {
  Bytes message = Link(RTM_NEWLINK, 9, "eth9");
  // The name attribute's length now reaches past the end of the message.
  rtattr attribute{};
  std::memcpy(&attribute, message.data() + NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifinfomsg)), sizeof attribute);
  attribute.rta_len = 200;
  std::memcpy(message.data() + NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifinfomsg)), &attribute, sizeof attribute);
  const auto events = ParseLinkMessages(message);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].index, 9);
  EXPECT_EQ(events[0].name, "");
}

// The watch on a namespace of the test's own: an interface created, given an
// address and deleted is reported in that order.
TEST(LinkWatchLive, ReportsWhatHappensToAnInterface) {
  if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root to create a network namespace";
  const std::string ns = "cvw" + std::to_string(getpid() % 100000);
  const std::string name = "dw" + std::to_string(getpid() % 100000);
  testsupport::Run("ip netns del " + ns + " >/dev/null 2>&1");
  ASSERT_EQ(testsupport::Run("ip netns add " + ns), 0);
  // Removed however the test ends.
  const std::unique_ptr<const std::string, void (*)(const std::string*)> removal(
      &ns, [](const std::string* name) { testsupport::Run("ip netns del " + *name + " >/dev/null 2>&1"); });
  std::vector<LinkEvent> events;
  {
    testsupport::NamespaceGuard inside(ns);
    ASSERT_TRUE(inside.ok());
    LinkWatch watch;
    ASSERT_TRUE(watch.Open());
    for (const std::string& step : {"ip link add " + name + " type veth peer name " + name + "p",
                                    "ip addr add 10.44.0.1/24 dev " + name,
                                    "ip link del " + name}) {
      ASSERT_EQ(testsupport::Run(testsupport::InNs(ns, step)), 0) << step;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end &&
           (events.empty() || events.back().kind != LinkEventKind::LinkRemoved)) {
      pollfd entry{watch.Fd(), POLLIN, 0};
      if (poll(&entry, 1, 100) > 0) {
        const auto more = watch.Read();
        events.insert(events.end(), more.begin(), more.end());
      }
    }
  }

  std::vector<LinkEventKind> kinds;
  for (const LinkEvent& event : events) {
    if (event.name == name) kinds.push_back(event.kind);
  }
  // The kernel may report a link change more than once; the order holds.
  // Deleting the interface takes its address first.
  kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
  EXPECT_EQ(kinds, (std::vector<LinkEventKind>{LinkEventKind::LinkChanged, LinkEventKind::AddressAdded,
                                               LinkEventKind::AddressRemoved, LinkEventKind::LinkRemoved}));
  const auto added = std::find_if(events.begin(), events.end(),
                                  [](const LinkEvent& e) { return e.kind == LinkEventKind::AddressAdded; });
  ASSERT_NE(added, events.end());
  EXPECT_EQ(added->address, 0x0A2C0001u);
}

}  // namespace
}  // namespace corvessa
