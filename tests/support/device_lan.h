#pragma once
// A small plant network in network namespaces: the server's namespace, a
// switch (a bridge in a namespace of its own) and one namespace per device,
// each with its own hardware address. The server namespace can get a second
// interface to a namespace of its own, on which a capture proves that nothing
// leaves the server there. Everything is created by the test and removed when
// it ends; nothing touches the machine's own interfaces.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/background.h"

namespace corvessa::testsupport {

// "02:00:00:78:00:11" as six bytes; all zero when the text is no MAC.
std::array<std::uint8_t, 6> MacBytes(const std::string& text);

struct LanDevice {
  std::string ns;
  std::string iface;    // inside ns
  std::string mac;      // "02:00:00:..."
  std::string address;  // dotted, /24
};

class DeviceLan {
 public:
  DeviceLan() = default;
  ~DeviceLan() { Destroy(); }
  DeviceLan(const DeviceLan&) = delete;
  DeviceLan& operator=(const DeviceLan&) = delete;

  // `tag` (at most 4 characters) keeps the names of test binaries that run
  // side by side apart. The server's interface gets serverAddress/24.
  [[nodiscard]] bool Create(const std::string& tag, const std::string& serverAddress);
  // One more device on the switch; an empty address leaves it without one.
  [[nodiscard]] bool AddDevice(const std::string& mac, const std::string& address);
  // A second interface in the server namespace, with address/24, joined to a
  // namespace with nothing else in it; its end there gets peerAddress/24
  // unless that is empty.
  [[nodiscard]] bool AddSecondInterface(const std::string& address, const std::string& peerAddress = "");
  void Destroy();
  // Waits until every link carries frames: the kernel turns a new veth on
  // (and the bridge forwards on its port) only when its link watch runs, up
  // to a second later, or longer on a busy machine; a broadcast sent before
  // then is dropped without a word.
  [[nodiscard]] bool WaitForLinks() const;

  std::string InServer(const std::string& command) const;
  // The hardware address of the server's interface, as text.
  std::string ServerMac() const;
  std::string InDevice(std::size_t index, const std::string& command) const;

  std::string serverNs;
  std::string serverIf;
  std::string secondIf;
  std::vector<LanDevice> devices;

 private:
  std::string id_;
  std::string switchNs_;
  std::string sinkNs_;
};

// A capture with tshark on one interface of a namespace, made sure to be
// running before Start() returns: a marker datagram (UDP to port 9 of the
// limited broadcast, sent on that interface) is repeated until it shows.
class InterfaceCapture {
 public:
  InterfaceCapture(std::string ns, std::string iface, std::filesystem::path folder);
  ~InterfaceCapture();
  [[nodiscard]] bool Start();
  // Stops the capture and returns the IPv4 and ARP frames it saw besides the
  // markers, one tshark summary line each.
  std::vector<std::string> StopAndReadOthers();
  std::string Errors() const;

 private:
  bool SendMarker() const;

  std::string ns_;
  std::string iface_;
  std::filesystem::path folder_;
  std::unique_ptr<Background> tshark_;
};

}  // namespace corvessa::testsupport
