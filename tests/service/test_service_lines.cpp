// What the headless service writes and reads, without a network: its log
// lines byte for byte, what a reload reports as changed, its command line and
// the reasons it refuses a file or its settings.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "files/bpc_writer.h"
#include "service/list_changes.h"
#include "service/log_line.h"
#include "service/relation_file.h"
#include "service/server_options.h"
#include "service/service_log.h"
#include "tests/files/files_fixture.h"
#include "tests/support/temp_folder.h"

namespace corvessa::service {
namespace {

using files_test::Ip;
using files_test::MakeRelation;

TEST(ServiceLog, ValuesAreBareOrQuotedSoThatEveryLineIsOneLineOfAscii) {
  const struct {
    std::string value;
    std::string written;
  } cases[] = {
      {"plc-a", "plc-a"},
      {"00:1D:9C:C8:12:34", "00:1D:9C:C8:12:34"},
      {"", "\"\""},
      {"Press 4", "\"Press 4\""},
      {"a=b", "\"a=b\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\plant", "\"C:\\\\plant\""},
      {"two\nlines", "\"two\\nlines\""},
      {"tab\there", "\"tab\\there\""},
      {std::string("nul\0x", 5), "\"nul\\x00x\""},
      {"\x7F", "\"\\x7F\""},
      {"caf\xC3\xA9", "\"caf\\xC3\\xA9\""},
  };
  for (const auto& c : cases) EXPECT_EQ(LogValue(c.value), c.written) << c.value;
}

TEST(ServiceLog, RequestLineHoldsTheHistoryRowAndTheStatusText) {
  const HistoryEntry served{"00:1D:9C:C8:12:34", "DHCP", "9:05:03", "2", "192.168.1.50", "plc-a"};
  EXPECT_EQ(RequestLine(served, "Sent 192.168.1.50 to Ethernet address 00:1D:9C:C8:12:34").Text(),
            "request mac=00:1D:9C:C8:12:34 type=DHCP time=9:05:03 count=2 ip=192.168.1.50 hostname=plc-a "
            "status=\"Sent 192.168.1.50 to Ethernet address 00:1D:9C:C8:12:34\"");
  const HistoryEntry unserved{"00:11:22:33:44:55", "BOOTP", "14:00:00", "1", "", ""};
  EXPECT_EQ(RequestLine(unserved, "Unable to service BOOTP request from 00:11:22:33:44:55.").Text(),
            "request mac=00:11:22:33:44:55 type=BOOTP time=14:00:00 count=1 ip=\"\" hostname=\"\" "
            "status=\"Unable to service BOOTP request from 00:11:22:33:44:55.\"");
}

TEST(ServiceLog, ConflictLinesNameTheAddressTheDeviceAndWhoHoldsIt) {
  AddressConflict taken;
  taken.address = 0xC0A80132;
  taken.holder = HardwareAddress{0x02, 0x00, 0x00, 0x77, 0x00, 0x50};
  taken.evidence = ProbeEvidence::EchoReply;
  EXPECT_EQ(ConflictLine(taken, "00:1D:9C:C8:12:34", "192.168.1.50 is in use by 02:00:00:77:00:50: not given").Text(),
            "conflict ip=192.168.1.50 mac=00:1D:9C:C8:12:34 holder=02:00:00:77:00:50 reason=in-use "
            "text=\"192.168.1.50 is in use by 02:00:00:77:00:50: not given\"");
  AddressConflict own = taken;
  own.evidence = ProbeEvidence::OwnAddress;
  EXPECT_EQ(ConflictLine(own, "00:1D:9C:C8:12:34", "own").Text(),
            "conflict ip=192.168.1.50 mac=00:1D:9C:C8:12:34 holder=02:00:00:77:00:50 reason=own-address text=own");
  AddressConflict declined;
  declined.address = 0xC0A80132;
  declined.state = AddressState::Declined;
  EXPECT_EQ(ConflictLine(declined, "00:1D:9C:C8:12:34", "declined").Text(),
            "conflict ip=192.168.1.50 mac=00:1D:9C:C8:12:34 holder=\"\" reason=declined text=declined");
  EXPECT_EQ(ConfirmedLine(0xC0A80132).Text(), "confirmed ip=192.168.1.50");
  const HistoryEntry answered{"00:1D:9C:C8:12:34", "BOOTP", "9:05:03", "1", "192.168.1.50", "plc-a"};
  EXPECT_EQ(AnsweredLine(answered, "Sent").Text(),
            "answered mac=00:1D:9C:C8:12:34 type=BOOTP time=9:05:03 count=1 ip=192.168.1.50 hostname=plc-a status=Sent");
}

TEST(ServiceLog, ReloadNamesEachRelationThatCameWentOrChangedAndEachSetting) {
  RelationTable before;
  before.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0A}, Ip(10, 1, 0, 1), "plc-a", "Press"));
  before.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0B}, Ip(10, 1, 0, 2), "plc-b"));
  before.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0C}, Ip(10, 1, 0, 3)));
  NetworkSettings settingsBefore;
  settingsBefore.subnetMask = Ip(255, 255, 255, 0);
  settingsBefore.gateway = Ip(10, 1, 0, 254);
  settingsBefore.SetDomainName("plant.test");

  RelationTable now;
  now.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0C}, Ip(10, 1, 0, 3)));                // unchanged
  now.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0B}, Ip(10, 1, 0, 22), "plc b"));      // changed
  now.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0D}, Ip(10, 1, 0, 4), "", "new one"));  // added
  now.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0D}, Ip(10, 1, 0, 5)));                // never served
  NetworkSettings settingsNow = settingsBefore;
  settingsNow.gateway = 0;
  settingsNow.dns1 = Ip(10, 1, 0, 53);

  std::vector<std::string> lines;
  for (const LogLine& line : ReloadLines("/etc/corvessa/line3.csv", now.Count(),
                                         CompareLists(before, settingsBefore, now, settingsNow))) {
    lines.push_back(line.Text());
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "reloaded file=/etc/corvessa/line3.csv relations=4 added=1 removed=1 changed=1 settings=changed",
                       "changed mac=02:00:00:00:00:0B ip=10.1.0.22 hostname=\"plc b\" description=\"\" "
                       "was-ip=10.1.0.2 was-hostname=plc-b",
                       "added mac=02:00:00:00:00:0D ip=10.1.0.4 hostname=\"\" description=\"new one\"",
                       "removed mac=02:00:00:00:00:0A ip=10.1.0.1 hostname=plc-a description=Press",
                       "setting name=gateway value=\"\" was=10.1.0.254",
                       "setting name=dns1 value=10.1.0.53 was=\"\"",
                   }));

  const ListChanges none = CompareLists(before, settingsBefore, before, settingsBefore);
  EXPECT_TRUE(none.relations.empty());
  EXPECT_TRUE(none.settings.empty());
}

TEST(ServiceLog, JournalStreamIsRecognisedByDeviceAndInode) {
  testsupport::TempFolder folder("svclog");
  const int fd = open(folder.File("log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  struct stat status {};
  ASSERT_EQ(fstat(fd, &status), 0);
  const std::string own = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  const std::string other = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino + 1);
  EXPECT_TRUE(IsJournalStream(fd, own.c_str()));
  EXPECT_FALSE(IsJournalStream(fd, other.c_str()));
  EXPECT_FALSE(IsJournalStream(fd, "journal"));
  EXPECT_FALSE(IsJournalStream(fd, nullptr));
  close(fd);
}

TEST(ServiceOptions, CommandLinesAndTheirFaults) {
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"--interface=eth1", "line3.bpc"}, ""},
      {{"-i", "eth1", "--subnet-mask", "255.255.255.0", "line3.CSV"}, ""},
      {{"line3.bpc"}, "--interface is required"},
      {{"--interface="}, "invalid value '' for --interface"},
      {{"-i", "eth1"}, "no .bpc or .csv file given"},
      {{"-i", "eth1", "a.bpc", "b.bpc"}, "more than one file given"},
      {{"-i", "eth1", "line3.txt"}, "'line3.txt' is neither a .bpc nor a .csv file"},
      {{"-i", "eth1", "--verbose", "line3.bpc"}, "unknown option '--verbose'"},
      {{"-i", "eth1", "line3.bpc", "--gateway"}, "option '--gateway' needs a value"},
      {{"--version=2"}, "unknown option '--version=2'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseServerOptions(c.arguments).error, c.error) << testing::PrintToString(c.arguments);
  }
  const ServerOptions o =
      ParseServerOptions({"-i", "eth1", "-s", "192.168.1.5", "--gateway=192.168.1.1", "--domain", "plant", "l.csv"})
          .options;
  EXPECT_EQ(o.interfaceName, "eth1");
  EXPECT_EQ(o.file, "l.csv");
  EXPECT_EQ(o.serverAddress, "192.168.1.5");
  EXPECT_EQ(o.settings.gateway, "192.168.1.1");
  EXPECT_EQ(o.settings.domain, "plant");
  EXPECT_FALSE(o.settings.subnetMask.has_value());
  EXPECT_TRUE(ParseServerOptions({"-h"}).options.help);
  EXPECT_TRUE(ParseServerOptions({"--version"}).options.version);
}

class ServedListLoad : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.ok()); }
  std::string Csv(std::string_view name, std::string_view lines) {
    return folder.Write(name, std::string("MAC,IP,Hostname,Description\n") + std::string(lines));
  }
  testsupport::TempFolder folder{"svcload"};
};

TEST_F(ServedListLoad, SettingsThatCannotBeServedAreRefusedWithTheirReason) {
  const std::string csv = Csv("line.csv", "02:00:00:00:00:0A,10.1.0.1,plc-a,\n");
  const std::string fromOptions = "The network settings from the options (a .csv file holds no settings) cannot be served:\n";
  const struct {
    cli::SettingsOptions options;
    std::string failure;
  } cases[] = {
      {{}, fromOptions + "no subnet mask: give --subnet-mask"},
      {{.subnetMask = "255.255.0.255"}, fromOptions + "--subnet-mask=255.255.0.255 is not a valid mask"},
      {{.subnetMask = "255.255.255.0", .gateway = "127.0.0.1", .dns2 = "0.1.2.3"},
       fromOptions + "--gateway=127.0.0.1 is not a valid address\n--dns2=0.1.2.3 is not a valid address"},
      {{.subnetMask = "255.255.255.0", .gateway = "10.1.0.x"}, fromOptions + "--gateway=10.1.0.x is not a valid address"},
      {{.subnetMask = "255.255.255.0", .domain = std::string(33, 'd')},
       fromOptions + "--domain is longer than 32 characters"},
      {{.subnetMask = "255.255.255.0"}, ""},
  };
  for (const auto& c : cases) {
    const ListLoad load = LoadServedList(csv, c.options);
    EXPECT_EQ(load.failure, c.failure);
    EXPECT_EQ(load.list.has_value(), c.failure.empty()) << c.failure;
  }
}

TEST_F(ServedListLoad, BpcSettingsComeFromTheFileAndOptionsReplaceThem) {
  RelationTable table;
  table.Append(MakeRelation({0x02, 0, 0, 0, 0, 0x0A}, Ip(10, 1, 0, 1), "plc-a"));
  NetworkSettings settings;
  settings.subnetMask = Ip(255, 255, 255, 0);
  settings.gateway = Ip(10, 1, 0, 254);
  settings.SetDomainName("plant.test");
  const std::vector<std::uint8_t> bytes = WriteBpc(settings, table);
  const std::string bpc = folder.Write("line.bpc", std::string(bytes.begin(), bytes.end()));

  const ListLoad plain = LoadServedList(bpc, {});
  ASSERT_TRUE(plain.list) << plain.failure;
  EXPECT_EQ(plain.list->relations.Count(), 1);
  EXPECT_EQ(plain.list->settings.gateway, Ip(10, 1, 0, 254));
  EXPECT_EQ(plain.list->settings.DomainName(), "plant.test");

  const ListLoad replaced = LoadServedList(bpc, {.gateway = "", .dns1 = "10.1.0.53", .domain = "line3"});
  ASSERT_TRUE(replaced.list) << replaced.failure;
  EXPECT_EQ(replaced.list->settings.subnetMask, Ip(255, 255, 255, 0));
  EXPECT_EQ(replaced.list->settings.gateway, 0u);
  EXPECT_EQ(replaced.list->settings.dns1, Ip(10, 1, 0, 53));
  EXPECT_EQ(replaced.list->settings.DomainName(), "line3");

  const ListLoad refused = LoadServedList(bpc, {.subnetMask = ""});
  EXPECT_EQ(refused.failure,
            "The network settings from the file and the options cannot be served:\nno subnet mask: give --subnet-mask");
}

TEST_F(ServedListLoad, AFileThatCannotBeReadSaysWhyAndOmittedRecordsAreWarnedOf) {
  const std::string missing = folder.File("missing.csv");
  EXPECT_EQ(LoadServedList(missing, {.subnetMask = "255.255.255.0"}).failure,
            "The file '" + missing + "' does not exist or cannot be accessed.\n"
            "Please check the filename and try again.\n(No such file or directory)");
  const std::string empty = folder.Write("empty.csv", "MAC,IP,Hostname,Description\n");
  EXPECT_EQ(LoadServedList(empty, {.subnetMask = "255.255.255.0"}).failure,
            "Error loading file '" + empty + "': Unexpected end of file.\nPlease check file format and try again.");

  const std::string twice = Csv("twice.csv", "02:00:00:00:00:0A,10.1.0.1,plc-a,\n02:00:00:00:00:0A,10.1.0.2,plc-b,\n");
  const ListLoad load = LoadServedList(twice, {.subnetMask = "255.255.255.0"});
  ASSERT_TRUE(load.list) << load.failure;
  EXPECT_EQ(load.list->relations.Count(), 1);
  EXPECT_EQ(load.list->warnings, (std::vector<std::string>{
                                     "Load file complete. 1 records were omitted because of errors or duplicates."}));
}

}  // namespace
}  // namespace corvessa::service
