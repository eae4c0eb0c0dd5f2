// The systemd unit of corvessa-server: systemd's own check of it, for an
// instance, with the built program in place of the installed one; and the
// one privilege it grants.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"

namespace corvessa::service {
namespace {

std::string UnitText() {
  return testsupport::ReadWholeFile(std::string(CORVESSA_SOURCE_DIR) + "/packaging/corvessa-server@.service.in");
}

TEST(ServiceUnit, SystemdAcceptsAnInstance) {
  if (testsupport::Run("command -v systemd-analyze >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "tool not installed: systemd-analyze (Debian package systemd)";
  }
  std::string unit = UnitText();
  const std::string placeholder = "@CMAKE_INSTALL_FULL_BINDIR@/corvessa-server";
  const std::size_t at = unit.find(placeholder);
  ASSERT_NE(at, std::string::npos) << "the unit does not start the installed corvessa-server";
  unit.replace(at, placeholder.size(), CORVESSA_SERVER);
  ASSERT_EQ(unit.find('@' + std::string("CMAKE")), std::string::npos) << "a placeholder is left in the unit";

  const testsupport::TempFolder folder("unit");
  const std::string instance = folder.Write("corvessa-server@eth1.service", unit);
  const std::string output = folder.File("verify.out");
  // The man page is checked in the package, where it is installed.
  const int status = testsupport::Run("systemd-analyze verify --man=no " + instance + " > " + output + " 2>&1");
  EXPECT_EQ(status, 0) << testsupport::ReadWholeFile(output);
  EXPECT_EQ(testsupport::ReadWholeFile(output), "");
}

// A user of its own and the port privilege alone: what the tests of the
// program give it when they run it as its unit does.
TEST(ServiceUnit, GrantsThePortPrivilegeAndNothingElse) {
  std::multimap<std::string, std::string> service;
  std::istringstream lines(UnitText());
  std::string line, section;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (section == "[Service]" && equals != std::string::npos) service.emplace(line.substr(0, equals), line.substr(equals + 1));
  }
  const std::map<std::string, std::string> required = {
      {"AmbientCapabilities", "CAP_NET_BIND_SERVICE"},
      {"CapabilityBoundingSet", "CAP_NET_BIND_SERVICE"},
      {"DynamicUser", "yes"},
      {"NoNewPrivileges", "yes"},
      {"ProtectSystem", "strict"},
      {"ProtectHome", "yes"},
      {"PrivateTmp", "yes"},
      {"RestrictAddressFamilies", "AF_INET AF_NETLINK AF_UNIX"},
      {"ConfigurationDirectory", "corvessa"},
      {"ExecReload", "/bin/kill -HUP $MAINPID"},
  };
  for (const auto& [key, value] : required) {
    const auto range = service.equal_range(key);
    ASSERT_EQ(std::distance(range.first, range.second), 1) << key;
    EXPECT_EQ(range.first->second, value) << key;
  }
  for (const char* widening : {"User", "Group", "SupplementaryGroups", "PrivateUsers", "PermissionsStartOnly"}) {
    EXPECT_EQ(service.count(widening), 0u) << widening;
  }
}

}  // namespace
}  // namespace corvessa::service
