// The firewalld reader against a firewalld and polkit of the test's own on a
// private bus: what goes over the bus is read back as firewalld sends it, and
// zone settings are asked for only when polkit grants them without asking
// the user.

#include <gtest/gtest.h>
#include <signal.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "netconfig/firewalld_dbus.h"
#include "tests/support/netns.h"
#include "tests/support/temp_folder.h"

namespace corvessa {

void PrintTo(const FirewalldZone& zone, std::ostream* out) {
  *out << "{" << zone.target << ", " << zone.services.size() << " services, " << zone.ports.size() << " ports, "
       << zone.protocols.size() << " protocols, " << zone.richRules.size() << " rules}";
}

namespace {

using namespace std::chrono_literals;

// firewalld and polkit as far as the reader asks them, served from one
// connection on its own thread.
class FakeFirewalld {
 public:
  std::string interfaceZone;  // what getZoneOfInterface answers
  std::string defaultZone = "public";
  std::map<std::string, FirewalldZone> zones;
  bool authorized = false;  // polkit's answer for reading zone settings

  struct PolkitQuestion {
    std::string subjectKind;
    std::string subjectName;
    std::string caller;
    std::string action;
    std::uint32_t flags = 0;
  };

  bool Start(const std::string& address) {
    if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 || sd_bus_set_bus_client(bus_, 1) < 0 ||
        sd_bus_start(bus_) < 0) {
      return false;
    }
    if (sd_bus_request_name(bus_, kFirewalldBusName, 0) < 0 || sd_bus_request_name(bus_, kPolkitBusName, 0) < 0) {
      return false;
    }
    if (sd_bus_add_object_vtable(bus_, nullptr, kFirewalldPath, kFirewalldInterface, kMainTable, this) < 0 ||
        sd_bus_add_object_vtable(bus_, nullptr, kFirewalldPath, kFirewalldZoneInterface, kZoneTable, this) < 0 ||
        sd_bus_add_object_vtable(bus_, nullptr, kPolkitPath, kPolkitInterface, kPolkitTable, this) < 0) {
      return false;
    }
    thread_ = std::thread([this] {
      while (!stop_) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r < 0) break;
        if (r == 0) sd_bus_wait(bus_, 50'000);
      }
    });
    return true;
  }

  ~FakeFirewalld() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
  }

  std::vector<std::string> Calls() {
    std::lock_guard held(mutex_);
    return calls_;
  }
  std::vector<PolkitQuestion> Questions() {
    std::lock_guard held(mutex_);
    return questions_;
  }

 private:
  static FakeFirewalld& Self(void* data) { return *static_cast<FakeFirewalld*>(data); }
  void Note(const std::string& call) {
    std::lock_guard held(mutex_);
    calls_.push_back(call);
  }

  static int GetDefaultZone(sd_bus_message* m, void* data, sd_bus_error*) {
    Self(data).Note("getDefaultZone");
    return sd_bus_reply_method_return(m, "s", Self(data).defaultZone.c_str());
  }
  static int GetZoneOfInterface(sd_bus_message* m, void* data, sd_bus_error*) {
    const char* name = nullptr;
    if (sd_bus_message_read(m, "s", &name) < 0) return -EINVAL;
    Self(data).Note(std::string("getZoneOfInterface ") + name);
    return sd_bus_reply_method_return(m, "s", Self(data).interfaceZone.c_str());
  }
  // The settings dictionary as firewalld sends it, with the values the
  // reader does not need among those it does.
  static int GetZoneSettings2(sd_bus_message* m, void* data, sd_bus_error* error) {
    const char* name = nullptr;
    if (sd_bus_message_read(m, "s", &name) < 0) return -EINVAL;
    FakeFirewalld& self = Self(data);
    self.Note(std::string("getZoneSettings2 ") + name);
    const auto zone = self.zones.find(name);
    if (zone == self.zones.end()) {
      return sd_bus_error_set(error, "org.fedoraproject.FirewallD1.Exception", "INVALID_ZONE");
    }
    sd_bus_message* reply = nullptr;
    if (sd_bus_message_new_method_return(m, &reply) < 0) return -ENOMEM;
    const auto strings = [&](const char* key, const std::vector<std::string>& values) {
      sd_bus_message_open_container(reply, 'e', "sv");
      sd_bus_message_append(reply, "s", key);
      sd_bus_message_open_container(reply, 'v', "as");
      sd_bus_message_open_container(reply, 'a', "s");
      for (const std::string& value : values) sd_bus_message_append(reply, "s", value.c_str());
      sd_bus_message_close_container(reply);
      sd_bus_message_close_container(reply);
      sd_bus_message_close_container(reply);
    };
    sd_bus_message_open_container(reply, 'a', "{sv}");
    sd_bus_message_append(reply, "{sv}", "version", "s", "");
    sd_bus_message_append(reply, "{sv}", "short", "s", "Public");
    sd_bus_message_append(reply, "{sv}", "target", "s", zone->second.target.c_str());
    strings("services", zone->second.services);
    sd_bus_message_open_container(reply, 'e', "sv");
    sd_bus_message_append(reply, "s", "ports");
    sd_bus_message_open_container(reply, 'v', "a(ss)");
    sd_bus_message_open_container(reply, 'a', "(ss)");
    for (const auto& [port, protocol] : zone->second.ports) {
      sd_bus_message_append(reply, "(ss)", port.c_str(), protocol.c_str());
    }
    sd_bus_message_close_container(reply);
    sd_bus_message_close_container(reply);
    sd_bus_message_close_container(reply);
    sd_bus_message_append(reply, "{sv}", "masquerade", "b", 0);
    sd_bus_message_open_container(reply, 'e', "sv");
    sd_bus_message_append(reply, "s", "forward_ports");
    sd_bus_message_append(reply, "v", "a(ssss)", 1, "22", "tcp", "2222", "");
    sd_bus_message_close_container(reply);
    strings("protocols", zone->second.protocols);
    strings("rules_str", zone->second.richRules);
    strings("interfaces", {"enp3s0"});
    sd_bus_message_append(reply, "{sv}", "icmp_block_inversion", "b", 0);
    // A key the reader knows, with a type it does not expect: skipped.
    sd_bus_message_append(reply, "{sv}", "services", "s", "not a list");
    sd_bus_message_close_container(reply);
    const int r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
  }
  static int CheckAuthorization(sd_bus_message* m, void* data, sd_bus_error*) {
    FakeFirewalld& self = Self(data);
    PolkitQuestion question;
    const char* kind = nullptr;
    if (sd_bus_message_enter_container(m, 'r', "sa{sv}") < 0 || sd_bus_message_read(m, "s", &kind) < 0) return -EINVAL;
    question.subjectKind = kind;
    if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0) return -EINVAL;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
      const char* key = nullptr;
      const char* value = nullptr;
      sd_bus_message_read(m, "s", &key);
      if (std::string_view(key) == "name" && sd_bus_message_read(m, "v", "s", &value) >= 0) {
        question.subjectName = value;
      } else {
        sd_bus_message_skip(m, "v");
      }
      sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    sd_bus_message_exit_container(m);
    const char* action = nullptr;
    sd_bus_message_read(m, "s", &action);
    question.action = action;
    sd_bus_message_skip(m, "a{ss}");
    sd_bus_message_read(m, "u", &question.flags);
    question.caller = sd_bus_message_get_sender(m);
    {
      std::lock_guard held(self.mutex_);
      self.questions_.push_back(question);
    }
    sd_bus_message* reply = nullptr;
    if (sd_bus_message_new_method_return(m, &reply) < 0) return -ENOMEM;
    sd_bus_message_append(reply, "(bba{ss})", self.authorized ? 1 : 0, self.authorized ? 0 : 1, 0);
    const int r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
  }

  static constexpr sd_bus_vtable kMainTable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("getDefaultZone", "", "s", GetDefaultZone, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };
  static constexpr sd_bus_vtable kZoneTable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("getZoneOfInterface", "s", "s", GetZoneOfInterface, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("getZoneSettings2", "s", "a{sv}", GetZoneSettings2, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };
  static constexpr sd_bus_vtable kPolkitTable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("CheckAuthorization", "(sa{sv})sa{ss}us", "(bba{ss})", CheckAuthorization,
                    SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };

  sd_bus* bus_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<PolkitQuestion> questions_;
};

class FirewalldBus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::Run("command -v dbus-daemon >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "tool not installed: dbus-daemon";
    }
    ASSERT_TRUE(folder_.ok());
    address_ = "unix:path=" + folder_.File("bus");
    const std::string pid = testsupport::RunOutput("dbus-daemon --session --fork --nopidfile --print-pid=1 --address=" +
                                                   address_ + " 2>/dev/null");
    daemon_ = std::atoi(pid.c_str());
    ASSERT_GT(daemon_, 0) << "dbus-daemon did not start";
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!std::filesystem::exists(folder_.File("bus")) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(10ms);
    }
  }
  void TearDown() override {
    if (daemon_ > 0) kill(daemon_, SIGTERM);
  }

  testsupport::TempFolder folder_{"dbus"};
  std::string address_;
  pid_t daemon_ = 0;
};

TEST_F(FirewalldBus, ReadsZonesAsFirewalldSendsThem) {
  FakeFirewalld firewalld;
  firewalld.interfaceZone = "";
  firewalld.authorized = true;
  const FirewalldZone publicZone{"default",
                                 {"ssh", "dhcpv6-client"},
                                 {{"8080", "tcp"}, {"60-70", "udp"}},
                                 {"igmp"},
                                 {"rule family=\"ipv4\" source address=\"10.0.0.0/8\" service name=\"dhcp\" accept"}};
  firewalld.zones["public"] = publicZone;
  ASSERT_TRUE(firewalld.Start(address_));

  SdBusFirewalld reader(address_);
  EXPECT_EQ(reader.ZoneOfInterface("enp3s0"), std::optional<std::string>(""));
  EXPECT_EQ(reader.DefaultZone(), std::optional<std::string>("public"));
  EXPECT_EQ(reader.Zone("public"), std::optional<FirewalldZone>(publicZone));
  EXPECT_EQ(reader.Zone("nosuchzone"), std::nullopt);
  EXPECT_EQ(firewalld.Calls(), (std::vector<std::string>{"getZoneOfInterface enp3s0", "getDefaultZone",
                                                         "getZoneSettings2 public", "getZoneSettings2 nosuchzone"}));

  // polkit was asked about this very connection, without asking the user.
  const auto questions = firewalld.Questions();
  ASSERT_FALSE(questions.empty());
  EXPECT_EQ(questions[0].subjectKind, "system-bus-name");
  EXPECT_EQ(questions[0].subjectName, questions[0].caller);
  EXPECT_EQ(questions[0].action, "org.fedoraproject.FirewallD1.config.info");
  EXPECT_EQ(questions[0].flags, 0u);

  // 60-70/udp lets port 67 in.
  EXPECT_EQ(CheckFirewalld(reader, "enp3s0").verdict, PortVerdict::Open);
}

// Reading zone settings needs a password on most installations: the reader
// then does not ask firewalld, which would have polkit ask the user, and the
// check says nothing.
TEST_F(FirewalldBus, SettingsThatNeedAPasswordAreNotAskedFor) {
  FakeFirewalld firewalld;
  firewalld.interfaceZone = "public";
  firewalld.authorized = false;
  firewalld.zones["public"] = {"default", {"ssh"}, {}, {}, {}};
  ASSERT_TRUE(firewalld.Start(address_));

  SdBusFirewalld reader(address_);
  EXPECT_EQ(CheckFirewalld(reader, "enp3s0"), PortFinding{});
  EXPECT_EQ(firewalld.Calls(), (std::vector<std::string>{"getZoneOfInterface enp3s0"}));
  EXPECT_EQ(firewalld.Questions().size(), 1u);
}

TEST_F(FirewalldBus, NoFirewalldOrNoBusSaysNothing) {
  SdBusFirewalld withoutFirewalld(address_);
  EXPECT_EQ(withoutFirewalld.ZoneOfInterface("enp3s0"), std::nullopt);
  EXPECT_EQ(CheckFirewalld(withoutFirewalld, "enp3s0"), PortFinding{});

  SdBusFirewalld withoutBus("unix:path=" + folder_.File("no-bus-here"));
  EXPECT_EQ(withoutBus.ZoneOfInterface("enp3s0"), std::nullopt);
  EXPECT_EQ(withoutBus.Zone("public"), std::nullopt);
}

}  // namespace
}  // namespace corvessa
