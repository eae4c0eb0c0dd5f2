// EtherNet/IP replies of any content, cut into receives of any size: the
// session's reply checks, FindReplyItem and the attribute reads, and the two
// commissioning flows end to end. The session's socket calls are scripted
// from the input; nothing touches a network.
//
// Input:
//   0   bits 0-2: what runs (0 Max Instance, 1 Physical Link, 2 Physical
//       Address, 3 Configuration Control, 4 Enable flow, 5 Disable flow,
//       6-7 FindReplyItem alone); bit 3: a device of the vendor that may
//       need the fallback class; bit 4: Register Session restarts a wait
//       that would block
//   1   argument: instance, link instance, or method (modulo 3)
//   2.. the socket script, consumed call by call:
//       wait for a reply   1 byte: 0 the period passes, 1 fails with
//                          EWOULDBLOCK, 2 fails with EBADF, else readable
//       receive            2 bytes little-endian count: 0xFFFF fails with
//                          ECONNRESET, else that many of the following bytes
//                          (as many as are left and fit; 0 = closed)
//   Past the end of the input every wait passes without data.

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "enip/cip_message.h"
#include "enip/cip_services.h"
#include "enip/commissioning.h"
#include "enip/enip_context.h"
#include "enip/encap_message.h"
#include "enip/encap_session.h"
#include "enip/socket_api.h"
#include "relations/relation_table.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

constexpr int kFakeSocket = 100;

class ScriptedSockets final : public SocketApi {
 public:
  explicit ScriptedSockets(std::span<const std::uint8_t> script) : script_(script) {}

  int Socket() override {
    ++opened;
    return kFakeSocket;
  }
  int Bind(int fd, const sockaddr_in&) override { return Expect(fd); }
  int SetOption(int fd, int, int, int) override { return Expect(fd); }
  int Connect(int fd, const sockaddr_in&, std::chrono::milliseconds) override { return Expect(fd); }

  ssize_t Send(int fd, std::span<const std::uint8_t> bytes) override {
    Expect(fd);
    CheckRequest(bytes);
    delivered = 0;
    return static_cast<ssize_t>(bytes.size());
  }

  int WaitReadable(int fd, std::chrono::milliseconds) override {
    Expect(fd);
    if (position_ >= script_.size()) return 0;
    switch (script_[position_++]) {
      case 0:
        return 0;
      case 1:
        errno = EWOULDBLOCK;
        return -1;
      case 2:
        errno = EBADF;
        return -1;
      default:
        return 1;
    }
  }

  ssize_t Receive(int fd, std::span<std::uint8_t> into) override {
    Expect(fd);
    FUZZ_CHECK(!into.empty());
    // The session may read only what was received: everything after it in
    // the block is made unreadable until the next receive.
    ASAN_UNPOISON_MEMORY_REGION(into.data(), into.size());
    if (position_ + 2 > script_.size()) {
      position_ = script_.size();
      ASAN_POISON_MEMORY_REGION(into.data(), into.size());
      return 0;
    }
    const std::size_t count = script_[position_] | (std::size_t{script_[position_ + 1]} << 8);
    position_ += 2;
    if (count == 0xFFFF) {
      ASAN_POISON_MEMORY_REGION(into.data(), into.size());
      errno = ECONNRESET;
      return -1;
    }
    const std::size_t n = std::min({count, into.size(), script_.size() - position_});
    std::copy_n(script_.begin() + static_cast<std::ptrdiff_t>(position_), n, into.begin());
    position_ += n;
    delivered += n;
    ASAN_POISON_MEMORY_REGION(into.data() + n, into.size() - n);
    return static_cast<ssize_t>(n);
  }

  int Close(int fd) override {
    Expect(fd);
    ++closed;
    return 0;
  }

  int opened = 0;
  int closed = 0;
  std::size_t delivered = 0;  // bytes received since the last request
  std::optional<std::uint32_t> expectedHandle;
  std::optional<std::uint8_t> expectedMethod;

 private:
  static int Expect(int fd) {
    FUZZ_CHECK(fd == kFakeSocket);
    return 0;
  }

  // Every request is one of the three kinds, carries the session's handle
  // and writes nothing but a method and DNS Enable.
  void CheckRequest(std::span<const std::uint8_t> bytes) const {
    if (bytes.size() == kRegisterSessionSize) {
      FUZZ_CHECK(little_endian::Get16(bytes, kEncapCommandOffset) == kEncapRegisterSession);
      return;
    }
    FUZZ_CHECK(bytes.size() == kGetAttributeSingleSize || bytes.size() == kSetAttributeSingleSize);
    FUZZ_CHECK(little_endian::Get16(bytes, kEncapCommandOffset) == kEncapSendRRData);
    if (expectedHandle) FUZZ_CHECK(little_endian::Get32(bytes, kEncapSessionHandleOffset) == *expectedHandle);
    const std::uint8_t cls = bytes[kClassByteOffset];
    FUZZ_CHECK(cls == kTcpIpInterfaceClass || cls == kEthernetLinkClass || cls == FallbackClass);
    if (bytes.size() == kSetAttributeSingleSize) {
      FUZZ_CHECK(bytes[kServiceOffset] == kCipSetAttributeSingle);
      const std::uint32_t value = little_endian::Get32(bytes, kAttributeValueOffset).value_or(0xFFFFFFFFu);
      const std::uint32_t method = value & ~kDnsEnableBit;
      FUZZ_CHECK(method <= kMethodDhcp);
      if (expectedMethod) FUZZ_CHECK(method == *expectedMethod);
    } else {
      FUZZ_CHECK(bytes[kServiceOffset] == kCipGetAttributeSingle);
    }
  }

  std::span<const std::uint8_t> script_;
  std::size_t position_ = 0;
};

class CountingBusy final : public BusyIndicator {
 public:
  void Begin() override { ++depth; }
  void End() override { --depth; }
  int depth = 0;
};

Relation Device(bool fallbackVendor) {
  Relation relation;
  using Mac = std::array<std::uint8_t, 6>;
  const Mac mac = fallbackVendor ? Mac{0x0A, 0x00, 0x3C, 0x12, 0x34, 0x56} : Mac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  std::copy(mac.begin(), mac.end(), relation.hardwareAddress.begin());
  relation.hardwareAddressLength = 6;
  relation.ipAddress = 0x7F000001u;  // never connected: the sockets are scripted
  return relation;
}

// A found reply item lies inside the received bytes and holds at least the
// fixed fields, which it reports as they stand there.
void CheckFindReplyItem(std::span<const std::uint8_t> reply, std::uint8_t service) {
  const auto item = FindReplyItem(reply, service);
  if (!item) return;
  FUZZ_CHECK(item->data.size() >= kReplyDataOffset);
  FUZZ_CHECK(item->data.data() >= reply.data());
  FUZZ_CHECK(item->data.data() + item->data.size() <= reply.data() + reply.size());
  FUZZ_CHECK(item->data[kReplyServiceOffset] == (service | kCipReplyFlag));
  FUZZ_CHECK(item->generalStatus == item->data[kReplyGeneralStatusOffset]);
  FUZZ_CHECK(item->additionalStatusWords == item->data[kReplyAdditionalSizeOffset]);
}

void RunOperation(int operation, std::uint8_t argument, const Relation& relation, bool retryWouldBlock,
                  ScriptedSockets& sockets, const EnipContext& context) {
  EncapSession session(context);
  FUZZ_CHECK(session.PrepareRequestBlock());
  FUZZ_CHECK(session.PrepareResponseBlock());
  FUZZ_CHECK(session.Open(relation));
  const bool registered = session.RegisterSession(retryWouldBlock);
  FUZZ_CHECK(session.Reply().size() == sockets.delivered);
  if (!registered) return;
  sockets.expectedHandle = session.Handle();

  switch (operation) {
    case 0: {
      const int count = GetMaxInstance(session, relation);
      FUZZ_CHECK(count >= 1 && count <= 0xFFFF);
      break;
    }
    case 1: {
      const auto link = GetPhysicalLink(session, relation, argument);
      if (link) FUZZ_CHECK(*link >= -1 && *link <= 0xFF);
      break;
    }
    case 2:
      (void)MatchPhysicalAddress(session, relation, argument);
      break;
    default: {
      const auto method = static_cast<ConfigurationMethod>(argument % 3);
      sockets.expectedMethod = method;
      (void)ChangeConfigurationMethod(session, relation, 1, method);
      break;
    }
  }
  FUZZ_CHECK(session.Reply().size() == sockets.delivered);
  FUZZ_CHECK(session.Reply().size() <= ResponseBlockSize);
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvessa;
  using namespace corvessa::fuzz;
  // A copy of exactly the input's size, so a read past it is caught.
  const std::vector<std::uint8_t> input(data, data + size);
  const std::uint8_t control = size > 0 ? input[0] : 0;
  const std::uint8_t argument = size > 1 ? input[1] : 0;
  const std::span<const std::uint8_t> script =
      size > 2 ? std::span(input).subspan(2) : std::span<const std::uint8_t>();

  const int operation = control & 0x07;
  const Relation relation = Device((control & 0x08) != 0);
  const bool retryWouldBlock = (control & 0x10) != 0;

  if (operation >= 6) {
    CheckFindReplyItem(script, kCipGetAttributeSingle);
    CheckFindReplyItem(script, kCipSetAttributeSingle);
    const std::size_t expected = ExpectedReplySize(script);
    FUZZ_CHECK(expected >= kEncapHeaderSize && expected <= ResponseBlockSize);
    return 0;
  }

  ScriptedSockets sockets(script);
  CountingBusy busy;
  EnipContext context;
  context.sockets = &sockets;
  context.busy = &busy;
  context.commandFailed = [](std::string_view) {};
  context.sleep = [](std::chrono::milliseconds) {};
  // FUZZ_TRACE=1 shows the status texts, to see where an input leads.
  static const bool trace = std::getenv("FUZZ_TRACE") != nullptr;
  if (trace) {
    context.status = [](std::string_view text) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    };
  }

  if (operation < 4) {
    RunOperation(operation, argument, relation, retryWouldBlock, sockets, context);
  } else {
    const Relation* selected[] = {&relation};
    if (operation == 4) {
      EnableBootpDhcp(selected, context);
    } else {
      sockets.expectedMethod = kMethodStoredConfiguration;
      DisableBootpDhcp(selected, context);
    }
  }
  // Every socket is closed and the busy cursor ended, on every way out.
  FUZZ_CHECK(sockets.opened == sockets.closed);
  FUZZ_CHECK(busy.depth == 0);
  return 0;
}
