#include "relations/relation_order.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/address.h"
#include "core/ascii.h"
#include "core/strings.h"

namespace corvessa {

namespace {

// The field as a C string would read it: up to the first zero byte.
template <std::size_t N>
std::string_view ZeroEndedText(const std::array<char, N>& field) {
  return std::string_view(field.data(), strnlen(field.data(), N));
}

}  // namespace

std::string RelationCellText(const Relation& relation, int column) {
  switch (column) {
    case kRelationColumnMac:
      return RelationMacText(relation);
    case kRelationColumnType:
      return relation.type < text::kRelationTypeNames.size() ? std::string(text::kRelationTypeNames[relation.type])
                                                              : std::string();
    case kRelationColumnIp:
      return IpToText(relation.ipAddress);
    case kRelationColumnHostname:
      return std::string(HostnameText(relation));
    case kRelationColumnDescription:
      return std::string(DescriptionText(relation));
    default:
      return {};
  }
}

std::vector<std::string> RelationRowTexts(const Relation& relation) {
  std::vector<std::string> texts;
  texts.reserve(kRelationColumnCount);
  for (int column = 0; column < kRelationColumnCount; ++column) texts.push_back(RelationCellText(relation, column));
  return texts;
}

bool AscendingAfterClick(int sortColumn, bool sortAscending, int column) {
  return sortColumn != -1 && column == sortColumn && !sortAscending;
}

std::uint32_t SortParameter(int column, bool ascending) {
  const auto value = static_cast<std::uint32_t>(column) & ~kSortDescendingBit;
  return ascending ? value : (value | kSortDescendingBit);
}

int CompareRelations(const Relation& a, const Relation& b, std::uint32_t parameter) {
  const bool descending = (parameter & kSortDescendingBit) != 0;
  const std::uint32_t column = parameter & ~kSortDescendingBit;
  const int sign = descending ? -1 : 1;
  int c = 0;
  switch (column) {
    case kRelationColumnMac:
      c = CompareIgnoringAsciiCase(RelationMacText(a), RelationMacText(b));
      break;
    case kRelationColumnType:
      c = static_cast<int>(a.type) - static_cast<int>(b.type);
      break;
    case kRelationColumnIp:
      c = a.ipAddress < b.ipAddress ? -1 : (a.ipAddress > b.ipAddress ? 1 : 0);
      break;
    case kRelationColumnHostname:
      c = CompareIgnoringAsciiCase(ZeroEndedText(a.hostname), ZeroEndedText(b.hostname));
      break;
    case kRelationColumnDescription:
      c = CompareIgnoringAsciiCase(ZeroEndedText(a.description), ZeroEndedText(b.description));
      break;
    default:
      c = 0;
      break;
  }
  if (c > 0) return sign;
  if (c < 0) return -sign;
  return 0;
}

}  // namespace corvessa
