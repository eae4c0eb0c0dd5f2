// The kernel's neighbour table: RTM_NEWNEIGH messages written here record by
// record and cut at every length, the confidence of each entry state, and the
// table of a real namespace.

#include <gtest/gtest.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include <optional>
#include <string>
#include <vector>

#include "netconfig/neighbour_table.h"
#include "tests/support/netlink_builder.h"
#include "tests/support/netns.h"

namespace corvessa {

void PrintTo(const NeighbourEntry& entry, std::ostream* out) {
  *out << "{" << entry.index << ", " << std::hex << entry.address << ", " << (entry.mac ? "mac" : "no mac") << ", "
       << entry.state << "}";
}

namespace {

using testsupport::Bytes;
using testsupport::Joined;
using testsupport::Message;

const Bytes kAddress = {192, 168, 79, 20};
const Bytes kMac = {0x02, 0x00, 0x00, 0x79, 0x00, 0x20};
const HardwareAddress kMacArray = {0x02, 0x00, 0x00, 0x79, 0x00, 0x20};

Bytes Neighbour(unsigned char family, int index, std::uint16_t state,
                const std::vector<std::pair<unsigned short, Bytes>>& attributes) {
  ndmsg info{};
  info.ndm_family = family;
  info.ndm_ifindex = index;
  info.ndm_state = state;
  return Message(RTM_NEWNEIGH, info, attributes);
}

TEST(NeighbourMessages, EachShapeGivesItsEntry) {
  const Bytes buffer = Joined({
      Neighbour(AF_INET, 7, NUD_REACHABLE, {{NDA_DST, kAddress}, {NDA_LLADDR, kMac}}),
      Neighbour(AF_INET, 7, NUD_INCOMPLETE, {{NDA_DST, {192, 168, 79, 21}}}),           // no MAC yet
      Neighbour(AF_INET, 8, NUD_STALE, {{NDA_DST, {10, 0, 0, 1}}, {NDA_LLADDR, {1, 2, 3, 4}}}),  // not six bytes
      Neighbour(AF_INET6, 7, NUD_REACHABLE, {{NDA_DST, Bytes(16, 0xFE)}, {NDA_LLADDR, kMac}}),  // not IPv4
      Neighbour(AF_INET, 7, NUD_REACHABLE, {{NDA_LLADDR, kMac}}),                                // no address
      Neighbour(AF_INET, 7, NUD_REACHABLE, {{NDA_DST, {192, 168, 79}}, {NDA_LLADDR, kMac}}),    // short address
      Message(RTM_NEWROUTE, rtmsg{}, {}),                                                        // not a neighbour
  });
  const std::vector<NeighbourEntry> expected = {
      {7, 0xC0A84F14, kMacArray, NUD_REACHABLE},
      {7, 0xC0A84F15, std::nullopt, NUD_INCOMPLETE},
      {8, 0x0A000001, std::nullopt, NUD_STALE},
  };
  EXPECT_EQ(ParseNeighbourMessages(buffer), expected);
}

TEST(NeighbourMessages, CutAtEveryLengthGivesOnlyWholeMessages) {
  const Bytes first = Neighbour(AF_INET, 7, NUD_REACHABLE, {{NDA_DST, kAddress}, {NDA_LLADDR, kMac}});
  const Bytes buffer = Joined({first, Neighbour(AF_INET, 7, NUD_STALE, {{NDA_DST, {192, 168, 79, 22}}})});
  for (std::size_t length = 0; length <= buffer.size(); ++length) {
    SCOPED_TRACE(length);
    const Bytes cut(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
    const std::size_t whole = length == buffer.size() ? 2 : length >= first.size() ? 1 : 0;
    EXPECT_EQ(ParseNeighbourMessages(cut).size(), whole);
  }
}

TEST(NeighbourMessages, DoneEndsTheDump) {
  nlmsghdr done{};
  done.nlmsg_len = sizeof done;
  done.nlmsg_type = NLMSG_DONE;
  Bytes doneBytes(sizeof done);
  std::memcpy(doneBytes.data(), &done, sizeof done);
  const Bytes buffer = Joined({doneBytes, Neighbour(AF_INET, 7, NUD_REACHABLE, {{NDA_DST, kAddress}})});
  EXPECT_TRUE(ParseNeighbourMessages(buffer).empty());
}

TEST(NeighbourMessages, ConfidenceOfEachState) {
  struct Case {
    std::uint16_t state;
    bool withMac;
    NeighbourConfidence confidence;
  };
  const Case cases[] = {
      {NUD_REACHABLE, true, NeighbourConfidence::Confirmed}, {NUD_PERMANENT, true, NeighbourConfidence::Confirmed},
      {NUD_STALE, true, NeighbourConfidence::Earlier},       {NUD_DELAY, true, NeighbourConfidence::Earlier},
      {NUD_PROBE, true, NeighbourConfidence::Earlier},       {NUD_INCOMPLETE, true, NeighbourConfidence::None},
      {NUD_FAILED, true, NeighbourConfidence::None},         {NUD_NOARP, true, NeighbourConfidence::None},
      {NUD_NONE, true, NeighbourConfidence::None},           {NUD_REACHABLE, false, NeighbourConfidence::None},
  };
  for (const Case& c : cases) {
    NeighbourEntry entry{7, 0xC0A84F14, c.withMac ? std::optional(kMacArray) : std::nullopt, c.state};
    EXPECT_EQ(ConfidenceOf(entry), c.confidence) << "state " << c.state << (c.withMac ? " with" : " without") << " MAC";
  }
}

TEST(NeighbourTableLive, ReadsTheEntriesOfOneInterface) {
  if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root to create a network namespace";
  testsupport::VethLink link;
  ASSERT_TRUE(testsupport::CreateVethLink(link, "nb", "192.168.79.1")) << "could not create the namespaces";
  struct Cleanup {
    testsupport::VethLink& link;
    ~Cleanup() { testsupport::DestroyVethLink(link); }
  } cleanup{link};
  const std::string dev = " dev " + link.serverIf;
  for (const std::string& step : {
           "ip neigh add 192.168.79.20 lladdr 02:00:00:79:00:20 nud permanent" + dev,
           "ip neigh add 192.168.79.21 lladdr 02:00:00:79:00:21 nud stale" + dev,
           "ip neigh add 192.168.79.22 lladdr 02:00:00:79:00:22 nud noarp" + dev,
           // On another interface of the namespace: never reported for this one.
           std::string("ip neigh add 127.0.0.9 lladdr 02:00:00:79:00:09 nud permanent dev lo"),
       }) {
    ASSERT_EQ(testsupport::Run(testsupport::InNs(link.serverNs, step)), 0) << step;
  }
  testsupport::NamespaceGuard inside(link.serverNs);
  ASSERT_TRUE(inside.ok());
  const int index = static_cast<int>(if_nametoindex(link.serverIf.c_str()));
  ASSERT_NE(index, 0);

  const auto entries = ReadNeighbours(index);
  ASSERT_TRUE(entries);
  for (const NeighbourEntry& entry : *entries) EXPECT_EQ(entry.index, index);
  const NeighbourEntry* permanent = FindNeighbour(*entries, 0xC0A84F14);
  ASSERT_NE(permanent, nullptr);
  EXPECT_EQ(permanent->mac, kMacArray);
  EXPECT_EQ(ConfidenceOf(*permanent), NeighbourConfidence::Confirmed);
  EXPECT_EQ(FindNeighbour(*entries, 0x7F000009), nullptr);

  EXPECT_EQ(NeighbourMac(link.serverIf, 0xC0A84F14), kMacArray);
  const HardwareAddress stale = {0x02, 0x00, 0x00, 0x79, 0x00, 0x21};
  EXPECT_EQ(NeighbourMac(link.serverIf, 0xC0A84F15), stale);
  EXPECT_EQ(NeighbourMac(link.serverIf, 0xC0A84F16), std::nullopt) << "a noarp entry names no device";
  EXPECT_EQ(NeighbourMac(link.serverIf, 0xC0A84F17), std::nullopt) << "no entry";
  EXPECT_EQ(NeighbourMac("lo", 0xC0A84F14), std::nullopt) << "another interface";
  EXPECT_EQ(NeighbourMac("nosuchif0", 0xC0A84F14), std::nullopt);
}

}  // namespace
}  // namespace corvessa
