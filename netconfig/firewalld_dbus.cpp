#include "netconfig/firewalld_dbus.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

namespace corvessa {

namespace {

// firewalld answers at once; a start-up must not hang on a bus that does not.
constexpr std::uint64_t kCallTimeoutUs = 2'000'000;

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// One method call that never starts a service which is not running; nullptr
// when it fails for any reason.
Message Call(sd_bus* bus, const char* destination, const char* path, const char* interface, const char* member,
             const std::function<int(sd_bus_message*)>& appendArguments) {
  if (bus == nullptr) return nullptr;
  sd_bus_message* raw = nullptr;
  if (sd_bus_message_new_method_call(bus, &raw, destination, path, interface, member) < 0) return nullptr;
  const Message call(raw);
  if (sd_bus_message_set_auto_start(call.get(), 0) < 0) return nullptr;
  if (appendArguments && appendArguments(call.get()) < 0) return nullptr;
  // Zero-filled, as SD_BUS_ERROR_NULL makes it (a C compound literal).
  sd_bus_error error{};
  sd_bus_message* reply = nullptr;
  const int result = sd_bus_call(bus, call.get(), kCallTimeoutUs, &error, &reply);
  sd_bus_error_free(&error);
  if (result < 0) return nullptr;
  return Message(reply);
}

std::optional<std::string> ReadString(const Message& reply) {
  const char* text = nullptr;
  if (!reply || sd_bus_message_read(reply.get(), "s", &text) < 0 || text == nullptr) return std::nullopt;
  return std::string(text);
}

// The strings of an "as" that the reply is positioned at.
bool ReadStrings(sd_bus_message* reply, std::vector<std::string>& strings) {
  if (sd_bus_message_enter_container(reply, 'a', "s") < 0) return false;
  const char* text = nullptr;
  int r = 0;
  while ((r = sd_bus_message_read(reply, "s", &text)) > 0) strings.emplace_back(text);
  return r == 0 && sd_bus_message_exit_container(reply) >= 0;
}

bool ReadPorts(sd_bus_message* reply, std::vector<std::pair<std::string, std::string>>& ports) {
  if (sd_bus_message_enter_container(reply, 'a', "(ss)") < 0) return false;
  const char* port = nullptr;
  const char* protocol = nullptr;
  int r = 0;
  while ((r = sd_bus_message_read(reply, "(ss)", &port, &protocol)) > 0) ports.emplace_back(port, protocol);
  return r == 0 && sd_bus_message_exit_container(reply) >= 0;
}

// One value of the settings dictionary; values of other names or types are
// skipped.
bool ReadZoneValue(sd_bus_message* reply, std::string_view key, FirewalldZone& zone) {
  char type = 0;
  const char* contents = nullptr;
  if (sd_bus_message_peek_type(reply, &type, &contents) < 0 || type != 'v' || contents == nullptr) return false;
  const std::string_view signature(contents);
  std::vector<std::string>* strings = key == "services"    ? &zone.services
                                      : key == "protocols" ? &zone.protocols
                                      : key == "rules_str" ? &zone.richRules
                                                           : nullptr;
  const bool wanted = (key == "target" && signature == "s") || (strings != nullptr && signature == "as") ||
                      (key == "ports" && signature == "a(ss)");
  if (!wanted) return sd_bus_message_skip(reply, "v") >= 0;
  if (sd_bus_message_enter_container(reply, 'v', contents) < 0) return false;
  bool read = false;
  if (key == "target") {
    const char* text = nullptr;
    read = sd_bus_message_read(reply, "s", &text) >= 0 && text != nullptr;
    if (read) zone.target = text;
  } else if (strings != nullptr) {
    read = ReadStrings(reply, *strings);
  } else {
    read = ReadPorts(reply, zone.ports);
  }
  return read && sd_bus_message_exit_container(reply) >= 0;
}

std::optional<FirewalldZone> ReadZoneSettings(const Message& reply) {
  if (!reply || sd_bus_message_enter_container(reply.get(), 'a', "{sv}") < 0) return std::nullopt;
  FirewalldZone zone;
  int r = 0;
  while ((r = sd_bus_message_enter_container(reply.get(), 'e', "sv")) > 0) {
    const char* key = nullptr;
    if (sd_bus_message_read(reply.get(), "s", &key) < 0 || key == nullptr) return std::nullopt;
    if (!ReadZoneValue(reply.get(), key, zone)) return std::nullopt;
    if (sd_bus_message_exit_container(reply.get()) < 0) return std::nullopt;
  }
  if (r < 0 || sd_bus_message_exit_container(reply.get()) < 0) return std::nullopt;
  return zone;
}

}  // namespace

SdBusFirewalld::SdBusFirewalld(std::string busAddress) : address_(std::move(busAddress)) {}

SdBusFirewalld::~SdBusFirewalld() {
  if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
}

sd_bus* SdBusFirewalld::Bus() {
  if (opened_) return bus_;
  opened_ = true;
  sd_bus* bus = nullptr;
  if (address_.empty()) {
    if (sd_bus_open_system(&bus) < 0) return nullptr;
  } else {
    if (sd_bus_new(&bus) < 0) return nullptr;
    if (sd_bus_set_address(bus, address_.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
      sd_bus_unref(bus);
      return nullptr;
    }
  }
  (void)sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
  bus_ = bus;
  return bus_;
}

std::optional<std::string> SdBusFirewalld::DefaultZone() {
  return ReadString(Call(Bus(), kFirewalldBusName, kFirewalldPath, kFirewalldInterface, "getDefaultZone", {}));
}

std::optional<std::string> SdBusFirewalld::ZoneOfInterface(std::string_view interfaceName) {
  const std::string name(interfaceName);
  return ReadString(Call(Bus(), kFirewalldBusName, kFirewalldPath, kFirewalldZoneInterface, "getZoneOfInterface",
                         [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", name.c_str()); }));
}

std::optional<FirewalldZone> SdBusFirewalld::Zone(std::string_view zoneName) {
  if (!MayReadZones()) return std::nullopt;
  const std::string name(zoneName);
  return ReadZoneSettings(Call(Bus(), kFirewalldBusName, kFirewalldPath, kFirewalldZoneInterface, "getZoneSettings2",
                               [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", name.c_str()); }));
}

bool SdBusFirewalld::MayReadZones() {
  sd_bus* bus = Bus();
  if (bus == nullptr) return false;
  const char* unique = nullptr;
  if (sd_bus_get_unique_name(bus, &unique) < 0 || unique == nullptr) return false;
  // Flags 0: polkit answers without asking anybody for a password.
  const Message reply =
      Call(bus, kPolkitBusName, kPolkitPath, kPolkitInterface, "CheckAuthorization", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "(sa{sv})sa{ss}us", "system-bus-name", 1, "name", "s", unique,
                                     kFirewalldReadAction, 0, static_cast<std::uint32_t>(0), "");
      });
  if (!reply) {
    // Without polkit firewalld lets only root read its settings.
    return geteuid() == 0;
  }
  int authorized = 0;
  int challenge = 0;
  if (sd_bus_message_enter_container(reply.get(), 'r', "bba{ss}") < 0) return false;
  if (sd_bus_message_read(reply.get(), "bb", &authorized, &challenge) < 0) return false;
  return authorized != 0;
}

}  // namespace corvessa
