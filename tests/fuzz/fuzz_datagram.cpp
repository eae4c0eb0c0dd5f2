// One received datagram through the whole server path: classification,
// FindOption, the BOOTP and DHCP replies and the Discovery History, driven by
// ServerRuntime::HandleDatagram without a socket. The same request also goes
// straight to ServeBootp / ServeDhcp with a server identity taken from the
// input, which the runtime only learns from a real server socket.
//
// Input: a configuration block, then the datagram.
//   0..3   subnet mask            (big-endian; 0 = not set)
//   4..7   gateway
//   8..11  primary name server
//   12..15 secondary name server
//   16     domain name length     (modulo 33, taken from a fixed 32-character name)
//   17     bits 0-1: the server's host name (none, short, upper case, 63 characters);
//          bit 2: every send fails;
//          bit 3: a datagram longer than 2284 bytes is handed over whole (it
//          is dropped); otherwise it is cut to 2284 bytes
//   18..21 server address         (as on the wire, first octet first)
//   22..   the datagram

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/network_settings.h"
#include "netconfig/host_network.h"
#include "relations/relation_table.h"
#include "server/bootp_message.h"
#include "server/history.h"
#include "server/reply.h"
#include "server/server_runtime.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

// The history has no size limit; starting afresh now and then keeps a long
// run's memory flat.
constexpr unsigned kInputsPerHistory = 512;

constexpr std::string_view kDomainNames = "plant.example.com.line-7.cell-42";
static_assert(kDomainNames.size() == kDomainNameSize);
constexpr std::array<std::string_view, 4> kHostNames = {
    "", "corvessa-test", "CORVESSA-TEST",
    "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0"};

// The devices of the table: a hostname, none, and one of the full 32 bytes.
struct Device {
  std::array<std::uint8_t, 6> mac;
  std::uint32_t ip;
  std::string_view hostname;
};
constexpr std::array<Device, 3> kDevices = {{
    {{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34}, 0xC0A80132u, "plc-line-1"},        // 192.168.1.50
    {{0x0A, 0x00, 0x3C, 0x12, 0x34, 0x56}, 0xC0A80133u, ""},                  // 192.168.1.51
    {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, 0x0A000007u, "abcdefghijklmnopqrstuvwxyz012345"},  // 10.0.0.7
}};

void FillTable(RelationTable& table) {
  table.Clear();
  for (const Device& device : kDevices) {
    auto relation = std::make_unique<Relation>();
    std::copy(device.mac.begin(), device.mac.end(), relation->hardwareAddress.begin());
    relation->hardwareAddressLength = static_cast<std::uint8_t>(device.mac.size());
    relation->ipAddress = device.ip;
    std::copy(device.hostname.begin(), device.hostname.end(), relation->hostname.begin());
    relation->hostnameLength = static_cast<std::uint8_t>(device.hostname.size());
    table.Append(std::move(relation));
  }
}

// Checks every reply on its way out instead of sending it.
class CheckingSender final : public DatagramSender {
 public:
  bool SendTo(const std::uint8_t* data, std::size_t length, Endpoint destination) override {
    FUZZ_CHECK(request != nullptr && table != nullptr);
    FUZZ_CHECK(length == kBootpReplySize || length == kDhcpReplySize);
    const std::span<const std::uint8_t> reply(data, length);
    FUZZ_CHECK(reply[kOpOffset] == kOpBootReply);
    FUZZ_CHECK(std::equal(kMagicCookie.begin(), kMagicCookie.end(), reply.begin() + kMagicCookieOffset));
    FUZZ_CHECK(destination == ReplyDestination(*request));
    // Header fields copied from the request.
    FUZZ_CHECK(std::equal(reply.begin() + kHtypeOffset, reply.begin() + kFlagsOffset,
                          request->bytes.begin() + kHtypeOffset));
    FUZZ_CHECK(std::equal(reply.begin() + kChaddrOffset, reply.begin() + kChaddrOffset + kChaddrSize,
                          request->bytes.begin() + kChaddrOffset));
    // yiaddr is the address of the relation the request's hardware address names.
    const Relation* relation = table->FindByMac(request->Chaddr(), request->Hlen());
    FUZZ_CHECK(relation != nullptr);
    FUZZ_CHECK(big_endian::Get32(reply, kYiaddrOffset) == relation->ipAddress);

    // The options end with End inside the datagram, and only zeros follow.
    std::size_t p = kOptionsOffset;
    while (p < length && reply[p] != option::kEnd) {
      FUZZ_CHECK(p + 1 < length);
      p += 2 + std::size_t{reply[p + 1]};
    }
    FUZZ_CHECK(p < length);
    FUZZ_CHECK(std::all_of(reply.begin() + static_cast<std::ptrdiff_t>(p) + 1, reply.end(),
                           [](std::uint8_t b) { return b == 0; }));
    ++sent;
    return !failing;
  }

  const BootpMessage* request = nullptr;
  const RelationTable* table = nullptr;
  bool failing = false;
  int sent = 0;
};

// The status line: what the runtime reports, and each request's text.
class QuietOwner final : public ServerReports {
 public:
  void ServerStatus(std::string_view text) override { status = std::string(text); }
  void SocketChanged() override {}
  std::string status;
};

// No live calls: the runtime never starts a server here.
class NoHost final : public HostNetwork {
 public:
  std::vector<HostInterface> Interfaces() const override { return {}; }
  std::optional<std::string> HostName() const override { return std::nullopt; }
  std::optional<std::vector<std::uint32_t>> ResolveName(const std::string&) const override { return std::nullopt; }
};

struct Server {
  RelationTable table;
  NetworkSettings settings;
  HistoryList history;
  QuietOwner owner;
  NoHost host;
  ServerRuntime runtime{table, settings, history, owner, host};
  CheckingSender sender;
  unsigned inputs = 0;

  Server() {
    runtime.SetSender(&sender);
    runtime.SetClock([] { return LocalTime{9, 5, 3}; });
  }
};

void ReadSettings(InputCursor& in, NetworkSettings& settings) {
  settings.subnetMask = in.U32Big();
  settings.gateway = in.U32Big();
  settings.dns1 = in.U32Big();
  settings.dns2 = in.U32Big();
  settings.SetDomainName(kDomainNames.substr(0, in.Byte() % (kDomainNameSize + 1)));
}

// The runtime's own path: classification, reply, history, status line.
void HandleThroughRuntime(Server& server, std::span<const std::uint8_t> datagram, const BootpMessage& request) {
  const std::uint32_t countBefore = server.runtime.RequestCounter();
  const int sentBefore = server.sender.sent;
  server.owner.status.clear();

  server.sender.request = &request;
  server.sender.table = &server.table;
  const std::optional<RequestOutcome> outcome = server.runtime.HandleDatagram(datagram.data(), datagram.size());
  if (outcome) server.owner.status = outcome->statusText;
  // A served relation is one of the table's, and only an accepted request serves.
  FUZZ_CHECK(!outcome || outcome->served == nullptr || outcome->kind != RequestKind::NotARequest);

  if (request.Op() != kOpBootRequest) {
    // Not a request: no trace at all.
    FUZZ_CHECK(server.runtime.RequestCounter() == countBefore);
    FUZZ_CHECK(server.sender.sent == sentBefore);
    FUZZ_CHECK(server.owner.status.empty());
    return;
  }
  FUZZ_CHECK(server.runtime.RequestCounter() == countBefore + 1);
  FUZZ_CHECK(server.sender.sent <= sentBefore + 1);
  FUZZ_CHECK(!server.owner.status.empty());
  // The request's row is on top, and an hlen past chaddr shows only chaddr.
  FUZZ_CHECK(server.history.RowCount() >= 1);
  const HistoryEntry& top = server.history.Row(0);
  FUZZ_CHECK(top.mac == RequestMacText(request));
  FUZZ_CHECK(top.mac.size() <= 3 * kChaddrSize - 1);
  FUZZ_CHECK(top.type == (FindOption(request, option::kMessageType) ? "DHCP" : "BOOTP"));
}

// A datagram longer than any request is dropped and counted, with no other
// trace: no request counted, nothing sent, the status line says why.
void DropOversized(Server& server, std::span<const std::uint8_t> datagram) {
  const std::vector<std::uint8_t> received(datagram.begin(), datagram.end());
  const std::uint32_t countBefore = server.runtime.RequestCounter();
  const int sentBefore = server.sender.sent;
  const unsigned long droppedBefore = server.runtime.OversizedDatagrams();
  const int rowsBefore = server.history.RowCount();
  server.owner.status.clear();
  FUZZ_CHECK(!server.runtime.HandleDatagram(received.data(), received.size()));
  FUZZ_CHECK(server.runtime.RequestCounter() == countBefore);
  FUZZ_CHECK(server.sender.sent == sentBefore);
  FUZZ_CHECK(server.runtime.OversizedDatagrams() == droppedBefore + 1);
  FUZZ_CHECK(server.history.RowCount() == rowsBefore);
  FUZZ_CHECK(!server.owner.status.empty());
}

// The reply builders with an identity the runtime cannot be given here.
void ServeDirectly(Server& server, const BootpMessage& request, const ServerIdentity& identity) {
  ServerContext context{server.table, server.settings, identity, server.sender};
  const RequestKind kind = ClassifyRequest(request);
  if (kind == RequestKind::Bootp) {
    const Relation* served = ServeBootp(request, context);
    if (served != nullptr) FUZZ_CHECK(served->type == kRelationTypeBootp);
  } else if (kind == RequestKind::DhcpAnswered) {
    const Relation* served = ServeDhcp(request, context);
    if (served != nullptr) FUZZ_CHECK(served->type == kRelationTypeDhcp);
  }
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvessa;
  using namespace corvessa::fuzz;
  static Server server;
  if (++server.inputs % kInputsPerHistory == 0) FUZZ_CHECK(server.runtime.ClearHistory());
  FillTable(server.table);

  InputCursor in(data, size);
  ReadSettings(in, server.settings);
  const std::uint8_t flags = in.Byte();
  ServerIdentity identity;
  identity.SetHostName(kHostNames[flags & 0x03]);
  for (auto& octet : identity.serverAddress) octet = in.Byte();
  server.sender.failing = (flags & 0x04) != 0;

  const auto rest = in.Rest();
  if ((flags & 0x08) != 0 && rest.size() > kBootpMessageSize) {
    DropOversized(server, rest);
    return 0;
  }
  const auto datagram = rest.first(std::min(rest.size(), kBootpMessageSize));
  // A copy of exactly the datagram's size, so a read past it is caught.
  const std::vector<std::uint8_t> received(datagram.begin(), datagram.end());

  BootpMessage request;
  request.Assign(received.data(), received.size());
  HandleThroughRuntime(server, received, request);
  ServeDirectly(server, request, identity);
  return 0;
}
