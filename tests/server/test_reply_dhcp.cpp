// DHCP replies (OFFER, ACK, NAK), compared byte for byte with replies written
// out by hand.

#include <gtest/gtest.h>

#include "server/reply.h"
#include "tests/server/reply_fixture.h"

namespace corvessa::reply_test {
namespace {

Bytes Discover(const RequestHeader& h = {}) {
  return RequestBytes(h, {53, 1, 1,  // DHCP message type: DISCOVER
                          255,       // End
                          0x77});    // leftover
}

// A REQUEST with the given options after option 53.
Bytes Request(std::initializer_list<std::uint8_t> more, const RequestHeader& h = {}) {
  Bytes b = RequestBytes(h, {53, 1, 3});  // DHCP message type: REQUEST
  b.insert(b.end(), more);
  Append(b, {255});                        // End
  return b;
}

Bytes ExpectedDhcpReply(const Bytes& options, const RequestHeader& h = {}) {
  Bytes b = ExpectedHeader(h);
  Append(b, {99, 130, 83, 99});  // magic cookie
  b.insert(b.end(), options.begin(), options.end());
  return PadTo(b, 358);  // always 358 bytes
}

// The options of an OFFER or ACK with EverySetting() and the hostname "plc-01".
Bytes FullOptions(std::uint8_t type) {
  Bytes o;
  Append(o, {53, 1, type});                             // DHCP message type
  Append(o, {1, 4, 255, 255, 255, 0});                  // subnet mask
  Append(o, {58, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // renewal time: infinite
  Append(o, {59, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // rebinding time: infinite
  Append(o, {51, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // lease time: infinite
  Append(o, {54, 4, 192, 168, 1, 5});                   // server identifier
  Append(o, {15, 11});                                  // domain name, length 11
  AppendText(o, "plant.local");                         //   its bytes
  Append(o, {3, 4, 192, 168, 1, 1});                    // router
  Append(o, {6, 8, 192, 168, 1, 2, 10, 9, 8, 7});       // name servers
  Append(o, {12, 6});                                   // host name, length 6
  AppendText(o, "plc-01");                              //   its bytes
  Append(o, {255});                                     // End
  return o;
}

Bytes NakOptions() {
  Bytes o;
  Append(o, {53, 1, 6});             // DHCP message type: NAK
  Append(o, {54, 4, 192, 168, 1, 5});  // server identifier
  Append(o, {255});                  // End; no settings
  return o;
}

TEST(DhcpReply, DiscoverIsAnsweredWithAnOfferButServesNothing) {
  ServerUnderTest server;
  server.settings = EverySetting();
  EXPECT_EQ(ServeDhcp(Message(Discover()), server.context), nullptr);
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedDhcpReply(FullOptions(2)));
  EXPECT_EQ(server.sender.sent[0].destination, (Endpoint{0xFFFFFFFF, 68}));
  EXPECT_EQ(server.device->type, kRelationTypeDhcp);
}

TEST(DhcpReply, OfferWithoutSettingsKeepsTheTimesAndServerIdentifier) {
  ServerUnderTest server;
  server.SetDeviceHostname("");
  server.settings.gateway = 0xC0A80101;  // no mask: no router either
  ASSERT_EQ(ServeDhcp(Message(Discover()), server.context), nullptr);
  Bytes o;
  Append(o, {53, 1, 2});                                // DHCP message type: OFFER
  Append(o, {58, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // renewal time
  Append(o, {59, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // rebinding time
  Append(o, {51, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // lease time
  Append(o, {54, 4, 192, 168, 1, 5});                   // server identifier
  Append(o, {255});                                     // End
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedDhcpReply(o));
}

TEST(DhcpReply, RequestIsAcknowledgedUnlessItAsksForAnotherAddress) {
  struct Case {
    const char* what;
    Bytes request;
    bool ack;
  };
  const Case cases[] = {
      {"option 50 equal", Request({50, 4, 192, 168, 1, 50}), true},
      {"no option 50", Request({}), true},
      {"option 50 of length 0", Request({50, 0}), true},
      // Too short to hold an address: no address is requested, and the bytes
      // after it (option 61 here) are not taken for one.
      {"option 50 of length 2", Request({50, 2, 192, 168, 61, 7, 1, 0, 0x1D, 0x9C, 0xC8, 0x12, 0x34}), true},
      {"option 50 longer than 4", Request({50, 5, 192, 168, 1, 50, 9}), true},
      {"option 50 0.0.0.0", Request({50, 4, 0, 0, 0, 0}), true},
      {"option 50 other address", Request({50, 4, 192, 168, 1, 51}), false},
  };
  for (const Case& c : cases) {
    ServerUnderTest server;
    server.settings = EverySetting();
    Relation* served = ServeDhcp(Message(c.request), server.context);
    EXPECT_EQ(served, c.ack ? server.device : nullptr) << c.what;
    ASSERT_EQ(server.sender.sent.size(), 1u) << c.what;
    EXPECT_EQ(server.sender.sent[0].bytes, ExpectedDhcpReply(c.ack ? FullOptions(5) : NakOptions())) << c.what;
    EXPECT_EQ(server.device->type, kRelationTypeDhcp) << c.what;
  }
}

TEST(DhcpReply, NakGoesWhereAnAckWould) {
  RequestHeader h;
  h.giaddr = 0x0A000001;
  ServerUnderTest server;
  EXPECT_EQ(ServeDhcp(Message(Request({50, 4, 10, 0, 0, 9}, h)), server.context), nullptr);
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].destination, (Endpoint{0x0A000001, 67}));
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedDhcpReply(NakOptions(), h));
}

TEST(DhcpReply, LargestReplyEndsOnItsLastByte) {
  ServerUnderTest server;
  server.settings = EverySetting();
  const std::string domain = "commissioning.line7.example.com.";  // 32 bytes
  const std::string hostname = "press-line-seven-plc-controller1";  // 32 bytes
  ASSERT_EQ(domain.size(), 32u);
  ASSERT_EQ(hostname.size(), 32u);
  server.settings.SetDomainName(domain);
  server.SetDeviceHostname(hostname);
  ASSERT_EQ(ServeDhcp(Message(Request({})), server.context), server.device);

  Bytes o;
  Append(o, {53, 1, 5});                                // DHCP message type: ACK     240..242
  Append(o, {1, 4, 255, 255, 255, 0});                  // subnet mask                243..248
  Append(o, {58, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // renewal time               249..254
  Append(o, {59, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // rebinding time             255..260
  Append(o, {51, 4, 0xFF, 0xFF, 0xFF, 0xFF});           // lease time                 261..266
  Append(o, {54, 4, 192, 168, 1, 5});                   // server identifier          267..272
  Append(o, {15, 32});                                  // domain name                273..306
  AppendText(o, domain);
  Append(o, {3, 4, 192, 168, 1, 1});                    // router                     307..312
  Append(o, {6, 8, 192, 168, 1, 2, 10, 9, 8, 7});       // name servers               313..322
  Append(o, {12, 32});                                  // host name                  323..356
  AppendText(o, hostname);
  Append(o, {255});                                     // End                        357
  ASSERT_EQ(server.sender.sent.size(), 1u);
  const Bytes& sent = server.sender.sent[0].bytes;
  EXPECT_EQ(sent, ExpectedDhcpReply(o));
  ASSERT_EQ(sent.size(), 358u);
  EXPECT_EQ(sent[357], 255);
}

TEST(DhcpReply, ServerNameAndServerIdentifierTest) {
  struct Case {
    const char* what;
    std::string sname;
    Bytes serverId;  // option 54 as sent, empty for none
    bool answered;
  };
  const Case cases[] = {
      {"no name, no identifier", "", {}, true},
      {"our name in other case", "CORVESSA-Host", {}, true},
      {"another host, listed device", "other-host", {}, false},
      {"no name, another server", "", {54, 4, 192, 168, 1, 9}, false},
      {"no name, identifier 0.0.0.0", "", {54, 4, 0, 0, 0, 0}, true},
      {"no name, our identifier", "", {54, 4, 192, 168, 1, 5}, true},
      {"our name, another server", "corvessa-host", {54, 4, 192, 168, 1, 9}, true},
      {"another host, our identifier", "other-host", {54, 4, 192, 168, 1, 5}, false},
      // Too short to name a server: as if absent, and the bytes after it are
      // not read as part of it.
      {"no name, identifier of length 2", "", {54, 2, 192, 168, 1, 9}, true},
      {"64-byte name without a 0", std::string(64, 'c'), {}, false},
  };
  for (const Case& c : cases) {
    ServerUnderTest server;
    RequestHeader h;
    h.sname = c.sname;
    Bytes bytes = RequestBytes(h, {53, 1, 1});  // DISCOVER
    bytes.insert(bytes.end(), c.serverId.begin(), c.serverId.end());
    Append(bytes, {255});
    EXPECT_EQ(ServeDhcp(Message(bytes), server.context), nullptr) << c.what;  // an OFFER serves nothing
    EXPECT_EQ(server.sender.sent.size(), c.answered ? 1u : 0u) << c.what;
    EXPECT_EQ(server.device->type, c.answered ? kRelationTypeDhcp : kRelationTypeNone) << c.what;
  }
}

TEST(DhcpReply, FailedSendServesNothingButKeepsTheType) {
  for (const Bytes& request : {Request({}), Request({50, 4, 192, 168, 1, 51}), Discover()}) {
    ServerUnderTest server;
    server.sender.succeed = false;
    EXPECT_EQ(ServeDhcp(Message(request), server.context), nullptr);
    EXPECT_EQ(server.sender.sent.size(), 1u);
    EXPECT_EQ(server.device->type, kRelationTypeDhcp);
  }
}

TEST(DhcpReply, UnlistedDeviceIsNotAnswered) {
  ServerUnderTest server;
  Bytes bytes = Request({});
  bytes[kChaddrOffset] = 0x02;  // 02:1D:9C:C8:12:34
  EXPECT_EQ(ServeDhcp(Message(bytes), server.context), nullptr);
  EXPECT_TRUE(server.sender.sent.empty());
  EXPECT_EQ(server.device->type, kRelationTypeNone);
}

TEST(DhcpReply, HardwareLengthAboveChaddrMatchesNothing) {
  ServerUnderTest server;
  RequestHeader h;
  h.hlen = 17;
  EXPECT_EQ(ServeDhcp(Message(Request({}, h)), server.context), nullptr);
  EXPECT_TRUE(server.sender.sent.empty());
}

TEST(DhcpReply, OnlyDiscoverAndRequestAreAnswered) {
  struct Case {
    const char* what;
    Bytes request;
  };
  const Case cases[] = {
      {"RELEASE", RequestBytes({}, {53, 1, 7, 255})},
      {"INFORM", RequestBytes({}, {53, 1, 8, 255})},
      {"option 53 without value", RequestBytes({}, {53, 0, 1, 4, 255, 255, 255, 0, 255})},
      {"no option 53", RequestBytes({}, {255})},
  };
  for (const Case& c : cases) {
    ServerUnderTest server;
    EXPECT_EQ(ServeDhcp(Message(c.request), server.context), nullptr) << c.what;
    EXPECT_TRUE(server.sender.sent.empty()) << c.what;
    EXPECT_EQ(server.device->type, kRelationTypeNone) << c.what;
  }
}

}  // namespace
}  // namespace corvessa::reply_test
