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
#include "server/port67_owners.h"
#include "server/server_texts.h"
#include "ui/network_settings_store.h"

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

ServerRuntime::ServerRuntime(RelationTable& table, NetworkSettings& settings, HistoryList& history,
                             SettingsStore& store, Prompts& prompts, ServerOwner& owner, const HostNetwork& host)
    : table_(table),
      settings_(settings),
      history_(history),
      store_(store),
      prompts_(prompts),
      owner_(owner),
      host_(host),
      fatalExit_([] { std::_Exit(kFatalExitStatus); }),
      clock_(CurrentLocalTime) {}

ServerRuntime::~ServerRuntime() = default;

bool ServerRuntime::Fatal(std::unique_lock<std::recursive_mutex>& held, const std::string& text) {
  // The message box must never be shown with the lock held.
  held.unlock();
  prompts_.Message(text, LoadString(kIdsNetworkSetupWarningCaption));
  fatalExit_();
  return false;
}

void ServerRuntime::DropSocket() {
  if (!socket_) return;
  socket_.reset();
  owner_.SocketChanged();
}

std::uint32_t ServerRuntime::ChooseServerAddress(std::string_view interfaceName,
                                                 std::uint32_t firstHostAddress) const {
  const std::string text = ReadInterfaceAddressText(store_, interfaceName);
  if (text.empty()) return firstHostAddress;
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) == 1) return ntohl(parsed.s_addr);
  // "Unknown" is stored for an interface that had no address when it was
  // chosen. Replies must name a real address of the server (siaddr, server
  // identifier), so take what the interface has now, else the host's.
  for (const HostInterface& entry : host_.Interfaces()) {
    if (entry.name == interfaceName && !entry.addresses.empty()) return entry.addresses.front().address;
  }
  return firstHostAddress;
}

bool ServerRuntime::StartServer(std::string_view interfaceName) {
  std::unique_lock held(lock_);
  DropSocket();
  state_ = SocketState::Stopped;
  table_.Clear();
  interfaceName_ = std::string(interfaceName);

  identity_.SetHostName(host_.HostName().value_or(std::string()));
  const HostAddresses hostAddresses = ResolveHostAddresses(host_);
  if (!hostAddresses.resolved || hostAddresses.addresses.empty()) {
    return Fatal(held, std::string(LoadString(kIdsNoValidIpAddress)));
  }
  identity_.SetServerAddressHostOrder(ChooseServerAddress(interfaceName, hostAddresses.addresses.front()));

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
      return Fatal(held, std::string(LoadString(kIdsServerSocketAllocFailed)));
    case BindStep::Broadcast:
      return Fatal(held, std::string(LoadString(kIdsServerSocketBroadcastFailed)));
    case BindStep::Create:
      if (failure.error == EADDRINUSE) {
        // Never a text that hides the cause: what cannot be named is still
        // a holder of the port.
        const std::string lines = holders && !holders->empty() ? DescribePort67Holders(*holders)
                                                               : std::string(text::kPort67UnknownOwner) + "\n";
        return Fatal(held, PortInUseText(lines));
      }
      if (IsPrivilegeRefusal(failure.error)) {
        const std::string executable = executablePath_.empty() ? OwnExecutable() : executablePath_;
        return Fatal(held, FormatText(text::kNoPrivilegeFormat, executable.c_str()));
      }
      return Fatal(held, std::string(LoadString(kIdsServerSocketCreateFailed)));
  }
  socket_ = std::move(socket);
  boundIndex_ = socket_->HomeInterfaceIndex();
  state_ = SocketState::Serving;
  nextRebindDelay_ = kFirstRebindDelay;
  notServingShown_ = false;
  owner_.SocketChanged();
  return true;
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
  std::lock_guard held(lock_);
  DropSocket();
  state_ = SocketState::Stopped;
}

void ServerRuntime::ReceiveFailed() {
  owner_.StatusLine(LoadString(kIdsServerSocketReceiveError));
  RestartServerSocket();
}

void ServerRuntime::OnServerSocketEvent() {
  std::lock_guard held(lock_);
  if (!socket_) return;
  const ReceiveResult received = socket_->Receive(receiveBuffer_.data(), receiveBuffer_.size());
  switch (received.status) {
    case ReceiveStatus::Nothing:
      // A read event with nothing waiting is not an error worth a restart.
      return;
    case ReceiveStatus::TooLong:
      // Anyone can send one; it says nothing about the socket.
      DropOversized(received.length, received.source);
      return;
    case ReceiveStatus::Error:
      ReceiveFailed();
      return;
    case ReceiveStatus::Datagram:
      Handle(receiveBuffer_.data(), received.length);
      return;
  }
}

void ServerRuntime::HandleDatagram(const std::uint8_t* data, std::size_t length) {
  std::lock_guard held(lock_);
  if (length > kBootpMessageSize) {
    DropOversized(length, 0);
    return;
  }
  Handle(data, length);
}

void ServerRuntime::DropOversized(std::size_t length, std::uint32_t source) {
  ++oversized_;
  owner_.StatusLine(FormatText(text::kOversizedDatagramFormat, static_cast<unsigned>(length),
                               IpToText(source).c_str(), oversized_));
}

void ServerRuntime::Handle(const std::uint8_t* data, std::size_t length) {
  request_.Assign(data, length);
  const RequestKind kind = ClassifyRequest(request_);
  if (kind == RequestKind::NotARequest) return;
  ++requestCounter_;

  NoSender noSender;
  DatagramSender& sender = senderOverride_ != nullptr ? *senderOverride_
                           : socket_                  ? static_cast<DatagramSender&>(*socket_)
                                                      : noSender;
  ServerContext context{table_, settings_, identity_, sender};
  Relation* served = nullptr;
  if (kind == RequestKind::Bootp) {
    served = ServeBootp(request_, context);
  } else if (kind == RequestKind::DhcpAnswered) {
    served = ServeDhcp(request_, context);
  }
  AddHistoryEntry(history_, counts_, request_, served, clock_());

  const std::string mac = RequestMacText(request_);
  std::string text;
  if (served != nullptr) {
    const int lastVisible = owner_.RelationListLastFullyVisibleRow();
    text = FormatString(kIdsSentToEthernet, IpToText(served->ipAddress).c_str(), mac.c_str());
    owner_.RefreshRelationList();
    owner_.EnsureRelationRowVisible(lastVisible);
  } else {
    const std::string_view type = kind == RequestKind::Bootp ? text::kTypeBootp : text::kTypeDhcp;
    text = FormatString(kIdsUnableToService, std::string(type).c_str(), mac.c_str());
  }
  owner_.StatusLine(text);
}

bool ServerRuntime::ClearHistory() {
  std::lock_guard held(lock_);
  if (!corvessa::ClearHistory(history_, requestCounter_)) {
    owner_.StatusLine(LoadString(kIdsDeleteItemsFailed));
    return false;
  }
  return true;
}

bool ServerRuntime::SendForceRenew(const std::vector<const Relation*>& selectedRows) {
  std::lock_guard held(lock_);
  if (selectedRows.empty()) return true;
  if (senderOverride_ == nullptr && !socket_) {
    owner_.StatusLine(kResetWithoutSocketText);
    return false;
  }
  const Endpoint destination{kLimitedBroadcast, kBootpClientPort};
  for (const Relation* relation : selectedRows) {
    if (relation == nullptr) continue;
    ++requestCounter_;
    const auto message = BuildForceRenew(requestCounter_, *relation);
    const std::size_t macLength = std::min<std::size_t>(relation->hardwareAddressLength, kMacCapacity);
    owner_.StatusLine(
        FormatString(kIdsSentNetworkReset, MacToText(relation->hardwareAddress.data(), macLength).c_str()));
    const bool sent = senderOverride_ != nullptr
                          ? senderOverride_->SendTo(message.data(), message.size(), destination)
                          : socket_->SendUnsolicited(message.data(), message.size(), destination);
    if (!sent) return false;
  }
  return true;
}

}  // namespace corvessa
