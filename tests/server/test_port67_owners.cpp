// The port-67 owner report, read from a fake /proc tree.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "server/port67_owners.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUdpHeader =
    "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref pointer "
    "drops\n";

// One /proc/net/udp data line for a socket on 0.0.0.0:<portHex>.
std::string UdpLine(int slot, const std::string& portHex, unsigned long inode) {
  return "  " + std::to_string(slot) + ": 00000000:" + portHex +
         " 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 " + std::to_string(inode) +
         " 2 0000000000000000 0\n";
}

class FakeProc : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    fs::create_directories(root_ / "net");
  }

  void WriteUdpTable(const std::string& rows) {
    std::ofstream(root_ / "net" / "udp") << kUdpHeader << rows;
  }
  // A process with a name and descriptors pointing at the given link texts.
  void AddProcess(unsigned pid, const std::string& comm, const std::vector<std::string>& links) {
    const fs::path dir = root_ / std::to_string(pid);
    fs::create_directories(dir / "fd");
    if (!comm.empty()) std::ofstream(dir / "comm") << comm << "\n";
    int fd = 3;
    for (const auto& link : links) fs::create_symlink(link, dir / "fd" / std::to_string(fd++));
  }
  std::string Find(unsigned long ownInode = 0) const { return FindPort67Owners(root_.string(), ownInode); }

  testsupport::TempFolder folder_{"proc"};
  const fs::path root_ = folder_.Path();
};

TEST_F(FakeProc, NamesEachOwnerInTableOrderAndSkipsEndedProcesses) {
  WriteUdpTable(UdpLine(0, "0043", 7003) +  // held by udpsvc
                UdpLine(1, "0044", 7002) +  // port 68: not reported
                UdpLine(2, "0043", 7004) +  // its process has ended
                UdpLine(3, "0043", 7001));  // held by dnsmasq
  AddProcess(123, "dnsmasq", {"/dev/null", "socket:[7001]"});
  AddProcess(456, "udpsvc", {"socket:[7003]"});
  AddProcess(77, "bystander", {"socket:[70010]", "pipe:[7004]", "socket:[7002]"});

  EXPECT_EQ(Find(), " - udpsvc, PID: 456;\n - dnsmasq, PID: 123;\n");
}

TEST_F(FakeProc, OneOwnerGivesExactlyOneLine) {
  WriteUdpTable(UdpLine(0, "0043", 4242));
  AddProcess(123, "dhcpd", {"socket:[4242]"});
  EXPECT_EQ(Find(), " - dhcpd, PID: 123;\n");
}

TEST_F(FakeProc, SocketSharedByTwoProcessesNamesTheLowestPid) {
  WriteUdpTable(UdpLine(0, "0043", 5000));
  AddProcess(900, "child", {"socket:[5000]"});
  AddProcess(31, "parent", {"socket:[5000]"});
  EXPECT_EQ(Find(), " - parent, PID: 31;\n");
}

TEST_F(FakeProc, OwnSocketIsNeverReported) {
  WriteUdpTable(UdpLine(0, "0043", 5001) + UdpLine(1, "0043", 5002));
  AddProcess(10, "corvessa", {"socket:[5001]"});
  AddProcess(11, "other", {"socket:[5002]"});
  EXPECT_EQ(Find(5001), " - other, PID: 11;\n");
}

TEST_F(FakeProc, NothingToReport) {
  struct Case {
    const char* what;
    std::string rows;
  };
  const Case cases[] = {
      {"no socket on port 67", UdpLine(0, "0044", 6000)},
      {"owner without a readable name", UdpLine(0, "0043", 6001)},
      {"socket being torn down (inode 0)", UdpLine(0, "0043", 0)},
      {"empty table", ""},
  };
  AddProcess(20, "", {"socket:[6001]"});
  AddProcess(21, "zero", {"socket:[0]"});
  for (const auto& c : cases) {
    WriteUdpTable(c.rows);
    EXPECT_EQ(Find(), "") << c.what;
  }
}

TEST_F(FakeProc, UnreadableTableGivesNothing) {
  fs::remove(root_ / "net" / "udp");
  AddProcess(123, "dnsmasq", {"socket:[7001]"});
  EXPECT_EQ(Find(), "");
}

TEST(UdpTableLine, ParsesTheFieldsItNeeds) {
  const auto row = ParseUdpTableLine(
      "  211: 0100007F:0043 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 31337 2 "
      "0000000000000000 0");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->localAddress, 0x0100007Fu);
  EXPECT_EQ(row->localPort, 67);
  EXPECT_EQ(row->inode, 31337ul);
}

TEST(UdpTableLine, RefusesWhatIsNotADataLine) {
  const char* const lines[] = {
      "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref",
      "",
      "  1: 00000000:0043 00000000:0000 07",                                        // too few fields
      "  1 00000000:0043 00000000:0000 07 00000000:00000000 00:00000000 00000000 0 0 9",  // slot without colon
      "  1: 0000000:00043 00000000:0000 07 00000000:00000000 00:00000000 00000000 0 0 9",  // colon misplaced
      "  1: 00000000:00G3 00000000:0000 07 00000000:00000000 00:00000000 00000000 0 0 9",  // not hex
      "  1: 00000000:0043 00000000:0000 07 00000000:00000000 00:00000000 00000000 0 0 x9",  // inode not decimal
  };
  for (const char* line : lines) EXPECT_FALSE(ParseUdpTableLine(line).has_value()) << line;
}

}  // namespace
}  // namespace corvessa
