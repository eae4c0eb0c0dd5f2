// Files as they come from the field, each given to the real program on its
// command line; a client in the other namespace asks for every listed
// device, and what the program offers on the wire is what it loaded.

#include <fstream>
#include <string>

#include "tests/program/program_fixture.h"

namespace corvessa::program_test {
namespace {

// 02:15:00:00:00:0n and 10.77.15.n.
Mac Device(unsigned n) { return {0x02, 0x15, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(n)}; }
std::uint32_t Address(unsigned n) { return 0x0A4D0F00u | n; }
std::string Line(unsigned n, const std::string& hostname, const std::string& description) {
  return "02:15:00:00:00:0" + std::to_string(n) + ",10.77.15." + std::to_string(n) + "," + hostname + "," +
         description;
}

const std::string kHeader = "MAC,IP,Hostname,Description";

// A .bpc file of format 3 written field by field: the lab's settings
// (255.255.0.0, no gateway or name servers, no domain) and `count` records
// for devices 1..count; the last one is cut `cut` bytes short.
std::string BpcFile(unsigned count, std::size_t cut) {
  std::string file;
  const auto le32 = [&](std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) file += static_cast<char>((v >> shift) & 0xFF);
  };
  le32(0x23456789);        // magic
  le32(0x00030000);        // version 3
  le32(0xFFFF0000);        // subnet mask 255.255.0.0
  le32(0);                 // gateway: none
  le32(0);                 // dns1: none
  le32(0);                 // dns2: none
  file += std::string(32, '\0');  // domain name: none
  file += '\0';            // its length
  le32(count);             // record count
  for (unsigned n = 1; n <= count; ++n) {
    const Mac mac = Device(n);
    file.append(reinterpret_cast<const char*>(mac.data()), mac.size());  // hardware address
    file += std::string(10, '\0');                                         // rest of its 16 bytes
    file += '\x06';                                                        // its length
    le32(Address(n));                                                      // IP address
    const std::string hostname = "dev" + std::to_string(n);
    file += hostname + std::string(32 - hostname.size(), '\0');  // hostname
    file += static_cast<char>(hostname.size());                  // its length
    file += "Line 1" + std::string(255 - 6, '\0');               // description
    file += '\x06';                                               // its length
  }
  file.resize(file.size() - cut);
  return file;
}

struct Case {
  const char* name;
  const char* fileName;
  std::string content;
  std::map<Mac, Served> served;  // every device 1..4 not named here gets nothing
};

class CommandLineFilesTest : public ProgramFixture {
 protected:
  CommandLineFilesTest() : ProgramFixture("pf") {}
};

TEST_F(CommandLineFilesTest, EveryRelationTheFileHoldsIsServed) {
  const Case cases[] = {
      {"an opening quote never closed, an inch mark two lines down",
       "spare.csv",
       kHeader + "\n" + Line(1, "a", "\"Spare") + "\n" + Line(2, "b", "Valve block") + "\n" +
           Line(3, "c", "pipe 3/4\""),
       {{Device(1), {Address(1), "a"}}, {Device(2), {Address(2), "b"}}, {Device(3), {Address(3), "c"}}}},
      {"a hostname in quotes the writer would not add",
       "quoted.csv",
       kHeader + "\r\n" + Line(1, "\"plc1\"", "") + "\r\n",
       {{Device(1), {Address(1), "\"plc1\""}}}},
      {"a byte order mark before the header",
       "bom.csv",
       "\xEF\xBB\xBF" + kHeader + "\n" + Line(1, "", "x") + "\n" + Line(2, "", "y"),
       {{Device(1), {Address(1), std::nullopt}}, {Device(2), {Address(2), std::nullopt}}}},
      {"eight megabytes of commas between two relations",
       "commas.csv",
       kHeader + "\n" + Line(1, "a", "x") + "\n" + std::string(8 * 1024 * 1024, ',') + "\n" + Line(2, "b", "y"),
       {{Device(1), {Address(1), "a"}}, {Device(2), {Address(2), "b"}}}},
      {"a text with a line break as this program writes it",
       "written.csv",
       kHeader + "\n" + Line(1, "\"a\rb\"", "\"Line 3\r\ncabinet 2\"") + "\n" + Line(2, "c", "y"),
       {{Device(1), {Address(1), "a\rb"}}, {Device(2), {Address(2), "c"}}}},
      {"a .bpc file whose last record the file cuts short",
       "cut.bpc",
       BpcFile(3, 100),
       {{Device(1), {Address(1), "dev1"}}, {Device(2), {Address(2), "dev2"}}}},
  };
  const std::vector<Mac> everyDevice = {Device(1), Device(2), Device(3), Device(4)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = PathOf(c.fileName).string();
    std::ofstream(path, std::ios::binary) << c.content;
    StartProgram({path});
    if (HasFatalFailure()) return;
    EXPECT_EQ(ServedOf(Device(1), everyDevice), c.served) << Output();
  }
}

}  // namespace
}  // namespace corvessa::program_test
