// Replies of the simulated adapter, laid out field by field.

#include <algorithm>

#include "core/bytes.h"
#include "tests/enip/sim/device_sim.h"
#include "tests/enip/sim/sim_bytes.h"

namespace corvessa::enipsim {
namespace {

// Encapsulation commands
constexpr std::uint16_t kRegisterSession = 0x0065;
constexpr std::uint16_t kSendRRData = 0x006F;
constexpr std::uint32_t kInvalidCommand = 0x0001;

// CIP services and general status codes
constexpr std::uint8_t kGetAttributeSingle = 0x0E;
constexpr std::uint8_t kSetAttributeSingle = 0x10;
constexpr std::uint8_t kReplyFlag = 0x80;
constexpr std::uint8_t kPathSegmentError = 0x04;
constexpr std::uint8_t kPathDestinationUnknown = 0x05;
constexpr std::uint8_t kServiceNotSupported = 0x08;
constexpr std::uint8_t kAttributeNotSettable = 0x0E;
constexpr std::uint8_t kNotEnoughData = 0x13;
constexpr std::uint8_t kAttributeNotSupported = 0x14;

constexpr std::uint8_t kTcpIpInterface = 0xF5;
constexpr std::uint8_t kEthernetLink = 0xF6;
constexpr std::uint8_t kFallback = 0xAA;


// Header of a reply: the request's command and sender context come back.
Bytes Header(std::span<const std::uint8_t> request, std::uint16_t command, std::uint32_t handle,
             std::uint32_t status) {
  Bytes out;
  Le16(out, command);
  Le16(out, 0);  // length, set by Finish
  Le32(out, handle);
  Le32(out, status);
  const auto context = GetBytes(request, 12, 8);
  for (std::size_t i = 0; i < 8; ++i) out.push_back(context ? (*context)[i] : 0);
  Le32(out, 0);  // options
  return out;
}

Bytes Finish(Bytes out) {
  const auto length = static_cast<std::uint16_t>(out.size() - 24);
  out[2] = static_cast<std::uint8_t>(length);
  out[3] = static_cast<std::uint8_t>(length >> 8);
  return out;
}

struct CipRequest {
  std::uint8_t service = 0;
  std::uint8_t cls = 0;
  std::uint8_t instance = 0;
  std::uint8_t attribute = 0;
  std::span<const std::uint8_t> value;  // request data after the path
};

// The first unconnected data item of the request, with an 8-bit
// class/instance/attribute path.
std::optional<CipRequest> ParseCipRequest(std::span<const std::uint8_t> request) {
  const auto count = little_endian::Get16(request, 30);
  if (!count) return std::nullopt;
  std::size_t offset = 32;
  for (std::uint16_t i = 0; i < *count; ++i) {
    const auto type = little_endian::Get16(request, offset);
    const auto length = little_endian::Get16(request, offset + 2);
    if (!type || !length) return std::nullopt;
    const auto data = GetBytes(request, offset + 4, *length);
    if (!data) return std::nullopt;
    offset += 4 + *length;
    if (*type != 0x00B2) continue;
    const auto path = GetBytes(*data, 0, 8);
    if (!path) return std::nullopt;
    const auto& p = *path;
    if (p[1] != 3 || p[2] != 0x20 || p[4] != 0x24 || p[6] != 0x30) return std::nullopt;
    return CipRequest{p[0], p[3], p[5], p[7], data->subspan(8)};
  }
  return std::nullopt;
}

struct CipAnswer {
  std::uint8_t status = 0;
  Bytes data;
};

CipAnswer Serve(const DeviceConfig& config, DeviceState& state, const CipRequest& request) {
  for (const StatusRule& rule : config.statusRules) {
    if ((rule.service < 0 || rule.service == request.service) &&
        (rule.cls < 0 || rule.cls == request.cls) &&
        (rule.instance < 0 || rule.instance == request.instance) &&
        (rule.attribute < 0 || rule.attribute == request.attribute)) {
      return {rule.status, {}};
    }
  }
  std::uint8_t cls = request.cls;
  if (config.fallbackAliasOf) {
    if (cls == *config.fallbackAliasOf) return {kPathDestinationUnknown, {}};
    if (cls == kFallback) cls = *config.fallbackAliasOf;
  }

  if (request.service == kGetAttributeSingle) {
    Bytes data;
    if (cls == kTcpIpInterface && request.instance == 0 && request.attribute == 2) {
      Le16(data, config.maxInstance);
      return {0, data};
    }
    if (cls == kTcpIpInterface && request.instance >= 1 && request.attribute == 3) {
      Le32(data, state.configurationControl);
      return {0, data};
    }
    if (cls == kTcpIpInterface && request.instance >= 1 && request.attribute == 4) {
      const auto found = config.physicalLinks.find(request.instance);
      if (found == config.physicalLinks.end()) return {kPathDestinationUnknown, {}};
      return {0, found->second};
    }
    if (cls == kEthernetLink && request.instance >= 1 && request.attribute == 3) {
      const auto found = config.physicalAddresses.find(request.instance);
      if (found == config.physicalAddresses.end()) return {kPathDestinationUnknown, {}};
      return {0, found->second};
    }
    if (cls == kTcpIpInterface || cls == kEthernetLink) return {kAttributeNotSupported, {}};
    return {kPathDestinationUnknown, {}};
  }
  if (request.service == kSetAttributeSingle) {
    if (cls != kTcpIpInterface && cls != kEthernetLink) return {kPathDestinationUnknown, {}};
    if (cls != kTcpIpInterface || request.instance < 1 || request.attribute != 3) {
      return {kAttributeNotSettable, {}};
    }
    const auto value = little_endian::Get32(request.value, 0);
    if (!value) return {kNotEnoughData, {}};
    const auto rejected = config.rejectedValues.find(*value);
    if (rejected != config.rejectedValues.end()) return {rejected->second, {}};
    state.configurationControl = *value;
    state.lastConfigurationWrite = *value;
    return {0, {}};
  }
  return {kServiceNotSupported, {}};
}

}  // namespace

Bytes BuildSimReply(const DeviceConfig& config, DeviceState& state,
                    std::span<const std::uint8_t> request) {
  const auto command = little_endian::Get16(request, 0);
  const auto handle = little_endian::Get32(request, 4);
  if (!command || !handle) return {};

  if (*command == kRegisterSession) {
    Bytes out = Header(request, kRegisterSession, config.sessionHandle, config.registerStatus);
    Le16(out, 1);  // protocol version
    Le16(out, 0);  // options flags
    return Finish(out);
  }
  if (*command != kSendRRData) return Finish(Header(request, *command, *handle, kInvalidCommand));
  if (config.requestStatus != 0) {
    return Finish(Header(request, kSendRRData, *handle, config.requestStatus));
  }

  const auto cip = ParseCipRequest(request);
  CipAnswer answer{kPathSegmentError, {}};
  std::uint8_t service = cip ? cip->service : little_endian::Get8(request, 40).value_or(0);
  if (cip) answer = Serve(config, state, *cip);

  Bytes item;
  item.push_back(static_cast<std::uint8_t>(service | kReplyFlag));
  item.push_back(0);  // reserved
  item.push_back(answer.status);
  item.push_back(static_cast<std::uint8_t>(config.additionalStatus.size()));
  for (const std::uint16_t word : config.additionalStatus) Le16(item, word);
  if (answer.status == 0) item.insert(item.end(), answer.data.begin(), answer.data.end());

  Bytes out = Header(request, kSendRRData, *handle, 0);
  Le32(out, 0);       // interface handle
  Le16(out, 0);       // timeout
  Le16(out, 2);       // item count
  Le16(out, 0x0000);  // null address item
  Le16(out, 0);
  Le16(out, 0x00B2);  // unconnected data item
  Le16(out, static_cast<std::uint16_t>(item.size()));
  out.insert(out.end(), item.begin(), item.end());
  return Finish(out);
}

}  // namespace corvessa::enipsim
