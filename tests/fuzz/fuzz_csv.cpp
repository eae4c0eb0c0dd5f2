// The CSV side: SplitFields with arbitrary separators, the quote-aware line
// split and its writer, and the CSV reader on arbitrary file contents, whose
// result must keep the table's rules and read back unchanged after a save.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/csv_fields.h"
#include "files/csv_reader.h"
#include "files/csv_writer.h"
#include "relations/relation_table.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

std::string Join(const std::vector<std::string>& fields, char separator) {
  std::string text;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) text += separator;
    text += fields[i];
  }
  return text;
}

// One field per separator character plus one, and joining them with the
// separator gives the text back.
void CheckSplitFields(std::string_view text, char separator) {
  const std::string separators(1, separator);
  const auto fields = SplitFields(text, separators);
  std::size_t cuts = 0;
  for (const char c : text) cuts += c == separator ? 1 : 0;
  FUZZ_CHECK(fields.size() == cuts + 1);
  FUZZ_CHECK(Join(fields, separator) == text);
}

// Lines without a quote are cut exactly as SplitFields cuts them, and the
// count agrees with the cut; any list of fields written with QuoteCsvField
// (no longer than the writer's own quoted fields) reads back to the same list.
void CheckQuotedSplit(std::string_view text) {
  const auto fields = SplitCsvFields(text);
  FUZZ_CHECK(!fields.empty());
  FUZZ_CHECK(CountCsvFields(text, fields.size()) == fields.size());
  if (text.find('"') == std::string_view::npos) FUZZ_CHECK(fields == SplitFields(text, ","));

  // Arbitrary fields: the input cut at the unit separator.
  const auto values = SplitFields(text, "\x1f");
  std::string line;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) line += ',';
    const std::string quoted = QuoteCsvField(values[i]);
    if (quoted.size() > kMaxQuotedFieldSize) return;
    line += quoted;
  }
  FUZZ_CHECK(SplitCsvFields(line) == values);
}

bool SameWrittenRelation(const Relation& a, const Relation& b) {
  return a.hardwareAddressLength == b.hardwareAddressLength && RelationMacText(a) == RelationMacText(b) && a.ipAddress == b.ipAddress &&
         HostnameUpToZero(a) == HostnameUpToZero(b) && DescriptionAsWritten(a) == DescriptionAsWritten(b);
}

void CheckReadCsv(std::span<const std::uint8_t> file) {
  RelationTable table;
  const CsvLoad load = ReadCsv(file, table);
  CheckTableRules(table);
  FUZZ_CHECK(load.omitted >= 0);
  FUZZ_CHECK(!load.limitReached || table.Count() == RelationCapacity || !load.Succeeded());
  if (!load.Succeeded()) {
    FUZZ_CHECK(table.Count() == 0);
    return;
  }
  if (table.Count() == 0) return;  // a header alone cannot be read back
  // A text with a line break is written as a record of several lines, which
  // is read back as one only when none of its lines would load on its own.
  // A line of a text without a comma never has the four fields to do so.
  bool linesCouldLoad = false;
  for (const auto& relation : table) {
    for (const std::string_view text : {HostnameUpToZero(*relation), DescriptionAsWritten(*relation)}) {
      linesCouldLoad = linesCouldLoad || (text.find_first_of("\r\n") != std::string_view::npos &&
                                          text.find(',') != std::string_view::npos);
    }
  }

  const std::string written = WriteCsv(table);
  RelationTable again;
  const CsvLoad reload =
      ReadCsv(std::span(reinterpret_cast<const std::uint8_t*>(written.data()), written.size()), again);
  FUZZ_CHECK(reload.Succeeded());
  if (linesCouldLoad) return;
  FUZZ_CHECK(reload.omitted == 0);
  FUZZ_CHECK(!reload.limitReached);
  FUZZ_CHECK(again.Count() == table.Count());
  for (int i = 0; i < table.Count(); ++i) FUZZ_CHECK(SameWrittenRelation(*table.At(i), *again.At(i)));
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvessa::fuzz;
  // The file in a buffer of exactly its size, so a read past its end is caught.
  const std::vector<std::uint8_t> file(data, data + size);
  const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());

  CheckReadCsv(file);
  CheckSplitFields(text, ',');
  // Any separator, chosen by the first byte.
  if (!text.empty()) CheckSplitFields(text.substr(1), text[0]);
  // Each line on its own, as the reader hands them to the split.
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    CheckQuotedSplit(text.substr(start, end - start));
    start = end + 1;
  }
  return 0;
}
