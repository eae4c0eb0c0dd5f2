#pragma once
// A registered session to a simulated device, for the tests of single CIP
// operations.

#include <memory>

#include "enip/encap_session.h"
#include "tests/enip/enip_fixture.h"

namespace corvessa::enip_test {

class DeviceSession : public ::testing::Test {
 protected:
  // Starts the device and registers a session; the status log then starts
  // empty, so a test sees only the texts of its own operation.
  void Start(enipsim::DeviceConfig config, const Relation& relation = MakeRelation()) {
    relation_ = relation;
    // A second start in one test: the old session still refers to the old
    // harness, so it goes first.
    session_.reset();
    harness_.reset();
    sim_ = std::make_unique<enipsim::DeviceSim>(std::move(config));
    ExpectListening(*sim_);
    harness_ = std::make_unique<Harness>(sim_->Port());
    session_ = std::make_unique<EncapSession>(harness_->context);
    ASSERT_TRUE(session_->PrepareRequestBlock());
    ASSERT_TRUE(session_->PrepareResponseBlock());
    ASSERT_TRUE(session_->Open(relation_));
    ASSERT_TRUE(session_->RegisterSession());
    harness_->status.clear();
  }
  // The requests after Register Session.
  std::vector<std::string> Trail() const { return RequestTrail(sim_->Requests()); }

  Relation relation_;
  std::unique_ptr<enipsim::DeviceSim> sim_;
  std::unique_ptr<Harness> harness_;
  std::unique_ptr<EncapSession> session_;
};

}  // namespace corvessa::enip_test
