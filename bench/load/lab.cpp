#include "bench/load/lab.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "files/bpc_writer.h"
#include "ui/settings_store.h"

namespace corvessa::load {

namespace {

constexpr const char* kVersionSection = "Version 3.06.00";

}  // namespace

std::unique_ptr<Lab> Lab::Create(const std::string& tag, const std::vector<Device>& fleet, std::string& error) {
  std::unique_ptr<Lab> lab(new Lab());
  if (!lab->Build(tag, fleet, error)) return nullptr;
  return lab;
}

bool Lab::Build(const std::string& tag, const std::vector<Device>& fleet, std::string& error) {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvessa-load-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot create a temporary folder";
    return false;
  }
  folder_ = pattern;

  if (!testsupport::CreateVethLink(link_, tag, DottedText(kServerAddress), kNetworkPrefix)) {
    error = "cannot create the network namespaces and the veth pair";
    return false;
  }
  linked_ = true;
  const std::string clientAddress = DottedText(kClientAddress) + "/" + std::to_string(kNetworkPrefix);
  if (testsupport::Run(testsupport::InNs(link_.clientNs, "ip addr add " + clientAddress + " dev " + link_.clientIf)) !=
      0) {
    error = "cannot give the client end its address";
    return false;
  }

  // What the interface choice and the settings dialog would have left, so
  // that the program starts straight into its window.
  SettingsStore store((ConfigHome() / "Merrowin Software" / "corvessa.conf").string());
  const NetworkSettings settings = FleetSettings();
  const bool stored = store.SetString(kVersionSection, "lastadapter", link_.serverIf) &&
                      store.SetString(link_.serverIf, "ipaddress", link_.serverAddress) &&
                      store.SetDword(link_.serverIf, "subnetmask", settings.subnetMask) &&
                      store.SetDword(link_.serverIf, "gateway", settings.gateway) &&
                      store.SetDword(link_.serverIf, "dns1", settings.dns1) &&
                      store.SetDword(link_.serverIf, "dns2", settings.dns2) &&
                      store.SetString(link_.serverIf, "domainname", settings.DomainName());
  if (!stored) {
    error = "cannot write the settings file";
    return false;
  }
  std::filesystem::create_directories(folder_ / "runtime");
  std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all);

  RelationTable table;
  FillRelationTable(fleet, table);
  const std::vector<std::uint8_t> bpc = WriteBpc(settings, table);
  std::ofstream out(BpcFile(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bpc.data()), static_cast<std::streamsize>(bpc.size()));
  out.close();
  if (!out) {
    error = "cannot write the .bpc file";
    return false;
  }
  return true;
}

Lab::~Lab() {
  if (linked_) testsupport::DestroyVethLink(link_);
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::pair<std::string, std::string>> Lab::ProgramEnvironment() const {
  // CORVESSA_BENCH_PLATFORM=xcb (under xvfb-run, say) draws the window on the
  // caller's X display, whose flushes cost more than offscreen painting.
  const char* platform = std::getenv("CORVESSA_BENCH_PLATFORM");
  return {{"QT_QPA_PLATFORM", platform != nullptr && *platform != '\0' ? platform : "offscreen"},
          {"XDG_CONFIG_HOME", ConfigHome().string()},
          {"XDG_STATE_HOME", StateHome().string()},
          {"XDG_RUNTIME_DIR", (folder_ / "runtime").string()}};
}

std::vector<std::string> Lab::InServer(const std::vector<std::string>& command) const {
  std::vector<std::string> argv = {"ip", "netns", "exec", link_.serverNs};
  argv.insert(argv.end(), command.begin(), command.end());
  return argv;
}

std::vector<std::string> Lab::InClient(const std::vector<std::string>& command) const {
  std::vector<std::string> argv = {"ip", "netns", "exec", link_.clientNs};
  argv.insert(argv.end(), command.begin(), command.end());
  return argv;
}

int Lab::RunInClient(const std::string& command) const {
  return testsupport::Run(testsupport::InNs(link_.clientNs, command));
}

std::vector<std::string> CorvessaCommand(const Lab& lab, const std::string& program) {
  return lab.InServer({program, lab.BpcFile().string()});
}

std::vector<std::string> DnsmasqCommand(const Lab& lab, const std::vector<Device>& fleet) {
  const NetworkSettings settings = FleetSettings();
  std::vector<std::string> command = {
      "dnsmasq",
      "--no-daemon",
      "--conf-file=/dev/null",
      "--port=0",
      "--interface=" + lab.Link().serverIf,
      "--bind-interfaces",
      // Reservations only: addresses go to listed hardware addresses, as with Corvessa.
      "--dhcp-range=" + DottedText(kServerAddress & kSubnetMask) + ",static," + DottedText(kSubnetMask) + ",infinite",
      "--bootp-dynamic",
      "--no-ping",
      // No lease file: Corvessa keeps no lease state either, and nothing of a
      // benchmark belongs on the disk.
      "--leasefile-ro",
      "--pid-file=" + (lab.Folder() / "dnsmasq.pid").string(),
      "--log-facility=" + (lab.Folder() / "dnsmasq.log").string(),
      "--dhcp-option=option:router," + DottedText(settings.gateway),
      "--dhcp-option=option:dns-server," + DottedText(settings.dns1) + "," + DottedText(settings.dns2),
      "--dhcp-option=option:domain-name," + settings.DomainName(),
  };
  for (const Device& device : fleet) {
    command.push_back("--dhcp-host=" + MacText(device.mac) + "," + DottedText(device.ipAddress) + "," +
                      device.hostname + ",infinite");
  }
  return lab.InServer(command);
}

}  // namespace corvessa::load
