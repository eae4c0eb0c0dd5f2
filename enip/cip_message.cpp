#include "enip/cip_message.h"

namespace corvessa {
namespace {

// Everything up to and including the request path; Get and Set differ only
// in the lengths and the service.
void WriteRequest(ByteWriter& writer, std::uint32_t sessionHandle, std::size_t size,
                  std::size_t dataSize, std::uint8_t service, CipPath path) {
  WriteEncapHeader(writer, kEncapSendRRData, static_cast<std::uint16_t>(size - kEncapHeaderSize),
                   sessionHandle);
  writer.U32Little(0);  // interface handle
  writer.U16Little(kCipRequestTimeout);
  writer.U16Little(kCipItemCount);
  writer.U16Little(kNullAddressItem);
  writer.U16Little(0);
  writer.U16Little(kUnconnectedDataItem);
  writer.U16Little(static_cast<std::uint16_t>(dataSize));
  writer.U8(service);
  writer.U8(kRequestPathWords);
  writer.U8(kClassSegment);
  writer.U8(path.cls);
  writer.U8(kInstanceSegment);
  writer.U8(path.instance);
  writer.U8(kAttributeSegment);
  writer.U8(path.attribute);
}

}  // namespace

GetAttributeRequest BuildGetAttributeSingle(std::uint32_t sessionHandle, CipPath path) {
  GetAttributeRequest request{};
  ByteWriter writer(request);
  WriteRequest(writer, sessionHandle, request.size(), kGetRequestDataSize, kCipGetAttributeSingle,
               path);
  return request;
}

SetAttributeRequest BuildSetAttributeSingle(std::uint32_t sessionHandle, CipPath path,
                                            std::uint32_t value) {
  SetAttributeRequest request{};
  ByteWriter writer(request);
  WriteRequest(writer, sessionHandle, request.size(), kSetRequestDataSize, kCipSetAttributeSingle,
               path);
  writer.U32Little(value);
  return request;
}

void SetRequestClass(std::span<std::uint8_t> request, std::uint8_t cls) {
  (void)little_endian::Put8(request, kClassByteOffset, cls);
}

void SetRequestValue(std::span<std::uint8_t> request, std::uint32_t value) {
  (void)little_endian::Put32(request, kAttributeValueOffset, value);
}

std::optional<CipReply> FindReplyItem(std::span<const std::uint8_t> reply, std::uint8_t service) {
  const auto count = little_endian::Get16(reply, kItemCountOffset);
  if (!count) return std::nullopt;
  std::size_t offset = kFirstItemOffset;
  for (std::uint16_t i = 0; i < *count; ++i) {
    const auto type = little_endian::Get16(reply, offset);
    const auto length = little_endian::Get16(reply, offset + 2);
    if (!type || !length) return std::nullopt;
    const auto data = GetBytes(reply, offset + kItemHeaderSize, *length);
    if (!data) return std::nullopt;
    if (*type != kUnconnectedDataItem) {
      offset += kItemHeaderSize + *length;
      continue;
    }
    const auto replyService = little_endian::Get8(*data, kReplyServiceOffset);
    const auto generalStatus = little_endian::Get8(*data, kReplyGeneralStatusOffset);
    const auto additional = little_endian::Get8(*data, kReplyAdditionalSizeOffset);
    if (!replyService || !generalStatus || !additional) return std::nullopt;
    if (*replyService != static_cast<std::uint8_t>(service | kCipReplyFlag)) return std::nullopt;
    return CipReply{*data, *generalStatus, *additional};
  }
  return std::nullopt;
}

}  // namespace corvessa
