#include "files/csv_writer.h"

#include <algorithm>
#include <string_view>

#include "core/address.h"
#include "files/csv_columns.h"
#include "files/csv_fields.h"

namespace corvessa {
namespace {

// The text of a fixed field up to its first zero byte, never past the field.
template <std::size_t kSize>
std::string_view FieldText(const std::array<char, kSize>& field) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  return std::string_view(field.data(), static_cast<std::size_t>(end - field.begin()));
}

}  // namespace

std::string WriteCsv(const RelationTable& table) {
  std::string text(csv::kHeader);
  for (const auto& relation : table) {
    text += csv::kLineEnd;
    text += RelationMacText(*relation);
    text += csv::kSeparator;
    text += IpToText(relation->ipAddress);
    text += csv::kSeparator;
    text += QuoteCsvField(FieldText(relation->hostname));
    text += csv::kSeparator;
    text += QuoteCsvField(FieldText(relation->description));
  }
  return text;
}

}  // namespace corvessa
