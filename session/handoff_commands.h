#pragma once
// Hand-over to and from a permanent DHCP service: File, Import of Kea or
// dnsmasq reservations into the relation list, and File, Export of the list
// as a Kea configuration (one server or a hot-standby pair) or a dnsmasq
// snippet.

#include <functional>
#include <string>

#include "files/handoff_source.h"
#include "files/kea_config.h"
#include "session/command_host.h"
#include "session/file_commands.h"
#include "session/session.h"

namespace corvessa {

// The options dialog of the Kea export: changes `options` and returns true
// for OK. `bootpDevices` listed devices asked by BOOTP during this run;
// `defaultPeerUrl` is where the primary of a pair is reached by default.
class KeaOptionsPort {
 public:
  virtual ~KeaOptionsPort() = default;
  virtual bool Ask(KeaOptions& options, int bootpDevices, const std::string& defaultPeerUrl) = 0;
};

class HandoffCommands {
 public:
  // `source` gives the interface the server runs on and its address there.
  HandoffCommands(Session& session, CommandHost& host, FileCommands& files, KeaOptionsPort& kea,
                  std::function<HandoffSource()> source)
      : session_(session), host_(host), files_(files), kea_(kea), source_(std::move(source)) {}

  void OnImport();
  void OnExportKea();
  void OnExportDnsmasq();

 private:
  std::optional<std::string> SaveExport(std::string_view filter, const HandoffExport& result);

  Session& session_;
  CommandHost& host_;
  FileCommands& files_;
  KeaOptionsPort& kea_;
  std::function<HandoffSource()> source_;
};

}  // namespace corvessa
