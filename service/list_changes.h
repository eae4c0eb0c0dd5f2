#pragma once
// What a reload changed: relations added, removed and changed (matched by
// their hardware address), and the settings that differ.

#include <string>
#include <vector>

#include "core/network_settings.h"
#include "relations/relation_table.h"

namespace corvessa::service {

// A relation's fields as the log shows them.
struct RelationFields {
  std::string mac, ip, hostname, description;
  bool operator==(const RelationFields&) const = default;
};

enum class ChangeKind { Added, Removed, Changed };

struct RelationChange {
  ChangeKind kind = ChangeKind::Added;
  RelationFields now;     // empty for a removed relation
  RelationFields before;  // empty for an added one
  bool operator==(const RelationChange&) const = default;
};

struct SettingChange {
  std::string name;  // "subnet-mask", "gateway", "dns1", "dns2", "domain": the options' names
  std::string now, before;
  bool operator==(const SettingChange&) const = default;
};

struct ListChanges {
  // Added and changed in the new file's order, then removed in the old one's.
  std::vector<RelationChange> relations;
  std::vector<SettingChange> settings;

  int Count(ChangeKind kind) const;
};

RelationFields FieldsOf(const Relation& relation);

// The settings as the log and the options name them, in the options' order:
// ("subnet-mask", "255.255.255.0"), ("gateway", ""), ... An address of 0 is "".
struct NamedSetting {
  const char* name;
  std::string value;
};
std::vector<NamedSetting> NamedSettings(const NetworkSettings& settings);

ListChanges CompareLists(const RelationTable& before, const NetworkSettings& settingsBefore,
                         const RelationTable& now, const NetworkSettings& settingsNow);

}  // namespace corvessa::service
