#include <gtest/gtest.h>

#include <sstream>

#include "netconfig/resolver_config.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

TEST(NameServerSplitTest, CommasAndBlanksBothSeparate) {
  struct Case {
    const char* text;
    const char* dns1;
    const char* dns2;
  };
  const Case cases[] = {
      {"10.0.0.1 10.0.0.2", "10.0.0.1", "10.0.0.2"},
      {"10.0.0.1,10.0.0.2", "10.0.0.1", "10.0.0.2"},
      {"10.0.0.1, 10.0.0.2", "10.0.0.1", "10.0.0.2"},
      {"  ,10.0.0.1 ,, 10.0.0.2 ,", "10.0.0.1", "10.0.0.2"},
      {"10.0.0.1 10.0.0.2 10.0.0.3", "10.0.0.1", "10.0.0.2"},
      {"10.0.0.1", "10.0.0.1", ""},
      {"10.0.0.1,", "10.0.0.1", ""},
      {"", "", ""},
      {" , ", "", ""},
  };
  for (const Case& c : cases) {
    const NameServerPair pair = SplitNameServers(c.text);
    EXPECT_EQ(pair.dns1, c.dns1) << '"' << c.text << '"';
    EXPECT_EQ(pair.dns2, c.dns2) << '"' << c.text << '"';
  }
}

TEST(ResolvConfTest, NameServersAndDomain) {
  struct Case {
    const char* what;
    const char* text;
    std::vector<std::string> nameServers;
    const char* domain;
  };
  const Case cases[] = {
      {"plain", "nameserver 10.0.0.1\nnameserver 10.0.0.2\ndomain plant.local\n", {"10.0.0.1", "10.0.0.2"},
       "plant.local"},
      {"tabs and no final line end", "nameserver\t10.0.0.1\ndomain\tplant.local", {"10.0.0.1"}, "plant.local"},
      {"comments", "# nameserver 10.0.0.9\n; domain nope\nnameserver 10.0.0.1\n", {"10.0.0.1"}, ""},
      {"IPv6 and malformed servers skipped",
       "nameserver fe80::1\nnameserver 10.0.0.256\nnameserver 010.0.0.1\nnameserver\nnameserver 10.0.0.3\n",
       {"10.0.0.3"},
       ""},
      {"search gives its first entry", "search lab.local plant.local\n", {}, "lab.local"},
      {"domain wins over search", "search lab.local\ndomain plant.local\nsearch other.local\n", {}, "plant.local"},
      {"the last domain line counts", "domain a.local\ndomain b.local\n", {}, "b.local"},
      {"the root is no domain", "search .\n", {}, ""},
      {"other keywords ignored", "options edns0 trust-ad\nsortlist 10.0.0.0\n", {}, ""},
      {"empty", "", {}, ""},
  };
  for (const Case& c : cases) {
    std::istringstream text(c.text);
    const ResolverConfig config = ParseResolvConf(text);
    EXPECT_EQ(config.nameServers, c.nameServers) << c.what;
    EXPECT_EQ(config.domain, c.domain) << c.what;
  }
}

// What systemd-resolved writes to /etc/resolv.conf (its stub file).
constexpr const char* kStubFile =
    "# This is /run/systemd/resolve/stub-resolv.conf managed by man:systemd-resolved(8).\n"
    "nameserver 127.0.0.53\n"
    "options edns0 trust-ad\n"
    "search plant.local\n";

// ... and the upstream servers it keeps beside it.
constexpr const char* kUpstreamFile =
    "# This is /run/systemd/resolve/resolv.conf managed by man:systemd-resolved(8).\n"
    "nameserver 192.168.1.1\n"
    "nameserver 192.168.1.2\n"
    "search plant.local\n";

class ResolverFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  testsupport::TempFolder dir{"netcfg"};
};

TEST_F(ResolverFilesTest, StubOnlyReadsTheUpstreamFile) {
  const ResolverConfig config = ReadResolverConfig(dir.Write("resolv.conf", kStubFile),
                                                   dir.Write("upstream.conf", kUpstreamFile));
  EXPECT_EQ(config.nameServers, (std::vector<std::string>{"192.168.1.1", "192.168.1.2"}));
  EXPECT_EQ(config.domain, "plant.local");
}

TEST_F(ResolverFilesTest, StubKeepsItsDomainWhenUpstreamHasNone) {
  const ResolverConfig config = ReadResolverConfig(dir.Write("resolv.conf", kStubFile),
                                                   dir.Write("upstream.conf", "nameserver 192.168.1.1\n"));
  EXPECT_EQ(config.nameServers, (std::vector<std::string>{"192.168.1.1"}));
  EXPECT_EQ(config.domain, "plant.local");
}

TEST_F(ResolverFilesTest, StubWithoutUpstreamFileGivesNoServers) {
  // 127.0.0.53 is of no use to a device on the wire.
  const ResolverConfig config = ReadResolverConfig(dir.Write("resolv.conf", kStubFile), dir.File("missing"));
  EXPECT_TRUE(config.nameServers.empty());
  EXPECT_EQ(config.domain, "plant.local");
}

TEST_F(ResolverFilesTest, StubBesideAnotherServerIsKept) {
  const ResolverConfig config =
      ReadResolverConfig(dir.Write("resolv.conf", "nameserver 127.0.0.53\nnameserver 10.0.0.1\n"),
                         dir.Write("upstream.conf", kUpstreamFile));
  EXPECT_EQ(config.nameServers, (std::vector<std::string>{"127.0.0.53", "10.0.0.1"}));
}

TEST_F(ResolverFilesTest, OrdinaryFileIsReadAsItIs) {
  const ResolverConfig config = ReadResolverConfig(
      dir.Write("resolv.conf", "domain plant.local\nnameserver 10.0.0.1\n"), dir.Write("upstream.conf", kUpstreamFile));
  EXPECT_EQ(config.nameServers, (std::vector<std::string>{"10.0.0.1"}));
  EXPECT_EQ(config.domain, "plant.local");
}

TEST_F(ResolverFilesTest, MissingResolvConfGivesNothing) {
  const ResolverConfig config = ReadResolverConfig(dir.File("missing"), dir.Write("upstream.conf", kUpstreamFile));
  EXPECT_TRUE(config.nameServers.empty());
  EXPECT_EQ(config.domain, "");
}

}  // namespace
}  // namespace corvessa
