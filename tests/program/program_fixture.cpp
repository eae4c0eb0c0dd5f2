#include "tests/program/program_fixture.h"

#include <fstream>
#include <sstream>

#include "bench/load/client_socket.h"
#include "bench/load/fleet.h"
#include "server/bootp_message.h"
#include "tests/support/netns.h"

namespace corvessa::program_test {

namespace {

using namespace std::chrono_literals;

constexpr auto kStartLimit = 30s;
constexpr auto kReadyLimit = 30s;
constexpr std::uint32_t kXidBase = 0x5E55E000;

bool HasTool(const std::string& name) { return testsupport::Run("command -v " + name + " >/dev/null 2>&1") == 0; }

}  // namespace

void ProgramFixture::SetUp() {
  if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root: creates network namespaces and binds UDP port 67";
  if (!HasTool("ip")) GTEST_SKIP() << "tool not installed: ip";
  std::string error;
  lab_ = load::Lab::Create(tag_, load::MakeFleet(1), error);
  ASSERT_NE(lab_, nullptr) << error;
}

void ProgramFixture::TearDown() {
  if (program_) program_->Stop(5s);
  program_.reset();
  lab_.reset();
}

void ProgramFixture::StartProgram(const std::vector<std::string>& arguments) {
  if (program_) program_->Stop(5s);
  std::vector<std::string> command = {CORVESSA_PROGRAM};
  command.insert(command.end(), arguments.begin(), arguments.end());
  program_ = std::make_unique<load::ChildProcess>(lab_->InServer(command), lab_->ProgramEnvironment(),
                                                  PathOf("corvessa-" + std::to_string(++starts_) + ".out"));
  ASSERT_TRUE(load::WaitForUdpPort(*program_, load::kServerPort, kStartLimit))
      << "the program did not bind UDP port 67; it printed:\n"
      << Output();
}

std::map<Mac, Served> ProgramFixture::ServedOf(const Mac& ready, const std::vector<Mac>& macs,
                                               std::chrono::milliseconds window) {
  std::map<Mac, Served> served;
  testsupport::NamespaceGuard inClient(lab_->Link().clientNs);
  load::ClientSocket socket;
  if (!inClient.ok() || !socket.Open(lab_->Link().clientIf)) {
    ADD_FAILURE() << "no client socket: " << socket.Error();
    return served;
  }
  std::array<std::uint8_t, 4096> buffer{};
  bool answered = false;
  const auto readyEnd = load::LoadClock::now() + kReadyLimit;
  for (std::uint32_t attempt = 0; !answered && load::LoadClock::now() < readyEnd; ++attempt) {
    (void)socket.SendTo(load::BuildRequest({load::RequestKind::Discover, kXidBase + attempt, ready, 0, 0}),
                        load::kBroadcastAddress);
    const auto next = load::LoadClock::now() + 200ms;
    while (const auto length = socket.Receive(buffer, next)) {
      const auto reply = load::ParseReply(std::span<const std::uint8_t>(buffer.data(), *length));
      answered = answered || (reply && reply->mac == ready && reply->messageType == dhcp_type::kOffer);
    }
  }
  if (!answered) {
    ADD_FAILURE() << "the program never offered an address to the first listed device; it printed:\n" << Output();
    return served;
  }
  // Late answers to the readiness probes go first.
  while (socket.Receive(buffer, load::LoadClock::now() + 200ms)) {
  }
  const std::uint32_t xid = kXidBase + 0x800;
  for (const Mac& mac : macs) {
    (void)socket.SendTo(load::BuildRequest({load::RequestKind::Discover, xid, mac, 0, 0}), load::kBroadcastAddress);
  }
  const auto end = load::LoadClock::now() + window;
  while (const auto length = socket.Receive(buffer, end)) {
    const auto reply = load::ParseReply(std::span<const std::uint8_t>(buffer.data(), *length));
    if (reply && reply->xid == xid && reply->messageType == dhcp_type::kOffer) {
      served[reply->mac] = Served{reply->yiaddr, reply->hostname};
    }
  }
  return served;
}

void PrintTo(const Served& served, std::ostream* out) {
  *out << ((served.address >> 24) & 0xFF) << '.' << ((served.address >> 16) & 0xFF) << '.'
       << ((served.address >> 8) & 0xFF) << '.' << (served.address & 0xFF) << " hostname "
       << (served.hostname ? "\"" + *served.hostname + "\"" : std::string("(none)"));
}

std::string ProgramFixture::Output() const {
  std::ostringstream all;
  for (int i = 1; i <= starts_; ++i) {
    std::ifstream in(PathOf("corvessa-" + std::to_string(i) + ".out"));
    all << "--- start " << i << " ---\n" << in.rdbuf();
  }
  return all.str();
}

}  // namespace corvessa::program_test
