#pragma once
// The server half of the main window's state: the server socket, the server's
// identity, the request counter and counts, and the handling of each received
// datagram. It has no window of its own; the window supplies a ServerOwner
// for the status line and the relation list, and watches Fd() for reads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/network_settings.h"
#include "netconfig/host_network.h"
#include "relations/relation_table.h"
#include "server/bootp_message.h"
#include "server/history.h"
#include "server/reply.h"
#include "server/server_socket.h"
#include "ui/prompts.h"
#include "ui/settings_store.h"

namespace corvessa {

// Status text of the reset command when there is no server socket to send
// from (after a failed restart).
inline constexpr std::string_view kResetWithoutSocketText =
    "The server socket is closed: no network reset message was sent.";

// What the runtime asks of the window that owns it.
class ServerOwner {
 public:
  virtual ~ServerOwner() = default;
  virtual void StatusLine(std::string_view text) = 0;
  // Top visible row of the relation list + rows that fit - 1.
  virtual int RelationListLastFullyVisibleRow() = 0;
  virtual void RefreshRelationList() = 0;
  virtual void EnsureRelationRowVisible(int row) = 0;
  // The server socket was closed or replaced: re-attach the read notifier to
  // Fd() (-1 when there is none).
  virtual void SocketChanged() = 0;
};

class ServerRuntime {
 public:
  ServerRuntime(RelationTable& table, NetworkSettings& settings, HistoryList& history, SettingsStore& store,
                Prompts& prompts, ServerOwner& owner, const HostNetwork& host);
  ~ServerRuntime();
  ServerRuntime(const ServerRuntime&) = delete;
  ServerRuntime& operator=(const ServerRuntime&) = delete;

  // Sets up the server on the named interface and fills the identity. Every
  // failure shows its message box and ends the program; returns false only
  // when the injected fatal exit returned.
  bool StartServer(std::string_view interfaceName);
  // After a receive error: a new socket on every local address. Failures go
  // to the status line and leave no socket.
  void RestartServerSocket();
  // One read event: receives one datagram and handles it.
  void OnServerSocketEvent();
  // Handles one datagram as if it had just been received (benchmarks and
  // fuzzers drive the whole handling with it).
  void HandleDatagram(const std::uint8_t* data, std::size_t length);
  // Empties the history; the request counter restarts at 0.
  bool ClearHistory();
  // FORCERENEW to each relation in turn; false at the first failed send.
  bool SendForceRenew(const std::vector<const Relation*>& selectedRows);
  // Closes the server socket (window destruction).
  void StopServer();

  std::recursive_mutex& Lock() { return lock_; }
  int Fd() const { return socket_ ? socket_->Fd() : -1; }
  bool DatagramWaiting() const { return socket_ && socket_->DatagramWaiting(); }
  bool HasSocket() const { return socket_ != nullptr; }
  const ServerSocket* Socket() const { return socket_.get(); }
  const ServerIdentity& Identity() const { return identity_; }
  std::uint32_t RequestCounter() const { return requestCounter_; }
  const RequestCountTable& Counts() const { return counts_; }

  // Defaults: std::_Exit(0), "/proc", CurrentLocalTime.
  void SetFatalExit(std::function<void()> fatalExit) { fatalExit_ = std::move(fatalExit); }
  void SetProcRoot(std::string procRoot) { procRoot_ = std::move(procRoot); }
  void SetClock(std::function<LocalTime()> clock) { clock_ = std::move(clock); }
  // Replies and reset messages go through `sender` instead of the socket;
  // nullptr returns to the socket. Not owned.
  void SetSender(DatagramSender* sender) { senderOverride_ = sender; }

 private:
  bool Fatal(std::unique_lock<std::recursive_mutex>& held, const std::string& text);
  std::uint32_t ChooseServerAddress(std::string_view interfaceName, std::uint32_t firstHostAddress) const;
  void Handle(const std::uint8_t* data, std::size_t length);
  void ReceiveFailed();
  void DropSocket();

  RelationTable& table_;
  NetworkSettings& settings_;
  HistoryList& history_;
  SettingsStore& store_;
  Prompts& prompts_;
  ServerOwner& owner_;
  const HostNetwork& host_;

  std::recursive_mutex lock_;
  std::unique_ptr<ServerSocket> socket_;
  std::string interfaceName_;
  ServerIdentity identity_;
  std::uint32_t requestCounter_ = 0;
  RequestCountTable counts_;
  std::array<std::uint8_t, kReceiveBufferSize> receiveBuffer_{};
  BootpMessage request_;

  std::function<void()> fatalExit_;
  std::string procRoot_ = "/proc";
  std::function<LocalTime()> clock_;
  DatagramSender* senderOverride_ = nullptr;
};

}  // namespace corvessa
