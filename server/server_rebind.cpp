// Keeping the server socket on the chosen interface while the program runs:
// binding again after a receive error, retrying a bind that failed, and
// following the interface when it goes, comes back or changes its address.

#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/address.h"
#include "core/strings.h"
#include "server/server_runtime.h"
#include "server/server_texts.h"

namespace corvessa {

void ServerRuntime::RestartServerSocket() {
  if (!socket_) return;
  // Replaced without a word in between: the owner hears of the change once.
  socket_.reset();
  nextRebindDelay_ = kFirstRebindDelay;
  BindAgain(false);
}

void ServerRuntime::Rebind() {
  if (state_ != SocketState::Retrying) return;
  BindAgain(false);
}

void ServerRuntime::BindAgain(bool interfaceBack) {
  std::unique_ptr<ServerSocket> socket;
  const BindFailure failure = BindSocket(socket);
  if (failure.step == BindStep::None) {
    socket_ = std::move(socket);
    boundIndex_ = socket_->HomeInterfaceIndex();
    state_ = SocketState::Serving;
    nextRebindDelay_ = kFirstRebindDelay;
    reports_.SocketChanged();
    if (interfaceBack) {
      reports_.ServerStatus(FormatText(text::kInterfaceBackFormat, interfaceName_.c_str()));
    } else if (notServingShown_) {
      reports_.ServerStatus(FormatText(text::kServingAgainFormat, interfaceName_.c_str()));
    }
    notServingShown_ = false;
    return;
  }
  socket_.reset();
  reports_.SocketChanged();
  state_ = SocketState::Retrying;
  const std::chrono::milliseconds delay = nextRebindDelay_;
  nextRebindDelay_ = std::min(delay * 2, kLongestRebindDelay);
  reports_.ServerStatus(FormatText(text::kNotServingFormat, interfaceName_.c_str(), RebindFailureReason(failure).c_str(),
                               static_cast<unsigned>(delay.count() / 1000)));
  notServingShown_ = true;
  reports_.ScheduleRebind(delay);
}

std::string ServerRuntime::RebindFailureReason(const BindFailure& failure) const {
  if (failure.step == BindStep::Create) {
    if (failure.error == EADDRINUSE) {
      const auto holders = FindHolders();
      return FormatText(text::kReasonPortTakenFormat,
                        NamePort67Holders(holders.value_or(std::vector<Port67Holder>{})).c_str());
    }
    if (failure.error == EACCES || failure.error == EPERM) return std::string(text::kReasonNoPrivilege);
    if (failure.error == ENODEV) return std::string(text::kReasonNoInterface);
  }
  return std::strerror(failure.error);
}

void ServerRuntime::OnInterfaceEvents(const std::vector<LinkEvent>& events) {
  if (state_ == SocketState::Stopped) return;
  const bool concernsUs = std::any_of(events.begin(), events.end(), [&](const LinkEvent& event) {
    return event.kind == LinkEventKind::Overrun || event.name == interfaceName_ ||
           (event.index != 0 && event.index == boundIndex_);
  });
  if (concernsUs) InterfacesChanged();
}

void ServerRuntime::InterfacesChanged() {
  // The kernel's own answer, as the socket's device binding sees it.
  const int index = static_cast<int>(if_nametoindex(interfaceName_.c_str()));
  if (index == 0) {
    if (state_ == SocketState::InterfaceGone) return;
    socket_.reset();
    reports_.SocketChanged();
    state_ = SocketState::InterfaceGone;
    probe_.Close();
    reports_.ProbeChanged();
    notServingShown_ = true;
    reports_.ServerStatus(FormatText(text::kInterfaceGoneFormat, interfaceName_.c_str()));
    return;
  }
  // Back, or deleted and created again faster than we looked: the old
  // socket is bound to an interface index that no longer exists.
  if (state_ == SocketState::InterfaceGone || index != boundIndex_) {
    socket_.reset();
    nextRebindDelay_ = kFirstRebindDelay;
    BindAgain(true);
    // Whatever was probed was probed on the interface that went: a new run.
    RestartProbe();
  }
  FollowInterfaceAddress();
}

void ServerRuntime::FollowInterfaceAddress() {
  const std::vector<HostInterface> interfaces = host_.Interfaces();
  const auto entry = std::find_if(interfaces.begin(), interfaces.end(),
                                  [&](const HostInterface& candidate) { return candidate.name == interfaceName_; });
  if (entry == interfaces.end() || entry->addresses.empty()) return;
  const std::uint32_t current = identity_.ServerAddressHostOrder();
  const bool stillThere = std::any_of(entry->addresses.begin(), entry->addresses.end(),
                                      [&](const InterfaceAddress& address) { return address.address == current; });
  if (stillThere) return;

  // Replies must name an address the devices can reach the server at, and
  // the next start must not name the old one again.
  const std::uint32_t next = entry->addresses.front().address;
  identity_.SetServerAddressHostOrder(next);
  if (socket_) socket_->SetSourceAddress(next);
  reports_.ServerAddressMoved(interfaceName_, next);
  reports_.ServerStatus(FormatText(text::kServerAddressMovedFormat, interfaceName_.c_str(), IpToText(next).c_str(),
                               IpToText(current).c_str()));
}

}  // namespace corvessa
