// BOOTP replies, compared byte for byte with replies written out by hand.

#include <gtest/gtest.h>

#include "server/reply.h"
#include "tests/server/reply_fixture.h"

namespace corvessa::reply_test {
namespace {

// A plain BOOTP request: no option 53, then leftovers after End.
Bytes BootpRequest(const RequestHeader& h = {}) { return RequestBytes(h, {255, 0x33, 0x44}); }

Bytes ExpectedBootpReply(const Bytes& options, const RequestHeader& h = {}) {
  Bytes b = ExpectedHeader(h);
  Append(b, {99, 130, 83, 99});  // magic cookie
  b.insert(b.end(), options.begin(), options.end());
  return PadTo(b, 300);  // always 300 bytes; what the options leave stays 0
}

TEST(BootpReply, NoSettingsCarriesOnlyTheHostName) {
  ServerUnderTest server;
  EXPECT_EQ(ServeBootp(Message(BootpRequest()), server.context), server.device);

  Bytes options;
  Append(options, {12, 6});            // host name, length 6
  AppendText(options, "plc-01");       //   the relation's hostname
  Append(options, {255});              // End
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply(options));
  EXPECT_EQ(server.sender.sent[0].destination, (Endpoint{0xFFFFFFFF, 68}));
  EXPECT_EQ(server.device->type, kRelationTypeBootp);
}

TEST(BootpReply, NoSettingsAndNoHostNameCarriesOnlyEnd) {
  ServerUnderTest server;
  server.SetDeviceHostname("");
  EXPECT_EQ(ServeBootp(Message(BootpRequest()), server.context), server.device);
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply({255}));  // End right after the cookie
}

TEST(BootpReply, EverySettingInOrder) {
  ServerUnderTest server;
  server.settings = EverySetting();
  EXPECT_EQ(ServeBootp(Message(BootpRequest()), server.context), server.device);

  Bytes options;
  Append(options, {1, 4, 255, 255, 255, 0});                        // subnet mask
  Append(options, {3, 4, 192, 168, 1, 1});                          // router
  Append(options, {6, 8, 192, 168, 1, 2, 10, 9, 8, 7});             // name servers: dns1, dns2
  Append(options, {15, 11});                                        // domain name, length 11
  AppendText(options, "plant.local");                               //   its bytes
  Append(options, {12, 6});                                         // host name, length 6
  AppendText(options, "plc-01");                                    //   its bytes
  Append(options, {255});                                           // End
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply(options));
}

TEST(BootpReply, NameServerOptionCarriesTheServersThatAreSet) {
  struct Case {
    std::uint32_t dns1, dns2;
    Bytes option;
  };
  const Case cases[] = {
      {0xC0A80102, 0, {6, 4, 192, 168, 1, 2}},  // only the primary
      {0, 0x0A090807, {6, 4, 10, 9, 8, 7}},     // only the secondary
      {0, 0, {}},                               // neither: no option 6
  };
  for (const Case& c : cases) {
    ServerUnderTest server;
    server.SetDeviceHostname("");
    server.settings.dns1 = c.dns1;
    server.settings.dns2 = c.dns2;
    ASSERT_NE(ServeBootp(Message(BootpRequest()), server.context), nullptr);
    Bytes options = c.option;
    Append(options, {255});  // End
    ASSERT_EQ(server.sender.sent.size(), 1u);
    EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply(options)) << c.dns1 << " " << c.dns2;
  }
}

TEST(BootpReply, GatewayWithoutMaskGivesNoRouter) {
  ServerUnderTest server;
  server.SetDeviceHostname("");
  server.settings.gateway = 0xC0A80101;
  ASSERT_NE(ServeBootp(Message(BootpRequest()), server.context), nullptr);
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply({255}));
}

// Mask, gateway, both name servers and a 20-byte domain name end the options at
// offset 284: 16 bytes remain, enough for a 13-byte hostname and End, not for 14.
class BootpHostNameRoom : public ::testing::Test {
 protected:
  Bytes OptionsBeforeHostName() {
    Bytes options;
    Append(options, {1, 4, 255, 255, 255, 0});             // subnet mask     240..245
    Append(options, {3, 4, 192, 168, 1, 1});               // router          246..251
    Append(options, {6, 8, 192, 168, 1, 2, 10, 9, 8, 7});  // name servers    252..261
    Append(options, {15, 20});                             // domain name     262..283
    AppendText(options, "automation.plant.com");           //   20 bytes
    return options;
  }
  Bytes Serve(const std::string& hostname) {
    ServerUnderTest server;
    server.settings = EverySetting();
    server.settings.SetDomainName("automation.plant.com");
    server.SetDeviceHostname(hostname);
    EXPECT_EQ(ServeBootp(Message(BootpRequest()), server.context), server.device);
    return server.sender.sent.size() == 1 ? server.sender.sent[0].bytes : Bytes{};
  }
};

TEST_F(BootpHostNameRoom, ThirteenBytesAreSentWithEndAsTheLastByte) {
  Bytes options = OptionsBeforeHostName();
  Append(options, {12, 13});           // host name, length 13   284..298
  AppendText(options, "line-7-plc-01");
  Append(options, {255});              // End at 299
  const Bytes reply = Serve("line-7-plc-01");
  EXPECT_EQ(reply, ExpectedBootpReply(options));
  ASSERT_EQ(reply.size(), 300u);
  EXPECT_EQ(reply[299], 255);
}

TEST_F(BootpHostNameRoom, FourteenBytesAreLeftOutAndTheRestIsUnchanged) {
  Bytes options = OptionsBeforeHostName();
  Append(options, {255});  // End at 284
  EXPECT_EQ(Serve("line-7-plc-012"), ExpectedBootpReply(options));
}

TEST_F(BootpHostNameRoom, WithoutDomainNameAFullHostNameFits) {
  ServerUnderTest server;
  server.settings = EverySetting();
  server.settings.SetDomainName("");
  const std::string hostname(32, 'h');
  server.SetDeviceHostname(hostname);
  ASSERT_NE(ServeBootp(Message(BootpRequest()), server.context), nullptr);
  Bytes options;
  Append(options, {1, 4, 255, 255, 255, 0});             // subnet mask
  Append(options, {3, 4, 192, 168, 1, 1});               // router
  Append(options, {6, 8, 192, 168, 1, 2, 10, 9, 8, 7});  // name servers, ending at 262
  Append(options, {12, 32});                             // host name, length 32
  AppendText(options, hostname);
  Append(options, {255});                                // End
  ASSERT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply(options));
}

TEST(BootpReply, DestinationFollowsCiaddrThenGiaddr) {
  struct Case {
    std::uint32_t ciaddr, giaddr;
    Endpoint destination;
  };
  const Case cases[] = {
      {0xC0A80132, 0, {0xC0A80132, 68}},           // ciaddr: unicast to the client port
      {0, 0x0A000001, {0x0A000001, 67}},           // giaddr: the relay's server port
      {0xC0A80132, 0x0A000001, {0xC0A80132, 68}},  // ciaddr wins over giaddr
      {0, 0, {0xFFFFFFFF, 68}},                    // neither: limited broadcast
  };
  for (const Case& c : cases) {
    RequestHeader h;
    h.ciaddr = c.ciaddr;
    h.giaddr = c.giaddr;
    const BootpMessage request = Message(BootpRequest(h));
    EXPECT_EQ(ReplyDestination(request), c.destination);

    ServerUnderTest server;
    ASSERT_NE(ServeBootp(request, server.context), nullptr);
    ASSERT_EQ(server.sender.sent.size(), 1u);
    EXPECT_EQ(server.sender.sent[0].destination, c.destination);
    Bytes options;
    Append(options, {12, 6});
    AppendText(options, "plc-01");
    Append(options, {255});
    EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply(options, h));
  }
}

TEST(BootpReply, ServerNameTest) {
  struct Case {
    std::string sname;
    bool answered;
  };
  const Case cases[] = {
      {"", true},                     // empty: any server
      {"corvessa-host", true},        // our name
      {"CorVessa-HOST", true},        // our name in other letter case
      {"other-host", false},          // another server, although the device is listed
      {"corvessa-hos", false},        // a prefix of our name is another name
      {"corvessa-host2", false},      // so is a longer one
      {std::string(64, 'c'), false},  // 64 bytes without a 0: read no further than the field
  };
  for (const Case& c : cases) {
    ServerUnderTest server;
    RequestHeader h;
    h.sname = c.sname;
    Relation* served = ServeBootp(Message(BootpRequest(h)), server.context);
    EXPECT_EQ(served, c.answered ? server.device : nullptr) << c.sname;
    EXPECT_EQ(server.sender.sent.size(), c.answered ? 1u : 0u) << c.sname;
    EXPECT_EQ(server.device->type, c.answered ? kRelationTypeBootp : kRelationTypeNone) << c.sname;
  }
}

TEST(BootpReply, UnlistedDeviceIsNotAnswered) {
  ServerUnderTest server;
  Bytes bytes = BootpRequest();
  bytes[kChaddrOffset + 5] = 0x35;  // 00:1D:9C:C8:12:35
  EXPECT_EQ(ServeBootp(Message(bytes), server.context), nullptr);
  EXPECT_TRUE(server.sender.sent.empty());
  EXPECT_EQ(server.device->type, kRelationTypeNone);
}

TEST(BootpReply, FailedSendServesNothingButKeepsTheType) {
  ServerUnderTest server;
  server.sender.succeed = false;
  EXPECT_EQ(ServeBootp(Message(BootpRequest()), server.context), nullptr);
  EXPECT_EQ(server.sender.sent.size(), 1u);
  EXPECT_EQ(server.device->type, kRelationTypeBootp);
}

TEST(BootpReply, HardwareTypeIsNotConsidered) {
  ServerUnderTest server;
  RequestHeader h;
  h.htype = 6;  // IEEE 802
  EXPECT_EQ(ServeBootp(Message(BootpRequest(h)), server.context), server.device);
  ASSERT_EQ(server.sender.sent.size(), 1u);
  Bytes options;
  Append(options, {12, 6});
  AppendText(options, "plc-01");
  Append(options, {255});
  EXPECT_EQ(server.sender.sent[0].bytes, ExpectedBootpReply(options, h));  // htype 6 copied
}

TEST(BootpReply, HardwareLengthAboveChaddrMatchesNothing) {
  for (const std::uint8_t hlen : {std::uint8_t{17}, std::uint8_t{128}, std::uint8_t{255}}) {
    ServerUnderTest server;
    RequestHeader h;
    h.hlen = hlen;
    EXPECT_EQ(ServeBootp(Message(BootpRequest(h)), server.context), nullptr) << int{hlen};
    EXPECT_TRUE(server.sender.sent.empty());
  }
}

}  // namespace
}  // namespace corvessa::reply_test
