#include "files/csv_reader.h"

#include "core/ascii.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/address.h"
#include "files/csv_columns.h"
#include "files/csv_fields.h"
#include "files/csv_records.h"

namespace corvessa {
namespace {

constexpr std::string_view kLineEnds = "\r\n";
// Spreadsheet programs start a UTF-8 file with it; it is no part of the
// first column's name.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

enum class Column : std::uint8_t { Mac, Ip, Hostname, Description, Other };

Column ColumnOf(std::string_view name) {
  if (EqualsIgnoringAsciiCase(name, csv::kMac)) return Column::Mac;
  if (EqualsIgnoringAsciiCase(name, csv::kIp)) return Column::Ip;
  if (EqualsIgnoringAsciiCase(name, csv::kHostname)) return Column::Hostname;
  if (EqualsIgnoringAsciiCase(name, csv::kDescription)) return Column::Description;
  return Column::Other;
}

// The header's columns, one byte each: a header line of millions of commas
// costs megabytes, not a string per field.
std::vector<Column> HeaderColumns(std::string_view header) {
  std::vector<Column> columns;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(header.find(csv::kSeparator, start), header.size());
    columns.push_back(ColumnOf(header.substr(start, end - start)));
    if (end == header.size()) return columns;
    start = end + 1;
  }
}

// Replaces the field's text. The rest of the field is cleared: a header may
// name a column twice, and the later, shorter text must not keep the tail of
// the earlier one (the writer reads a field up to its first zero byte).
template <std::size_t kSize>
void CopyCut(std::string_view text, std::array<char, kSize>& field, std::uint8_t& length) {
  const std::size_t count = std::min(text.size(), kSize);
  std::fill(std::copy_n(text.begin(), count, field.begin()), field.end(), '\0');
  length = static_cast<std::uint8_t>(count);
}

// Fills `relation` from a record whose field count matches the header's;
// false at the first address that does not convert.
[[nodiscard]] bool FillRelation(const std::vector<Column>& columns, std::string_view record, Relation& relation) {
  CsvFieldCursor fields(record);
  CsvField field;
  for (const Column column : columns) {
    if (!fields.Next(field)) return false;
    if (column == Column::Other) continue;
    const std::string text = field.Text();
    switch (column) {
      case Column::Mac: {
        std::uint8_t length = static_cast<std::uint8_t>(kMacCapacity);
        if (!TextToMac(text, relation.hardwareAddress.data(), length)) return false;
        relation.hardwareAddressLength = length;
        break;
      }
      case Column::Ip:
        if (!TextToIp(text, relation.ipAddress)) return false;
        break;
      case Column::Hostname:
        CopyCut(text, relation.hostname, relation.hostnameLength);
        break;
      case Column::Description:
        CopyCut(text, relation.description, relation.descriptionLength);
        break;
      case Column::Other:
        break;
    }
  }
  return true;
}

// The relation of a record, or nothing when the record has the wrong number
// of fields or an address that does not convert. The fields are counted
// before anything is cut, and counting stops one past the header's number.
std::unique_ptr<Relation> RelationOf(const std::vector<Column>& columns, std::string_view record) {
  if (CountCsvFields(record, columns.size()) != columns.size()) return nullptr;
  auto relation = std::make_unique<Relation>();
  if (!FillRelation(columns, record, *relation)) return nullptr;
  return relation;
}

}  // namespace

CsvLoad ReadCsv(std::span<const std::uint8_t> file, RelationTable& table) {
  std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
  if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
  CsvLoad load;

  const std::size_t headerEnd = text.find_first_of(kLineEnds);
  if (headerEnd == std::string_view::npos || headerEnd + 1 == text.size()) {
    load.error = LoadError::UnexpectedEnd;
    table.Clear();
    return load;
  }
  const std::vector<Column> columns = HeaderColumns(text.substr(0, headerEnd));

  // A line swallowed into a record of several lines must not be one that
  // gives a relation of its own; duplicates do not count here, the table's
  // own checks come later.
  const RelationTable empty;
  const auto loadsOnItsOwn = [&](std::string_view line) {
    const std::unique_ptr<Relation> relation = RelationOf(columns, line);
    return relation != nullptr && empty.CheckCandidate(*relation);
  };
  CsvRecordCursor records(text.substr(headerEnd + 1), columns.size(), loadsOnItsOwn);
  std::string_view record;
  while (records.Next(record)) {
    if (table.Count() >= RelationCapacity) {
      load.limitReached = true;
      ++load.omitted;
      while (records.Next(record)) ++load.omitted;
      break;
    }
    std::unique_ptr<Relation> relation = RelationOf(columns, record);
    if (relation != nullptr && table.CheckCandidate(*relation)) {
      table.Append(std::move(relation));
    } else {
      ++load.omitted;
    }
  }
  return load;
}

}  // namespace corvessa
