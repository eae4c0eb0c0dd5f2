#pragma once
// Which addresses may be handed out now. Each address is probed once per run
// before its first reply (OFFER, ACK or BOOTREPLY); the request that has to
// wait for the probe is kept and answered when the probe finds the address
// free. An address that another device holds, or that a listed device
// declined, is not handed out until the user confirms it. Plain logic: the
// server runtime asks and acts, the probe supplies the results.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "netconfig/neighbour_table.h"
#include "server/address_probe.h"
#include "server/bootp_message.h"

namespace corvessa {

enum class AddressState {
  Unprobed,   // not handed out in this run, not probed yet
  Probing,    // a probe runs; the newest request waits for it
  Free,       // nobody else answered: served
  Taken,      // another device answers at the address: refused
  Declined,   // the listed device declined it (DHCPDECLINE): refused
  Confirmed,  // the user confirmed it after a conflict: served
};

enum class GuardAction {
  Serve,       // answer the request now
  StartProbe,  // start a probe of the address; the request is kept
  Hold,        // a probe runs; the request is kept in place of the one before
  Refuse,      // in conflict: no reply until the user confirms
};

struct AddressRecord {
  AddressState state = AddressState::Unprobed;
  // The device whose request started the probe; its own answer is no conflict.
  HardwareAddress requester{};
  // Taken: what answered, and its hardware address where known.
  ProbeEvidence evidence = ProbeEvidence::Nothing;
  std::optional<HardwareAddress> holder;
  // Probing: the newest request, answered once the address is found free.
  std::optional<BootpMessage> kept;
};

// What a finished probe means.
struct ProbeOutcome {
  std::uint32_t address = 0;
  AddressState state = AddressState::Unprobed;  // Free or Taken; Unprobed when nobody waited for the probe
  std::optional<HardwareAddress> holder;
  // Free: the kept request, to be answered as if it had just arrived.
  std::optional<BootpMessage> answerNow;
};

class AddressGuard {
 public:
  // A request from `requester` that would be answered with `address`.
  GuardAction OnRequest(std::uint32_t address, const HardwareAddress& requester, const BootpMessage& request);
  // A probe ended. The requester's own answer (its hardware address holds the
  // address) leaves the address free.
  ProbeOutcome OnProbeResult(const ProbeResult& result);
  // No probe can run (the interface has no usable socket): rather than never
  // serving, the address is served unprobed. Returns the kept request.
  std::optional<BootpMessage> ProbeUnavailable(std::uint32_t address);
  // A DHCPDECLINE from the listed device whose relation has `relationAddress`.
  // A decline that names another address (option 50) is not about this
  // relation and changes nothing. True when the address is now declined.
  bool OnDecline(std::uint32_t relationAddress, const BootpMessage& decline);
  // The user confirms an address in conflict: it is served from now on.
  void Confirm(std::uint32_t address);
  // Probe it again before its next reply (after the user removed the other device).
  void Reprobe(std::uint32_t address);
  // A new run: the server started, or on another interface.
  void Reset() { records_.clear(); }

  AddressState State(std::uint32_t address) const;
  const AddressRecord* Find(std::uint32_t address) const;
  // Addresses refused until the user confirms them.
  std::vector<std::uint32_t> Conflicts() const;

 private:
  std::map<std::uint32_t, AddressRecord> records_;
};

// The address a DHCPDECLINE names (option 50), when it names one.
std::optional<std::uint32_t> DeclinedAddress(const BootpMessage& decline);

}  // namespace corvessa
