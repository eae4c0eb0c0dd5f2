#pragma once
// The test network of a load run: a server and a client network namespace
// joined by a veth pair (10.77.0.1/16 on the server end, 10.77.200.1/16 on
// the client end), a temporary folder with the per-user settings that let the
// program start without a dialog, and the .bpc file of the fleet. Everything
// is removed again when the Lab ends; nothing touches the machine's own
// interfaces.

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/load/fleet.h"
#include "tests/support/netns.h"

namespace corvessa::load {

class Lab {
 public:
  // `tag`: at most 7 characters, part of the namespace and interface names.
  // Returns nullptr, with the reason in `error`, when a step fails.
  static std::unique_ptr<Lab> Create(const std::string& tag, const std::vector<Device>& fleet, std::string& error);
  ~Lab();
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  const testsupport::VethLink& Link() const { return link_; }
  const std::filesystem::path& Folder() const { return folder_; }
  std::filesystem::path ConfigHome() const { return folder_ / "config"; }
  // Where the program keeps unsaved relations when it is ended from outside.
  std::filesystem::path StateHome() const { return folder_ / "state"; }
  std::filesystem::path BpcFile() const { return folder_ / "fleet.bpc"; }

  // The environment the program needs: offscreen platform (unless
  // CORVESSA_BENCH_PLATFORM names another), our settings and state folders.
  std::vector<std::pair<std::string, std::string>> ProgramEnvironment() const;
  // argv for `ip netns exec <server ns> <program...>`.
  std::vector<std::string> InServer(const std::vector<std::string>& command) const;
  std::vector<std::string> InClient(const std::vector<std::string>& command) const;
  // Runs a shell command in the client namespace; its exit status.
  int RunInClient(const std::string& command) const;

 private:
  Lab() = default;
  bool Build(const std::string& tag, const std::vector<Device>& fleet, std::string& error);

  testsupport::VethLink link_;
  bool linked_ = false;
  std::filesystem::path folder_;
};

// The command that starts the program on the fleet's .bpc in the server namespace.
std::vector<std::string> CorvessaCommand(const Lab& lab, const std::string& program);

// dnsmasq with the same reservations, settings and infinite leases, DHCP and
// BOOTP only (no DNS), bound to the server veth, without a lease file, its
// log in the Lab's folder.
std::vector<std::string> DnsmasqCommand(const Lab& lab, const std::vector<Device>& fleet);

}  // namespace corvessa::load
