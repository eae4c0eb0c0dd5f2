#pragma once
// Rows of the relation list and their order: the cell texts of a relation,
// the direction a header click chooses, and the comparison the sort uses.

#include <cstdint>
#include <string>
#include <vector>

#include "relations/relation_table.h"

namespace corvessa {

inline constexpr int kRelationColumnMac = 0;
inline constexpr int kRelationColumnType = 1;
inline constexpr int kRelationColumnIp = 2;
inline constexpr int kRelationColumnHostname = 3;
inline constexpr int kRelationColumnDescription = 4;
inline constexpr int kRelationColumnCount = 5;

// Bit 31 of the sort parameter marks a descending sort; the rest is the column.
inline constexpr std::uint32_t kSortDescendingBit = 0x80000000u;

// The text of one cell of the relation's row; empty for an unknown column.
std::string RelationCellText(const Relation& relation, int column);
// MAC, type, IP address, hostname, description.
std::vector<std::string> RelationRowTexts(const Relation& relation);

// The direction after a click on `column`: ascending only when the same
// column was last sorted descending; every other click sorts descending.
bool AscendingAfterClick(int sortColumn, bool sortAscending, int column);

std::uint32_t SortParameter(int column, bool ascending);

// < 0 puts a before b. Texts compare with ASCII letters folded to lower case,
// IP addresses as unsigned numbers; an unknown column compares equal.
int CompareRelations(const Relation& a, const Relation& b, std::uint32_t parameter);

}  // namespace corvessa
