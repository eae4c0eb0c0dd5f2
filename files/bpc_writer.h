#pragma once
// Writing .bpc configuration files in format 3.

#include <cstdint>
#include <vector>

#include "core/network_settings.h"
#include "relations/relation_table.h"

namespace corvessa {

// The whole file: header with the settings as held in memory, then one
// record per relation in table order. The caller has checked the settings.
std::vector<std::uint8_t> WriteBpc(const NetworkSettings& settings, const RelationTable& table);

}  // namespace corvessa
