#pragma once
// firewalld read over the system bus with sd-bus. Only what needs no
// password is asked: the zone of an interface and the default zone always,
// the zone's settings only when polkit already grants them without asking
// (firewalld would otherwise have polkit ask the user for a password at
// every start). Nothing is ever activated: a firewalld that is not running
// stays off.

#include <memory>
#include <string>

#include "netconfig/linux_firewall.h"

struct sd_bus;

namespace corvessa {

inline constexpr const char* kFirewalldBusName = "org.fedoraproject.FirewallD1";
inline constexpr const char* kFirewalldPath = "/org/fedoraproject/FirewallD1";
inline constexpr const char* kFirewalldInterface = "org.fedoraproject.FirewallD1";
inline constexpr const char* kFirewalldZoneInterface = "org.fedoraproject.FirewallD1.zone";
inline constexpr const char* kFirewalldReadAction = "org.fedoraproject.FirewallD1.config.info";
inline constexpr const char* kPolkitBusName = "org.freedesktop.PolicyKit1";
inline constexpr const char* kPolkitPath = "/org/freedesktop/PolicyKit1/Authority";
inline constexpr const char* kPolkitInterface = "org.freedesktop.PolicyKit1.Authority";

class SdBusFirewalld final : public FirewalldSource {
 public:
  // `busAddress` empty: the system bus.
  explicit SdBusFirewalld(std::string busAddress = {});
  ~SdBusFirewalld() override;
  SdBusFirewalld(const SdBusFirewalld&) = delete;
  SdBusFirewalld& operator=(const SdBusFirewalld&) = delete;

  std::optional<std::string> DefaultZone() override;
  std::optional<std::string> ZoneOfInterface(std::string_view interfaceName) override;
  std::optional<FirewalldZone> Zone(std::string_view zoneName) override;

 private:
  sd_bus* Bus();
  // True when polkit grants reading zone settings without asking anyone.
  bool MayReadZones();

  std::string address_;
  sd_bus* bus_ = nullptr;
  bool opened_ = false;
};

}  // namespace corvessa
