#include "server/server_runtime.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "core/address.h"
#include "core/strings.h"
#include "netconfig/host_address.h"
#include "server/conflict_texts.h"
#include "server/port67_owners.h"
#include "server/server_texts.h"

namespace corvessa {

namespace {

// The sender of a runtime that has neither a socket nor a sender override:
// every reply fails, so nothing counts as served.
class NoSender final : public DatagramSender {
 public:
  bool SendTo(const std::uint8_t*, std::size_t, Endpoint) override { return false; }
};

std::string PortInUseText(const std::string& ownerLines) {
  return std::string(LoadString(kIdsPort67InUse)) + ownerLines + "\n" + std::string(LoadString(kIdsClosePort67Process));
}

bool IsPrivilegeRefusal(int error) { return error == EACCES || error == EPERM; }

std::string OwnExecutable() {
  std::array<char, 4096> path{};
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  return n > 0 ? std::string(path.data(), static_cast<std::size_t>(n)) : std::string("corvessa");
}

}  // namespace

ServerRuntime::ServerRuntime(RelationTable& table, const NetworkSettings& settings, HistoryList& history,
                             ServerReports& reports, const HostNetwork& host)
    : table_(table), settings_(settings), history_(history), reports_(reports), host_(host), clock_(CurrentLocalTime) {}

ServerRuntime::~ServerRuntime() = default;

void ServerRuntime::DropSocket() {
  if (!socket_) return;
  socket_.reset();
  reports_.SocketChanged();
}

std::uint32_t ServerRuntime::ChooseServerAddress(std::string_view storedAddress,
                                                 std::uint32_t firstHostAddress) const {
  if (storedAddress.empty()) return firstHostAddress;
  if (const std::optional<std::uint32_t> parsed = ParseDottedIp(storedAddress)) return *parsed;
  // "Unknown" is stored for an interface that had no address when it was
  // chosen. Replies must name a real address of the server (siaddr, server
  // identifier), so take what the interface has now, else the host's.
  for (const HostInterface& entry : host_.Interfaces()) {
    if (entry.name == interfaceName_ && !entry.addresses.empty()) return entry.addresses.front().address;
  }
  return firstHostAddress;
}

std::optional<StartFailure> ServerRuntime::StartServer(std::string_view interfaceName,
                                                       std::string_view storedAddress) {
  DropSocket();
  state_ = SocketState::Stopped;
  interfaceName_ = std::string(interfaceName);

  identity_.SetHostName(host_.HostName().value_or(std::string()));
  const HostAddresses hostAddresses = ResolveHostAddresses(host_);
  if (!hostAddresses.resolved || hostAddresses.addresses.empty()) {
    return StartFailure{std::string(LoadString(kIdsNoValidIpAddress))};
  }
  identity_.SetServerAddressHostOrder(ChooseServerAddress(storedAddress, hostAddresses.addresses.front()));

  // Bind first: on a desktop other servers often hold port 67 on other
  // interfaces (a virtual machines' bridge, a shared connection), and they
  // take none of our datagrams. Only holders that keep the bind from
  // succeeding are named.
  std::unique_ptr<ServerSocket> socket;
  BindFailure failure = BindSocket(socket);
  std::optional<std::vector<Port67Holder>> holders;
  if (failure.step == BindStep::Create && failure.error == EADDRINUSE) {
    holders = FindHolders();
    // They were all gone by the time they were looked for: once more.
    if (holders && holders->empty()) failure = BindSocket(socket);
  }
  switch (failure.step) {
    case BindStep::None:
      break;
    case BindStep::Allocate:
      return StartFailure{std::string(LoadString(kIdsServerSocketAllocFailed))};
    case BindStep::Broadcast:
      return StartFailure{std::string(LoadString(kIdsServerSocketBroadcastFailed))};
    case BindStep::Create:
      if (failure.error == EADDRINUSE) {
        // Never a text that hides the cause: what cannot be named is still
        // a holder of the port.
        const std::string lines = holders && !holders->empty() ? DescribePort67Holders(*holders)
                                                               : std::string(text::kPort67UnknownOwner) + "\n";
        return StartFailure{PortInUseText(lines)};
      }
      if (IsPrivilegeRefusal(failure.error)) {
        const std::string executable = executablePath_.empty() ? OwnExecutable() : executablePath_;
        return StartFailure{FormatText(text::kNoPrivilegeFormat, executable.c_str())};
      }
      return StartFailure{std::string(LoadString(kIdsServerSocketCreateFailed))};
  }
  socket_ = std::move(socket);
  boundIndex_ = socket_->HomeInterfaceIndex();
  state_ = SocketState::Serving;
  nextRebindDelay_ = kFirstRebindDelay;
  notServingShown_ = false;
  reports_.SocketChanged();
  RestartProbe();
  return std::nullopt;
}

ServerRuntime::BindFailure ServerRuntime::BindSocket(std::unique_ptr<ServerSocket>& bound) {
  bound.reset();
  std::unique_ptr<ServerSocket> socket(new (std::nothrow) ServerSocket());
  if (!socket) return {BindStep::Allocate, ENOMEM};
  if (!socket->Create(interfaceName_, true)) return {BindStep::Create, socket->LastError()};
  if (!socket->EnableBroadcast()) return {BindStep::Broadcast, socket->LastError()};
  socket->SetSourceAddress(identity_.ServerAddressHostOrder());
  bound = std::move(socket);
  return {};
}

std::optional<std::vector<Port67Holder>> ServerRuntime::FindHolders() const {
  Port67Search search = ownerSearch_;
  search.interfaceIndex = static_cast<int>(if_nametoindex(interfaceName_.c_str()));
  return FindPort67Holders(search);
}

void ServerRuntime::StopServer() {
  DropSocket();
  state_ = SocketState::Stopped;
  probe_.Close();
  reports_.ProbeChanged();
}

void ServerRuntime::ReceiveFailed() {
  reports_.ServerStatus(LoadString(kIdsServerSocketReceiveError));
  RestartServerSocket();
}

std::optional<RequestOutcome> ServerRuntime::OnServerSocketEvent() {
  if (!socket_) return std::nullopt;
  const ReceiveResult received = socket_->Receive(receiveBuffer_.data(), receiveBuffer_.size());
  switch (received.status) {
    case ReceiveStatus::Nothing:
      // A read event with nothing waiting is not an error worth a restart.
      return std::nullopt;
    case ReceiveStatus::TooLong:
      // Anyone can send one; it says nothing about the socket.
      DropOversized(received.length, received.source);
      return std::nullopt;
    case ReceiveStatus::Error:
      ReceiveFailed();
      return std::nullopt;
    case ReceiveStatus::Datagram:
      return Handle(receiveBuffer_.data(), received.length);
  }
  return std::nullopt;
}

std::optional<RequestOutcome> ServerRuntime::HandleDatagram(const std::uint8_t* data, std::size_t length) {
  if (length > kBootpMessageSize) {
    DropOversized(length, 0);
    return std::nullopt;
  }
  return Handle(data, length);
}

void ServerRuntime::DropOversized(std::size_t length, std::uint32_t source) {
  ++oversized_;
  reports_.ServerStatus(FormatText(text::kOversizedDatagramFormat, static_cast<unsigned>(length),
                                   IpToText(source).c_str(), oversized_));
}

std::optional<RequestOutcome> ServerRuntime::Handle(const std::uint8_t* data, std::size_t length) {
  request_.Assign(data, length);
  const RequestKind kind = ClassifyRequest(request_);
  if (kind == RequestKind::NotARequest) return std::nullopt;
  ++requestCounter_;

  std::optional<RequestOutcome> outcome;
  if (kind == RequestKind::DhcpIgnored) outcome = OnDecline(request_);
  if (!outcome) outcome = Respond(request_, kind);
  AddHistoryEntry(history_, counts_, request_, outcome->served, clock_(),
                  outcome->conflict ? HistoryConflictText(outcome->conflict->address) : std::string());
  return outcome;
}

Relation* ServerRuntime::Serve(const BootpMessage& request, RequestKind kind) {
  NoSender noSender;
  DatagramSender& sender = senderOverride_ != nullptr ? *senderOverride_
                           : socket_                  ? static_cast<DatagramSender&>(*socket_)
                                                      : noSender;
  ServerContext context{table_, settings_, identity_, sender};
  if (kind == RequestKind::Bootp) return ServeBootp(request, context);
  if (kind == RequestKind::DhcpAnswered) return ServeDhcp(request, context);
  return nullptr;
}

bool ServerRuntime::ClearHistory() {
  if (!corvessa::ClearHistory(history_, requestCounter_)) {
    reports_.ServerStatus(LoadString(kIdsDeleteItemsFailed));
    return false;
  }
  return true;
}

bool ServerRuntime::SendForceRenew(const std::vector<const Relation*>& selectedRows) {
  if (selectedRows.empty()) return true;
  if (senderOverride_ == nullptr && !socket_) {
    reports_.ServerStatus(kResetWithoutSocketText);
    return false;
  }
  const Endpoint destination{kLimitedBroadcast, kBootpClientPort};
  for (const Relation* relation : selectedRows) {
    if (relation == nullptr) continue;
    ++requestCounter_;
    const auto message = BuildForceRenew(requestCounter_, *relation);
    reports_.ServerStatus(FormatString(kIdsSentNetworkReset, RelationMacText(*relation).c_str()));
    const bool sent = senderOverride_ != nullptr
                          ? senderOverride_->SendTo(message.data(), message.size(), destination)
                          : socket_->SendUnsolicited(message.data(), message.size(), destination);
    if (!sent) return false;
  }
  return true;
}

}  // namespace corvessa
