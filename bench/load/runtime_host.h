#pragma once
// A ServerRuntime without a window: the socket's read events come from a
// QSocketNotifier on the calling thread's event loop, one datagram per
// activation (the main window also handles the events of datagrams already
// waiting before it paints). The relation list and status line are not
// drawn, so what is measured is the request handling alone.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QSocketNotifier>

#include "bench/load/fleet.h"
#include "bench/load/lab.h"
#include "netconfig/host_network.h"
#include "relations/relation_table.h"
#include "server/history.h"
#include "server/server_runtime.h"
#include "ui/settings_store.h"

namespace corvessa::load {

class RuntimeHost final : public ServerReports {
 public:
  // The calling thread must be in the Lab's server namespace.
  RuntimeHost(const Lab& lab, const std::vector<Device>& fleet);
  ~RuntimeHost() override;

  // StartServer on the server veth, the settings of the settings file, then
  // the fleet's relations (the start empties the table). False when the
  // start hit a fatal step.
  bool Start();

  // ServerReports
  void ServerStatus(std::string_view text) override { status_ = std::string(text); }
  void SocketChanged() override;

 private:
  const Lab& lab_;
  const std::vector<Device>& fleet_;
  RelationTable table_;
  NetworkSettings settings_;
  HistoryList history_;
  SettingsStore store_;
  HostNetwork host_;
  std::unique_ptr<ServerRuntime> runtime_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::string status_;
};

}  // namespace corvessa::load
