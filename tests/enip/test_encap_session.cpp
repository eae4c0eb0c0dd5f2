// The encapsulation session against a simulated device on 127.0.0.1, with
// single socket calls made to fail where a real device cannot provoke it.

#include <gtest/gtest.h>

#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "enip/cip_message.h"
#include "enip/encap_session.h"
#include "tests/enip/enip_fixture.h"

namespace corvessa::enip_test {
namespace {

using enipsim::ConnectionMode;
using enipsim::DeviceConfig;
using enipsim::DeviceSim;
using Texts = std::vector<std::string>;

const Texts kOpenTexts = {
    "Precreating messages...",
    "Creating socket for 00:11:22:33:44:55...",
    "Binding socket for 00:11:22:33:44:55...",
    "Setting socket options for 00:11:22:33:44:55...",
    "Attempting to connect to 00:11:22:33:44:55...",
};

class SessionTest : public ::testing::Test {
 protected:
  void Start(DeviceConfig config = {}) {
    sim_ = std::make_unique<DeviceSim>(std::move(config));
    ExpectListening(*sim_);
    harness_ = std::make_unique<Harness>(sim_->Port());
    harness_->context.sockets = &sockets_;
  }
  // Preparation and Open; true when the session is connected.
  bool Connect(EncapSession& session) {
    return session.PrepareRequestBlock() && session.PrepareResponseBlock() && session.Open(relation_);
  }
  Texts StatusAfterOpen() const {
    return Texts(harness_->status.begin() + static_cast<std::ptrdiff_t>(kOpenTexts.size()),
                 harness_->status.end());
  }

  Relation relation_ = MakeRelation();
  ScriptedSockets sockets_;
  std::unique_ptr<DeviceSim> sim_;
  std::unique_ptr<Harness> harness_;
};

TEST_F(SessionTest, RegistrationTextsInOrder) {
  DeviceConfig config;
  config.sessionHandle = 0xCAFE0001;
  Start(config);
  {
    EncapSession session(harness_->context);
    ASSERT_TRUE(Connect(session));
    ASSERT_TRUE(session.RegisterSession());
    EXPECT_EQ(session.Handle(), 0xCAFE0001u);
  }
  Texts expected = kOpenTexts;
  expected.push_back("Waiting for response to [Register Session] from [00:11:22:33:44:55]...");
  expected.push_back("Verifying response from 00:11:22:33:44:55 [Register Session]...");
  EXPECT_EQ(harness_->status, expected);
  EXPECT_EQ(sockets_.closed, sockets_.opened);
  const auto requests = sim_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].bytes.size(), 28u);
}

TEST_F(SessionTest, RefusedConnectionSendsNothing) {
  DeviceConfig config;
  config.mode = ConnectionMode::Refuse;
  Start(config);
  {
    EncapSession session(harness_->context);
    EXPECT_FALSE(Connect(session));
  }
  EXPECT_EQ(StatusAfterOpen(), Texts{"Socket connect failed for 00:11:22:33:44:55. (Connection refused)"});
  EXPECT_EQ(harness_->status[kOpenTexts.size() - 1], "Attempting to connect to 00:11:22:33:44:55...");
  EXPECT_EQ(sockets_.sends, 0);
  EXPECT_EQ(sockets_.closed, 1);
}

TEST_F(SessionTest, SilentDeviceFourPeriodsThenNoResponse) {
  DeviceConfig config;
  config.mode = ConnectionMode::Silent;
  Start(config);
  harness_->context.waitPeriod = std::chrono::milliseconds(100);
  {
    EncapSession session(harness_->context);
    ASSERT_TRUE(Connect(session));
    EXPECT_FALSE(session.RegisterSession());
  }
  const std::string waiting = "Waiting for response to [Register Session] from [00:11:22:33:44:55]...";
  EXPECT_EQ(StatusAfterOpen(),
            (Texts{waiting, waiting, waiting, waiting,
                   "Didn't receive a response from 00:11:22:33:44:55. [Register Session]"}));
  EXPECT_EQ(sim_->Requests().size(), 1u);
}

// A device that sends its reply a byte at a time, each byte well within a
// wait period, cannot keep the session waiting: the reply is judged four
// periods after the send, with the bytes that have come by then.
TEST_F(SessionTest, TricklingReplyIsJudgedAtTheDeadline) {
  DeviceConfig config;
  config.mode = ConnectionMode::Trickle;
  config.trickleInterval = std::chrono::milliseconds(100);  // the 28 bytes would take 2.7 s
  Start(config);
  harness_->context.waitPeriod = std::chrono::milliseconds(150);
  EncapSession session(harness_->context);
  ASSERT_TRUE(Connect(session));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(session.RegisterSession());
  const auto took = std::chrono::steady_clock::now() - started;

  EXPECT_GE(took, std::chrono::milliseconds(600));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  const std::string incomplete =
      "Received an incomplete response from 00:11:22:33:44:55. [Register Session] (";
  EXPECT_EQ(harness_->Last().rfind(incomplete, 0), 0u) << harness_->Last();
  EXPECT_LT(session.Reply().size(), 28u);
  EXPECT_GT(session.Reply().size(), 0u);
}

TEST_F(SessionTest, EncapsulationStatusIsAnError) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0x0001, "(1)"}, {0x0065, "(101)"}, {0xFFFFFFFF, "(-1)"}};
  for (const auto& [status, shown] : cases) {
    DeviceConfig config;
    config.registerStatus = status;
    Start(config);
    EncapSession session(harness_->context);
    ASSERT_TRUE(Connect(session));
    EXPECT_FALSE(session.RegisterSession());
    EXPECT_EQ(harness_->Last(),
              std::string("Received error message from 00:11:22:33:44:55. [Register Session] ") + shown);
  }
}

TEST_F(SessionTest, ConnectGivesUpAfterItsTimeOut) {
  const HangingListener hanging;
  ASSERT_NE(hanging.Port(), 0);

  Harness harness(hanging.Port());
  harness.context.connectTimeout = std::chrono::milliseconds(300);
  {
    EncapSession session(harness.context);
    ASSERT_TRUE(session.PrepareRequestBlock() && session.PrepareResponseBlock());
    EXPECT_FALSE(session.Open(relation_));
  }
  EXPECT_EQ(harness.Last(), "Socket connect failed for 00:11:22:33:44:55. (Timed out)");
}

// --- Single calls that fail -------------------------------------------------

TEST_F(SessionTest, SocketCreationAndBindFailures) {
  Start();
  sockets_.socketError = EMFILE;
  {
    EncapSession session(harness_->context);
    EXPECT_FALSE(Connect(session));
  }
  EXPECT_EQ(harness_->Last(), "Socket creation failed for 00:11:22:33:44:55. (10024)");

  sockets_.socketError = 0;
  sockets_.bindError = EADDRINUSE;
  {
    EncapSession session(harness_->context);
    EXPECT_FALSE(Connect(session));
  }
  EXPECT_EQ(harness_->Last(), "Socket bind failed for 00:11:22:33:44:55. (10048)");
  EXPECT_EQ(sockets_.connects, 0);
  EXPECT_EQ(sockets_.closed, sockets_.opened);
}

TEST_F(SessionTest, EveryOptionTriedAndReportedBeforeFailing) {
  struct Case {
    std::set<int> failing;
    Texts texts;
  };
  const Case cases[] = {
      {{SO_SNDBUF, SO_RCVBUF, TCP_NODELAY},
       {"Socket option (SO_SNDBUF) failed for 00:11:22:33:44:55. (10022)",
        "Socket option (SO_RCVBUF) failed for 00:11:22:33:44:55. (10022)",
        "Socket option (TCP_NODELAY) failed for 00:11:22:33:44:55. (10022)"}},
      {{SO_SNDBUF}, {"Socket option (SO_SNDBUF) failed for 00:11:22:33:44:55. (10022)"}},
      {{TCP_NODELAY}, {"Socket option (TCP_NODELAY) failed for 00:11:22:33:44:55. (10022)"}},
  };
  Start();
  for (const Case& c : cases) {
    harness_->status.clear();
    sockets_.failingOptions = c.failing;
    EncapSession session(harness_->context);
    EXPECT_FALSE(Connect(session));
    Texts expected(kOpenTexts.begin(), kOpenTexts.end() - 1);  // no connect attempt
    expected.insert(expected.end(), c.texts.begin(), c.texts.end());
    EXPECT_EQ(harness_->status, expected);
  }
  EXPECT_EQ(sockets_.connects, 0);
}

TEST_F(SessionTest, PartialSendNamesBothCounts) {
  Start();
  sockets_.sendLimit = 10;
  {
    EncapSession session(harness_->context);
    ASSERT_TRUE(Connect(session));
    EXPECT_FALSE(session.RegisterSession());
    EXPECT_EQ(harness_->Last(), "Socket send sent 10 of 28 bytes to 00:11:22:33:44:55. [Register Session]");

    const auto request = BuildGetAttributeSingle(0, {0xF5, 0, 2});
    EXPECT_FALSE(session.Transact(request, "Get_Attribute_Single", true));
    EXPECT_EQ(harness_->Last(),
              "Socket send sent 10 of 48 bytes to 00:11:22:33:44:55. [Get_Attribute_Single]");
  }
  EXPECT_EQ(sockets_.waits, 0);
}

TEST_F(SessionTest, SendWaitAndReceiveErrors) {
  struct Case {
    const char* name;
    int sendError = 0;
    std::deque<int> waitErrors;
    int receiveError = 0;
    std::string text;
  };
  const Case cases[] = {
      {"send", ECONNRESET, {}, 0,
       "Socket send failed to 00:11:22:33:44:55. [Register Session] (Connection reset)"},
      {"wait", 0, {EBADF}, 0,
       "Socket select failed for 00:11:22:33:44:55. [Register Session] (10009)"},
      {"would block, not retried outside the command flow", 0, {EAGAIN}, 0,
       "Socket select failed for 00:11:22:33:44:55. [Register Session] (10035)"},
      {"receive", 0, {}, ENOTCONN,
       "Socket receive failed for 00:11:22:33:44:55. [Register Session] (Not connected)"},
  };
  Start();
  for (const Case& c : cases) {
    sockets_.sendError = c.sendError;
    sockets_.waitErrors = c.waitErrors;
    sockets_.receiveError = c.receiveError;
    EncapSession session(harness_->context);
    ASSERT_TRUE(Connect(session)) << c.name;
    EXPECT_FALSE(session.RegisterSession()) << c.name;
    EXPECT_EQ(harness_->Last(), c.text) << c.name;
  }
}

TEST_F(SessionTest, WouldBlockRestartsThePeriodWhenAsked) {
  Start();
  sockets_.waitErrors = {EAGAIN, EAGAIN};
  {
    EncapSession session(harness_->context);
    ASSERT_TRUE(Connect(session));
    EXPECT_TRUE(session.RegisterSession(true));
  }
  const std::string waiting = "Waiting for response to [Register Session] from [00:11:22:33:44:55]...";
  EXPECT_EQ(StatusAfterOpen(),
            (Texts{waiting, waiting, waiting,
                   "Verifying response from 00:11:22:33:44:55 [Register Session]..."}));
}

TEST_F(SessionTest, UnavailableBlocksEndPreparation) {
  Start();
  const std::pair<MessageBlock, const char*> cases[] = {
      {MessageBlock::RegisterRequest,
       "Failed to allocate memory for register message block. Attempt failed."},
      {MessageBlock::Response,
       "Failed to allocate memory for response message block. Attempt failed."},
  };
  for (const auto& [block, text] : cases) {
    harness_->context.blockUnavailable = [block = block](MessageBlock asked) { return asked == block; };
    EncapSession session(harness_->context);
    EXPECT_FALSE(session.PrepareRequestBlock() && session.PrepareResponseBlock());
    EXPECT_EQ(harness_->Last(), text);
  }
  EXPECT_EQ(sockets_.opened, 0);
}

}  // namespace
}  // namespace corvessa::enip_test
