#include "ui/network_settings_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/network_settings.h"
#include "tests/support/temp_folder.h"
#include "ui/settings_store.h"

namespace corvessa {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadWholeFile;
using testsupport::TempFolder;
using testsupport::WriteWholeFile;

class NetworkSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.ok()); }
  fs::path FilePath() const { return folder_.Path() / "Merrowin Software" / "corvessa.conf"; }

  TempFolder folder_{"settings"};
  SettingsStore store_{(folder_.Path() / "Merrowin Software" / "corvessa.conf").string()};
};

NetworkSettings Example() {
  NetworkSettings s;
  s.subnetMask = 0xFFFFFF00u;  // 255.255.255.0
  s.gateway = 0xC0A80101u;     // 192.168.1.1
  s.dns1 = 0;
  s.dns2 = 0;
  s.SetDomainName("plant.local");
  return s;
}

void ExpectSameSettings(const NetworkSettings& actual, const NetworkSettings& expected) {
  EXPECT_EQ(actual.subnetMask, expected.subnetMask);
  EXPECT_EQ(actual.gateway, expected.gateway);
  EXPECT_EQ(actual.dns1, expected.dns1);
  EXPECT_EQ(actual.dns2, expected.dns2);
  EXPECT_EQ(actual.domainNameLength, expected.domainNameLength);
  EXPECT_EQ(actual.domainName, expected.domainName);  // all 32 bytes, zeros included
}

TEST_F(NetworkSettingsStoreTest, FirstStartReadsZeroMaskWhichIsInvalid) {
  const NetworkSettings s = ReadNetworkSettings(store_, ReadLastAdapter(store_));
  ExpectSameSettings(s, NetworkSettings{});
  EXPECT_FALSE(IsValidNetworkSettings(s));
  EXPECT_EQ(ReadLastAdapter(store_), "");
  EXPECT_EQ(ReadInterfaceAddressText(store_, "eth0"), "");
}

TEST_F(NetworkSettingsStoreTest, SaveWritesTheExampleFileByteForByte) {
  ASSERT_TRUE(store_.SetString("Version 3.06.00", "lastadapter", "eth0"));
  ASSERT_TRUE(store_.SetString("eth0", "ipaddress", "192.168.1.5"));
  SaveNetworkSettings(store_, "eth0", Example());
  const std::string expected =
      "[Version 3.06.00]\n"
      "\"lastadapter\"=\"eth0\"\n"
      "\n"
      "[eth0]\n"
      "\"ipaddress\"=\"192.168.1.5\"\n"
      "\"subnetmask\"=dword:ffffff00\n"
      "\"gateway\"=dword:c0a80101\n"
      "\"dns1\"=dword:00000000\n"
      "\"dns2\"=dword:00000000\n"
      "\"domainname\"=\"plant.local\"\n";
  EXPECT_EQ(ReadWholeFile(FilePath()), expected);
  EXPECT_EQ(ReadLastAdapter(store_), "eth0");
  EXPECT_EQ(ReadInterfaceAddressText(store_, "eth0"), "192.168.1.5");
}

TEST_F(NetworkSettingsStoreTest, SaveThenReadRoundTrips) {
  NetworkSettings s;
  s.subnetMask = 0xFFFF0000u;
  s.gateway = 0x0A000001u;
  s.dns1 = 0x0A000002u;
  s.dns2 = 0x08080808u;
  s.SetDomainName(std::string(32, 'd'));  // full field, no terminator
  SaveNetworkSettings(store_, "enp3s0", s);
  const NetworkSettings read = ReadNetworkSettings(store_, "enp3s0");
  ExpectSameSettings(read, s);
  EXPECT_TRUE(IsValidNetworkSettings(read));
}

TEST_F(NetworkSettingsStoreTest, SaveWritesOnlyTheCountedDomainCharacters) {
  NetworkSettings s = Example();
  s.SetDomainName("abcdef");
  s.domainNameLength = 3;
  SaveNetworkSettings(store_, "eth0", s);
  EXPECT_EQ(store_.GetString("eth0", "domainname"), "abc");
}

TEST_F(NetworkSettingsStoreTest, SaveDoesNotValidate) {
  NetworkSettings s;
  s.gateway = 0x7F000001u;  // 127.0.0.1, invalid like the zero mask
  SaveNetworkSettings(store_, "eth0", s);
  const NetworkSettings read = ReadNetworkSettings(store_, "eth0");
  EXPECT_EQ(read.gateway, 0x7F000001u);
  EXPECT_FALSE(IsValidNetworkSettings(read));
}

TEST_F(NetworkSettingsStoreTest, EachInterfaceKeepsItsOwnSection) {
  NetworkSettings a = Example();
  NetworkSettings b;
  b.subnetMask = 0xFF000000u;
  SaveNetworkSettings(store_, "eth0", a);
  SaveNetworkSettings(store_, "eth1", b);
  ExpectSameSettings(ReadNetworkSettings(store_, "eth1"), b);
  ExpectSameSettings(ReadNetworkSettings(store_, "eth0"), a);
  ExpectSameSettings(ReadNetworkSettings(store_, "eth2"), NetworkSettings{});
  // No selected interface: the values sit directly under the application's key.
  SaveNetworkSettings(store_, "", b);
  ExpectSameSettings(ReadNetworkSettings(store_, ""), b);
}

TEST_F(NetworkSettingsStoreTest, ReadsAHandWrittenFile) {
  const std::string tooLong(40, 'x');
  ASSERT_TRUE(WriteWholeFile(FilePath(),
                            "[Version 3.06.00]\n"
                            "\"lastadapter\"=\"eth1\"\n"
                            "[eth1]\n"
                            "\"ipaddress\"=\"Unknown\"\n"
                            "\"subnetmask\"=\"255.255.255.0\"\n"  // a string where a dword belongs
                            "\"gateway\"=dword:0a000001\n"
                            "\"domainname\"=\"" + tooLong + "\"\n"));
  const NetworkSettings s = ReadNetworkSettings(store_, ReadLastAdapter(store_));
  EXPECT_EQ(s.subnetMask, 0u);
  EXPECT_EQ(s.gateway, 0x0A000001u);
  EXPECT_EQ(s.dns1, 0u);
  EXPECT_EQ(s.domainNameLength, 32);  // cut to the field
  EXPECT_EQ(std::string(s.domainName.data(), s.domainName.size()), std::string(32, 'x'));
  EXPECT_EQ(ReadInterfaceAddressText(store_, "eth1"), "Unknown");
}

}  // namespace
}  // namespace corvessa
