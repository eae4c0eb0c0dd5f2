#pragma once
// The server: the socket on the chosen interface, the server's identity, the
// request counter and counts, and the handling of each received datagram. It
// shows nothing and reads no settings: each request returns what happened,
// a start returns why it failed, and what happens between requests (a
// dropped datagram, an interface that goes or comes back) is reported to the
// owner, who decides how to show it. The window and the headless service
// both run it on one thread and watch Fd() for reads.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/network_settings.h"
#include "netconfig/host_network.h"
#include "netconfig/link_watch.h"
#include "relations/relation_table.h"
#include "server/address_guard.h"
#include "server/address_probe.h"
#include "server/bootp_message.h"
#include "server/history.h"
#include "server/port67_owners.h"
#include "server/reply.h"
#include "server/server_socket.h"

namespace corvessa {

// Status text of the reset command when there is no server socket to send
// from (after a failed restart).
inline constexpr std::string_view kResetWithoutSocketText =
    "The server socket is closed: no network reset message was sent.";

// What the runtime reports to its owner between requests.
class ServerReports {
 public:
  virtual ~ServerReports() = default;
  // A text for the status line: an ignored datagram, a server that is not
  // serving and why, an interface that went or came back.
  virtual void ServerStatus(std::string_view text) = 0;
  // The server socket was closed or replaced: watch Fd() again (-1 when
  // there is none).
  virtual void SocketChanged() = 0;
  // Call Rebind() once `delay` has passed (replacing any earlier request). An
  // owner without a timer never retries a failed bind.
  virtual void ScheduleRebind(std::chrono::milliseconds delay) { (void)delay; }
  // The chosen interface's address changed while the server ran and replies
  // now name `address` (host order): the address to remember for it.
  virtual void ServerAddressMoved(std::string_view interfaceName, std::uint32_t address) {
    (void)interfaceName;
    (void)address;
  }
  // The address probe's socket was opened or closed: watch ProbeFd() again
  // (-1 when there is none to watch).
  virtual void ProbeChanged() {}
  // A probe started: call OnProbeDeadline() at `deadline` (replacing any
  // earlier request). NextProbeDeadline() always tells the earliest.
  virtual void ScheduleProbeCheck(std::chrono::steady_clock::time_point deadline) { (void)deadline; }
};

// Why the server could not start: the text of the box that says so (its
// caption is always "Network Setup Warning"). The start cannot go on.
struct StartFailure {
  std::string text;
};

// A listed device's address that is not given because another device holds
// it, or because the device itself declined it.
struct AddressConflict {
  std::uint32_t address = 0;  // host order
  AddressState state = AddressState::Taken;  // Taken or Declined
  ProbeEvidence evidence = ProbeEvidence::Nothing;
  // Who answered at the address, where known.
  std::optional<HardwareAddress> holder;
  // Found just now (by a probe or a decline); false for a request refused
  // because of a conflict found before.
  bool found = false;
};

// What one received request led to.
struct RequestOutcome {
  RequestKind kind = RequestKind::NotARequest;
  // The relation served (a BOOTREPLY or an ACK went out); its type is set.
  Relation* served = nullptr;
  // The status line's text: sent, unable to service, checking the address
  // first, or the conflict.
  std::string statusText;
  // The request waits while its address is checked; its answer (or refusal)
  // comes as an outcome of OnProbeReadable or OnProbeDeadline.
  bool waiting = false;
  std::optional<AddressConflict> conflict;
  // The answer to a request that waited for its address to be checked.
  bool afterProbe = false;
  // The hardware address of the request (for owners that log it).
  std::string deviceText;
};

// The first wait before a failed bind is tried again, doubled after each
// failure up to the longest.
inline constexpr std::chrono::milliseconds kFirstRebindDelay{1000};
inline constexpr std::chrono::milliseconds kLongestRebindDelay{30000};

class ServerRuntime {
 public:
  ServerRuntime(RelationTable& table, const NetworkSettings& settings, HistoryList& history, ServerReports& reports,
                const HostNetwork& host);
  ~ServerRuntime();
  ServerRuntime(const ServerRuntime&) = delete;
  ServerRuntime& operator=(const ServerRuntime&) = delete;

  // Sets up the server on the named interface and fills the identity; the
  // server's address is `storedAddress` (the dotted text remembered for the
  // interface), else what the interface or the host has. The relations are
  // the caller's to empty. Nothing on success; a failure leaves no socket.
  [[nodiscard]] std::optional<StartFailure> StartServer(std::string_view interfaceName,
                                                        std::string_view storedAddress);
  // After a receive error: a new socket bound exactly as the start bound it.
  // A failure goes to the status line and is tried again later (Rebind).
  void RestartServerSocket();
  // The owner's timer ran out: binds again if the server is still waiting
  // to; another failure schedules the next, longer wait.
  void Rebind();
  // What the interface watch saw. Changes of the chosen interface are acted
  // on: gone (the socket is closed and the status line says so), back or
  // re-created under its name (bound again), a new address (the server
  // identity follows it).
  void OnInterfaceEvents(const std::vector<LinkEvent>& events);
  // One read event: receives one datagram and handles it. Nothing when no
  // request came of it (nothing waiting, not a request, dropped).
  std::optional<RequestOutcome> OnServerSocketEvent();
  // Handles one datagram as if it had just been received (benchmarks and
  // fuzzers drive the whole handling with it).
  std::optional<RequestOutcome> HandleDatagram(const std::uint8_t* data, std::size_t length);
  // Empties the history; the request counter restarts at 0.
  bool ClearHistory();
  // FORCERENEW to each relation in turn; false at the first failed send.
  bool SendForceRenew(const std::vector<const Relation*>& selectedRows);
  // Closes the server socket (window destruction).
  void StopServer();

  // --- Address conflicts ---
  // Before the first reply of an address in a run, it is probed; a request
  // waits for the probe (at most kProbeWait). Off: every listed device is
  // answered at once, unprobed (a load benchmark's harness). Takes effect at
  // the next start.
  void SetAddressProbing(bool on) { probingWanted_ = on; }
  // The probe's socket to watch for reads, -1 when there is none.
  int ProbeFd() const { return probe_.Fd(); }
  std::optional<std::chrono::steady_clock::time_point> NextProbeDeadline() const { return probe_.NextDeadline(); }
  // Echo replies arrived, or the earliest deadline came: the requests that
  // waited are answered or refused.
  std::vector<RequestOutcome> OnProbeReadable();
  std::vector<RequestOutcome> OnProbeDeadline(
      std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
  // The user confirms an address in conflict: it is given from now on. False
  // when the address was in no conflict.
  bool ConfirmAddress(std::uint32_t address);
  // Addresses not given until the user confirms them.
  std::vector<std::uint32_t> Conflicts() const { return guard_.Conflicts(); }
  bool InConflict(std::uint32_t address) const;
  const AddressGuard& Guard() const { return guard_; }

  // Datagrams longer than any request, dropped since the program started.
  unsigned long OversizedDatagrams() const { return oversized_; }
  int Fd() const { return socket_ ? socket_->Fd() : -1; }
  bool DatagramWaiting() const { return socket_ && socket_->DatagramWaiting(); }
  bool HasSocket() const { return socket_ != nullptr; }
  const ServerSocket* Socket() const { return socket_.get(); }
  const ServerIdentity& Identity() const { return identity_; }
  std::uint32_t RequestCounter() const { return requestCounter_; }
  const RequestCountTable& Counts() const { return counts_; }

  // Defaults: the live kernel and "/proc", CurrentLocalTime.
  // A /proc tree of the test's own; the kernel is then not asked either.
  void SetProcRoot(std::string procRoot) {
    ownerSearch_.procRoot = std::move(procRoot);
    ownerSearch_.askKernel = false;
  }
  // The program's executable, named in the command that grants the port
  // privilege; default: /proc/self/exe.
  void SetExecutablePath(std::string path) { executablePath_ = std::move(path); }
  void SetClock(std::function<LocalTime()> clock) { clock_ = std::move(clock); }
  // Replies and reset messages go through `sender` instead of the socket;
  // nullptr returns to the socket. Not owned.
  void SetSender(DatagramSender* sender) { senderOverride_ = sender; }

 private:
  enum class SocketState {
    Stopped,        // before the start, after StopServer
    Serving,        // bound to the chosen interface
    Retrying,       // a bind failed; Rebind() tries again
    InterfaceGone,  // the chosen interface does not exist; its return rebinds
  };
  // Where a bind failed, and its errno.
  enum class BindStep { None, Allocate, Create, Broadcast };
  struct BindFailure {
    BindStep step = BindStep::None;
    int error = 0;
  };

  std::uint32_t ChooseServerAddress(std::string_view storedAddress, std::uint32_t firstHostAddress) const;
  std::optional<RequestOutcome> Handle(const std::uint8_t* data, std::size_t length);
  // Sends the reply the request gets, unless its address must be probed
  // first or is in conflict.
  RequestOutcome Respond(const BootpMessage& request, RequestKind kind);
  Relation* Serve(const BootpMessage& request, RequestKind kind);
  // A DHCPDECLINE from a listed device: its address is in conflict.
  std::optional<RequestOutcome> OnDecline(const BootpMessage& request);
  std::vector<RequestOutcome> ProbesFinished(const std::vector<ProbeResult>& results);
  std::optional<RequestOutcome> ProbeFinished(const ProbeResult& result);
  AddressConflict ConflictOf(std::uint32_t address, bool found) const;
  // A new run of the guard: after the start, or on a re-created interface.
  void RestartProbe();
  void ScheduleProbeCheck();
  void DropOversized(std::size_t length, std::uint32_t source);
  void ReceiveFailed();
  void DropSocket();
  // A socket bound as the start binds it: to the chosen interface, with
  // broadcasts on and the server address as the source.
  BindFailure BindSocket(std::unique_ptr<ServerSocket>& bound);
  // The holders of port 67 that keep it from the chosen interface.
  std::optional<std::vector<Port67Holder>> FindHolders() const;
  // Binds again. A success after a failure, or after the interface's return
  // (`interfaceBack`), says so; a failure says why and schedules the next try.
  void BindAgain(bool interfaceBack);
  std::string RebindFailureReason(const BindFailure& failure) const;
  void InterfacesChanged();
  void FollowInterfaceAddress();

  RelationTable& table_;
  const NetworkSettings& settings_;
  HistoryList& history_;
  ServerReports& reports_;
  const HostNetwork& host_;

  std::unique_ptr<ServerSocket> socket_;
  std::string interfaceName_;
  ServerIdentity identity_;
  std::uint32_t requestCounter_ = 0;
  RequestCountTable counts_;
  std::array<std::uint8_t, kReceiveBufferSize> receiveBuffer_{};
  BootpMessage request_;

  SocketState state_ = SocketState::Stopped;
  std::chrono::milliseconds nextRebindDelay_ = kFirstRebindDelay;
  // The index the socket was bound under; a different one under the same
  // name is a re-created interface.
  int boundIndex_ = 0;
  // The status line says the server is not serving; a success says it again.
  bool notServingShown_ = false;
  unsigned long oversized_ = 0;

  AddressGuard guard_;
  AddressProbe probe_;
  bool probingWanted_ = true;

  Port67Search ownerSearch_;
  std::string executablePath_;
  std::function<LocalTime()> clock_;
  DatagramSender* senderOverride_ = nullptr;
};

}  // namespace corvessa
