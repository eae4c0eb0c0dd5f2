// Kea and dnsmasq, started from the exported files in a network namespace,
// serve udhcpc (DHCP) and bootpc (BOOTP) exactly what Corvessa serves for the
// same list: the replies are captured and compared field by field, and a
// device that is not listed is answered by none of them.

#include <map>
#include <set>

#include "files/dnsmasq_config.h"
#include "files/kea_config.h"
#include "tests/handoff/handoff_servers.h"
#include "tests/support/tshark.h"

namespace corvessa::nettest {
namespace {

constexpr const char* kUnlistedMac = "02:00:00:77:00:09";
// Upper case, blank, comma, quotes, '#' and a non-ASCII letter: what dnsmasq
// and Kea would lower-case or misread if the export wrote it as it stands.
constexpr std::string_view kAwkwardHostname = "Plc-A, \"7\" #\xC3\xBC";
constexpr std::string_view kAwkwardDomain = "Plant, Hall #2";

// Subnet mask, router, name servers, hostname, domain name, lease time and
// message type.
constexpr int kComparedOptions[] = {1, 3, 6, 12, 15, 51, 53};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 0x0F];
  }
  return hex;
}

class HandoffWire : public NetFixture {
 protected:
  HandoffWire() : NetFixture("hwire") {}

  void SetUp() override {
    NetFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (const char* tool : {"tshark", "bootpc", "kea-dhcp4", "dnsmasq"}) {
      if (!HasTool(tool)) GTEST_SKIP() << "tool not installed: " << tool;
    }
    ASSERT_TRUE(StartOnServerVeth());
    settings_.SetDomainName(kAwkwardDomain);
    auto relation = std::make_unique<Relation>();
    std::copy(kClientMacBytes.begin(), kClientMacBytes.end(), relation->hardwareAddress.begin());
    relation->hardwareAddressLength = 6;
    relation->ipAddress = kClientLeaseAddress;
    std::copy(kAwkwardHostname.begin(), kAwkwardHostname.end(), relation->hostname.begin());
    relation->hostnameLength = static_cast<std::uint8_t>(kAwkwardHostname.size());
    const std::string_view description = "Press 4, \"main\"";
    std::copy(description.begin(), description.end(), relation->description.begin());
    relation->descriptionLength = static_cast<std::uint8_t>(description.size());
    table_.Append(std::move(relation));
  }

  HandoffSource Source() const { return {table_, settings_, link_.serverIf, 0xC0A84D01}; }

  bool SetClientMac(const std::string& mac) {
    return testsupport::Run(InClient("ip link set dev " + link_.clientIf + " address " + mac)) == 0;
  }

  // The listed device asks by DHCP and by BOOTP, then an unlisted one does,
  // while a capture runs on the server's veth. `run` runs one client command
  // and returns its exit status. Returns one line per reply: the client's
  // hardware address, message type (empty for BOOTP), yiaddr, mask, router,
  // name servers, domain name, hostname and lease time.
  std::set<std::string> Exchange(const std::function<int(const std::string&)>& run) {
    const std::string tag = std::to_string(++exchanges_);
    const auto capture = Temp("replies" + tag + ".pcapng");
    const auto summary = Temp("tshark" + tag + ".out");
    const auto errors = Temp("tshark" + tag + ".err");
    Background tshark(InServer("tshark -l -P -i " + link_.serverIf + " -f \"udp port 67 or udp port 68\" -w " +
                               capture.string() + " -a duration:60"),
                      summary, errors);
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(errors).find("Capturing on") != std::string::npos; }, 15s))
        << "tshark did not start capturing: " << ReadWholeFile(errors);
    EXPECT_TRUE(WaitForCaptureToSeeTraffic(summary)) << "tshark captured nothing: " << ReadWholeFile(errors);

    const std::string dhcp = InClient("busybox udhcpc -i " + link_.clientIf + " -n -q -f -s /bin/true ");
    const std::string bootp = InClient("ip route replace 255.255.255.255/32 dev " + link_.clientIf) + " && " +
                              InClient("bootpc --dev " + link_.clientIf + " --serverbcast --returniffail ");
    const auto bootpOut = Temp("bootpc" + tag + ".out");
    EXPECT_TRUE(SetClientMac(kClientMac));
    EXPECT_EQ(run(dhcp + "-t 3 -T 1 >/dev/null 2>&1"), 0) << "udhcpc got no lease";
    EXPECT_EQ(run(bootp + "--timeoutwait 5 > " + bootpOut.string() + " 2>&1"), 0) << ReadWholeFile(bootpOut);
    EXPECT_NE(ReadWholeFile(bootpOut).find("IPADDR='192.168.77.50'"), std::string::npos) << ReadWholeFile(bootpOut);
    EXPECT_TRUE(SetClientMac(kUnlistedMac));
    EXPECT_NE(run(dhcp + "-t 2 -T 1 >/dev/null 2>&1"), 0) << "an unlisted device got a lease";
    EXPECT_NE(run(bootp + "--timeoutwait 2 >/dev/null 2>&1"), 0) << "an unlisted device got a BOOTP reply";
    std::this_thread::sleep_for(500ms);
    tshark.Stop(SIGINT, 10s);

    // Each reply as its hardware address, yiaddr and the values of the
    // options compared, by code, as hexadecimal bytes. End carries no value
    // and comes last, so codes and values pair up in order.
    const std::string fields = testsupport::RunOutput(
        "tshark -n -r " + capture.string() +
        " -Y \"udp.srcport == 67\" -T fields -E separator='|' -E occurrence=f -e dhcp.hw.mac_addr -e dhcp.ip.your "
        "2>/dev/null");
    const std::string options = testsupport::RunOutput(
        "tshark -n -r " + capture.string() +
        " -Y \"udp.srcport == 67\" -T fields -E separator='|' -e dhcp.option.type "
        "-e dhcp.option.value 2>/dev/null");
    const auto heads = testsupport::Lines(fields);
    const auto bodies = testsupport::Lines(options);
    EXPECT_EQ(heads.size(), bodies.size());
    std::set<std::string> replies;
    for (std::size_t i = 0; i < std::min(heads.size(), bodies.size()); ++i) {
      const std::size_t bar = bodies[i].find('|');
      const auto codes = Split(bodies[i].substr(0, bar), ',');
      const auto values = Split(bar == std::string::npos ? std::string() : bodies[i].substr(bar + 1), ',');
      std::map<int, std::string> byCode;
      for (std::size_t k = 0; k < std::min(codes.size(), values.size()); ++k) byCode[std::stoi(codes[k])] = values[k];
      std::string line = heads[i];
      for (const int code : kComparedOptions) {
        if (byCode.count(code) != 0) line += "|" + std::to_string(code) + "=" + byCode[code];
      }
      replies.insert(line);
    }
    return replies;
  }

  // Runs the exchange against Corvessa, then against Kea and dnsmasq started
  // from the exported files, and expects all three to answer alike.
  // `corvessaReplies` is what Corvessa must serve, built by hand.
  void ExpectKeaAndDnsmasqServeLikeCorvessa(const std::set<std::string>& corvessaReplies) {
    const auto corvessa =
        Exchange([this](const std::string& command) { return RunClientWhileServing(command, 20s); });
    ASSERT_EQ(corvessa, corvessaReplies);
    runtime_->StopServer();  // port 67 is the next server's

    KeaOptions keaOptions;
    keaOptions.leaseFile = Temp("kea-leases4.csv").string();
    const HandoffExport kea = WriteKeaConfig(Source(), keaOptions);
    ASSERT_TRUE(kea.Succeeded()) << kea.problems.front();
    const auto keaFile = Temp("kea-dhcp4.conf");
    ASSERT_TRUE(testsupport::WriteWholeFile(keaFile, kea.text));
    {
      Background server(InServer(KeaCommand(folder_->Path(), "-c " + keaFile.string())), Temp("kea.out"),
                        Temp("kea.err"));
      const auto started = [&] {
        return (ReadWholeFile(Temp("kea.out")) + ReadWholeFile(Temp("kea.err"))).find("DHCP4_STARTED") !=
               std::string::npos;
      };
      ASSERT_TRUE(WaitUntil(started, 15s))
          << ReadWholeFile(Temp("kea.out")) << ReadWholeFile(Temp("kea.err"));
      EXPECT_EQ(Exchange([](const std::string& command) { return testsupport::Run(command); }), corvessa) << "Kea";
      server.Stop(SIGTERM, 5s);
    }

    const HandoffExport dnsmasq = WriteDnsmasqConfig(Source());
    ASSERT_TRUE(dnsmasq.Succeeded()) << dnsmasq.problems.front();
    const auto dnsmasqFile = Temp("dnsmasq.conf");
    ASSERT_TRUE(testsupport::WriteWholeFile(dnsmasqFile, dnsmasq.text));
    {
      Background server(InServer(DnsmasqCommand(dnsmasqFile, folder_->Path())), Temp("dnsmasq.out"),
                        Temp("dnsmasq.err"));
      ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(Temp("dnsmasq.err")).find("DHCP") != std::string::npos; }, 15s))
          << ReadWholeFile(Temp("dnsmasq.err"));
      EXPECT_EQ(Exchange([](const std::string& command) { return testsupport::Run(command); }), corvessa)
          << "dnsmasq\n" << dnsmasq.text;
      server.Stop(SIGTERM, 5s);
    }
  }

  int exchanges_ = 0;
};

TEST_F(HandoffWire, KeaAndDnsmasqServeWhatCorvessaServes) {
  if (IsSkipped()) return;
  // What Corvessa serves, by option code: mask 255.255.255.0, router
  // 192.168.77.254, name servers .53 and .54, the hostname and domain bytes,
  // an infinite lease; message types OFFER (2) and ACK (5), none for BOOTP.
  const std::string head = "02:00:00:77:00:02|192.168.77.50|1=ffffff00|3=c0a84dfe|6=c0a84d35c0a84d36|12=" +
                           Hex(kAwkwardHostname) + "|15=" + Hex(kAwkwardDomain);
  ExpectKeaAndDnsmasqServeLikeCorvessa({head, head + "|51=ffffffff|53=02", head + "|51=ffffffff|53=05"});
}

// Settings that are not set stay out of every reply: neither server may
// name itself as router or name server.
TEST_F(HandoffWire, SettingsThatAreNotSetStayOutOfEveryReply) {
  if (IsSkipped()) return;
  settings_.gateway = 0;
  settings_.dns1 = 0;
  settings_.dns2 = 0;
  settings_.SetDomainName("");
  const std::string head = "02:00:00:77:00:02|192.168.77.50|1=ffffff00|12=" + Hex(kAwkwardHostname);
  ExpectKeaAndDnsmasqServeLikeCorvessa({head, head + "|51=ffffffff|53=02", head + "|51=ffffffff|53=05"});
}

}  // namespace
}  // namespace corvessa::nettest
