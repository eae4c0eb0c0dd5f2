// The address guard's decisions, table by table: what a request gets in each
// state of its address, what a finished probe makes of it, and what a
// DHCPDECLINE, the user's confirmation and a new probe change.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "server/address_guard.h"
#include "server/conflict_texts.h"

namespace corvessa {
namespace {

constexpr std::uint32_t kAddress = 0xC0A84D32;  // 192.168.77.50
constexpr std::uint32_t kOtherAddress = 0xC0A84D33;
const HardwareAddress kDevice = {0x02, 0x00, 0x00, 0x77, 0x00, 0x02};
const HardwareAddress kIntruder = {0x02, 0x00, 0x00, 0x77, 0x00, 0x99};

// A request told apart by its xid.
BootpMessage Request(std::uint8_t xid) {
  BootpMessage message;
  message.bytes[kOpOffset] = kOpBootRequest;
  message.bytes[kXidOffset + 3] = xid;
  return message;
}

// A DHCPDECLINE; with `named`, option 50 carries that address.
BootpMessage Decline(std::optional<std::uint32_t> named) {
  BootpMessage message = Request(0x40);
  std::vector<std::uint8_t> options = {99, 130, 83, 99,               // magic cookie
                                       option::kMessageType, 1, dhcp_type::kDecline};
  if (named) {
    options.insert(options.end(), {option::kRequestedAddress, 4, static_cast<std::uint8_t>(*named >> 24),
                                   static_cast<std::uint8_t>(*named >> 16), static_cast<std::uint8_t>(*named >> 8),
                                   static_cast<std::uint8_t>(*named)});
  }
  options.push_back(option::kEnd);
  std::copy(options.begin(), options.end(), message.bytes.begin() + kMagicCookieOffset);
  return message;
}

std::uint8_t XidOf(const BootpMessage& message) { return message.bytes[kXidOffset + 3]; }

ProbeResult Held(std::optional<HardwareAddress> holder, ProbeEvidence evidence = ProbeEvidence::EchoReply) {
  return {kAddress, true, evidence, holder};
}
const ProbeResult kFree{kAddress, false, ProbeEvidence::Nothing, std::nullopt};

// Drives a fresh guard to `state` for kAddress, as requests and probes would.
void Reach(AddressGuard& guard, AddressState state) {
  if (state == AddressState::Unprobed) return;
  ASSERT_EQ(guard.OnRequest(kAddress, kDevice, Request(1)), GuardAction::StartProbe);
  switch (state) {
    case AddressState::Free:
      guard.OnProbeResult(kFree);
      break;
    case AddressState::Taken:
      guard.OnProbeResult(Held(kIntruder));
      break;
    case AddressState::Declined:
      ASSERT_TRUE(guard.OnDecline(kAddress, Decline(kAddress)));
      break;
    case AddressState::Confirmed:
      guard.OnProbeResult(Held(kIntruder));
      guard.Confirm(kAddress);
      break;
    default:
      break;
  }
  ASSERT_EQ(guard.State(kAddress), state);
}

TEST(AddressGuard, WhatARequestGetsInEachState) {
  struct Case {
    const char* name;
    AddressState state;
    HardwareAddress requester;
    GuardAction action;
    AddressState after;
    std::optional<std::uint8_t> keptXid;
  };
  const Case cases[] = {
      {"first request of a run: probe first", AddressState::Unprobed, kDevice, GuardAction::StartProbe,
       AddressState::Probing, 7},
      {"again while probing: the newest waits", AddressState::Probing, kDevice, GuardAction::Hold,
       AddressState::Probing, 7},
      {"found free", AddressState::Free, kDevice, GuardAction::Serve, AddressState::Free, {}},
      {"another device holds it", AddressState::Taken, kDevice, GuardAction::Refuse, AddressState::Taken, {}},
      {"the holder is now the listed device", AddressState::Taken, kIntruder, GuardAction::Serve, AddressState::Free,
       {}},
      {"declined by the device", AddressState::Declined, kDevice, GuardAction::Refuse, AddressState::Declined, {}},
      {"confirmed by the user", AddressState::Confirmed, kDevice, GuardAction::Serve, AddressState::Confirmed, {}},
  };
  for (const Case& c : cases) {
    AddressGuard guard;
    Reach(guard, c.state);
    EXPECT_EQ(guard.OnRequest(kAddress, c.requester, Request(7)), c.action) << c.name;
    EXPECT_EQ(guard.State(kAddress), c.after) << c.name;
    const AddressRecord* record = guard.Find(kAddress);
    ASSERT_NE(record, nullptr) << c.name;
    EXPECT_EQ(record->kept.has_value(), c.keptXid.has_value()) << c.name;
    if (record->kept && c.keptXid) {
      EXPECT_EQ(XidOf(*record->kept), *c.keptXid) << c.name;
    }
    EXPECT_EQ(guard.State(kOtherAddress), AddressState::Unprobed) << c.name << ": other addresses untouched";
  }
}

TEST(AddressGuard, WhatAFinishedProbeMeans) {
  struct Case {
    const char* name;
    ProbeResult result;
    AddressState state;
    std::optional<HardwareAddress> holder;
    bool answerKept;
  };
  const Case cases[] = {
      {"nobody answered", kFree, AddressState::Free, std::nullopt, true},
      {"another device answered the echo", Held(kIntruder), AddressState::Taken, kIntruder, false},
      {"another device is in the neighbour table", Held(kIntruder, ProbeEvidence::Neighbour), AddressState::Taken,
       kIntruder, false},
      {"something answered, hardware address unknown", Held(std::nullopt), AddressState::Taken, std::nullopt, false},
      {"the listed device itself answered", Held(kDevice), AddressState::Free, kDevice, true},
      {"the computer's own address", Held(kIntruder, ProbeEvidence::OwnAddress), AddressState::Taken, kIntruder,
       false},
  };
  for (const Case& c : cases) {
    AddressGuard guard;
    ASSERT_EQ(guard.OnRequest(kAddress, kDevice, Request(1)), GuardAction::StartProbe);
    ASSERT_EQ(guard.OnRequest(kAddress, kDevice, Request(2)), GuardAction::Hold);
    const ProbeOutcome outcome = guard.OnProbeResult(c.result);
    EXPECT_EQ(outcome.address, kAddress) << c.name;
    EXPECT_EQ(outcome.state, c.state) << c.name;
    EXPECT_EQ(guard.State(kAddress), c.state) << c.name;
    if (c.state == AddressState::Taken) {
      EXPECT_EQ(outcome.holder, c.holder) << c.name;
      EXPECT_EQ(guard.Find(kAddress)->evidence, c.result.evidence) << c.name;
    }
    ASSERT_EQ(outcome.answerNow.has_value(), c.answerKept) << c.name;
    if (outcome.answerNow) {
      EXPECT_EQ(XidOf(*outcome.answerNow), 2) << c.name << ": the newest request is answered";
    }
    EXPECT_FALSE(guard.Find(kAddress)->kept) << c.name << ": nothing stays kept";
    EXPECT_EQ(guard.Conflicts(), c.state == AddressState::Taken ? std::vector<std::uint32_t>{kAddress}
                                                                : std::vector<std::uint32_t>{})
        << c.name;
  }
}

TEST(AddressGuard, AProbeResultNobodyWaitsForChangesNothing) {
  for (const AddressState state : {AddressState::Unprobed, AddressState::Free, AddressState::Taken,
                                   AddressState::Declined, AddressState::Confirmed}) {
    AddressGuard guard;
    Reach(guard, state);
    const ProbeOutcome outcome = guard.OnProbeResult(Held(kIntruder));
    EXPECT_EQ(outcome.state, AddressState::Unprobed) << static_cast<int>(state);
    EXPECT_FALSE(outcome.answerNow) << static_cast<int>(state);
    EXPECT_EQ(guard.State(kAddress), state) << static_cast<int>(state);
  }
}

TEST(AddressGuard, DeclineConfirmAndReprobe) {
  struct Case {
    const char* name;
    AddressState before;
    std::optional<std::uint32_t> named;
    bool declined;
    AddressState after;
  };
  const Case cases[] = {
      {"decline of its address", AddressState::Free, kAddress, true, AddressState::Declined},
      {"decline without option 50", AddressState::Free, std::nullopt, true, AddressState::Declined},
      {"decline of another address", AddressState::Free, kOtherAddress, false, AddressState::Free},
      {"decline before the first reply", AddressState::Unprobed, kAddress, true, AddressState::Declined},
      {"decline while probing", AddressState::Probing, kAddress, true, AddressState::Declined},
      {"decline after the user confirmed", AddressState::Confirmed, kAddress, true, AddressState::Declined},
  };
  for (const Case& c : cases) {
    AddressGuard guard;
    Reach(guard, c.before);
    EXPECT_EQ(guard.OnDecline(kAddress, Decline(c.named)), c.declined) << c.name;
    EXPECT_EQ(guard.State(kAddress), c.after) << c.name;
    if (c.after != AddressState::Declined) continue;
    EXPECT_FALSE(guard.Find(kAddress)->kept) << c.name;
    EXPECT_EQ(guard.OnRequest(kAddress, kDevice, Request(3)), GuardAction::Refuse) << c.name;
    guard.Confirm(kAddress);
    EXPECT_EQ(guard.OnRequest(kAddress, kDevice, Request(4)), GuardAction::Serve) << c.name;
    guard.Reprobe(kAddress);
    EXPECT_EQ(guard.OnRequest(kAddress, kDevice, Request(5)), GuardAction::StartProbe) << c.name;
  }
}

TEST(AddressGuard, ConfirmActsOnConflictsOnly) {
  for (const AddressState state : {AddressState::Unprobed, AddressState::Probing, AddressState::Free}) {
    AddressGuard guard;
    Reach(guard, state);
    guard.Confirm(kAddress);
    EXPECT_EQ(guard.State(kAddress), state) << static_cast<int>(state);
  }
  // A probe keeps its waiting request when asked to probe again.
  AddressGuard guard;
  Reach(guard, AddressState::Probing);
  guard.Reprobe(kAddress);
  EXPECT_EQ(guard.State(kAddress), AddressState::Probing);
  EXPECT_TRUE(guard.OnProbeResult(kFree).answerNow);
}

TEST(AddressGuard, WithoutAProbeTheKeptRequestIsServed) {
  AddressGuard guard;
  EXPECT_FALSE(guard.ProbeUnavailable(kAddress));
  ASSERT_EQ(guard.OnRequest(kAddress, kDevice, Request(9)), GuardAction::StartProbe);
  const auto kept = guard.ProbeUnavailable(kAddress);
  ASSERT_TRUE(kept);
  EXPECT_EQ(XidOf(*kept), 9);
  EXPECT_EQ(guard.State(kAddress), AddressState::Free);
  EXPECT_EQ(guard.OnRequest(kAddress, kDevice, Request(10)), GuardAction::Serve);
}

TEST(AddressGuard, ResetStartsANewRun) {
  AddressGuard guard;
  Reach(guard, AddressState::Taken);
  guard.Reset();
  EXPECT_EQ(guard.State(kAddress), AddressState::Unprobed);
  EXPECT_TRUE(guard.Conflicts().empty());
  EXPECT_EQ(guard.OnRequest(kAddress, kDevice, Request(1)), GuardAction::StartProbe);
}

TEST(AddressGuard, DeclinedAddressReadsOption50) {
  EXPECT_EQ(DeclinedAddress(Decline(kAddress)), kAddress);
  EXPECT_EQ(DeclinedAddress(Decline(std::nullopt)), std::nullopt);
  EXPECT_EQ(DeclinedAddress(Decline(0)), std::nullopt);
  BootpMessage shortOption = Decline(kAddress);
  shortOption.bytes[kOptionsOffset + 4] = 3;  // option 50 with three bytes: no address
  EXPECT_EQ(DeclinedAddress(shortOption), std::nullopt);
}

TEST(ConflictTexts, EachConflictInWords) {
  const std::string device = "02:00:00:77:00:02";
  struct Case {
    const char* name;
    AddressRecord record;
    std::string text;
  };
  AddressRecord taken;
  taken.state = AddressState::Taken;
  taken.evidence = ProbeEvidence::EchoReply;
  taken.holder = kIntruder;
  AddressRecord unknown = taken;
  unknown.holder.reset();
  AddressRecord own = taken;
  own.evidence = ProbeEvidence::OwnAddress;
  AddressRecord declined;
  declined.state = AddressState::Declined;
  AddressRecord free;
  free.state = AddressState::Free;
  const Case cases[] = {
      {"taken by a known device", taken,
       "192.168.77.50 is in use by 02:00:00:77:00:99: not given to 02:00:00:77:00:02 until you confirm it."},
      {"taken by an unknown device", unknown,
       "192.168.77.50 is in use by another device: not given to 02:00:00:77:00:02 until you confirm it."},
      {"this computer", own,
       "192.168.77.50 is this computer's own address: not given to 02:00:00:77:00:02 until you confirm it."},
      {"declined", declined,
       "02:00:00:77:00:02 declined 192.168.77.50: address in use. Not given again until you confirm it."},
      {"free", free, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ConflictText(kAddress, c.record, device), c.text) << c.name;
  EXPECT_EQ(text::kAddressInUse, "address in use");
}

}  // namespace
}  // namespace corvessa
