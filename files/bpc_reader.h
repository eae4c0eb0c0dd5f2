#pragma once
// Reading .bpc configuration files: format 3, the older format 2.2 and the
// headerless layout, chosen by the magic and the version at the start.

#include <cstdint>
#include <span>
#include <string>

#include "core/network_settings.h"
#include "files/load_error.h"
#include "relations/relation_table.h"

namespace corvessa {

struct BpcLoad {
  enum class Format { Current, Older22, Headerless, UnsupportedVersion };

  Format format = Format::Current;
  std::uint32_t version = 0;  // as stored; 0 for the headerless layout
  LoadError error = LoadError::None;
  // The settings the file holds. The headerless layout holds only the subnet
  // mask and the gateway; the other fields are then 0 and are not applied.
  NetworkSettings settings;
  bool onlyMaskAndGateway = false;
  int omitted = 0;  // declared records that were refused or never read
  // The table filled up before the last record (the limit box).
  bool limitReached = false;

  // The relations and settings may be taken over. An unsupported version
  // is reported with UnsupportedVersionText, corrupt files through
  // LoadErrorMessage.
  bool Succeeded() const { return error == LoadError::None && format != Format::UnsupportedVersion; }
  // Files of the older formats are loaded but not yet saved as format 3.
  bool IsOlderFormat() const { return format == Format::Older22 || format == Format::Headerless; }
};

// Appends the accepted relations of the file to `table`, which the caller
// has emptied. After a failed load the table is empty again.
[[nodiscard]] BpcLoad ReadBpc(std::span<const std::uint8_t> file, RelationTable& table);

// Copies what the file set into `target`: everything for formats 3 and 2.2,
// only the subnet mask and the gateway for the headerless layout.
void ApplyBpcSettings(const BpcLoad& load, NetworkSettings& target);

// The text of the box for a version this program cannot read.
std::string UnsupportedVersionText(std::uint32_t version);

}  // namespace corvessa
