// corvessa-server as a plant PC runs it: the real executable in a network
// namespace of the test's own, real clients (udhcpc for DHCP, bootpc for
// BOOTP) in another, real signals, real files, its log and exit status.

#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <cstring>

#include <filesystem>

#include "core/strings.h"
#include "files/bpc_writer.h"
#include "server/server_texts.h"
#include "tests/files/files_fixture.h"
#include "tests/net/net_harness.h"
#include "tests/support/scratch_user.h"
#include "tests/support/tshark.h"

namespace corvessa::nettest {
namespace {

using files_test::Ip;
using files_test::MakeRelation;
using testsupport::ScratchUser;

constexpr const char* kListedLine = "02:00:00:77:00:02,192.168.77.50,plc-a,Press 4\n";
constexpr const char* kOtherLine = "02:00:00:77:00:99,192.168.77.99,plc-z,\n";
constexpr const char* kSettingsOptions =
    " --subnet-mask=255.255.255.0 --gateway=192.168.77.254 --dns1=192.168.77.53 --domain=plant.test ";

class ServiceProgram : public NetFixture {
 protected:
  ServiceProgram() : NetFixture("svc") {}

  void SetUp() override {
    NetFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // Readable by a scratch user too, as /etc/corvessa is by a service's dynamic user.
    std::filesystem::permissions(folder_->Path(), std::filesystem::perms::owner_all |
                                                      std::filesystem::perms::group_read |
                                                      std::filesystem::perms::group_exec |
                                                      std::filesystem::perms::others_read |
                                                      std::filesystem::perms::others_exec);
  }

  std::string WriteCsv(const std::string& name, const std::string& lines) const {
    const auto path = Temp(name);
    testsupport::WriteWholeFile(path, "MAC,IP,Hostname,Description\n" + lines);
    return path.string();
  }

  // corvessa-server in the server namespace, logging to <name>.out and
  // <name>.err; returns once it serves or has ended.
  std::unique_ptr<Background> Start(const std::string& arguments, const std::string& name = "server",
                                    const std::string& asUser = "") {
    auto program = std::make_unique<Background>(InServer(asUser + CORVESSA_SERVER + " " + arguments),
                                                Temp(name + ".out"), Temp(name + ".err"));
    WaitUntil([&] { return Log(name).find("serving ") != std::string::npos || !program->Running(); }, 10s);
    return program;
  }

  std::string Log(const std::string& name = "server") const { return ReadWholeFile(Temp(name + ".out")); }
  std::string Errors(const std::string& name = "server") const { return ReadWholeFile(Temp(name + ".err")); }

  // The log's lines of one event, with the time of day made T.
  std::vector<std::string> LogLines(const std::string& event, const std::string& name = "server") const {
    std::vector<std::string> lines;
    for (const std::string& line : testsupport::Lines(Log(name))) {
      if (line.rfind(event + " ", 0) == 0) lines.push_back(WithoutTimeOfDay(line));
    }
    return lines;
  }

  // " time=H:MM:SS " or " time=HH:MM:SS " becomes " time=T "; anything else
  // stays, so a malformed time shows in the comparison.
  static std::string WithoutTimeOfDay(std::string line) {
    const std::string key = " time=";
    const std::size_t start = line.find(key);
    if (start == std::string::npos) return line;
    const std::size_t value = start + key.size();
    const std::size_t end = line.find(' ', value);
    if (end == std::string::npos) return line;
    const std::string text = line.substr(value, end - value);
    const bool digits = std::all_of(text.begin(), text.end(), [](char c) { return c == ':' || (c >= '0' && c <= '9'); });
    const std::size_t first = text.find(':');
    if (!digits || (first != 1 && first != 2) || text.size() != first + 6 || text[first + 3] != ':' ||
        text.find(':', first + 1) != first + 3) {
      return line;
    }
    return line.replace(value, end - value, "T");
  }

  // The DHCP client on the device's side: 0 when it obtained a lease.
  int Udhcpc(int tries, const std::string& script = "/bin/true") const {
    return testsupport::Run(InClient("busybox udhcpc -i " + link_.clientIf + " -n -q -f -t " + std::to_string(tries) +
                                     " -T 1 -s " + script + " >/dev/null 2>&1"));
  }

  // Waits until the log has `count` lines of `event`.
  bool WaitForLines(const std::string& event, std::size_t count) const {
    return WaitUntil([&] { return LogLines(event).size() >= count; }, 10s);
  }

  std::string ServedLine(const std::string& type, const std::string& count) const {
    return "request mac=02:00:00:77:00:02 type=" + type + " time=T count=" + count +
           " ip=192.168.77.50 hostname=plc-a status=\"Sent 192.168.77.50 to Ethernet address 02:00:00:77:00:02\"";
  }
  // The first request of an address waits while the address is checked.
  static std::string CheckingLine(const std::string& type) {
    return "request mac=02:00:00:77:00:02 type=" + type +
           " time=T count=1 ip=\"\" hostname=\"\" status=\"Checking that 192.168.77.50 is free before it is given to "
           "02:00:00:77:00:02...\"";
  }
  static std::string UnservedLine(const std::string& mac, const std::string& type, const std::string& count) {
    return "request mac=" + mac + " type=" + type + " time=T count=" + count +
           " ip=\"\" hostname=\"\" status=\"Unable to service " + type + " request from " + mac + ".\"";
  }
};

TEST_F(ServiceProgram, UdhcpcGetsTheListedAddressAndEachRequestIsLogged) {
  const std::string csv = WriteCsv("line.csv", kListedLine);
  const auto server = Start("--interface=" + link_.serverIf + kSettingsOptions + csv);
  ASSERT_TRUE(server->Running()) << Errors();
  // The interface's own address names the server.
  EXPECT_EQ(LogLines("serving"),
            (std::vector<std::string>{"serving interface=" + link_.serverIf + " server=192.168.77.1 file=" + csv +
                                      " relations=1 subnet-mask=255.255.255.0 gateway=192.168.77.254 "
                                      "dns1=192.168.77.53 dns2=\"\" domain=plant.test"}));

  const auto out = Temp("udhcpc.env");
  const auto script = WriteReportScript("udhcpc.sh", "[ \"$1\" = bound ]",
                                        {"ip", "subnet", "router", "dns", "domain", "hostname", "lease", "serverid"}, out);
  ASSERT_EQ(Udhcpc(3, script.string()), 0) << "udhcpc obtained no lease\n" << Log() << Errors();
  EXPECT_EQ(ReadVariables(out), (std::map<std::string, std::string>{{"ip", "192.168.77.50"},
                                                                    {"subnet", "255.255.255.0"},
                                                                    {"router", "192.168.77.254"},
                                                                    {"dns", "192.168.77.53"},
                                                                    {"domain", "plant.test"},
                                                                    {"hostname", "plc-a"},
                                                                    {"lease", "4294967295"},
                                                                    {"serverid", "192.168.77.1"}}));
  // DISCOVER (checked, then offered, not yet served), then REQUEST (acknowledged).
  ASSERT_TRUE(WaitForLines("request", 2)) << Log();
  EXPECT_EQ(LogLines("request"), (std::vector<std::string>{CheckingLine("DHCP"), ServedLine("DHCP", "2")}));
  std::string offered = UnservedLine(nettest::kClientMac, "DHCP", "1");
  EXPECT_EQ(LogLines("answered"), std::vector<std::string>{offered.replace(0, 7, "answered")});
  EXPECT_TRUE(server->Running());
  EXPECT_EQ(Errors(), "");
}

// The host's first address sits on another network here; replies must name
// the address the devices on the served interface reach the server at.
TEST_F(ServiceProgram, OnASecondNetworkTheRepliesNameThatInterfacesAddress) {
  ASSERT_TRUE(AddSecondNetwork()) << "could not create the second network";
  const auto server = Start("-i " + secondIf_ + " --subnet-mask=255.255.255.0 " +
                            WriteCsv("line.csv", "02:00:00:77:00:02,10.9.0.50,plc-a,\n"));
  ASSERT_TRUE(server->Running()) << Errors();
  const auto out = Temp("udhcpc.env");
  const auto script = WriteReportScript("udhcpc.sh", "[ \"$1\" = bound ]", {"ip", "serverid"}, out);
  ASSERT_EQ(testsupport::Run(testsupport::InNs(secondClientNs_, "busybox udhcpc -i " + secondClientIf_ +
                                                                    " -n -q -f -t 3 -T 1 -s " + script.string() +
                                                                    " >/dev/null 2>&1")),
            0)
      << Log() << Errors();
  EXPECT_EQ(ReadVariables(out), (std::map<std::string, std::string>{{"ip", "10.9.0.50"}, {"serverid", "10.9.0.1"}}));
  EXPECT_NE(Log().find(" server=10.9.0.1 "), std::string::npos) << Log();
}

TEST_F(ServiceProgram, BootpcGetsTheListedAddressWithTheSettingsOfTheBpcFile) {
  if (!HasTool("bootpc")) GTEST_SKIP() << "tool not installed: bootpc";
  RelationTable table;
  table.Append(MakeRelation(nettest::kClientMacBytes, Ip(192, 168, 77, 50), "plc-a"));
  NetworkSettings settings;
  settings.subnetMask = Ip(255, 255, 255, 0);
  settings.gateway = Ip(192, 168, 77, 254);
  const auto bpc = Temp("line.bpc");
  ASSERT_TRUE(testsupport::WriteWholeFile(bpc, WriteBpc(settings, table)));
  const auto server = Start("-i " + link_.serverIf + " " + bpc.string());
  ASSERT_TRUE(server->Running()) << Errors();

  const auto out = Temp("bootpc.out");
  // bootpc broadcasts through an ordinary UDP socket, which needs a route
  // even while the interface has no address.
  ASSERT_EQ(testsupport::Run(InClient("ip route replace 255.255.255.255/32 dev " + link_.clientIf) + " && " +
                             InClient("bootpc --dev " + link_.clientIf + " --timeoutwait 5 --returniffail") + " > " +
                             out.string() + " 2>/dev/null"),
            0)
      << ReadWholeFile(out) << Log() << Errors();
  const std::string answer = ReadWholeFile(out);
  for (const char* expected : {"IPADDR='192.168.77.50'", "NETMASK='255.255.255.0'", "GATEWAYS='192.168.77.254'",
                               "SERVER='192.168.77.1'"}) {
    EXPECT_NE(answer.find(expected), std::string::npos) << expected << " not in\n" << answer;
  }
  ASSERT_TRUE(WaitForLines("answered", 1)) << Log();
  EXPECT_EQ(LogLines("request"), (std::vector<std::string>{CheckingLine("BOOTP")}));
  std::string served = ServedLine("BOOTP", "1");
  EXPECT_EQ(LogLines("answered"), std::vector<std::string>{served.replace(0, 7, "answered")});
}

TEST_F(ServiceProgram, AnUnlistedDeviceIsLoggedButNotAnswered) {
  const auto server = Start("-i " + link_.serverIf + kSettingsOptions + WriteCsv("line.csv", kOtherLine));
  ASSERT_TRUE(server->Running()) << Errors();
  EXPECT_NE(Udhcpc(2), 0) << "an unlisted device got a lease";
  ASSERT_TRUE(WaitForLines("request", 2)) << Log();
  for (const std::string& line : LogLines("request")) {
    EXPECT_EQ(line.substr(0, line.find(" time=")), "request mac=02:00:00:77:00:02 type=DHCP");
    EXPECT_NE(line.find("ip=\"\" hostname=\"\" status=\"Unable to service DHCP request from 02:00:00:77:00:02.\""),
              std::string::npos)
        << line;
  }
  EXPECT_EQ(Log().find("Sent "), std::string::npos) << Log();
}

// SIGHUP reads the file again. A file that cannot be read leaves the list in
// use; a readable one replaces it, and the log names every relation that
// came, went or changed.
TEST_F(ServiceProgram, SighupServesARelationAddedToTheFileAndLogsWhatChanged) {
  const std::string csv = WriteCsv("line.csv", kOtherLine);
  const auto server = Start("-i " + link_.serverIf + kSettingsOptions + csv);
  ASSERT_TRUE(server->Running()) << Errors();

  ASSERT_TRUE(testsupport::WriteWholeFile(csv, "MAC,IP,Hostname,Description\n"));
  kill(server->Pid(), SIGHUP);
  ASSERT_TRUE(WaitForLines("reload-failed", 1)) << Log();
  EXPECT_EQ(LogLines("reload-failed"),
            (std::vector<std::string>{"reload-failed file=" + csv + " relations-kept=1 reason=\"Error loading file '" +
                                      csv + "': Unexpected end of file.\\nPlease check file format and try again.\""}));

  WriteCsv("line.csv", std::string("02:00:00:77:00:99,192.168.77.98,plc-z,\n") + kListedLine);
  kill(server->Pid(), SIGHUP);
  ASSERT_TRUE(WaitForLines("reloaded", 1)) << Log();
  EXPECT_EQ(LogLines("reloaded"),
            (std::vector<std::string>{"reloaded file=" + csv +
                                      " relations=2 added=1 removed=0 changed=1 settings=unchanged"}));
  EXPECT_EQ(LogLines("changed"), (std::vector<std::string>{"changed mac=02:00:00:77:00:99 ip=192.168.77.98 "
                                                           "hostname=plc-z description=\"\" was-ip=192.168.77.99"}));
  EXPECT_EQ(LogLines("added"), (std::vector<std::string>{"added mac=02:00:00:77:00:02 ip=192.168.77.50 hostname=plc-a "
                                                         "description=\"Press 4\""}));

  EXPECT_EQ(Udhcpc(3), 0) << "the added relation is not served\n" << Log();
  ASSERT_TRUE(WaitForLines("request", 2)) << Log();
  EXPECT_EQ(LogLines("request").back(), ServedLine("DHCP", "2"));
  EXPECT_TRUE(server->Running());
}

TEST_F(ServiceProgram, SigtermAndSigintEndItCleanlyWithStatusZero) {
  const std::string csv = WriteCsv("line.csv", kListedLine);
  for (const auto& [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGINT, "SIGINT"}}) {
    const std::string run = std::string("run-") + name;
    const auto server = Start("-i " + link_.serverIf + kSettingsOptions + csv, run);
    ASSERT_TRUE(server->Running()) << Errors(run);
    kill(server->Pid(), signal);
    ASSERT_TRUE(server->Wait(5s)) << name << " did not end the service";
    EXPECT_EQ(server->ExitStatus(), 0) << name;
    EXPECT_EQ(testsupport::Lines(Log(run)).back(), std::string("stopping signal=") + name);
    EXPECT_EQ(Errors(run), "");
  }
  // The port is free again at once: a new start serves.
  const auto again = Start("-i " + link_.serverIf + kSettingsOptions + csv, "again");
  EXPECT_TRUE(again->Running()) << Errors("again");
}

// Under systemd (Type=notify) the service says when it serves, reloads and
// stops, on the socket NOTIFY_SOCKET names; without READY=1 systemd would
// count the start as failed.
TEST_F(ServiceProgram, TellsSystemdWhenItServesReloadsAndStops) {
  const std::string path = Temp("notify").string();
  const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(notify, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::copy(path.begin(), path.end(), address.sun_path);
  ASSERT_EQ(bind(notify, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
  std::vector<std::string> messages;
  const auto received = [&](std::size_t count) {
    return WaitUntil(
        [&] {
          char buffer[512];
          const ssize_t n = recv(notify, buffer, sizeof buffer, MSG_DONTWAIT);
          if (n > 0) messages.emplace_back(buffer, static_cast<std::size_t>(n));
          return messages.size() >= count;
        },
        10s);
  };

  const auto server = Start("-i " + link_.serverIf + kSettingsOptions + WriteCsv("line.csv", kListedLine), "server",
                            "env NOTIFY_SOCKET=" + path + " ");
  ASSERT_TRUE(server->Running()) << Errors();
  const std::string serving = "READY=1\nSTATUS=Serving on " + link_.serverIf + " as 192.168.77.1 (relations: 1)";
  ASSERT_TRUE(received(1));
  kill(server->Pid(), SIGHUP);
  ASSERT_TRUE(received(3)) << Log();
  kill(server->Pid(), SIGTERM);
  ASSERT_TRUE(received(4)) << Log();
  close(notify);
  EXPECT_EQ(messages, (std::vector<std::string>{serving, "RELOADING=1", serving, "STOPPING=1"}));
  ASSERT_TRUE(server->Wait(5s));
  EXPECT_EQ(server->ExitStatus(), 0);
}

// The loop follows the interface (rtnetlink) and retries a refused bind on
// its timer: the interface goes, comes back while another socket holds port
// 67 on every interface, is tried again after 1 s and 2 s, and serves once
// the port is free. Each report is a status line.
TEST_F(ServiceProgram, FollowsTheInterfaceAndRetriesThePortOnItsTimer) {
  const auto server = Start("-i " + link_.serverIf + kSettingsOptions + WriteCsv("line.csv", kListedLine));
  ASSERT_TRUE(server->Running()) << Errors();
  const std::string gone =
      "status text=\"The network interface " + link_.serverIf + " is gone: not serving until it returns.\"";
  ASSERT_EQ(testsupport::Run(InServer("ip link del " + link_.serverIf)), 0);
  ASSERT_TRUE(WaitUntil([&] { return LogLines("status") == std::vector<std::string>{gone}; }, 10s)) << Log();

  // This thread is in the server namespace: a socket on port 67 of no
  // interface in particular keeps the returning interface's bind from
  // succeeding.
  const int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(holder, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(67);
  ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0) << std::strerror(errno);
  const std::string steps[] = {
      "ip link add " + link_.serverIf + " netns " + link_.serverNs + " type veth peer name " + link_.clientIf +
          " netns " + link_.clientNs,
      InServer("ip addr add " + std::string(kServerAddress) + "/24 dev " + link_.serverIf),
      InServer("ip link set " + link_.serverIf + " up"),
      InClient("ip link set dev " + link_.clientIf + " address " + kClientMac),
      InClient("ip link set " + link_.clientIf + " up"),
  };
  for (const auto& step : steps) ASSERT_EQ(testsupport::Run(step + " >/dev/null 2>&1"), 0) << step;
  const auto notServing = [&](unsigned seconds) {
    const std::vector<std::string> lines = LogLines("status");
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.rfind("status text=\"Not serving on " + link_.serverIf + ": UDP port 67 is taken by ", 0) == 0 &&
             line.find(". Trying again in " + std::to_string(seconds) + " s.\"") != std::string::npos;
    });
  };
  EXPECT_TRUE(WaitUntil([&] { return notServing(1); }, 10s)) << Log();
  EXPECT_TRUE(WaitUntil([&] { return notServing(2); }, 10s)) << Log();
  close(holder);
  const std::string again = "status text=\"Serving again on " + link_.serverIf + ".\"";
  ASSERT_TRUE(WaitUntil([&] { return LogLines("status").back() == again; }, 10s)) << Log();
  EXPECT_EQ(Udhcpc(3), 0) << "no lease once the port was free\n" << Log();
}

// Each start that cannot serve ends at once with status 1 and its reason on
// standard error, and never claims to serve.
TEST_F(ServiceProgram, FatalStartsEndWithStatusOneAndTheirReason) {
  const std::string csv = WriteCsv("line.csv", kListedLine);
  const ScratchUser user;
  const bool withUser = HasTool("setpriv") && HasTool("useradd") && user.ok() &&
                        testsupport::Run(user.As("test -x " + std::string(CORVESSA_SERVER), false)) == 0;
  const std::string executable = std::filesystem::canonical(CORVESSA_SERVER).string();
  const struct {
    std::string name;
    std::string arguments;
    std::string asUser;
    std::string reason;
  } cases[] = {
      {"nointerface", "-i cvnone0" + std::string(kSettingsOptions) + csv, "",
       "There is no network interface cvnone0.\nApplication cannot continue."},
      {"nosettings", "-i " + link_.serverIf + " " + csv, "",
       "The network settings from the options (a .csv file holds no settings) cannot be served:\n"
       "no subnet mask: give --subnet-mask"},
      {"foreignaddress", "-i " + link_.serverIf + " --server-address=192.168.77.9" + kSettingsOptions + csv, "",
       "192.168.77.9 is not an address of " + link_.serverIf +
           " (it has 192.168.77.1): replies must leave from an address of the interface.\n"
           "Application cannot continue."},
      {"noprivilege", "-i " + link_.serverIf + kSettingsOptions + csv, user.As("", false),
       FormatText(text::kNoPrivilegeFormat, executable.c_str())},
  };
  for (const auto& c : cases) {
    if (!c.asUser.empty() && !withUser) {
      std::cout << "[  SKIPPED ] " << c.name << ": no scratch user, or the build folder is not readable by one\n";
      continue;
    }
    const auto server = Start(c.arguments, c.name, c.asUser);
    ASSERT_TRUE(server->Wait(5s)) << c.name << " did not end";
    EXPECT_EQ(server->ExitStatus(), 1) << c.name;
    EXPECT_EQ(Errors(c.name), "corvessa-server: " + c.reason + "\n") << c.name;
    EXPECT_EQ(Log(c.name), "") << c.name;
  }
}

// What the systemd unit gives the service: a user of its own, the port
// privilege as its only capability (also in the bounding set), no new
// privileges, the file readable but not its own.
TEST_F(ServiceProgram, ServesWithNoPrivilegeButThePortAsItsUnitRunsIt) {
  for (const char* tool : {"useradd", "setpriv"}) {
    if (!HasTool(tool)) GTEST_SKIP() << "tool not installed: " << tool;
  }
  const ScratchUser user;
  ASSERT_TRUE(user.ok()) << "could not create a scratch user";
  if (testsupport::Run(user.As("test -x " + std::string(CORVESSA_SERVER), false)) != 0) {
    GTEST_SKIP() << "the build folder cannot be read by other users";
  }
  const std::string csv = WriteCsv("line.csv", kListedLine);
  chmod(csv.c_str(), 0644);
  const std::string asUnit = "setpriv --reuid=" + user.Name() + " --regid=" + user.Name() +
                             " --clear-groups --inh-caps=-all,+net_bind_service --ambient-caps=+net_bind_service"
                             " --bounding-set=-all,+net_bind_service --no-new-privs ";
  const auto server = Start("-i " + link_.serverIf + kSettingsOptions + csv, "server", asUnit);
  ASSERT_TRUE(server->Running()) << Errors();
  EXPECT_EQ(Udhcpc(3), 0) << "no lease from the service as its unit runs it\n" << Log() << Errors();
  ASSERT_TRUE(WaitForLines("request", 2)) << Log();
  EXPECT_EQ(LogLines("request").back(), ServedLine("DHCP", "2"));
}

}  // namespace
}  // namespace corvessa::nettest
