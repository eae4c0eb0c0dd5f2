// The real program under a flood: 200,000 datagrams of random sizes and
// content and valid requests from 5,000 unlisted devices, unicast and
// broadcast, from the client namespace. Afterwards it must still be running,
// still answer a real DHCP client with the listed address, and its memory
// must have stayed bounded.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/load/child_process.h"
#include "bench/load/client_socket.h"
#include "bench/load/fleet.h"
#include "bench/load/lab.h"
#include "bench/load/probe.h"
#include "tests/flood/flood_source.h"
#include "tests/support/netns.h"

namespace corvessa::flood {
namespace {

using namespace std::chrono_literals;
using load::ChildProcess;

constexpr std::uint32_t kSeed = 0x5EED2284;
constexpr int kRandomDatagrams = 200000;
constexpr int kUnlistedDevices = 5000;
constexpr std::uint8_t kUnlistedTag = 0x66;
constexpr int kRelations = 256;
// The flood outruns the program, and a full receive queue drops what does
// not fit. So that the valid requests are read at all, the sender puts each
// onto an empty queue and waits until it has been read; after every batch it lets the queue drain below
// kQueueHighWater. All this waiting together never takes longer than
// kWaitBudget; after that the flood goes on without pauses.
constexpr int kBatchSize = 128;
constexpr std::uint64_t kQueueHighWater = 1024 * 1024;
constexpr auto kWaitBudget = 30s;
constexpr auto kPollInterval = 200us;
constexpr auto kDrainLimit = 20s;
// A leak, not ordinary use, would come near this: the program holds 256
// relations and a few thousand history rows. AddressSanitizer keeps freed
// memory in quarantine and maps shadow memory, so an instrumented program is
// allowed more.
#if defined(CORVESSA_PROGRAM_SANITIZED)
constexpr std::uint64_t kMemoryBoundKiB = 1536 * 1024;
#else
constexpr std::uint64_t kMemoryBoundKiB = 500 * 1024;
#endif

bool HasTool(const std::string& name) { return testsupport::Run("command -v " + name + " >/dev/null 2>&1") == 0; }

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::map<std::string, std::string> ReadVariables(const std::filesystem::path& path) {
  std::map<std::string, std::string> values;
  std::istringstream in(ReadText(path));
  std::string line;
  while (std::getline(in, line)) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

struct FloodCounts {
  int sent = 0;
  int sendFailures = 0;
  int requests = 0;
  int requestsSeenRead = 0;  // the queue emptied after the request went onto it
  double waitedSeconds = 0;
};

class Flood : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces and binds UDP port 67";
    for (const char* tool : {"ip", "busybox"}) {
      if (!HasTool(tool)) GTEST_SKIP() << "tool not installed: " << tool;
    }
    fleet_ = load::MakeFleet(kRelations);
    std::string error;
    lab_ = load::Lab::Create("fl", fleet_, error);
    ASSERT_NE(lab_, nullptr) << error;
    // udhcpc asks with the hardware address of the client end: the first relation's.
    ASSERT_EQ(lab_->RunInClient("ip link set dev " + lab_->Link().clientIf + " address " +
                                load::MacText(fleet_.front().mac)),
              0);
  }

  void TearDown() override {
    if (program_) program_->Stop(5s);
    program_.reset();
    lab_.reset();
  }

  // Sends the whole flood from the client namespace; returns what was sent.
  FloodCounts SendFlood() {
    FloodCounts counts;
    testsupport::NamespaceGuard inClient(lab_->Link().clientNs);
    load::ClientSocket socket;
    if (!inClient.ok() || !socket.Open(lab_->Link().clientIf)) return counts;
    FloodSource source(kSeed, kRandomDatagrams, load::MakeUnlistedMacs(kUnlistedDevices, kUnlistedTag));
    std::vector<std::uint8_t> datagram;
    auto budget = std::chrono::duration_cast<std::chrono::steady_clock::duration>(kWaitBudget);
    while (source.Next(datagram)) {
      const bool request = source.RequestsProduced() != counts.requests;
      if (request) WaitForQueueBelow(1, budget);
      // Half to the server's own address, half to everyone.
      const std::uint32_t to = counts.sent % 2 == 0 ? load::kServerAddress : load::kBroadcastAddress;
      if (!socket.SendTo(datagram, to)) ++counts.sendFailures;
      ++counts.sent;
      if (request) {
        counts.requests = source.RequestsProduced();
        if (WaitForQueueBelow(1, budget)) ++counts.requestsSeenRead;
      }
      if (counts.sent % kBatchSize == 0) WaitForQueueBelow(kQueueHighWater, budget);
    }
    counts.waitedSeconds = std::chrono::duration<double>(kWaitBudget - budget).count();
    return counts;
  }

  // Waits until the program's port-67 queue holds less than `bytes`, taking
  // the time from `budget`; false when the budget ran out first.
  bool WaitForQueueBelow(std::uint64_t bytes, std::chrono::steady_clock::duration& budget) {
    const auto start = std::chrono::steady_clock::now();
    bool below = false;
    while (!below) {
      const auto state = load::UdpSocketOnPort(program_->Pid(), load::kServerPort);
      below = state && state->receiveQueueBytes < bytes;
      if (!below && std::chrono::steady_clock::now() - start >= budget) break;
      if (!below) std::this_thread::sleep_for(kPollInterval);
    }
    budget -= std::min(budget, std::chrono::steady_clock::now() - start);
    return below;
  }

  std::vector<load::Device> fleet_;
  std::unique_ptr<load::Lab> lab_;
  std::unique_ptr<ChildProcess> program_;
};

TEST_F(Flood, ProgramSurvivesRandomAndUnlistedFloodAndStillServesItsDevice) {
  const std::string programPath = CORVESSA_PROGRAM;
  program_ = std::make_unique<ChildProcess>(load::CorvessaCommand(*lab_, programPath), lab_->ProgramEnvironment(),
                                            lab_->Folder() / "corvessa.out");
  ASSERT_TRUE(load::WaitForUdpPort(*program_, load::kServerPort, 30s))
      << "corvessa did not bind UDP port 67; it printed:\n"
      << ReadText(lab_->Folder() / "corvessa.out");
  {
    // Bound is not enough: the relations of the .bpc must be loaded too.
    testsupport::NamespaceGuard inClient(lab_->Link().clientNs);
    load::ClientSocket socket;
    ASSERT_TRUE(inClient.ok() && socket.Open(lab_->Link().clientIf)) << socket.Error();
    ASSERT_TRUE(load::WaitUntilOffering(socket, fleet_.front(), 30s)) << "the listed device got no OFFER";
  }
  const auto peakBefore = load::PeakResidentKiB(program_->Pid());
  const auto udpBefore = load::NamespaceUdpCounters(program_->Pid());

  const auto floodStart = std::chrono::steady_clock::now();
  const FloodCounts counts = SendFlood();
  const auto floodEnd = std::chrono::steady_clock::now();
  EXPECT_EQ(counts.sent, kRandomDatagrams + kUnlistedDevices);
  EXPECT_EQ(counts.requests, kUnlistedDevices);
  EXPECT_EQ(counts.sendFailures, 0);

  // Let the program work off what is still queued (bounded wait).
  auto drainBudget = std::chrono::duration_cast<std::chrono::steady_clock::duration>(kDrainLimit);
  WaitForQueueBelow(1, drainBudget);
  const auto drainEnd = std::chrono::steady_clock::now();
  ASSERT_TRUE(program_->Running()) << "corvessa ended during the flood; it printed:\n"
                                   << ReadText(lab_->Folder() / "corvessa.out");

  const auto out = lab_->Folder() / "udhcpc.env";
  const auto script = lab_->Folder() / "udhcpc.sh";
  {
    std::ofstream s(script);
    s << "#!/bin/sh\n[ \"$1\" = bound ] || exit 0\n{\n";
    for (const char* v : {"ip", "subnet", "router", "dns", "domain", "hostname", "lease"}) {
      s << "  echo \"" << v << "=$" << v << "\"\n";
    }
    s << "} > '" << out.string() << "'\nexit 0\n";
  }
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const int status = lab_->RunInClient("busybox udhcpc -i " + lab_->Link().clientIf + " -n -q -f -t 5 -T 2 -s " +
                                       script.string() + " >/dev/null 2>&1");
  EXPECT_EQ(status, 0) << "udhcpc obtained no lease after the flood";
  EXPECT_EQ(ReadVariables(out), (std::map<std::string, std::string>{{"ip", "10.77.1.1"},
                                                                    {"subnet", "255.255.0.0"},
                                                                    {"router", "10.77.0.254"},
                                                                    {"dns", "10.77.0.53 10.77.0.54"},
                                                                    {"domain", "plant.test"},
                                                                    {"hostname", "dev-001"},
                                                                    {"lease", "4294967295"}}));

  ASSERT_TRUE(program_->Running()) << "corvessa ended after the flood";
  const auto peak = load::PeakResidentKiB(program_->Pid());
  ASSERT_TRUE(peak.has_value());
  EXPECT_LT(*peak, kMemoryBoundKiB);

  const auto udpAfter = load::NamespaceUdpCounters(program_->Pid());
  const auto delta = [&](std::uint64_t load::UdpCounters::*field) -> unsigned long long {
    return udpBefore && udpAfter ? (*udpAfter).*field - (*udpBefore).*field : 0;
  };
  RecordProperty("peak_resident_kib", std::to_string(*peak));
  // A full receive queue drops what does not fit; so the program reads only
  // a part of the flood.
  std::printf("[ flood    ] sent %d datagrams (%d valid requests, %d of them seen read; %.1f s spent waiting); "
              "in the server namespace %llu were read, %llu found no socket on "
              "their port, %llu found the queue full, %llu were faulty; peak resident memory %llu KiB "
              "(%llu KiB before the flood); sending took %.1f s, draining %.1f s\n",
              counts.sent, counts.requests, counts.requestsSeenRead, counts.waitedSeconds, delta(&load::UdpCounters::inDatagrams), delta(&load::UdpCounters::noPorts),
              delta(&load::UdpCounters::receiveBufferErrors), delta(&load::UdpCounters::inErrors),
              static_cast<unsigned long long>(*peak), static_cast<unsigned long long>(peakBefore.value_or(0)),
              std::chrono::duration<double>(floodEnd - floodStart).count(),
              std::chrono::duration<double>(drainEnd - floodEnd).count());
}

}  // namespace
}  // namespace corvessa::flood
