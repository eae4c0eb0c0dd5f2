#include "service/service_log.h"

#include "core/address.h"

namespace corvessa::service {

namespace {

void AddFields(LogLine& line, const RelationFields& fields) {
  line.Add("mac", fields.mac).Add("ip", fields.ip).Add("hostname", fields.hostname).Add("description",
                                                                                        fields.description);
}

LogLine ChangeLine(const RelationChange& change) {
  switch (change.kind) {
    case ChangeKind::Added: {
      LogLine line("added");
      AddFields(line, change.now);
      return line;
    }
    case ChangeKind::Removed: {
      LogLine line("removed");
      AddFields(line, change.before);
      return line;
    }
    case ChangeKind::Changed:
      break;
  }
  LogLine line("changed");
  AddFields(line, change.now);
  if (change.now.ip != change.before.ip) line.Add("was-ip", change.before.ip);
  if (change.now.hostname != change.before.hostname) line.Add("was-hostname", change.before.hostname);
  if (change.now.description != change.before.description) line.Add("was-description", change.before.description);
  return line;
}

}  // namespace

LogLine ServingLine(std::string_view interfaceName, std::string_view serverAddress, std::string_view file,
                    int relations, const NetworkSettings& settings) {
  LogLine line("serving");
  line.Add("interface", interfaceName).Add("server", serverAddress).Add("file", file);
  line.Add("relations", std::to_string(relations));
  for (const NamedSetting& setting : NamedSettings(settings)) line.Add(setting.name, setting.value);
  return line;
}

LogLine RequestLine(const HistoryEntry& row, std::string_view status) {
  LogLine line("request");
  line.Add("mac", row.mac).Add("type", row.type).Add("time", row.time).Add("count", row.count);
  line.Add("ip", row.ipAddress).Add("hostname", row.hostname).Add("status", status);
  return line;
}

LogLine AnsweredLine(const HistoryEntry& row, std::string_view status) {
  LogLine line("answered");
  line.Add("mac", row.mac).Add("type", row.type).Add("time", row.time).Add("count", row.count);
  line.Add("ip", row.ipAddress).Add("hostname", row.hostname).Add("status", status);
  return line;
}

LogLine ConflictLine(const AddressConflict& conflict, std::string_view device, std::string_view text) {
  std::string_view reason = "in-use";
  if (conflict.state == AddressState::Declined) {
    reason = "declined";
  } else if (conflict.evidence == ProbeEvidence::OwnAddress) {
    reason = "own-address";
  }
  const std::string holder =
      conflict.holder ? MacToText(conflict.holder->data(), conflict.holder->size()) : std::string();
  return LogLine("conflict")
      .Add("ip", IpToText(conflict.address))
      .Add("mac", device)
      .Add("holder", holder)
      .Add("reason", reason)
      .Add("text", text);
}

LogLine ConfirmedLine(std::uint32_t address) { return LogLine("confirmed").Add("ip", IpToText(address)); }

LogLine StatusLine(std::string_view text) { return LogLine("status").Add("text", text); }

LogLine WarningLine(std::string_view text) { return LogLine("warning").Add("text", text); }

std::vector<LogLine> ReloadLines(std::string_view file, int relations, const ListChanges& changes) {
  std::vector<LogLine> lines;
  LogLine summary("reloaded");
  summary.Add("file", file).Add("relations", std::to_string(relations));
  summary.Add("added", std::to_string(changes.Count(ChangeKind::Added)));
  summary.Add("removed", std::to_string(changes.Count(ChangeKind::Removed)));
  summary.Add("changed", std::to_string(changes.Count(ChangeKind::Changed)));
  summary.Add("settings", changes.settings.empty() ? "unchanged" : "changed");
  lines.push_back(summary);
  for (const RelationChange& change : changes.relations) lines.push_back(ChangeLine(change));
  for (const SettingChange& setting : changes.settings) {
    lines.push_back(LogLine("setting").Add("name", setting.name).Add("value", setting.now).Add("was", setting.before));
  }
  return lines;
}

LogLine ReloadFailedLine(std::string_view file, int relationsKept, std::string_view reason) {
  return LogLine("reload-failed").Add("file", file).Add("relations-kept", std::to_string(relationsKept)).Add("reason",
                                                                                                             reason);
}

LogLine StoppingLine(std::string_view signalName) { return LogLine("stopping").Add("signal", signalName); }

}  // namespace corvessa::service
