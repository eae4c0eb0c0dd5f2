// CSV relation files: the bytes written, and what the reader accepts,
// refuses and counts.

#include "files/csv_reader.h"
#include "files/csv_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "files_fixture.h"

namespace corvessa {
namespace {

using namespace files_test;

constexpr Mac kMac1{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
constexpr Mac kMac2{0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x35};

struct Loaded {
  CsvLoad load;
  RelationTable table;
};

std::unique_ptr<Loaded> Load(std::string_view text) {
  auto out = std::make_unique<Loaded>();
  const auto bytes = AsBytes(text);
  out->load = ReadCsv(bytes, out->table);
  return out;
}

std::string Hostname(const Relation& r) { return std::string(TextOf(r.hostname, r.hostnameLength)); }
std::string Description(const Relation& r) { return std::string(TextOf(r.description, r.descriptionLength)); }

// --- Writing ------------------------------------------------------------------

TEST(CsvWriterTest, TwoRelationsWrittenAndReadBack) {
  RelationTable table;
  table.Append(MakeRelation(kMac1, Ip(192, 168, 1, 50), "press-01", "Line 1"));
  table.Append(MakeRelation(kMac2, Ip(192, 168, 1, 51)));
  table.At(0)->type = kRelationTypeBootp;  // never written

  const std::string expected =
      "MAC,IP,Hostname,Description"                  // header, no line end of its own
      "\n00:1D:9C:C8:12:34,192.168.1.50,press-01,Line 1"  // first relation
      "\n00:1D:9C:C8:12:35,192.168.1.51,,";           // second: no hostname, no description
  const std::string written = WriteCsv(table);
  EXPECT_EQ(written, expected);

  const auto r = Load(written);
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->load.omitted, 0);
  ASSERT_EQ(r->table.Count(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(r->table.At(i)->hardwareAddress, table.At(i)->hardwareAddress);
    EXPECT_EQ(r->table.At(i)->hardwareAddressLength, 6);
    EXPECT_EQ(r->table.At(i)->ipAddress, table.At(i)->ipAddress);
    EXPECT_EQ(r->table.At(i)->hostname, table.At(i)->hostname);
    EXPECT_EQ(r->table.At(i)->description, table.At(i)->description);
    EXPECT_EQ(r->table.At(i)->type, kRelationTypeNone);
  }
}

TEST(CsvWriterTest, EmptyTableIsTheHeaderAloneAndCannotBeReadBack) {
  RelationTable table;
  const std::string written = WriteCsv(table);
  EXPECT_EQ(written, "MAC,IP,Hostname,Description");
  EXPECT_EQ(Load(written)->load.error, LoadError::UnexpectedEnd);
}

TEST(CsvWriterTest, FullLengthTextsWrittenExactly) {
  const std::string hostname = "abcdefghijklmnopqrstuvwxyz012345";  // 32, no terminator in the field
  const std::string description(255, 'd');
  RelationTable table;
  table.Append(MakeRelation(kMac1, Ip(10, 0, 0, 9), hostname, description));
  EXPECT_EQ(WriteCsv(table), "MAC,IP,Hostname,Description\n00:1D:9C:C8:12:34,10.0.0.9," + hostname + "," +
                                 description);
}

// Texts that need quoting: the bytes written, and the same texts read back.
// Line breaks come from .bpc files; written raw, the relation would be lost
// on the next CSV open.
TEST(CsvWriterTest, QuotedTextsSurviveTheRoundTrip) {
  struct Case {
    std::string hostname;
    std::string description;
    std::string_view written;  // the relation's line
  };
  const Case cases[] = {
      {"", "Line 3, cabinet 2", "00:1D:9C:C8:12:34,192.168.1.50,,\"Line 3, cabinet 2\""},  // a comma
      {"", "say \"hi\"", "00:1D:9C:C8:12:34,192.168.1.50,,\"say \"\"hi\"\"\""},        // quotes doubled
      {"a\rb", "Line 3\r\ncabinet 2", "00:1D:9C:C8:12:34,192.168.1.50,\"a\rb\",\"Line 3\r\ncabinet 2\""},
      {"plc", "end\n", "00:1D:9C:C8:12:34,192.168.1.50,plc,\"end\n\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    RelationTable table;
    table.Append(MakeRelation(kMac1, Ip(192, 168, 1, 50), c.hostname, c.description));
    table.Append(MakeRelation(kMac2, Ip(192, 168, 1, 51), "next", "row"));
    const std::string written = WriteCsv(table);
    EXPECT_EQ(written, "MAC,IP,Hostname,Description\n" + std::string(c.written) +
                           "\n00:1D:9C:C8:12:35,192.168.1.51,next,row");

    const auto r = Load(written);
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->load.omitted, 0);
    ASSERT_EQ(r->table.Count(), 2);
    EXPECT_EQ(Hostname(*r->table.At(0)), c.hostname);
    EXPECT_EQ(Description(*r->table.At(0)), c.description);
    EXPECT_EQ(Description(*r->table.At(1)), "row");
  }
}

TEST(CsvReaderTest, AQuoteLeftOpenSpoilsOnlyItsOwnLine) {
  // Files from other tools with a stray opening quote read line by line as
  // before: the broken line is one record, the next lines are their own.
  const auto r = Load(
      "MAC,IP,Hostname,Description"
      "\n00:1D:9C:C8:12:34,192.168.1.50,a,\"open"
      "\n00:1D:9C:C8:12:35,192.168.1.51,b,y");
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->load.omitted, 0);
  ASSERT_EQ(r->table.Count(), 2);
  EXPECT_EQ(Description(*r->table.At(0)), "\"open");
  EXPECT_EQ(Description(*r->table.At(1)), "y");
}

// Files as they come from the field, where the format's own rule (one record
// per line, no quoting) must hold: nothing the format allows may lose a
// relation.
TEST(CsvReaderTest, FilesTheFormatAllowsLoseNoRelation) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::pair<std::string, std::string>> loaded;  // hostname, description of each relation
    int omitted;
  };
  const std::string header = "MAC,IP,Hostname,Description\n";
  const Case cases[] = {
      {"an opening quote never closed and an inch mark two lines down",
       header + "00:1D:9C:C8:12:34,192.168.1.50,a,\"Spare\n"
                "00:1D:9C:C8:12:35,192.168.1.51,b,Valve block\n"
                "00:1D:9C:C8:12:36,192.168.1.52,c,pipe 3/4\"",
       {{"a", "\"Spare"}, {"b", "Valve block"}, {"c", "pipe 3/4\""}},
       0},
      {"a wholly quoted text the writer would not quote keeps its quotes",
       header + "00:1D:9C:C8:12:34,192.168.1.50,\"plc1\",\"\"\n",
       {{"\"plc1\"", "\"\""}},
       0},
      {"a byte order mark before the header",
       "\xEF\xBB\xBF" + header + "00:1D:9C:C8:12:34,192.168.1.50,a,x\n",
       {{"a", "x"}},
       0},
      {"a text with a line break as this program writes it",
       header + "00:1D:9C:C8:12:34,192.168.1.50,a,\"Line 3\r\ncabinet 2\"\n"
                "00:1D:9C:C8:12:35,192.168.1.51,b,y",
       {{"a", "Line 3\r\ncabinet 2"}, {"b", "y"}},
       0},
      {"a swallowed line that is a relation of its own",
       header + "00:1D:9C:C8:12:34,192.168.1.50,a,\"x\n"
                "00:1D:9C:C8:12:35,192.168.1.51,b,y\"",
       {{"a", "\"x"}, {"b", "y\""}},
       0},
      {"a record of a million commas",
       header + std::string(1000000, ',') + "\n00:1D:9C:C8:12:34,192.168.1.50,a,x",
       {{"a", "x"}},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = Load(c.text);
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->load.omitted, c.omitted);
    std::vector<std::pair<std::string, std::string>> loaded;
    for (const auto& relation : r->table) loaded.emplace_back(Hostname(*relation), Description(*relation));
    EXPECT_EQ(loaded, c.loaded);
  }
}

TEST(CsvReaderTest, AHeaderOfManyColumnsIsReadWithoutAStringPerColumn) {
  // 200,000 columns of which the last four are the relation's.
  std::string text(200000 - 4, ',');
  text += "MAC,IP,Hostname,Description\n";
  text += std::string(200000 - 4, ',') + "00:1D:9C:C8:12:34,192.168.1.50,a,x\n";
  text += "00:1D:9C:C8:12:35,192.168.1.51,b,y\n";  // four fields: refused
  const auto r = Load(text);
  ASSERT_TRUE(r->load.Succeeded());
  ASSERT_EQ(r->table.Count(), 1);
  EXPECT_EQ(Hostname(*r->table.At(0)), "a");
  EXPECT_EQ(r->load.omitted, 1);
}

// --- Reading: header ------------------------------------------------------------

TEST(CsvReaderTest, NothingAfterTheHeaderLine) {
  struct Case {
    const char* name;
    std::string_view text;
    LoadError error;
  };
  const Case cases[] = {
      {"empty file", "", LoadError::UnexpectedEnd},
      {"header without line end", "MAC,IP,Hostname,Description", LoadError::UnexpectedEnd},
      {"header and LF", "MAC,IP,Hostname,Description\n", LoadError::UnexpectedEnd},
      {"header and CR", "MAC,IP,Hostname,Description\r", LoadError::UnexpectedEnd},
      // A byte follows the first line end: a file without records, not an error.
      {"header and CR LF", "MAC,IP,Hostname,Description\r\n", LoadError::None},
      {"header and two LF", "MAC,IP,Hostname,Description\n\n", LoadError::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = Load(c.text);
    EXPECT_EQ(r->load.error, c.error);
    EXPECT_EQ(r->table.Count(), 0);
    EXPECT_EQ(r->load.omitted, 0);
  }
}

constexpr std::string_view kReorderedFile =
    "IP,MAC,Description,Hostname\n192.168.1.50,00:1D:9C:C8:12:34,Line 1,press\n";

TEST(CsvReaderTest, HeaderNamesAndOrder) {
  struct Case {
    const char* name;
    std::string_view text;
    int loaded;
    int omitted;
  };
  const Case cases[] = {
      {"any order", kReorderedFile, 1, 0},
      {"lower case", "mac,ip,hostname,description\n00:1D:9C:C8:12:34,192.168.1.50,press,Line 1\n", 1, 0},
      {"mixed case", "Mac,iP,HOSTNAME,description\n00:1D:9C:C8:12:34,192.168.1.50,press,Line 1\n", 1, 0},
      {"other columns ignored", "MAC,Site,IP\n00:1D:9C:C8:12:34,Hall 2,192.168.1.50\n", 1, 0},
      {"blank before IP loses the column", "MAC, IP,Hostname,Description\n"
                                           "00:1D:9C:C8:12:34,192.168.1.50,press,Line 1\n"
                                           "00:1D:9C:C8:12:35,192.168.1.51,,\n",
       0, 2},
      {"no MAC column", "IP\n192.168.1.50\n", 0, 1},
      {"header quotes are not removed", "\"MAC\",IP\n00:1D:9C:C8:12:34,192.168.1.50\n", 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = Load(c.text);
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->table.Count(), c.loaded);
    EXPECT_EQ(r->load.omitted, c.omitted);
  }
  const auto r = Load(kReorderedFile);
  ASSERT_EQ(r->table.Count(), 1);
  EXPECT_EQ(r->table.At(0)->ipAddress, Ip(192, 168, 1, 50));
  EXPECT_EQ(Hostname(*r->table.At(0)), "press");
  EXPECT_EQ(Description(*r->table.At(0)), "Line 1");
}

// --- Reading: records -------------------------------------------------------------

TEST(CsvReaderTest, LineEndsAndBlankLinesChangeNothing) {
  const std::string_view variants[] = {
      "MAC,IP,Hostname,Description\n00:1D:9C:C8:12:34,192.168.1.50,a,x\n00:1D:9C:C8:12:35,192.168.1.51,b,y",
      "MAC,IP,Hostname,Description\r\n00:1D:9C:C8:12:34,192.168.1.50,a,x\r\n00:1D:9C:C8:12:35,192.168.1.51,b,y\r\n",
      "MAC,IP,Hostname,Description\n00:1D:9C:C8:12:34,192.168.1.50,a,x\n\n\n00:1D:9C:C8:12:35,192.168.1.51,b,y\n",
      "MAC,IP,Hostname,Description\r00:1D:9C:C8:12:34,192.168.1.50,a,x\r00:1D:9C:C8:12:35,192.168.1.51,b,y\r\r",
  };
  for (const auto text : variants) {
    SCOPED_TRACE(text);
    const auto r = Load(text);
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->load.omitted, 0);
    ASSERT_EQ(r->table.Count(), 2);
    EXPECT_EQ(Hostname(*r->table.At(0)), "a");
    EXPECT_EQ(Description(*r->table.At(0)), "x");
    EXPECT_EQ(Hostname(*r->table.At(1)), "b");
    EXPECT_EQ(Description(*r->table.At(1)), "y");
  }
}

TEST(CsvReaderTest, RecordsRefusedAndCounted) {
  struct Case {
    const char* name;
    std::string_view line;
  };
  const Case cases[] = {
      {"comma inside an unquoted description", "00:1D:9C:C8:12:35,192.168.1.51,,Line 3, cabinet 2"},
      {"too few fields", "00:1D:9C:C8:12:35,192.168.1.51,"},
      {"thirteen-digit MAC", "00:1D:9C:C8:12:34:5,192.168.1.51,,"},
      {"leading zero in IP", "00:1D:9C:C8:12:35,192.168.001.51,,"},
      {"repeated MAC", "00:1D:9C:C8:12:34,192.168.1.51,,"},
      {"repeated hostname", "00:1D:9C:C8:12:35,192.168.1.51,press,"},
      {"broken quoting falls back to plain fields", "00:1D:9C:C8:12:35,192.168.1.51,,\"Line 3, cabinet 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = "MAC,IP,Hostname,Description\n00:1D:9C:C8:12:34,192.168.1.50,press,\n" +
                             std::string(c.line) + "\n00:1D:9C:C8:12:36,192.168.1.52,,";
    const auto r = Load(text);
    ASSERT_TRUE(r->load.Succeeded());
    EXPECT_EQ(r->table.Count(), 2);
    EXPECT_EQ(r->load.omitted, 1);
    EXPECT_FALSE(r->load.limitReached);
  }
}

TEST(CsvReaderTest, LongTextsAreCut) {
  const std::string hostname40 = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
  const std::string description300(300, 'x');
  const auto r = Load("MAC,IP,Hostname,Description\n00:1D:9C:C8:12:34,192.168.1.50," + hostname40 + "," +
                      description300);
  ASSERT_EQ(r->table.Count(), 1);
  EXPECT_EQ(Hostname(*r->table.At(0)), hostname40.substr(0, 32));
  EXPECT_EQ(r->table.At(0)->hostnameLength, 32);
  EXPECT_EQ(Description(*r->table.At(0)), description300.substr(0, 255));
  EXPECT_EQ(r->table.At(0)->descriptionLength, 255);
}

TEST(CsvReaderTest, LimitOf256WithOneBoxAndTheRestOmitted) {
  std::string text = "MAC,IP,Hostname,Description";
  for (unsigned i = 0; i < 300; ++i) {
    const Mac mac = NumberedMac(i);
    char line[80];
    std::snprintf(line, sizeof line, "\n%02X:%02X:%02X:%02X:%02X:%02X,10.1.%u.%u,,", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5], (i >> 8) & 0xFF, i & 0xFF);
    text += line;
    if (i == 280) text += "\n\r\n";  // empty lines past the limit are not counted
  }
  const auto r = Load(text);
  ASSERT_TRUE(r->load.Succeeded());
  EXPECT_EQ(r->table.Count(), 256);
  EXPECT_EQ(r->load.omitted, 44);
  EXPECT_TRUE(r->load.limitReached);
}

}  // namespace
}  // namespace corvessa
