#pragma once
// Writing the relation list as comma-separated text.

#include <string>

#include "relations/relation_table.h"

namespace corvessa {

// The header "MAC,IP,Hostname,Description", then per relation a line feed
// and its fields; nothing follows the last relation. A hostname or
// description holding a comma or a double quote is written quoted.
std::string WriteCsv(const RelationTable& table);

}  // namespace corvessa
