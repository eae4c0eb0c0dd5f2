// The enip_device_sim executable that end-to-end tests start: its command
// line, and one Disable run against it as a separate process.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "enip/commissioning.h"
#include "tests/enip/enip_fixture.h"
#include "tests/support/temp_folder.h"

namespace corvessa::enip_test {
namespace {

using enipsim::ParseSimArguments;
using enipsim::ReplyFault;
using enipsim::SimOptions;

bool Parse(std::vector<std::string> arguments, SimOptions& options) {
  std::string error;
  return ParseSimArguments(arguments, options, error);
}

TEST(SimArguments, EveryFlag) {
  SimOptions options;
  ASSERT_TRUE(Parse({"--port", "0", "--seconds", "20", "--mode", "silent", "--handle", "0x10",
                     "--register-status", "1", "--request-status", "0x65", "--max-instance", "3",
                     "--config-control", "0x12", "--link", "1=020020F62402", "--link", "2=0000",
                     "--address", "2=00:11:22:33:44:55", "--reject", "2=9",
                     "--status", "14,245,*,4=5", "--additional-status", "7,9",
                     "--fallback-alias", "0xF5", "--fault", "3=split:10", "--fault", "4=close",
                     "--record", "/tmp/x"},
                    options));
  const auto& c = options.config;
  EXPECT_EQ(options.seconds, 20);
  EXPECT_EQ(c.mode, enipsim::ConnectionMode::Silent);
  EXPECT_EQ(c.sessionHandle, 0x10u);
  EXPECT_EQ(c.registerStatus, 1u);
  EXPECT_EQ(c.requestStatus, 0x65u);
  EXPECT_EQ(c.maxInstance, 3);
  EXPECT_EQ(c.configurationControl, 0x12u);
  EXPECT_EQ(c.physicalLinks.at(1), (Bytes{0x02, 0x00, 0x20, 0xF6, 0x24, 0x02}));
  EXPECT_EQ(c.physicalLinks.at(2), (Bytes{0x00, 0x00}));
  EXPECT_EQ(c.physicalAddresses.at(2), Bytes(kDeviceMac.begin(), kDeviceMac.end()));
  EXPECT_EQ(c.rejectedValues.at(2), 9);
  ASSERT_EQ(c.statusRules.size(), 1u);
  EXPECT_EQ(c.statusRules[0].service, 14);
  EXPECT_EQ(c.statusRules[0].cls, 245);
  EXPECT_EQ(c.statusRules[0].instance, -1);
  EXPECT_EQ(c.statusRules[0].attribute, 4);
  EXPECT_EQ(c.statusRules[0].status, 5);
  EXPECT_EQ(c.additionalStatus, (std::vector<std::uint16_t>{7, 9}));
  EXPECT_EQ(c.fallbackAliasOf, std::optional<std::uint8_t>(0xF5));
  ASSERT_EQ(c.faults.size(), 2u);
  EXPECT_EQ(c.faults[0].request, 3);
  EXPECT_EQ(c.faults[0].fault, ReplyFault::Split);
  EXPECT_EQ(c.faults[0].bytes, 10u);
  EXPECT_EQ(c.faults[1].fault, ReplyFault::Close);
  EXPECT_EQ(options.recordFile, "/tmp/x");
}

TEST(SimArguments, IdentityFlags) {
  SimOptions options;
  ASSERT_TRUE(Parse({"--udp-port", "44818", "--vendor", "0x2B", "--device-type", "12", "--product-code", "0x0301",
                     "--revision", "5.17", "--identity-status", "0x0164", "--serial", "0x89ABCDEF",
                     "--product-name", "Drive Two", "--state", "none", "--identity-address", "192.168.78.22",
                     "--identity-delay-ms", "1500", "--identity-fault", "truncate:40"},
                    options));
  const auto& i = options.identity;
  EXPECT_EQ(options.udpPort, 44818);
  EXPECT_EQ(i.vendorId, 0x2B);
  EXPECT_EQ(i.deviceType, 12);
  EXPECT_EQ(i.productCode, 0x0301);
  EXPECT_EQ(i.revisionMajor, 5);
  EXPECT_EQ(i.revisionMinor, 17);
  EXPECT_EQ(i.status, 0x0164);
  EXPECT_EQ(i.serialNumber, 0x89ABCDEFu);
  EXPECT_EQ(i.productName, "Drive Two");
  EXPECT_EQ(i.state, std::nullopt);
  EXPECT_EQ(i.socketAddress, 0xC0A84E16u);
  EXPECT_EQ(i.delay, std::chrono::milliseconds(1500));
  EXPECT_EQ(i.fault, enipsim::IdentityFault::Truncate);
  EXPECT_EQ(i.faultBytes, 40u);
  SimOptions stateGiven;
  ASSERT_TRUE(Parse({"--state", "5", "--identity-fault", "twice"}, stateGiven));
  EXPECT_EQ(stateGiven.identity.state, std::optional<std::uint8_t>(5));
  EXPECT_EQ(stateGiven.identity.fault, enipsim::IdentityFault::Twice);
  EXPECT_EQ(stateGiven.udpPort, 0) << "no UDP answers unless asked for";
}

TEST(SimArguments, BadCommandLines) {
  const std::vector<std::vector<std::string>> cases = {
      {"--port"},                     // no value
      {"--port", "70000"},            // out of range
      {"--seconds", "0"},             // the process must end
      {"--seconds", "99999"},
      {"--mode", "loud"},
      {"--link", "1=0F0"},            // odd number of digits
      {"--address", "1=00:11"},       // not six bytes
      {"--status", "14,245,*=5"},     // three selectors
      {"--fault", "1=split"},         // split needs a byte count
      {"--fault", "1=close:3"},       // close takes none
      {"--unknown", "1"},
      {"--revision", "5"},            // major and minor
      {"--revision", "5.256"},
      {"--state", "-1"},
      {"--identity-address", "192.168.78"},
      {"--identity-fault", "truncate"},  // needs a byte count
      {"--identity-fault", "twice:2"},   // takes none
      {"--identity-fault", "loud"},
      {"--product-name", std::string(256, 'x')},
  };
  for (const auto& arguments : cases) {
    SimOptions options;
    EXPECT_FALSE(Parse(arguments, options)) << arguments[0];
  }
}

// Starts the executable, reads its "port <n>" line, and stops it with SIGTERM.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> arguments) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      static std::string program = CORVESSA_ENIP_DEVICE_SIM;
      argv.push_back(program.data());
      for (auto& a : arguments) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    FILE* in = ::fdopen(out[0], "r");
    unsigned port = 0;
    if (in && std::fscanf(in, "port %u", &port) == 1) port_ = static_cast<std::uint16_t>(port);
    if (in) std::fclose(in);
  }
  ~SimProcess() { Stop(); }
  int Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::uint16_t Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

TEST(SimProcessTest, DisableAgainstTheExecutable) {
  const testsupport::TempFolder folder("sim");
  ASSERT_TRUE(folder.ok());
  const std::string record = folder.File("record");
  SimProcess sim({"--seconds", "30", "--config-control", "0x12", "--record", record});
  ASSERT_NE(sim.Port(), 0) << "the simulator did not start";

  Harness harness(sim.Port());
  const Relation relation = MakeRelation(kDeviceMac, kRelationTypeDhcp);
  const Relation* selected[] = {&relation};
  DisableBootpDhcp(selected, harness.context);
  EXPECT_EQ(harness.Last(), "[Disable DHCP] Command successful");
  EXPECT_EQ(sim.Stop(), 0);

  std::ifstream in(record);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u);
  // Connection, then the request in hex: Register Session of the discovery,
  // and the last line the value written (0 with DNS Enable kept).
  EXPECT_EQ(lines[0], "0 65000400000000000000000000000000000000000000000001000000");
  EXPECT_EQ(lines[5], "configuration-control 16");
}

}  // namespace
}  // namespace corvessa::enip_test
