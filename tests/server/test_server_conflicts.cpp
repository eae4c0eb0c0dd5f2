// Address conflicts in the server runtime: a listed device that declines its
// address, and a request kept while its address is probed on a real
// interface in a namespace, answered with the very bytes an unprobed reply has.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "netconfig/host_network.h"
#include "server/server_runtime.h"
#include "tests/server/runtime_fixture.h"
#include "tests/support/netns.h"
#include "tests/support/scripted_host.h"

namespace corvessa {
namespace {

using namespace std::chrono_literals;
using testing_runtime::MakeRelation;
using testing_runtime::Mac;
using testing_runtime::RecordingOwner;
using testing_runtime::RecordingSender;
using testing_runtime::Request;

constexpr Mac kListedMac = {0x02, 0x00, 0x00, 0x77, 0x00, 0x02};
constexpr Mac kUnlistedMac = {0x02, 0x00, 0x00, 0x77, 0x00, 0x99};
constexpr std::uint32_t kListedIp = 0xC0A84D32;  // 192.168.77.50

// Option 53 with `type`, option 50 with 192.168.77.50 when `requested`, End.
std::vector<std::uint8_t> DhcpOptions(std::uint8_t type, bool requested) {
  if (!requested) return {53, 1, type, 255};
  return {53, 1, type, 50, 4, 192, 168, 77, 50, 255};
}

TEST(RuntimeConflicts, DeclinedAddressIsNotGivenUntilConfirmed) {
  RelationTable table;
  table.Append(MakeRelation(kListedMac, kListedIp, "plc-a"));
  NetworkSettings settings;
  HistoryList history;
  RecordingOwner owner;
  testsupport::ScriptedHost host;
  RecordingSender sender;
  ServerRuntime runtime(table, settings, history, owner, host);
  runtime.SetSender(&sender);
  runtime.SetClock([] { return LocalTime{9, 5, 3}; });
  auto feed = [&](const std::vector<std::uint8_t>& datagram) {
    return runtime.HandleDatagram(datagram.data(), datagram.size());
  };

  // An unlisted device's decline is none of ours.
  const auto unlisted = feed(Request(kUnlistedMac, DhcpOptions(4, true)));
  ASSERT_TRUE(unlisted);
  EXPECT_FALSE(unlisted->conflict);
  EXPECT_EQ(unlisted->statusText, "Unable to service DHCP request from 02:00:00:77:00:99.");

  const auto declined = feed(Request(kListedMac, DhcpOptions(4, true)));
  ASSERT_TRUE(declined);
  ASSERT_TRUE(declined->conflict);
  EXPECT_EQ(declined->conflict->address, kListedIp);
  EXPECT_EQ(declined->conflict->state, AddressState::Declined);
  EXPECT_TRUE(declined->conflict->found);
  EXPECT_EQ(declined->statusText,
            "02:00:00:77:00:02 declined 192.168.77.50: address in use. Not given again until you confirm it.");
  EXPECT_EQ(history.Row(0), (HistoryEntry{"02:00:00:77:00:02", "DHCP", "9:05:03", "1", "", "", "192.168.77.50: address in use"}));
  EXPECT_EQ(runtime.Conflicts(), std::vector<std::uint32_t>{kListedIp});

  // Its next DISCOVER gets no OFFER, and says why.
  const auto refused = feed(Request(kListedMac, DhcpOptions(1, false)));
  ASSERT_TRUE(refused);
  ASSERT_TRUE(refused->conflict);
  EXPECT_FALSE(refused->conflict->found);
  EXPECT_EQ(refused->statusText, declined->statusText);
  EXPECT_EQ(history.Row(0).conflict, "192.168.77.50: address in use");
  EXPECT_TRUE(sender.sent.empty());

  EXPECT_FALSE(runtime.ConfirmAddress(0xC0A84D33)) << "an address in no conflict";
  EXPECT_TRUE(runtime.ConfirmAddress(kListedIp));
  EXPECT_TRUE(runtime.Conflicts().empty());
  const auto served = feed(Request(kListedMac, DhcpOptions(3, true)));
  ASSERT_TRUE(served);
  EXPECT_FALSE(served->conflict);
  EXPECT_EQ(served->served, table.At(0));
  EXPECT_EQ(sender.sent.size(), 1u);
  EXPECT_EQ(history.Row(0), (HistoryEntry{"02:00:00:77:00:02", "DHCP", "9:05:03", "3", "192.168.77.50", "plc-a"}));
}

// A runtime started on the server end of a veth pair whose other end holds
// no address: every probe there finds its address free.
class ProbedRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces and binds UDP port 67";
    ASSERT_TRUE(testsupport::CreateVethLink(link_, "rtc", "192.168.77.1")) << "could not create the namespaces";
    linked_ = true;
    inside_ = std::make_unique<testsupport::NamespaceGuard>(link_.serverNs);
    ASSERT_TRUE(inside_->ok());
    table_.Append(MakeRelation(kListedMac, kListedIp, "plc-a"));
    settings_.subnetMask = 0xFFFFFF00;
    runtime_ = std::make_unique<ServerRuntime>(table_, settings_, history_, owner_, host_);
    runtime_->SetSender(&sender_);
    runtime_->SetClock([] { return LocalTime{9, 5, 3}; });
  }

  void TearDown() override {
    runtime_.reset();
    inside_.reset();
    if (linked_) testsupport::DestroyVethLink(link_);
  }

  // The start, with the relations it leaves as they were (the table is the caller's).
  void Start(bool probing) {
    runtime_->StopServer();
    runtime_->SetAddressProbing(probing);
    ASSERT_FALSE(runtime_->StartServer(link_.serverIf, "192.168.77.1"));
  }

  std::optional<RequestOutcome> Feed(const std::vector<std::uint8_t>& datagram) {
    return runtime_->HandleDatagram(datagram.data(), datagram.size());
  }

  testsupport::VethLink link_;
  bool linked_ = false;
  std::unique_ptr<testsupport::NamespaceGuard> inside_;
  RelationTable table_;
  NetworkSettings settings_;
  HistoryList history_;
  RecordingOwner owner_;
  HostNetwork host_;
  RecordingSender sender_;
  std::unique_ptr<ServerRuntime> runtime_;
};

TEST_F(ProbedRuntime, KeptRequestIsAnsweredWithTheBytesOfAnUnprobedReply) {
  const std::vector<std::uint8_t> bootp = Request(kListedMac, {255});
  Start(false);
  ASSERT_TRUE(Feed(bootp));
  ASSERT_EQ(sender_.sent.size(), 1u) << "unprobed: answered at once";
  const RecordingSender::Sent unprobed = sender_.sent[0];
  sender_.sent.clear();
  ASSERT_TRUE(history_.DeleteAll());

  Start(true);
  const auto kept = Feed(bootp);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->waiting);
  EXPECT_EQ(kept->statusText, "Checking that 192.168.77.50 is free before it is given to 02:00:00:77:00:02...");
  EXPECT_TRUE(sender_.sent.empty()) << "answered before the probe ended";
  ASSERT_TRUE(runtime_->NextProbeDeadline());
  EXPECT_LE(*runtime_->NextProbeDeadline() - std::chrono::steady_clock::now(), kProbeWait);
  // Another device's request meanwhile reuses the receive buffer.
  ASSERT_TRUE(Feed(Request(kUnlistedMac, {255})));

  std::vector<RequestOutcome> answered;
  const auto limit = std::chrono::steady_clock::now() + 5s;
  while (answered.empty() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(20ms);
    answered = runtime_->OnProbeDeadline();
  }
  ASSERT_EQ(answered.size(), 1u);
  EXPECT_TRUE(answered[0].afterProbe);
  EXPECT_FALSE(answered[0].conflict);
  EXPECT_EQ(answered[0].served, table_.At(0));
  EXPECT_EQ(answered[0].statusText, "Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02");
  ASSERT_EQ(sender_.sent.size(), 1u);
  EXPECT_EQ(sender_.sent[0].bytes, unprobed.bytes);
  EXPECT_EQ(sender_.sent[0].destination, unprobed.destination);
  // The request's row shows the answer in place; the unlisted device's stays on top.
  ASSERT_EQ(history_.RowCount(), 2);
  EXPECT_EQ(history_.Row(1), (HistoryEntry{"02:00:00:77:00:02", "BOOTP", "9:05:03", "1", "192.168.77.50", "plc-a"}));

  // Probed once per run: the next request is answered at once.
  ASSERT_TRUE(Feed(bootp));
  EXPECT_EQ(sender_.sent.size(), 2u);
  EXPECT_FALSE(runtime_->NextProbeDeadline());
}

}  // namespace
}  // namespace corvessa
