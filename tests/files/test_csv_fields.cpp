// Cutting lines into fields, with and without quotes, and quoting for writing.

#include "files/csv_fields.h"
#include "files/csv_records.h"

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
      {"\",\"", {","}},
      {"\"a,b\",", {"a,b", ""}},
      {"\"a\r\nb\",c", {"a\r\nb", "c"}},  // a record of two lines
      // A quote that does not open a field is text, as before.
      {"say \"hi\",x", {"say \"hi\"", "x"}},
      {"a,b\"c,d", {"a", "b\"c", "d"}},
      // Quotes around a text the writer would not quote are text: the format
      // has no quoting, and this program never wrote them.
      {"\"plc1\",x", {"\"plc1\"", "x"}},
      {"\"\",x", {"\"\"", "x"}},
      {"x,\"\"", {"x", "\"\""}},
      {"\"a\",\"b\"", {"\"a\"", "\"b\""}},
      {"\"pipe 3/4 inch\"", {"\"pipe 3/4 inch\""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitCsvFields(c.text), c.fields);
    EXPECT_EQ(CountCsvFields(c.text, 100), c.fields.size());
  }
}

TEST(SplitCsvFieldsTest, QuotedFieldsAreNoLongerThanThisProgramWritesThem) {
  // 255 quotes, each doubled, between two quotes: 512 bytes, the longest.
  const std::string longest = "\"" + std::string(510, '"') + "\"";
  ASSERT_EQ(longest.size(), kMaxQuotedFieldSize);
  EXPECT_EQ(SplitCsvFields(longest + ",x"), (Fields{std::string(255, '"'), "x"}));
  // One byte more is no field of this program: its commas separate fields.
  const std::string tooLong = "\"" + std::string(510, 'a') + ",\"";
  EXPECT_EQ(SplitCsvFields(tooLong), (Fields{"\"" + std::string(510, 'a'), "\""}));
  EXPECT_EQ(CountCsvFields(tooLong, 100), 2u);
}

TEST(SplitCsvFieldsTest, CountingStopsPastTheLimit) {
  const std::string commas(1000000, ',');
  EXPECT_EQ(CountCsvFields(commas, 4), 5u);
  EXPECT_EQ(CountCsvFields("a,b,c,d", 4), 4u);
  EXPECT_EQ(CountCsvFields("", 4), 1u);
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

// Records of a body: one per line, unless the lines together are exactly
// what this program writes for a text with a line break. Lines starting
// with "L" stand for lines that would load as a relation of their own.
TEST(CsvRecordCursorTest, OneRecordPerLineUnlessTheWriterMadeItSo) {
  struct Case {
    const char* name;
    std::string_view body;
    std::size_t fieldCount;
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {"plain lines", "a,b\nc", 2, {"a,b", "c"}},
      {"empty lines are none", "\r\n\na,b\r\n\r\nc,d\r", 2, {"a,b", "c,d"}},
      {"a quoted CR LF is text", "a,\"x\r\ny\",b\r\nc", 3, {"a,\"x\r\ny\",b", "c"}},
      {"to the end of the body", "a,\"x\ny\"", 2, {"a,\"x\ny\""}},
      {"doubled quotes around the break", "\"x\"\"\n\"\"y\",b\nc", 2, {"\"x\"\"\n\"\"y\",b", "c"}},
      {"two quoted breaks in one record", "m,\"a\rb\",\"c\nd\"\nn", 3, {"m,\"a\rb\",\"c\nd\"", "n"}},
      {"a quote inside a field opens nothing", "a,b\"c\nd\"", 2, {"a,b\"c", "d\""}},
      {"never closed", "a,\"x\nb,c", 2, {"a,\"x", "b,c"}},
      {"text after the closing quote", "a,\"x\ny\"z,c\nd", 2, {"a,\"x", "y\"z,c", "d"}},
      {"fewer fields than the header", "a,\"x\ny\"", 3, {"a,\"x", "y\""}},
      {"more fields than the header", "a,\"x\ny\",b", 2, {"a,\"x", "y\",b"}},
      {"a quote the writer would not leave bare", "a\"b,\"x\ny\"", 2, {"a\"b,\"x", "y\""}},
      {"a swallowed line that loads on its own", "a,\"x\nL,y\"", 2, {"a,\"x", "L,y\""}},
      {"the inch mark two lines down", "m1,\"Spare\nL2,d\nL3,pipe 3/4\"", 2,
       {"m1,\"Spare", "L2,d", "L3,pipe 3/4\""}},
  };
  const auto loads = [](std::string_view line) { return line.starts_with('L'); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CsvRecordCursor cursor(c.body, c.fieldCount, loads);
    std::vector<std::string> records;
    std::string_view record;
    while (cursor.Next(record)) records.emplace_back(record);
    EXPECT_EQ(records, c.records);
  }
}

TEST(CsvRecordCursorTest, AQuotedFieldLongerThanThisProgramWritesEndsAtItsLine) {
  const std::string text(300, 't');
  const std::string fits = "a,\"" + text + "\n" + text + "\"";  // 2 + 601 bytes: too long
  CsvRecordCursor cursor(fits, 2, [](std::string_view) { return false; });
  std::string_view record;
  ASSERT_TRUE(cursor.Next(record));
  EXPECT_EQ(record, "a,\"" + text);
  ASSERT_TRUE(cursor.Next(record));
  EXPECT_EQ(record, text + "\"");
  EXPECT_FALSE(cursor.Next(record));
}

}  // namespace
}  // namespace corvessa
