// Replies that arrive short, split or not at all: each is judged only by the
// bytes received (the unused part of the response block is poisoned under
// ASan) and reported with its own text.

#include <gtest/gtest.h>

#include <memory>

#include "enip/cip_services.h"
#include "enip/encap_session.h"
#include "tests/enip/enip_fixture.h"

namespace corvessa::enip_test {
namespace {

using enipsim::DeviceConfig;
using enipsim::DeviceSim;
using enipsim::FaultRule;
using enipsim::ReplyFault;

struct Outcome {
  bool registered = false;
  int maxInstance = 0;
  std::string last;
  std::vector<std::string> status;
  int receives = 0;
};

// Registers, then reads Max Instance (7) when registration succeeded.
Outcome RunWith(std::vector<FaultRule> faults) {
  DeviceConfig config;
  config.maxInstance = 7;
  config.faults = std::move(faults);
  DeviceSim sim(config);
  EXPECT_TRUE(sim.ok());
  Harness harness(sim.Port());
  harness.context.waitPeriod = std::chrono::milliseconds(300);
  ScriptedSockets sockets;
  harness.context.sockets = &sockets;
  const Relation relation = MakeRelation();

  Outcome run;
  EncapSession session(harness.context);
  EXPECT_TRUE(session.PrepareRequestBlock() && session.PrepareResponseBlock() &&
              session.Open(relation));
  run.registered = session.RegisterSession();
  if (run.registered) run.maxInstance = GetMaxInstance(session, relation);
  run.last = harness.Last();
  run.status = harness.status;
  run.receives = sockets.receives;
  return run;
}

TEST(ReplySafety, ShortAndClosedReplies) {
  struct Case {
    const char* name;
    FaultRule fault;
    std::string text;
  };
  const Case cases[] = {
      {"10 bytes, then silence", {0, ReplyFault::Truncate, 10},
       "Received an incomplete response from 00:11:22:33:44:55. [Register Session] (10 bytes)"},
      {"10 bytes, then closed", {0, ReplyFault::TruncateAndClose, 10},
       "Received an incomplete response from 00:11:22:33:44:55. [Register Session] (10 bytes)"},
      {"header only of a longer reply", {0, ReplyFault::TruncateAndClose, 24},
       "Received an incomplete response from 00:11:22:33:44:55. [Register Session] (24 bytes)"},
      {"closed without a reply", {0, ReplyFault::Close},
       "Connection closed by 00:11:22:33:44:55. [Register Session]"},
  };
  for (const Case& c : cases) {
    const Outcome run = RunWith({c.fault});
    EXPECT_FALSE(run.registered) << c.name;
    EXPECT_EQ(run.last, c.text) << c.name;
  }
}

// A CIP reply cut inside its item: the transaction fails, and the operation
// learns nothing from the bytes it has (its second attempt then finds the
// connection closed).
TEST(ReplySafety, CipReplyCutInsideTheItem) {
  const Outcome run = RunWith({{1, ReplyFault::TruncateAndClose, 44}});
  ASSERT_TRUE(run.registered);
  EXPECT_EQ(run.maxInstance, 1);
  EXPECT_NE(std::find(run.status.begin(), run.status.end(),
                      "Received an incomplete response from 00:11:22:33:44:55. "
                      "[Get_Attribute_Single] (44 bytes)"),
            run.status.end());
}

TEST(ReplySafety, SplitRepliesAreCompleted) {
  const std::pair<const char*, std::vector<FaultRule>> cases[] = {
      {"register reply split inside the header", {{0, ReplyFault::Split, 10}}},
      {"register reply split after the header", {{0, ReplyFault::Split, 24}}},
      {"CIP reply split inside the item", {{1, ReplyFault::Split, 43}}},
  };
  for (const auto& [name, faults] : cases) {
    const Outcome run = RunWith(faults);
    EXPECT_TRUE(run.registered) << name;
    EXPECT_EQ(run.maxInstance, 7) << name;
    EXPECT_EQ(run.last, "Verifying response from 00:11:22:33:44:55 [Get_Attribute_Single]...") << name;
    EXPECT_GE(run.receives, 3) << name << ": the split piece was received on its own";
  }
}

}  // namespace
}  // namespace corvessa::enip_test
