#pragma once
// The relation file the service serves, read as the window opens it
// (Session::Load), with the network settings the options give.

#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "core/network_settings.h"
#include "relations/relation_table.h"

namespace corvessa::service {

struct ServedList {
  RelationTable relations;
  NetworkSettings settings;
  // What the window would say besides: records omitted, the limit reached.
  std::vector<std::string> warnings;
};

struct ListLoad {
  std::optional<ServedList> list;
  std::string failure;  // why there is no list: the window's text for the file, or the settings' fault
};

// Reads `path` (.csv by its name, else .bpc), then lays the options over the
// settings (a .csv file brings none). Fails when the file cannot be read or
// the settings are not valid.
ListLoad LoadServedList(const std::string& path, const cli::SettingsOptions& options);

}  // namespace corvessa::service
