#include "files/csv_reader.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/address.h"
#include "files/csv_columns.h"
#include "files/csv_fields.h"
#include "files/limit_box.h"

namespace corvessa {
namespace {

constexpr std::string_view kLineEnds = "\r\n";

enum class Column { Mac, Ip, Hostname, Description, Other };

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

Column ColumnOf(std::string_view name) {
  if (EqualsIgnoringCase(name, csv::kMac)) return Column::Mac;
  if (EqualsIgnoringCase(name, csv::kIp)) return Column::Ip;
  if (EqualsIgnoringCase(name, csv::kHostname)) return Column::Hostname;
  if (EqualsIgnoringCase(name, csv::kDescription)) return Column::Description;
  return Column::Other;
}

// Walks the non-empty records of a text; CR, LF and CR LF all end a line, and
// consecutive line ends make empty lines, which are no records. A record is
// one line unless a quoted field in it holds line breaks.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}
  [[nodiscard]] bool Next(std::string_view& line) {
    while (start_ < text_.size()) {
      const std::size_t end = CsvRecordEnd(text_, start_);
      const std::size_t begin = start_;
      start_ = end + 1;
      if (end > begin) {
        line = text_.substr(begin, end - begin);
        return true;
      }
    }
    return false;
  }

 private:
  std::string_view text_;
  std::size_t start_ = 0;
};

// Replaces the field's text. The rest of the field is cleared: a header may
// name a column twice, and the later, shorter text must not keep the tail of
// the earlier one (the writer reads a field up to its first zero byte).
template <std::size_t kSize>
void CopyCut(std::string_view text, std::array<char, kSize>& field, std::uint8_t& length) {
  const std::size_t count = std::min(text.size(), kSize);
  std::fill(std::copy_n(text.begin(), count, field.begin()), field.end(), '\0');
  length = static_cast<std::uint8_t>(count);
}

// Fills `relation` from the fields of one line; false at the first address
// that does not convert.
[[nodiscard]] bool FillRelation(const std::vector<Column>& columns, const std::vector<std::string>& fields,
                                Relation& relation) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    switch (columns[i]) {
      case Column::Mac: {
        std::uint8_t length = static_cast<std::uint8_t>(kMacCapacity);
        if (!TextToMac(fields[i], relation.hardwareAddress.data(), length)) return false;
        relation.hardwareAddressLength = length;
        break;
      }
      case Column::Ip:
        if (!TextToIp(fields[i], relation.ipAddress)) return false;
        break;
      case Column::Hostname:
        CopyCut(fields[i], relation.hostname, relation.hostnameLength);
        break;
      case Column::Description:
        CopyCut(fields[i], relation.description, relation.descriptionLength);
        break;
      case Column::Other:
        break;
    }
  }
  return true;
}

}  // namespace

CsvLoad ReadCsv(std::span<const std::uint8_t> file, RelationTable& table, Prompts& prompts) {
  const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
  CsvLoad load;

  const std::size_t headerEnd = text.find_first_of(kLineEnds);
  if (headerEnd == std::string_view::npos || headerEnd + 1 == text.size()) {
    load.error = LoadError::UnexpectedEnd;
    table.Clear();
    return load;
  }
  std::vector<Column> columns;
  for (const auto& name : SplitFields(text.substr(0, headerEnd), std::string_view(&csv::kSeparator, 1))) {
    columns.push_back(ColumnOf(name));
  }

  LineCursor lines(text.substr(headerEnd + 1));
  std::string_view line;
  while (lines.Next(line)) {
    if (table.Count() >= RelationCapacity) {
      ShowRelationLimitReached(prompts);
      ++load.omitted;
      while (lines.Next(line)) ++load.omitted;
      break;
    }
    const auto fields = SplitCsvFields(line);
    auto relation = std::make_unique<Relation>();
    if (fields.size() == columns.size() && FillRelation(columns, fields, *relation) &&
        table.CheckCandidate(*relation)) {
      table.Append(std::move(relation));
    } else {
      ++load.omitted;
    }
  }
  return load;
}

}  // namespace corvessa
