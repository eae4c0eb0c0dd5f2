#include "core/strings.h"
#include "core/utf8.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace corvessa {
namespace {

// Texts copied by hand, one per number.
struct Pinned {
  int id;
  const char* text;
};

constexpr Pinned kPinned[] = {
    {101, "&About Corvessa..."},
    {102,
     "The IP address you entered is not in the same subnet.\n"
     "Please check your Network Settings in the Tools menu."},
    {103, "Windows sockets initialization failed."},
    {32783, "Invalid Address"},
    {32788, "The primary domain name server address entered\nis invalid. Please check it and try again."},
    {32790,
     "Cannot find a valid IP address.\nApplication cannot continue.\n"
     "Fix network settings or connection and retry the application."},
    {32791,
     "Failed to complete the requested operation.\n\nSee status bar for further information "
     "then press OK when ready to continue."},
    {32796, "Network Setup Warning"},
    {32802,
     "%s of the BOOTP/DHCP server utility is not capable of opening files from Version "
     "%d.%d.%d.%d."},
    {32807, "Server socket error on receive: restarting socket..."},
    {32809, "Sent %s to Ethernet address %s"},
    {32810, "Unable to service %s request from %s."},
    {32811, "Loading..."},
    {32826, "Socket option (%s) failed for %s. (%s)"},
    {32832, "Didn't receive a response from %s. [%s]"},
    {32839, "[%s %s] Command successful"},
    {32844, "Corvessa"},
    {32857, "Error loading file '%s': Unexpected end of file.\nPlease check file format and try again."},
    {32860, "The relation list only allows %d entries. All entries after #%d will be omitted."},
    {32861,
     "The specified hardware address (MAC)\nis already in the relation list. Please change\nthe "
     "MAC and try again."},
    {32865, "Load file complete. %d records were omitted because of errors or duplicates."},
    {32873,
     "Cannot save network configuration, due to invalid global network settings.\nPlease check "
     "the subnet mask, gateway, and primary and secondary domain\nname server settings under "
     "\"Tools\"->\"Network Settings\"."},
    {32878, "Please configure your network settings before\nusing the Corvessa."},
    {32879, "Waiting for response to [%s] from [%s]..."},
    {32882, "Unknown"},
    {32883,
     "The BOOTP/DHCP is unable to function because port 67 is being used by another process:\n\n"},
    {32885, "The IP address and gateway are not in the same subnet.\n Please check your settings."},
    {32887, "Network Setup"},
    {32889,
     "Windows Firewall may block some features of BootP. If this occurs, please change your "
     "firewall settings to Notify me when Windows Firewall blocks a new program and try again."},
};

TEST(StringTable, PinnedTexts) {
  for (const auto& p : kPinned) {
    EXPECT_EQ(LoadString(p.id), p.text) << p.id;
    EXPECT_TRUE(HasString(p.id)) << p.id;
  }
}

TEST(StringTable, NamedIdsMatchTheirNumbers) {
  EXPECT_EQ(LoadString(kIdsSentToEthernet), LoadString(32809));
  EXPECT_EQ(kIdsSentToEthernet, 32809);
  EXPECT_EQ(kIdsCannotSaveSettings, 32873);
  EXPECT_EQ(kIdsAboutMenuItem, 101);
  EXPECT_EQ(kIdsFirewallWarning, 32889);
}

TEST(StringTable, EveryEntryUniqueAndNonEmpty) {
  std::set<int> seen;
  for (const auto& entry : AllStrings()) {
    EXPECT_TRUE(seen.insert(entry.id).second) << entry.id;
    EXPECT_FALSE(entry.text.empty()) << entry.id;
    EXPECT_EQ(LoadString(entry.id), entry.text) << entry.id;
  }
  EXPECT_EQ(seen.size(), 94u);
}

TEST(StringTable, UnknownIdsAreEmpty) {
  // Command numbers without a text of their own, and numbers outside the table.
  for (int id : {0, 100, 104, 32780, 32781, 32808, 32888, 32890, -1}) {
    EXPECT_TRUE(LoadString(id).empty()) << id;
    EXPECT_FALSE(HasString(id)) << id;
  }
}

TEST(FormatString, FillsPlaceholders) {
  EXPECT_EQ(FormatString(kIdsSentToEthernet, "192.168.1.50", "00:1D:9C:C8:12:34"),
            "Sent 192.168.1.50 to Ethernet address 00:1D:9C:C8:12:34");
  EXPECT_EQ(FormatString(kIdsUnableToService, "DHCP", "00:1D:9C:C8:12:34"),
            "Unable to service DHCP request from 00:1D:9C:C8:12:34.");
  EXPECT_EQ(FormatString(kIdsCommandSuccessful, "Enable", "DHCP"), "[Enable DHCP] Command successful");
  EXPECT_EQ(FormatString(kIdsRelationLimitOmitted, 256, 256),
            "The relation list only allows 256 entries. All entries after #256 will be omitted.");
}

TEST(FormatString, WithoutArgumentsTheTextIsUsedAsItIs) {
  EXPECT_EQ(FormatString(kIdsLoading), "Loading...");
  EXPECT_EQ(FormatText("100% done %s"), "100% done %s");
}

TEST(Texts, ColumnHeadersKeepTheirBlanks) {
  EXPECT_EQ(text::kColumnType, "Type  ");
  EXPECT_EQ(text::kColumnCount, "#   ");
  EXPECT_EQ(text::kColumnIpAddress, "IP Address          ");
  EXPECT_EQ(text::kHistoryColumns[2], "(hr:min:sec)");
  EXPECT_EQ(text::kRelationColumns[4], "Description");
  EXPECT_EQ(text::kRelationTypeNames[0], "");
  EXPECT_EQ(text::kRelationTypeNames[2], "DHCP");
}

TEST(Texts, WsaErrorTable) {
  std::set<int> codes;
  for (const auto& e : text::kWsaErrorTexts) {
    EXPECT_TRUE(codes.insert(e.code).second) << e.code;
    EXPECT_FALSE(e.text.empty()) << e.code;
  }
  EXPECT_EQ(text::kWsaErrorTexts[5].code, 10061);
  EXPECT_EQ(text::kWsaErrorTexts[5].text, "Connection refused");
  EXPECT_EQ(text::kWsaErrorTexts[8].code, 10091);
  EXPECT_EQ(text::kWsaErrorTexts[8].text, "System not ready");
}

// The byte limit of stored texts: a character across it goes whole, stray
// continuation bytes are cut where they stand, a limit of 0 gives nothing.
TEST(CutUtf8, KeepsWholeCharactersWithinTheLimit) {
  const struct {
    std::string text;
    std::size_t size;
    std::string cut;
  } cases[] = {
      {"abc", 3, "abc"},
      {"ab\xC3\xA9", 3, "ab"},                      // é across the limit
      {"a\xE2\x82\xAC", 3, "a"},                    // € across the limit by one byte
      {"a\xE2\x82\xAC", 2, "a"},                    // by two bytes
      {"\xF0\x9F\x98\x80z", 4, "\xF0\x9F\x98\x80"},  // a four-byte character that fits
      {"\xF0\x9F\x98\x80", 3, ""},                  // one that does not
      {"a\x80\x80\x80\x80", 3, "a\x80\x80"},        // continuation bytes without a lead
      {"\xC3\xA9", 0, ""},
      {"\xC3\xA9", 1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(CutUtf8(c.text, c.size)), c.cut) << c.size;
  }
}

}  // namespace
}  // namespace corvessa
