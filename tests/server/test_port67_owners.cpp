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
  // A process with a name and descriptors pointing at the given link texts,
  // and, when given, its command line and executable.
  void AddProcess(unsigned pid, const std::string& comm, const std::vector<std::string>& links,
                  const std::string& commandLine = {}, const std::string& executable = {}) {
    const fs::path dir = root_ / std::to_string(pid);
    fs::create_directories(dir / "fd");
    if (!comm.empty()) std::ofstream(dir / "comm") << comm << "\n";
    if (!commandLine.empty()) std::ofstream(dir / "cmdline", std::ios::binary) << commandLine;
    if (!executable.empty()) fs::create_symlink(executable, dir / "exe");
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

// comm holds at most 15 characters; a name that long may have been cut, and
// is completed from the command line or the executable when they begin with it.
TEST_F(FakeProc, CutCommandNamesAreCompleted) {
  using namespace std::string_literals;
  struct Case {
    const char* what;
    std::string comm;
    std::string commandLine;
    std::string executable;
    std::string expected;
  };
  const Case cases[] = {
      {"short name as it is", "dnsmasq", "/usr/sbin/dnsmasq\0--keep-in-foreground\0"s, "", "dnsmasq"},
      {"completed from argv[0]", "systemd-network", "/lib/systemd/systemd-networkd\0"s, "", "systemd-networkd"},
      {"argv[0] rewritten with a status", "corvessa-dhcp-s", "corvessa-dhcp-server: serving eth0\0"s, "",
       "corvessa-dhcp-server"},
      {"completed from the executable", "plant-bootp-rel", "relay\0"s, "/opt/bin/plant-bootp-relayd (deleted)",
       "plant-bootp-relayd"},
      {"nothing longer that fits", "abcdefghijklmno", "python3\0x.py\0"s, "/usr/bin/python3.11", "abcdefghijklmno"},
  };
  unsigned pid = 100;
  std::string rows;
  std::string expected;
  for (const Case& c : cases) {
    const unsigned long inode = 9000 + pid;
    rows += UdpLine(static_cast<int>(pid), "0043", inode);
    AddProcess(pid, c.comm, {"socket:[" + std::to_string(inode) + "]"}, c.commandLine, c.executable);
    expected += " - " + c.expected + ", PID: " + std::to_string(pid) + ";\n";
    ++pid;
  }
  WriteUdpTable(rows);
  EXPECT_EQ(Find(), expected);
}

TEST(Port67HolderText, NamesTheProcessOrElseItsUser) {
  Port67Holder visible;
  visible.pid = 812;
  visible.name = "dnsmasq";
  Port67Holder hidden;
  hidden.uid = 0;
  Port67Holder nameless;
  nameless.uid = 4000000000u;  // no such user
  EXPECT_EQ(DescribePort67Holders({visible, hidden, nameless}),
            " - dnsmasq, PID: 812;\n"
            " - a process of user root, PID: unknown;\n"
            " - a process of user 4000000000, PID: unknown;\n");
  EXPECT_EQ(NamePort67Holders({visible, hidden}), "dnsmasq (PID 812), a process of user root");
  EXPECT_EQ(NamePort67Holders({}), "another program");
}

// /proc/net/udp does not say what a socket is bound to, so every holder in it
// counts, whatever interface is chosen.
TEST_F(FakeProc, HoldersFromTheTableCountOnEveryInterface) {
  WriteUdpTable(UdpLine(0, "0043", 4242));
  AddProcess(123, "dhcpd", {"socket:[4242]"});
  Port67Search search;
  search.procRoot = root_.string();
  search.askKernel = false;
  search.interfaceIndex = 7;
  const auto holders = FindPort67Holders(search);
  ASSERT_TRUE(holders.has_value());
  ASSERT_EQ(holders->size(), 1u);
  EXPECT_EQ((*holders)[0].boundDevice, kUnknownDevice);
  EXPECT_EQ((*holders)[0].pid, 123u);
}

TEST_F(FakeProc, UnreadableTableGivesNothing) {
  fs::remove(root_ / "net" / "udp");
  AddProcess(123, "dnsmasq", {"socket:[7001]"});
  EXPECT_EQ(Find(), "");
}

TEST(UdpTableLine, ParsesTheFieldsItNeeds) {
  const auto row = ParseUdpTableLine(
      "  211: 0100007F:0043 00000000:0000 07 00000000:00000000 00:00000000 00000000   115        0 31337 2 "
      "0000000000000000 0");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->localAddress, 0x0100007Fu);
  EXPECT_EQ(row->localPort, 67);
  EXPECT_EQ(row->uid, 115u);
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
