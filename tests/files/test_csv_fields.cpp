// Cutting lines into fields, with and without quotes, and quoting for writing.

#include "files/csv_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvessa {
namespace {

using Fields = std::vector<std::string>;

struct SplitCase {
  std::string_view text;
  Fields fields;
};

// Lines without quotes: SplitCsvFields must cut them exactly as SplitFields.
const SplitCase kUnquoted[] = {
    {"a,,b", {"a", "", "b"}},
    {"a,b,", {"a", "b", ""}},
    {"", {""}},
    {"abc", {"abc"}},
    {",", {"", ""}},
    {",a", {"", "a"}},
    {",,", {"", "", ""}},
    {" a , b ", {" a ", " b "}},
    {"00:1D:9C:C8:12:34,192.168.1.10,press,Line 1", {"00:1D:9C:C8:12:34", "192.168.1.10", "press", "Line 1"}},
};

TEST(SplitFieldsTest, CutsAtEverySeparator) {
  for (const auto& c : kUnquoted) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitFields(c.text, ","), c.fields);
    EXPECT_EQ(SplitCsvFields(c.text), c.fields);
  }
}

TEST(SplitFieldsTest, AnyOfSeveralSeparators) {
  EXPECT_EQ(SplitFields("a;b,c", ",;"), (Fields{"a", "b", "c"}));
  EXPECT_EQ(SplitFields("a;", ",;"), (Fields{"a", ""}));
}

TEST(SplitFieldsTest, QuotesAreOrdinaryCharacters) {
  EXPECT_EQ(SplitFields("\"a,b\",c", ","), (Fields{"\"a", "b\"", "c"}));
}

TEST(SplitCsvFieldsTest, QuotedFields) {
  const SplitCase cases[] = {
      {"\"a,b\",c", {"a,b", "c"}},
      {"x,\"Line 3, cabinet 2\"", {"x", "Line 3, cabinet 2"}},
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
      {"\"\"\"\"", {"\""}},
      {"\"\",x", {"", "x"}},
      {"x,\"\"", {"x", ""}},
      {"\"a\",", {"a", ""}},
      {"\"a\",\"b\"", {"a", "b"}},
      {"\",\"", {","}},
      // A quote that does not open a field is text, as before.
      {"say \"hi\",x", {"say \"hi\"", "x"}},
      {"a,b\"c,d", {"a", "b\"c", "d"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitCsvFields(c.text), c.fields);
  }
}

TEST(SplitCsvFieldsTest, BrokenQuotingIsCutAsBefore) {
  const std::string_view cases[] = {
      "\"abc",          // no closing quote
      "\"a,b",          // no closing quote, a comma inside
      "\"a\"b,c",       // text after the closing quote
      "x,\"a\" ,c",     // a blank after the closing quote
      "\"",             // a lone quote
  };
  for (const auto text : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(SplitCsvFields(text), SplitFields(text, ","));
  }
}

TEST(QuoteCsvFieldTest, QuotesOnlyWhenNeeded) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},
      {"Line 1", "Line 1"},
      {" blanks kept ", " blanks kept "},
      {"Line 3, cabinet 2", "\"Line 3, cabinet 2\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {",", "\",\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"lf\n", "\"lf\n\""},
      {"\rcr", "\"\rcr\""},
  };
  for (const auto& [field, written] : cases) {
    SCOPED_TRACE(field);
    EXPECT_EQ(QuoteCsvField(field), written);
    EXPECT_EQ(SplitCsvFields(written), Fields{std::string(field)});
  }
}

// Record ends: `text` from index 0, and where the record ends in it.
TEST(CsvRecordEndTest, LineBreaksEndARecordOnlyOutsideQuotes) {
  const std::pair<std::string_view, std::size_t> cases[] = {
      {"a,b\nc", 3},                       // an ordinary line
      {"a,b", 3},                           // the last line, no break after it
      {"\na", 0},                          // an empty line
      {"a,\"x\r\ny\",b\r\nc", 10},          // a quoted break is text; the next one ends it
      {"a,\"x\ny\"", 7},                     // to the end of the text
      {"\"x\"\"\n\"\"y\",b\nc", 11},          // doubled quotes around the break
      {"a,b\"c\nd\"", 5},                    // a quote inside a field opens nothing
      {"a,\"x\nb,c", 4},                     // never closed: the line alone
      {"a,\"x\ny\"z,c\nd", 4},               // text after the closing quote: the line alone
      {"a,\"x\"y\nz", 6},                     // the same within one line: the line as before
  };
  for (const auto& [text, end] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(CsvRecordEnd(text, 0), end);
  }
  EXPECT_EQ(CsvRecordEnd("a\n\"x\ny\",z\nw", 2), 9u);  // from a later start
}

}  // namespace
}  // namespace corvessa
