// Address conflicts against real devices on a switched network in
// namespaces: another device already holds a listed device's address, so
// udhcpc gets no lease until the user confirms the address; and udhcpc
// declines an address that a device took after it was probed.

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "netconfig/host_network.h"
#include "server/server_runtime.h"
#include "tests/server/runtime_fixture.h"
#include "tests/support/device_lan.h"
#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kListedIp = 0xC0A84D32;  // 192.168.77.50
const char* const kHolderMac = "02:00:00:77:00:50";
const char* const kClientMac = "02:00:00:77:00:02";
constexpr std::size_t kHolder = 0;
constexpr std::size_t kClient = 1;

class AddressConflicts : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces and binds UDP port 67";
    if (testsupport::Run("command -v busybox >/dev/null 2>&1") != 0) GTEST_SKIP() << "tool not installed: busybox";
    folder_ = std::make_unique<testsupport::TempFolder>("conflicts");
    ASSERT_TRUE(folder_->ok());
    leaseFile_ = folder_->Path() / "lease";
    ASSERT_TRUE(lan_.Create("acf", "192.168.77.1")) << "could not create the namespaces";
  }

  void TearDown() override {
    runtime_.reset();
    inside_.reset();
    lan_.Destroy();
  }

  // The holder (with `holderAddress`, or none) and the listed client, then
  // the server on the switch with the client's relation.
  void StartWithDevices(const std::string& holderAddress) {
    ASSERT_TRUE(lan_.AddDevice(kHolderMac, holderAddress));
    ASSERT_TRUE(lan_.AddDevice(kClientMac, ""));
    inside_ = std::make_unique<testsupport::NamespaceGuard>(lan_.serverNs);
    ASSERT_TRUE(inside_->ok());
    runtime_ = std::make_unique<ServerRuntime>(table_, settings_, history_, owner_, host_);
    ASSERT_FALSE(runtime_->StartServer(lan_.serverIf, "192.168.77.1"));
    settings_.subnetMask = 0xFFFFFF00;
    table_.Append(testing_runtime::MakeRelation(testsupport::MacBytes(kClientMac), kListedIp, "plc-a"));
  }

  void Keep(std::optional<RequestOutcome> outcome) {
    if (outcome) outcomes_.push_back(std::move(*outcome));
  }

  // udhcpc in the client's namespace while the runtime serves as the
  // window does: the server socket, the probe's socket and its deadline.
  // Its exit status; the lease's address lands in leaseFile_.
  int RunUdhcpc(const std::string& options) {
    std::filesystem::remove(leaseFile_);
    const auto script = folder_->Path() / "bound.sh";
    std::ofstream(script) << "#!/bin/sh\n[ \"$1\" = bound ] && echo \"$ip\" > '" << leaseFile_.string()
                          << "'\nexit 0\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    std::atomic<bool> finished{false};
    std::atomic<int> status{-1};
    std::thread client([&] {
      status = testsupport::Run(lan_.InDevice(kClient, "timeout 20 busybox udhcpc -i " + lan_.devices[kClient].iface +
                                                           " -n -q -f -t 3 -T 1 " + options + " -s " +
                                                           script.string() + " >/dev/null 2>&1"));
      finished = true;
    });
    const auto limit = Clock::now() + 25s;
    while (!finished && Clock::now() < limit) {
      const auto deadline = runtime_->NextProbeDeadline();
      if (deadline && Clock::now() >= *deadline) {
        for (RequestOutcome& outcome : runtime_->OnProbeDeadline()) Keep(std::move(outcome));
        continue;
      }
      pollfd entries[2] = {{runtime_->Fd(), POLLIN, 0}, {runtime_->ProbeFd(), POLLIN, 0}};
      if (poll(entries, 2, 20) <= 0) continue;
      if ((entries[1].revents & POLLIN) != 0) {
        for (RequestOutcome& outcome : runtime_->OnProbeReadable()) Keep(std::move(outcome));
      }
      if ((entries[0].revents & POLLIN) != 0) Keep(runtime_->OnServerSocketEvent());
    }
    client.join();
    return status;
  }

  std::string Lease() const { return testsupport::ReadWholeFile(leaseFile_); }

  // The outcomes that found a conflict just then.
  std::vector<RequestOutcome> FoundConflicts() const {
    std::vector<RequestOutcome> found;
    for (const RequestOutcome& outcome : outcomes_) {
      if (outcome.conflict && outcome.conflict->found) found.push_back(outcome);
    }
    return found;
  }

  std::unique_ptr<testsupport::TempFolder> folder_;
  std::filesystem::path leaseFile_;
  testsupport::DeviceLan lan_;
  std::unique_ptr<testsupport::NamespaceGuard> inside_;
  RelationTable table_;
  NetworkSettings settings_;
  HistoryList history_;
  testing_runtime::RecordingOwner owner_;
  HostNetwork host_;
  std::unique_ptr<ServerRuntime> runtime_;
  std::vector<RequestOutcome> outcomes_;
};

TEST_F(AddressConflicts, HeldAddressIsNotGivenUntilTheUserConfirmsIt) {
  StartWithDevices("192.168.77.50");

  EXPECT_NE(RunUdhcpc(""), 0) << "udhcpc got a lease of an address another device holds";
  EXPECT_EQ(Lease(), "");
  const std::vector<RequestOutcome> found = FoundConflicts();
  ASSERT_EQ(found.size(), 1u) << "the conflict is found once";
  EXPECT_EQ(found[0].conflict->address, kListedIp);
  EXPECT_EQ(found[0].conflict->state, AddressState::Taken);
  ASSERT_TRUE(found[0].conflict->holder);
  EXPECT_EQ(*found[0].conflict->holder, testsupport::MacBytes(kHolderMac));
  EXPECT_EQ(found[0].statusText,
            "192.168.77.50 is in use by 02:00:00:77:00:50: not given to 02:00:00:77:00:02 until you confirm it.");
  EXPECT_EQ(runtime_->Conflicts(), std::vector<std::uint32_t>{kListedIp});
  const int row = history_.FindExact(kClientMac);
  ASSERT_GE(row, 0);
  EXPECT_EQ(history_.Row(row).conflict, "192.168.77.50: address in use");
  EXPECT_EQ(history_.Row(row).ipAddress, "");

  ASSERT_TRUE(runtime_->ConfirmAddress(kListedIp));
  EXPECT_EQ(RunUdhcpc(""), 0) << "no lease after the address was confirmed";
  EXPECT_EQ(Lease(), "192.168.77.50\n");
}

TEST_F(AddressConflicts, DeclineShowsTheAddressInUse) {
  StartWithDevices("");
  ASSERT_EQ(RunUdhcpc(""), 0) << "the free address was not given";
  ASSERT_EQ(Lease(), "192.168.77.50\n");
  EXPECT_TRUE(FoundConflicts().empty());

  // Another device takes the address after it was probed; udhcpc's ARP check finds it.
  ASSERT_EQ(testsupport::Run(lan_.InDevice(kHolder, "ip addr add 192.168.77.50/24 dev " + lan_.devices[kHolder].iface)),
            0);
  (void)RunUdhcpc("-a");
  const std::vector<RequestOutcome> found = FoundConflicts();
  ASSERT_EQ(found.size(), 1u) << "udhcpc sent no DHCPDECLINE, or it was not reported";
  EXPECT_EQ(found[0].conflict->state, AddressState::Declined);
  EXPECT_EQ(found[0].statusText,
            "02:00:00:77:00:02 declined 192.168.77.50: address in use. Not given again until you confirm it.");
  EXPECT_EQ(runtime_->Conflicts(), std::vector<std::uint32_t>{kListedIp});
  const int row = history_.FindExact(kClientMac);
  ASSERT_GE(row, 0);
  EXPECT_EQ(history_.Row(row).conflict, "192.168.77.50: address in use");
}

}  // namespace
}  // namespace corvessa
