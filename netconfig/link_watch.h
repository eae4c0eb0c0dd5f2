#pragma once
// Interfaces and IPv4 addresses as they come and go: USB adapters, docks and
// NetworkManager delete and re-create interfaces while the program runs. The
// kernel reports each change on a NETLINK_ROUTE socket; the owner watches
// Fd() for readability and calls Read() once per event.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvessa {

enum class LinkEventKind {
  LinkChanged,     // an interface appeared, or its flags or name changed
  LinkRemoved,     // an interface was deleted
  AddressAdded,    // an IPv4 address was added to an interface
  AddressRemoved,  // an IPv4 address was removed from an interface
  Overrun,         // changes were lost; everything must be looked at afresh
};

struct LinkEvent {
  LinkEventKind kind = LinkEventKind::Overrun;
  int index = 0;              // interface index
  std::string name;           // interface name, when the message carries it
  std::uint32_t address = 0;  // IPv4 address events: the address, host order

  bool operator==(const LinkEvent&) const = default;
};

// The events in one buffer of rtnetlink messages. Messages of other kinds,
// other address families and malformed ones give nothing; parsing stops at
// the first message whose header does not fit.
std::vector<LinkEvent> ParseLinkMessages(std::span<const std::uint8_t> buffer);

class LinkWatch {
 public:
  LinkWatch() = default;
  ~LinkWatch();
  LinkWatch(const LinkWatch&) = delete;
  LinkWatch& operator=(const LinkWatch&) = delete;

  // Subscribes to link and IPv4 address changes in the calling thread's
  // network namespace. False (with no socket) when the kernel refuses.
  [[nodiscard]] bool Open();
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  // Every event waiting now; never blocks. Messages that do not come from the
  // kernel are ignored.
  std::vector<LinkEvent> Read();

 private:
  int fd_ = -1;
};

}  // namespace corvessa
