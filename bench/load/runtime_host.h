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
#include "ui/prompts.h"
#include "ui/settings_store.h"

namespace corvessa::load {

class RuntimeHost final : public ServerOwner, public Prompts {
 public:
  // The calling thread must be in the Lab's server namespace.
  RuntimeHost(const Lab& lab, const std::vector<Device>& fleet);
  ~RuntimeHost() override;

  // StartServer on the server veth, the settings of the settings file, then
  // the fleet's relations (the start empties the table). False when the
  // start hit a fatal step.
  bool Start();

  // ServerOwner
  void StatusLine(std::string_view text) override { status_ = std::string(text); }
  int RelationListLastFullyVisibleRow() override { return 0; }
  void RefreshRelationList() override {}
  void EnsureRelationRowVisible(int) override {}
  void SocketChanged() override;

  // Prompts: a start-up failure is printed, never shown.
  void Message(std::string_view text, std::string_view caption) override;
  PromptAnswer AskYesNoCancel(std::string_view, std::string_view) override { return PromptAnswer::Cancel; }

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
  bool fatal_ = false;
};

}  // namespace corvessa::load
