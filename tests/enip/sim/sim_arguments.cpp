// Command line of enip_device_sim. Numbers are decimal or 0x-prefixed hex.

#include <arpa/inet.h>

#include <charconv>
#include <limits>
#include <string_view>

#include "core/address.h"
#include "tests/enip/sim/device_sim.h"

namespace corvessa::enipsim {
namespace {

bool Number(std::string_view text, std::uint64_t max, std::uint64_t& value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size() && value <= max;
}

template <typename T>
bool NumberOf(std::string_view text, T& out) {
  std::uint64_t value = 0;
  if (!Number(text, static_cast<std::uint64_t>(std::numeric_limits<T>::max()), value)) return false;
  out = static_cast<T>(value);
  return true;
}

// -1 for "*".
bool Selector(std::string_view text, int& out) {
  if (text == "*") {
    out = -1;
    return true;
  }
  std::uint8_t value = 0;
  if (!NumberOf(text, value)) return false;
  out = value;
  return true;
}

bool HexBytes(std::string_view text, Bytes& out) {
  if (text.size() % 2 != 0) return false;
  out.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    std::uint8_t byte = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
    if (error != std::errc() || end != text.data() + i + 2) return false;
    out.push_back(byte);
  }
  return true;
}

bool Split(std::string_view text, char separator, std::string_view& left, std::string_view& right) {
  const auto at = text.find(separator);
  if (at == std::string_view::npos) return false;
  left = text.substr(0, at);
  right = text.substr(at + 1);
  return true;
}

bool Fault(std::string_view text, FaultRule& rule) {
  std::string_view index, what, amount;
  if (!Split(text, '=', index, what) || !NumberOf(index, rule.request)) return false;
  if (!Split(what, ':', what, amount)) amount = {};
  struct Kind {
    std::string_view name;
    ReplyFault fault;
    bool needsAmount;
  };
  constexpr Kind kKinds[] = {
      {"split", ReplyFault::Split, true},      {"truncate", ReplyFault::Truncate, true},
      {"truncate-close", ReplyFault::TruncateAndClose, true},
      {"close", ReplyFault::Close, false},    {"silent", ReplyFault::Silent, false},
      {"service", ReplyFault::ServiceByte, true},
  };
  for (const Kind& kind : kKinds) {
    if (kind.name != what) continue;
    rule.fault = kind.fault;
    return kind.needsAmount ? NumberOf(amount, rule.bytes) : amount.empty();
  }
  return false;
}

bool IdentityFaultOf(std::string_view text, IdentityConfig& identity) {
  std::string_view what = text, amount;
  if (!Split(text, ':', what, amount)) amount = {};
  struct Kind {
    std::string_view name;
    IdentityFault fault;
  };
  constexpr Kind kKinds[] = {
      {"silent", IdentityFault::Silent},           {"truncate", IdentityFault::Truncate},
      {"long-length", IdentityFault::LongLength},  {"no-item", IdentityFault::NoIdentityItem},
      {"name-overrun", IdentityFault::NameOverrun}, {"error-status", IdentityFault::ErrorStatus},
      {"twice", IdentityFault::Twice},
  };
  for (const Kind& kind : kKinds) {
    if (kind.name != what) continue;
    identity.fault = kind.fault;
    const bool needsAmount = kind.fault == IdentityFault::Truncate;
    return needsAmount ? NumberOf(amount, identity.faultBytes) : amount.empty();
  }
  return false;
}

bool Option(std::string_view flag, std::string_view value, SimOptions& options) {
  DeviceConfig& config = options.config;
  std::string_view left, right;
  bool identityOption = false;
  const bool identityParsed = ParseIdentityOption(flag, value, options, identityOption);
  if (identityOption) return identityParsed;
  if (flag == "--port") return NumberOf(value, options.port);
  if (flag == "--seconds") {
    return NumberOf(value, options.seconds) && options.seconds > 0 && options.seconds <= 3600;
  }
  if (flag == "--record") {
    options.recordFile = std::string(value);
    return !value.empty();
  }
  if (flag == "--mode") {
    if (value == "answer") config.mode = ConnectionMode::Answer;
    else if (value == "silent") config.mode = ConnectionMode::Silent;
    else if (value == "refuse") config.mode = ConnectionMode::Refuse;
    else if (value == "close") config.mode = ConnectionMode::CloseAtAccept;
    else if (value == "trickle") config.mode = ConnectionMode::Trickle;
    else if (value == "huge-length") config.mode = ConnectionMode::HugeLength;
    else if (value == "close-mid-reply") config.mode = ConnectionMode::CloseMidReply;
    else if (value == "slow") config.mode = ConnectionMode::Slow;
    else return false;
    return true;
  }
  if (flag == "--listen") {
    const std::string text(value);
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    options.address = ntohl(parsed.s_addr);
    return true;
  }
  if (flag == "--trickle-ms" || flag == "--slow-ms") {
    std::uint32_t ms = 0;
    if (!NumberOf(value, ms) || ms > 60000) return false;
    (flag == "--slow-ms" ? config.slowDelay : config.trickleInterval) = std::chrono::milliseconds(ms);
    return true;
  }
  if (flag == "--handle") return NumberOf(value, config.sessionHandle);
  if (flag == "--register-status") return NumberOf(value, config.registerStatus);
  if (flag == "--request-status") return NumberOf(value, config.requestStatus);
  if (flag == "--max-instance") return NumberOf(value, config.maxInstance);
  if (flag == "--config-control") return NumberOf(value, config.configurationControl);
  if (flag == "--fallback-alias") {
    std::uint8_t cls = 0;
    if (!NumberOf(value, cls)) return false;
    config.fallbackAliasOf = cls;
    return true;
  }
  if (flag == "--link") {
    int instance = 0;
    Bytes data;
    if (!Split(value, '=', left, right) || !Selector(left, instance) || instance < 0 ||
        !HexBytes(right, data)) {
      return false;
    }
    config.physicalLinks[instance] = data;
    return true;
  }
  if (flag == "--address") {
    int link = 0;
    std::uint8_t mac[16] = {};
    std::uint8_t length = sizeof mac;
    if (!Split(value, '=', left, right) || !Selector(left, link) || link < 0 ||
        !TextToMac(right, mac, length)) {
      return false;
    }
    config.physicalAddresses[link] = Bytes(mac, mac + length);
    return true;
  }
  if (flag == "--reject") {
    std::uint32_t rejected = 0;
    std::uint8_t status = 0;
    if (!Split(value, '=', left, right) || !NumberOf(left, rejected) || !NumberOf(right, status)) {
      return false;
    }
    config.rejectedValues[rejected] = status;
    return true;
  }
  if (flag == "--status") {
    // SERVICE,CLASS,INSTANCE,ATTRIBUTE=STATUS
    StatusRule rule;
    std::string_view selectors = value, rest;
    if (!Split(value, '=', selectors, right) || !NumberOf(right, rule.status)) return false;
    int* fields[] = {&rule.service, &rule.cls, &rule.instance, &rule.attribute};
    for (int i = 0; i < 4; ++i) {
      std::string_view field = selectors;
      if (i < 3) {
        if (!Split(selectors, ',', field, rest)) return false;
        selectors = rest;
      }
      if (!Selector(field, *fields[i])) return false;
    }
    config.statusRules.push_back(rule);
    return true;
  }
  if (flag == "--additional-status") {
    // W[,W...]
    config.additionalStatus.clear();
    for (;;) {
      std::string_view word = value;
      const bool more = Split(value, ',', word, right);
      std::uint16_t number = 0;
      if (!NumberOf(word, number)) return false;
      config.additionalStatus.push_back(number);
      if (!more) return true;
      value = right;
    }
  }
  if (flag == "--fault") {
    FaultRule rule;
    if (!Fault(value, rule)) return false;
    config.faults.push_back(rule);
    return true;
  }
  return false;
}

}  // namespace

bool ParseIdentityOption(std::string_view flag, std::string_view value, SimOptions& options, bool& known) {
  IdentityConfig& identity = options.identity;
  known = true;
  if (flag == "--udp-port") return NumberOf(value, options.udpPort);
  if (flag == "--vendor") return NumberOf(value, identity.vendorId);
  if (flag == "--device-type") return NumberOf(value, identity.deviceType);
  if (flag == "--product-code") return NumberOf(value, identity.productCode);
  if (flag == "--identity-status") return NumberOf(value, identity.status);
  if (flag == "--serial") return NumberOf(value, identity.serialNumber);
  if (flag == "--product-name") {
    identity.productName = std::string(value);
    return value.size() <= 255;
  }
  if (flag == "--revision") {
    std::string_view major, minor;
    return Split(value, '.', major, minor) && NumberOf(major, identity.revisionMajor) &&
           NumberOf(minor, identity.revisionMinor);
  }
  if (flag == "--state") {
    if (value == "none") {
      identity.state.reset();
      return true;
    }
    std::uint8_t state = 0;
    if (!NumberOf(value, state)) return false;
    identity.state = state;
    return true;
  }
  if (flag == "--identity-address") {
    const std::string text(value);
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    identity.socketAddress = ntohl(parsed.s_addr);
    return true;
  }
  if (flag == "--identity-delay-ms") {
    std::uint32_t ms = 0;
    if (!NumberOf(value, ms) || ms > 60000) return false;
    identity.delay = std::chrono::milliseconds(ms);
    return true;
  }
  if (flag == "--identity-fault") return IdentityFaultOf(value, identity);
  known = false;
  return false;
}

bool ParseSimArguments(std::span<const std::string> arguments, SimOptions& options,
                       std::string& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view flag = arguments[i];
    if (i + 1 >= arguments.size()) {
      error = "missing value after " + std::string(flag);
      return false;
    }
    const std::string_view value = arguments[++i];
    if (!Option(flag, value, options)) {
      error = "bad option: " + std::string(flag) + " " + std::string(value);
      return false;
    }
  }
  return true;
}

}  // namespace corvessa::enipsim
