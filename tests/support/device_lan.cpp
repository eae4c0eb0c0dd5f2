#include "tests/support/device_lan.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "tests/support/background.h"
#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tshark.h"

namespace corvessa::testsupport {
namespace {

constexpr std::uint16_t kMarkerPort = 9;

bool RunAll(const std::vector<std::string>& steps) {
  for (const auto& step : steps) {
    if (Run(step + " >/dev/null 2>&1") != 0) return false;
  }
  return true;
}

}  // namespace

std::array<std::uint8_t, 6> MacBytes(const std::string& text) {
  std::array<unsigned, 6> parts{};
  std::array<std::uint8_t, 6> mac{};
  char end = 0;
  if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x%c", &parts[0], &parts[1], &parts[2], &parts[3], &parts[4],
                  &parts[5], &end) < 6) {
    return mac;
  }
  for (std::size_t i = 0; i < mac.size(); ++i) mac[i] = static_cast<std::uint8_t>(parts[i]);
  return mac;
}

bool DeviceLan::Create(const std::string& tag, const std::string& serverAddress) {
  id_ = tag + std::to_string(getpid() % 100000);
  serverNs = "cvs" + id_;
  switchNs_ = "cvw" + id_;
  serverIf = "vs" + id_;
  Destroy();
  const std::string switchPort = "ws" + id_;
  const bool created = RunAll({
      "ip netns add " + serverNs,
      "ip netns add " + switchNs_,
      "ip link add " + serverIf + " netns " + serverNs + " type veth peer name " + switchPort + " netns " + switchNs_,
      InNs(serverNs, "ip link set lo up"),
      // No IPv6 chatter: the captures look at what the code under test sends.
      InNs(serverNs, "sysctl -qw net.ipv6.conf.all.disable_ipv6=1"),
      InNs(serverNs, "ip addr add " + serverAddress + "/24 dev " + serverIf),
      InNs(serverNs, "ip link set " + serverIf + " up"),
      InNs(switchNs_, "ip link add br0 type bridge"),
      InNs(switchNs_, "ip link set " + switchPort + " master br0"),
      InNs(switchNs_, "ip link set " + switchPort + " up"),
      InNs(switchNs_, "ip link set br0 up"),
  });
  if (!created) Destroy();
  return created;
}

bool DeviceLan::AddDevice(const std::string& mac, const std::string& address) {
  const std::string k = std::to_string(devices.size() + 1);
  LanDevice device{"cvd" + k + id_, "vd" + k + id_, mac, address};
  const std::string port = "wd" + k + id_;
  devices.push_back(device);
  std::vector<std::string> steps = {
      "ip netns add " + device.ns,
      "ip link add " + device.iface + " netns " + device.ns + " type veth peer name " + port + " netns " + switchNs_,
      InNs(switchNs_, "ip link set " + port + " master br0"),
      InNs(switchNs_, "ip link set " + port + " up"),
      InNs(device.ns, "ip link set lo up"),
      InNs(device.ns, "sysctl -qw net.ipv6.conf.all.disable_ipv6=1"),
      InNs(device.ns, "ip link set dev " + device.iface + " address " + mac),
      InNs(device.ns, "ip link set " + device.iface + " up"),
  };
  if (!address.empty()) steps.push_back(InNs(device.ns, "ip addr add " + address + "/24 dev " + device.iface));
  return RunAll(steps);
}

bool DeviceLan::AddSecondInterface(const std::string& address, const std::string& peerAddress) {
  sinkNs_ = "cvk" + id_;
  secondIf = "vx" + id_;
  const std::string peer = "vk" + id_;
  std::vector<std::string> steps = {
      "ip netns add " + sinkNs_,
      "ip link add " + secondIf + " netns " + serverNs + " type veth peer name " + peer + " netns " + sinkNs_,
      InNs(serverNs, "ip addr add " + address + "/24 dev " + secondIf),
      InNs(serverNs, "ip link set " + secondIf + " up"),
      InNs(sinkNs_, "sysctl -qw net.ipv6.conf.all.disable_ipv6=1"),
      InNs(sinkNs_, "ip link set " + peer + " up"),
  };
  if (!peerAddress.empty()) steps.push_back(InNs(sinkNs_, "ip addr add " + peerAddress + "/24 dev " + peer));
  return RunAll(steps);
}

void DeviceLan::Destroy() {
  for (const LanDevice& device : devices) Run("ip netns del " + device.ns + " >/dev/null 2>&1");
  devices.clear();
  for (const std::string* ns : {&sinkNs_, &switchNs_, &serverNs}) {
    if (!ns->empty()) Run("ip netns del " + *ns + " >/dev/null 2>&1");
  }
}

bool DeviceLan::WaitForLinks() const {
  const auto up = [](const std::string& ns, const std::string& iface) {
    return RunOutput(InNs(ns, "cat /sys/class/net/" + iface + "/operstate")).rfind("up", 0) == 0;
  };
  const auto ready = [&] {
    if (!up(serverNs, serverIf)) return false;
    for (const LanDevice& device : devices) {
      if (!up(device.ns, device.iface)) return false;
    }
    // One line per port of the switch, each forwarding.
    const std::string ports = RunOutput(InNs(switchNs_, "bridge link show"));
    std::size_t forwarding = 0;
    for (std::size_t at = ports.find("state forwarding"); at != std::string::npos;
         at = ports.find("state forwarding", at + 1)) {
      ++forwarding;
    }
    return forwarding == devices.size() + 1;
  };
  return WaitUntil(ready, std::chrono::seconds(10));
}

std::string DeviceLan::InServer(const std::string& command) const { return InNs(serverNs, command); }

std::string DeviceLan::ServerMac() const {
  std::string mac = RunOutput(InServer("cat /sys/class/net/" + serverIf + "/address"));
  while (!mac.empty() && (mac.back() == '\n' || mac.back() == '\r')) mac.pop_back();
  return mac;
}

std::string DeviceLan::InDevice(std::size_t index, const std::string& command) const {
  return InNs(devices.at(index).ns, command);
}

InterfaceCapture::InterfaceCapture(std::string ns, std::string iface, std::filesystem::path folder)
    : ns_(std::move(ns)), iface_(std::move(iface)), folder_(std::move(folder)) {}

InterfaceCapture::~InterfaceCapture() {
  if (tshark_) tshark_->Stop(SIGINT, 10s);
}

bool InterfaceCapture::SendMarker() const {
  const NamespaceGuard inside(ns_);
  if (!inside.ok()) return false;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, iface_.c_str(), static_cast<socklen_t>(iface_.size()));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kMarkerPort);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  const char marker[] = "marker";
  const bool sent =
      ::sendto(fd, marker, sizeof marker, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) == sizeof marker;
  ::close(fd);
  return sent;
}

bool InterfaceCapture::Start() {
  const auto summary = folder_ / ("capture-" + iface_ + ".out");
  const auto errors = folder_ / ("capture-" + iface_ + ".err");
  const auto file = folder_ / ("capture-" + iface_ + ".pcap");
  const std::string home = folder_.string();
  tshark_ = std::make_unique<Background>(
      InNs(ns_, "env HOME='" + home + "' XDG_CONFIG_HOME='" + home + "' tshark -l -P -n -i " + iface_ + " -w '" +
                    file.string() + "'"),
      summary, errors);
  if (!WaitUntil([&] { return ReadWholeFile(errors).find("Capturing on") != std::string::npos; }, 15s)) return false;
  // tshark says it captures a little before frames really reach it.
  return WaitUntil(
      [&] {
        SendMarker();
        std::this_thread::sleep_for(100ms);
        return !ReadWholeFile(summary).empty();
      },
      15s);
}

std::vector<std::string> InterfaceCapture::StopAndReadOthers() {
  if (!tshark_) return {"no capture"};
  // Frames sent just now may not have reached tshark yet: a last marker that
  // shows in its summary comes after them.
  const auto summary = folder_ / ("capture-" + iface_ + ".out");
  const std::size_t before = Lines(ReadWholeFile(summary)).size();
  if (!WaitUntil(
          [&] {
            SendMarker();
            std::this_thread::sleep_for(100ms);
            return Lines(ReadWholeFile(summary)).size() > before;
          },
          15s)) {
    return {"the closing marker never showed"};
  }
  tshark_->Stop(SIGINT, 10s);
  tshark_.reset();
  const std::string home = folder_.string();
  const auto file = folder_ / ("capture-" + iface_ + ".pcap");
  const std::string out =
      RunOutput("HOME='" + home + "' XDG_CONFIG_HOME='" + home + "' tshark -n -r '" + file.string() +
                "' -Y '(ip or arp) and not udp.dstport == " + std::to_string(kMarkerPort) + "' 2>/dev/null; echo \"exit=$?\"");
  // An empty list must mean "nothing seen", never "tshark could not read it".
  const auto at = out.rfind("exit=");
  if (at == std::string::npos || out.substr(at) != "exit=0\n") return {"tshark failed: " + out};
  return Lines(out.substr(0, at));
}

std::string InterfaceCapture::Errors() const {
  return ReadWholeFile(folder_ / ("capture-" + iface_ + ".err"));
}

}  // namespace corvessa::testsupport
