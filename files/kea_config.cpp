#include "files/kea_config.h"

#include "core/ascii.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "core/address.h"

namespace corvessa {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::uint32_t kInfiniteLifetime = 0xFFFFFFFF;
constexpr std::string_view kBootpHook = "libdhcp_bootp.so";
constexpr std::string_view kHaHook = "libdhcp_ha.so";
// The HA hook sends lease updates through the lease commands of this hook.
constexpr std::string_view kLeaseCommandsHook = "libdhcp_lease_cmds.so";
constexpr std::string_view kPrimaryName = "primary";
constexpr std::string_view kStandbyName = "standby";

// A text option as exact bytes: plain tokens as text, anything else (commas,
// quotes, blanks, non-ASCII) as raw hexadecimal, which Kea sends unchanged.
Json TextOption(std::string_view name, std::string_view value) {
  Json option = {{"name", name}};
  if (IsPlainToken(value)) {
    option["data"] = value;
  } else {
    option["csv-format"] = false;
    option["data"] = ToHex(value);
  }
  // BOOTP requests carry no parameter list, and the settings go to every
  // device as the commissioning server sends them.
  option["always-send"] = true;
  return option;
}

Json AddressOption(std::string_view name, const std::vector<std::uint32_t>& addresses) {
  std::string data;
  for (const std::uint32_t address : addresses) {
    if (!data.empty()) data += ", ";
    data += IpToText(address);
  }
  return {{"name", name}, {"data", data}, {"always-send", true}};
}

std::string HookPath(const KeaOptions& options, std::string_view library) {
  std::string path = options.hooksDirectory;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + std::string(library);
}

Json Reservation(const Relation& relation) {
  Json reservation = {{"hw-address", LowerAscii(RelationMacText(relation))},
                      {"ip-address", IpToText(relation.ipAddress)}};
  const std::string_view hostname = HostnameText(relation);
  if (!hostname.empty()) {
    // Kea sends a reserved "hostname" in lower case; the option carries the
    // name exactly. The name is written only where both agree.
    if (IsPlainToken(hostname) && LowerAscii(hostname) == hostname) reservation["hostname"] = hostname;
    reservation["option-data"] = Json::array({TextOption("host-name", hostname)});
  }
  const std::string_view description = DescriptionText(relation);
  if (!description.empty()) reservation["user-context"] = {{"comment", description}};
  return reservation;
}

Json HighAvailabilityHook(const KeaOptions& options, const KeaHighAvailability& ha) {
  const bool primary = ha.thisServer == KeaHighAvailability::Role::Primary;
  Json pair = {
      {"this-server-name", primary ? kPrimaryName : kStandbyName},
      {"mode", "hot-standby"},
      {"heartbeat-delay", ha.heartbeatDelayMs},
      {"max-response-delay", ha.maxResponseDelayMs},
      {"max-ack-delay", 5000},
      {"max-unacked-clients", 0},
      // Each server listens for its partner itself; no control agent needed.
      {"multi-threading",
       {{"enable-multi-threading", true},
        {"http-dedicated-listener", true},
        {"http-listener-threads", 0},
        {"http-client-threads", 0}}},
      {"peers",
       Json::array({{{"name", kPrimaryName}, {"url", ha.primaryUrl}, {"role", "primary"}, {"auto-failover", true}},
                    {{"name", kStandbyName}, {"url", ha.standbyUrl}, {"role", "standby"}, {"auto-failover", true}}})}};
  return {{"library", HookPath(options, kHaHook)}, {"parameters", {{"high-availability", Json::array({pair})}}}};
}

std::vector<std::string> CheckKeaOptions(const KeaOptions& options) {
  std::vector<std::string> problems;
  const auto unsafe = [](std::string_view path) {
    return path.empty() || path.front() != '/' || HasControlCharacter(path) || !IsValidUtf8(path);
  };
  if ((options.bootpHook || options.highAvailability) && unsafe(options.hooksDirectory)) {
    problems.push_back("The Kea hooks folder must be an absolute path.");
  }
  if (unsafe(options.leaseFile)) problems.push_back("The Kea lease file must be an absolute path.");
  if (const auto& ha = options.highAvailability) {
    if (!IsKeaPeerUrl(ha->primaryUrl)) {
      problems.push_back("The primary server's URL '" + ha->primaryUrl + "' is not of the form http://host:port/.");
    }
    if (!IsKeaPeerUrl(ha->standbyUrl)) {
      problems.push_back("The standby server's URL '" + ha->standbyUrl + "' is not of the form http://host:port/.");
    }
    if (ha->primaryUrl == ha->standbyUrl) problems.push_back("The two servers of the pair need different URLs.");
  }
  return problems;
}

}  // namespace

std::string DefaultKeaHooksDirectory() {
#if defined(__x86_64__)
  constexpr std::string_view kMultiarch = "x86_64-linux-gnu";
#elif defined(__aarch64__)
  constexpr std::string_view kMultiarch = "aarch64-linux-gnu";
#elif defined(__arm__) && defined(__ARM_PCS_VFP)
  constexpr std::string_view kMultiarch = "arm-linux-gnueabihf";
#elif defined(__arm__)
  constexpr std::string_view kMultiarch = "arm-linux-gnueabi";
#elif defined(__i386__)
  constexpr std::string_view kMultiarch = "i386-linux-gnu";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr std::string_view kMultiarch = "powerpc64le-linux-gnu";
#elif defined(__s390x__)
  constexpr std::string_view kMultiarch = "s390x-linux-gnu";
#elif defined(__riscv) && __riscv_xlen == 64
  constexpr std::string_view kMultiarch = "riscv64-linux-gnu";
#elif defined(__mips__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ && defined(__LP64__)
  constexpr std::string_view kMultiarch = "mips64el-linux-gnuabi64";
#else
  constexpr std::string_view kMultiarch = "x86_64-linux-gnu";
#endif
  return "/usr/lib/" + std::string(kMultiarch) + "/kea/hooks";
}

bool IsKeaPeerUrl(std::string_view url) {
  constexpr std::string_view kScheme = "http://";
  if (url.substr(0, kScheme.size()) != kScheme) return false;
  std::string_view rest = url.substr(kScheme.size());
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  const std::string_view host = rest.substr(0, colon);
  const std::string_view port = rest.substr(colon + 1);
  if (!IsPlainToken(host) || port.empty() || port.size() > 5) return false;
  if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  const int number = std::stoi(std::string(port));
  return number > 0 && number <= 65535;
}

HandoffExport WriteKeaConfig(const HandoffSource& source, const KeaOptions& options) {
  HandoffExport result;
  result.problems = CheckHandoffSource(source);
  for (auto& problem : CheckKeaOptions(options)) result.problems.push_back(std::move(problem));
  for (const auto& relation : source.relations) {
    if (!IsValidUtf8(DescriptionText(*relation))) {
      result.problems.push_back("The description of " + RelationMacText(*relation) +
                                " is not UTF-8 text, which a Kea configuration cannot carry.");
    }
  }
  if (!result.Succeeded()) return result;

  const NetworkSettings& settings = source.settings;
  Json optionData = Json::array();
  if (settings.gateway != 0) optionData.push_back(AddressOption("routers", {settings.gateway}));
  std::vector<std::uint32_t> nameServers;
  for (const std::uint32_t server : {settings.dns1, settings.dns2}) {
    if (server != 0) nameServers.push_back(server);
  }
  if (!nameServers.empty()) optionData.push_back(AddressOption("domain-name-servers", nameServers));
  if (settings.HasDomainName()) optionData.push_back(TextOption("domain-name", settings.DomainName()));

  Json reservations = Json::array();
  for (const auto& relation : source.relations) reservations.push_back(Reservation(*relation));

  Json subnet = {{"id", 1},
                 {"subnet", IpToText(NetworkAddress(source)) + "/" + std::to_string(PrefixLength(settings.subnetMask))},
                 {"interface", source.interfaceName},
                 // No pools: only the reserved devices get an address.
                 {"reservations-global", false},
                 {"reservations-in-subnet", true},
                 {"reservations-out-of-pool", true},
                 {"option-data", optionData},
                 {"reservations", reservations}};

  Json hooks = Json::array();
  if (options.bootpHook) hooks.push_back({{"library", HookPath(options, kBootpHook)}});
  if (options.highAvailability) {
    hooks.push_back({{"library", HookPath(options, kLeaseCommandsHook)}});
    hooks.push_back(HighAvailabilityHook(options, *options.highAvailability));
  }

  Json dhcp4 = {{"interfaces-config", {{"interfaces", Json::array({source.interfaceName})}}},
                {"lease-database", {{"type", "memfile"}, {"persist", true}, {"name", options.leaseFile}}},
                // Infinite leases, as the commissioning server hands them out.
                {"valid-lifetime", kInfiniteLifetime},
                {"min-valid-lifetime", kInfiniteLifetime},
                {"max-valid-lifetime", kInfiniteLifetime}};
  if (options.highAvailability) {
    dhcp4["multi-threading"] = {{"enable-multi-threading", true}, {"thread-pool-size", 4}, {"packet-queue-size", 64}};
  }
  if (!hooks.empty()) dhcp4["hooks-libraries"] = hooks;
  // Without a reservation a DHCP request finds no address and stays
  // unanswered, but the BOOTP hook would still send an empty reply: requests
  // from devices that are not listed are dropped before either happens.
  dhcp4["client-classes"] = Json::array({{{"name", "DROP"}, {"test", "not member('KNOWN')"}}});
  dhcp4["subnet4"] = Json::array({subnet});

  const Json config = {{"Dhcp4", dhcp4}};
  result.text = "// kea-dhcp4 configuration for the " + std::to_string(source.relations.Count()) +
                " devices listed on " + source.interfaceName + ".\n";
  if (options.highAvailability) {
    result.text += std::string("// This file is for the ") +
                   (options.highAvailability->thisServer == KeaHighAvailability::Role::Primary ? "primary"
                                                                                               : "standby") +
                   " server of a hot-standby pair.\n";
  }
  result.text += config.dump(2) + "\n";
  return result;
}

}  // namespace corvessa
