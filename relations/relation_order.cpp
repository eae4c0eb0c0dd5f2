#include "relations/relation_order.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/address.h"
#include "core/strings.h"

namespace corvessa {

namespace {

std::string MacText(const Relation& relation) {
  const std::size_t length = std::min<std::size_t>(relation.hardwareAddressLength, relation.hardwareAddress.size());
  return MacToText(relation.hardwareAddress.data(), length);
}

template <std::size_t N>
std::string_view FieldText(const std::array<char, N>& field, std::uint8_t length) {
  return std::string_view(field.data(), std::min<std::size_t>(length, N));
}

// The field as a C string would read it: up to the first zero byte.
template <std::size_t N>
std::string_view ZeroEndedText(const std::array<char, N>& field) {
  return std::string_view(field.data(), strnlen(field.data(), N));
}

unsigned char FoldCase(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int diff = FoldCase(a[i]) - FoldCase(b[i]);
    if (diff != 0) return diff;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::string RelationCellText(const Relation& relation, int column) {
  switch (column) {
    case kRelationColumnMac:
      return MacText(relation);
    case kRelationColumnType:
      return relation.type < text::kRelationTypeNames.size() ? std::string(text::kRelationTypeNames[relation.type])
                                                              : std::string();
    case kRelationColumnIp:
      return IpToText(relation.ipAddress);
    case kRelationColumnHostname:
      return std::string(FieldText(relation.hostname, relation.hostnameLength));
    case kRelationColumnDescription:
      return std::string(FieldText(relation.description, relation.descriptionLength));
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
      c = CompareFolded(MacText(a), MacText(b));
      break;
    case kRelationColumnType:
      c = static_cast<int>(a.type) - static_cast<int>(b.type);
      break;
    case kRelationColumnIp:
      c = a.ipAddress < b.ipAddress ? -1 : (a.ipAddress > b.ipAddress ? 1 : 0);
      break;
    case kRelationColumnHostname:
      c = CompareFolded(ZeroEndedText(a.hostname), ZeroEndedText(b.hostname));
      break;
    case kRelationColumnDescription:
      c = CompareFolded(ZeroEndedText(a.description), ZeroEndedText(b.description));
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
