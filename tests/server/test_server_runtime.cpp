// The server runtime without a socket: request handling driven through
// HandleDatagram, the reset message, Clear History and the fatal start-up paths.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <memory>

#include "core/strings.h"
#include "server/server_runtime.h"
#include "tests/server/runtime_fixture.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

using testing_runtime::RecordingOwner;
using testing_runtime::RecordingSender;
using testsupport::ScriptedHost;
using testsupport::TempFolder;

using Mac = std::array<std::uint8_t, 6>;
constexpr Mac kListedMac = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
constexpr Mac kSecondMac = {0x00, 0x1D, 0x9C, 0x00, 0x00, 0x07};
constexpr Mac kUnlistedMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
constexpr std::uint32_t kListedIp = 0xC0A80132;  // 192.168.1.50

using testing_runtime::MakeRelation;
using testing_runtime::Request;

// A history whose view can refuse to delete its rows.
class RefusingHistory final : public HistoryList {
 public:
  bool DeleteAll() override { return refuse ? false : HistoryList::DeleteAll(); }
  bool refuse = false;
};

class Runtime : public ::testing::Test {
 protected:
  Runtime()
      : folder_("runtime"), runtime_(table_, settings_, history_, owner_, host_) {
    host_.hostName = "corvessa-test";  // the server identity's name in these tests
    settings_.subnetMask = 0xFFFFFF00;
    table_.Append(MakeRelation(kListedMac, kListedIp, "plc1"));
    runtime_.SetSender(&sender_);
    runtime_.SetClock([] { return LocalTime{9, 5, 3}; });
    // An empty /proc: no other program holds port 67 here.
    std::filesystem::create_directories(folder_.Path() / "proc" / "net");
    std::ofstream(folder_.Path() / "proc" / "net" / "udp") << "  sl  local_address rem_address\n";
    runtime_.SetProcRoot((folder_.Path() / "proc").string());
  }

  void Feed(const std::vector<std::uint8_t>& datagram) {
    owner_.Show(runtime_.HandleDatagram(datagram.data(), datagram.size()));
  }

  TempFolder folder_;
  RelationTable table_;
  NetworkSettings settings_;
  RefusingHistory history_;
  RecordingOwner owner_;
  ScriptedHost host_;
  RecordingSender sender_;
  ServerRuntime runtime_;
};

// --- Request handling ---

TEST_F(Runtime, ReplyMessageLeavesNoTrace) {
  Feed(Request(kListedMac, {}, 300, /*op=*/2));
  EXPECT_EQ(runtime_.RequestCounter(), 0u);
  EXPECT_EQ(history_.RowCount(), 0);
  EXPECT_TRUE(owner_.statuses.empty());
  EXPECT_TRUE(sender_.sent.empty());
}

TEST_F(Runtime, FullSizeDatagramIsProcessed) {
  Feed(Request(kUnlistedMac, {}, kBootpMessageSize));
  EXPECT_EQ(owner_.statuses, std::vector<std::string>{"Unable to service BOOTP request from 00:11:22:33:44:55."});
  EXPECT_EQ(runtime_.RequestCounter(), 1u);
  ASSERT_EQ(history_.RowCount(), 1);
  EXPECT_EQ(history_.Row(0), (HistoryEntry{"00:11:22:33:44:55", "BOOTP", "9:05:03", "1", "", ""}));
  EXPECT_TRUE(sender_.sent.empty());
}

// Anyone can send a datagram too long for a request; it is dropped and
// counted, and the socket stays as it is.
TEST_F(Runtime, OverlongDatagramIsDroppedAndCounted) {
  Feed(Request(kListedMac, {}, kBootpMessageSize + 1));
  Feed(Request(kListedMac, {}, 9000));
  EXPECT_EQ(owner_.statuses,
            (std::vector<std::string>{
                "Ignored a datagram of 2285 bytes from 0.0.0.0: longer than any BOOTP/DHCP request (1 so far).",
                "Ignored a datagram of 9000 bytes from 0.0.0.0: longer than any BOOTP/DHCP request (2 so far)."}));
  EXPECT_EQ(owner_.calls, (std::vector<std::string>{"status", "status"}));  // no socket change
  EXPECT_EQ(runtime_.OversizedDatagrams(), 2u);
  EXPECT_EQ(runtime_.RequestCounter(), 0u);
  EXPECT_EQ(history_.RowCount(), 0);
  EXPECT_TRUE(sender_.sent.empty());

  // The next request is served as ever.
  Feed(Request(kListedMac, {}));
  EXPECT_EQ(runtime_.RequestCounter(), 1u);
  EXPECT_EQ(sender_.sent.size(), 1u);
}

TEST_F(Runtime, ServedBootpRequestNamesItsRelation) {
  Feed(Request(kListedMac, {}));
  ASSERT_EQ(sender_.sent.size(), 1u);
  EXPECT_EQ(sender_.sent[0].bytes.size(), kBootpReplySize);
  EXPECT_EQ(sender_.sent[0].destination, (Endpoint{0xFFFFFFFF, 68}));
  EXPECT_EQ(table_.At(0)->type, kRelationTypeBootp);
  EXPECT_EQ(owner_.calls, (std::vector<std::string>{"served", "status"}));
  EXPECT_EQ(owner_.LastStatus(), "Sent 192.168.1.50 to Ethernet address 00:1D:9C:C8:12:34");
  ASSERT_EQ(history_.RowCount(), 1);
  EXPECT_EQ(history_.Row(0), (HistoryEntry{"00:1D:9C:C8:12:34", "BOOTP", "9:05:03", "1", "192.168.1.50", "plc1"}));
}

TEST_F(Runtime, DhcpOutcomes) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> options;
    std::vector<std::size_t> replySizes;
    std::string status;
    std::string historyType;
    std::string historyIp;
    std::uint8_t relationType;
  };
  const std::string unable = "Unable to service DHCP request from 00:1D:9C:C8:12:34.";
  const std::string sent = "Sent 192.168.1.50 to Ethernet address 00:1D:9C:C8:12:34";
  const Case cases[] = {
      {"DISCOVER is offered but not served", {53, 1, 1, 255}, {kDhcpReplySize}, unable, "DHCP", "",
       kRelationTypeDhcp},
      {"REQUEST for its own address is acknowledged",
       {53, 1, 3, 50, 4, 192, 168, 1, 50, 255},
       {kDhcpReplySize},
       sent,
       "DHCP",
       "192.168.1.50",
       kRelationTypeDhcp},
      {"RELEASE gets no reply", {53, 1, 7, 255}, {}, unable, "DHCP", "", kRelationTypeNone},
      {"option 53 without a value is DHCP, unanswered", {53, 0, 255}, {}, unable, "DHCP", "", kRelationTypeNone},
      {"option 53 after a Pad makes a BOOTP request", {0, 53, 1, 1, 255}, {kBootpReplySize}, sent, "BOOTP",
       "192.168.1.50", kRelationTypeBootp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sender_.sent.clear();
    owner_.statuses.clear();
    table_.At(0)->type = kRelationTypeNone;
    Feed(Request(kListedMac, c.options));
    std::vector<std::size_t> sizes;
    for (const auto& s : sender_.sent) sizes.push_back(s.bytes.size());
    EXPECT_EQ(sizes, c.replySizes);
    EXPECT_EQ(owner_.statuses, std::vector<std::string>{c.status});
    ASSERT_GE(history_.RowCount(), 1);
    EXPECT_EQ(history_.Row(0).type, c.historyType);
    EXPECT_EQ(history_.Row(0).ipAddress, c.historyIp);
    EXPECT_EQ(table_.At(0)->type, c.relationType);
  }
}

TEST_F(Runtime, FailedSendServesNothing) {
  sender_.failFromAttempt = 1;
  Feed(Request(kListedMac, {}));
  EXPECT_EQ(owner_.calls, std::vector<std::string>{"status"});
  EXPECT_EQ(owner_.LastStatus(), "Unable to service BOOTP request from 00:1D:9C:C8:12:34.");
  EXPECT_EQ(history_.Row(0).ipAddress, "");
}

TEST_F(Runtime, WithoutSocketOrSenderNothingIsServed) {
  runtime_.SetSender(nullptr);
  Feed(Request(kListedMac, {}));
  EXPECT_EQ(runtime_.RequestCounter(), 1u);
  EXPECT_EQ(owner_.LastStatus(), "Unable to service BOOTP request from 00:1D:9C:C8:12:34.");
}

TEST_F(Runtime, RepeatedRequestsCountUp) {
  for (int i = 0; i < 3; ++i) Feed(Request(kUnlistedMac, {53, 1, 1, 255}));
  EXPECT_EQ(runtime_.RequestCounter(), 3u);
  ASSERT_EQ(history_.RowCount(), 1);
  EXPECT_EQ(history_.Row(0).count, "3");
}

// --- Clear History ---

TEST_F(Runtime, ClearHistoryEmptiesTheListAndRestartsTheCounter) {
  Feed(Request(kUnlistedMac, {}));
  Feed(Request(kListedMac, {}));
  owner_.statuses.clear();
  EXPECT_TRUE(runtime_.ClearHistory());
  EXPECT_EQ(history_.RowCount(), 0);
  EXPECT_EQ(runtime_.RequestCounter(), 0u);
  EXPECT_TRUE(owner_.statuses.empty());
}

TEST_F(Runtime, ClearHistoryFailureKeepsEverything) {
  Feed(Request(kUnlistedMac, {}));
  history_.refuse = true;
  EXPECT_FALSE(runtime_.ClearHistory());
  EXPECT_EQ(owner_.LastStatus(), "Internal error: failed to delete the items");
  EXPECT_EQ(history_.RowCount(), 1);
  EXPECT_EQ(runtime_.RequestCounter(), 1u);
}

// --- Network reset message ---

class ForceRenew : public Runtime {
 protected:
  ForceRenew() {
    table_.Append(MakeRelation(kSecondMac, 0xC0A80133, ""));
    // Five requests bring the counter to 5.
    for (int i = 0; i < 5; ++i) Feed(Request(kUnlistedMac, {}));
    owner_.statuses.clear();
  }
  std::vector<const Relation*> Both() const { return {table_.At(0), table_.At(1)}; }
};

TEST_F(ForceRenew, XidFollowsTheCounterInRowOrder) {
  ASSERT_EQ(runtime_.RequestCounter(), 5u);
  EXPECT_TRUE(runtime_.SendForceRenew(Both()));

  std::vector<std::uint8_t> first(kBootpReplySize, 0);
  first[0] = 2;                                          // op: BOOTREPLY
  first[1] = 1;                                          // htype: Ethernet
  first[2] = 6;                                          // hlen
  /* first[3] hops 0 */
  first[4] = 0x06;                                       // xid 6, least significant byte first
  /* 8..27: secs, flags, ciaddr, yiaddr, siaddr, giaddr all 0 */
  const std::uint8_t chaddr[] = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
  std::copy(std::begin(chaddr), std::end(chaddr), first.begin() + 28);  // chaddr, rest of 16 bytes 0
  /* 44..235: sname and file all 0 */
  first[236] = 99, first[237] = 130, first[238] = 83, first[239] = 99;  // magic cookie
  first[240] = 53, first[241] = 1, first[242] = 9;                     // option 53: FORCERENEW
  first[243] = 255;                                                     // End; 244..299 stay 0

  ASSERT_EQ(sender_.sent.size(), 2u);
  EXPECT_EQ(sender_.sent[0].bytes, first);
  EXPECT_EQ(sender_.sent[0].destination, (Endpoint{0xFFFFFFFF, 68}));
  const std::vector<std::uint8_t> secondXid(sender_.sent[1].bytes.begin() + 4, sender_.sent[1].bytes.begin() + 8);
  EXPECT_EQ(secondXid, (std::vector<std::uint8_t>{0x07, 0x00, 0x00, 0x00}));
  EXPECT_EQ(sender_.sent[1].bytes.size(), kBootpReplySize);
  EXPECT_EQ(owner_.statuses,
            (std::vector<std::string>{"Sent network reset message (DHCP FORCE_RENEW) to 00:1D:9C:C8:12:34",
                                      "Sent network reset message (DHCP FORCE_RENEW) to 00:1D:9C:00:00:07"}));
  EXPECT_EQ(runtime_.RequestCounter(), 7u);
}

TEST_F(ForceRenew, StopsAtTheFirstFailedSend) {
  sender_.failFromAttempt = 1;
  EXPECT_FALSE(runtime_.SendForceRenew(Both()));
  EXPECT_EQ(sender_.attempts, 1);
  // The text is shown before the send, so it names the relation that failed.
  EXPECT_EQ(owner_.statuses,
            std::vector<std::string>{"Sent network reset message (DHCP FORCE_RENEW) to 00:1D:9C:C8:12:34"});
  EXPECT_EQ(runtime_.RequestCounter(), 6u);
}

TEST_F(ForceRenew, NothingSelectedIsSuccessWithoutTrace) {
  EXPECT_TRUE(runtime_.SendForceRenew({}));
  EXPECT_TRUE(sender_.sent.empty());
  EXPECT_TRUE(owner_.statuses.empty());
  EXPECT_EQ(runtime_.RequestCounter(), 5u);
}

TEST_F(ForceRenew, WithoutServerSocketNothingIsSent) {
  runtime_.SetSender(nullptr);
  EXPECT_FALSE(runtime_.SendForceRenew(Both()));
  EXPECT_EQ(owner_.statuses, std::vector<std::string>{std::string(kResetWithoutSocketText)});
  EXPECT_EQ(runtime_.RequestCounter(), 5u);
}

TEST_F(ForceRenew, AfterClearHistoryTheXidStartsAtOne) {
  ASSERT_TRUE(runtime_.ClearHistory());
  EXPECT_TRUE(runtime_.SendForceRenew({table_.At(1)}));
  ASSERT_EQ(sender_.sent.size(), 1u);
  const std::vector<std::uint8_t> xid(sender_.sent[0].bytes.begin() + 4, sender_.sent[0].bytes.begin() + 8);
  EXPECT_EQ(xid, (std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x00}));
}

// --- Fatal start-up paths (none of them gets as far as binding port 67) ---

constexpr const char* kMissingInterface = "cvsnosuch0";

TEST_F(Runtime, UnresolvableHostIsFatal) {
  host_.interfaces.clear();
  host_.answer.reset();
  const std::optional<StartFailure> failure = runtime_.StartServer(kMissingInterface, "");
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->text,
            "Cannot find a valid IP address.\nApplication cannot continue.\nFix network settings or connection and "
            "retry the application.");
  EXPECT_FALSE(runtime_.HasSocket());
  // The relations are the caller's.
  EXPECT_EQ(table_.Count(), 1);
}

// The socket is bound first: a port-67 socket in the table does not by
// itself stop the start (it may be bound to another interface). Here the
// bind fails because the interface does not exist, and that is what is said.
TEST_F(Runtime, Port67HolderInTheTableAloneDoesNotStopTheStart) {
  host_.answer = std::vector<std::uint32_t>{0x0A000001};
  const auto proc = folder_.Path() / "proc";
  std::ofstream(proc / "net" / "udp")
      << "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
      << "  5: 00000000:0043 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 8123 2 "
         "0000000000000000 0\n";
  std::filesystem::create_directories(proc / "123" / "fd");
  std::ofstream(proc / "123" / "comm") << "dnsmasq\n";
  std::filesystem::create_symlink("socket:[8123]", proc / "123" / "fd" / "4");

  const std::optional<StartFailure> failure = runtime_.StartServer(kMissingInterface, "");
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->text, LoadString(kIdsServerSocketCreateFailed));
  EXPECT_FALSE(runtime_.HasSocket());
}

// A missing interface cannot be bound to, so the start ends with 32805; the
// identity has been filled by then.
TEST_F(Runtime, ServerAddressChoiceBeforeAFailedBind) {
  struct Case {
    const char* what;
    const char* stored;  // nullptr: nothing remembered for the interface
    bool interfaceHasAddress;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"stored address is used", "10.1.2.3", true, 0x0A010203},
      {"no stored address: the host's first", nullptr, true, 0x0A000001},
      {"unconvertible text: the interface's own", "Unknown", true, 0x0A090909},
      {"unconvertible text, interface without address: the host's first", "Unknown", false, 0x0A000001},
  };
  host_.answer = std::vector<std::uint32_t>{0x7F000101};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.interfaces = {HostInterface{"eth0", 2, 1, true, false, {{0x0A000001, 0xFF000000}}},
                        HostInterface{kMissingInterface, 3, 1, true, false, {}}};
    if (c.interfaceHasAddress) host_.interfaces[1].addresses.push_back({0x0A090909, 0xFFFFFF00});
    const std::optional<StartFailure> failure =
        runtime_.StartServer(kMissingInterface, c.stored != nullptr ? c.stored : "");
    EXPECT_EQ(runtime_.Identity().ServerAddressHostOrder(), c.expected);
    EXPECT_EQ(runtime_.Identity().HostName(), "corvessa-test");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, LoadString(kIdsServerSocketCreateFailed));
  }
}

}  // namespace
}  // namespace corvessa
