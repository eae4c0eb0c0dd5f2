#include "enip/encap_message.h"

#include <algorithm>

namespace corvessa {

void WriteEncapHeader(ByteWriter& writer, std::uint16_t command, std::uint16_t length,
                      std::uint32_t sessionHandle) {
  writer.U16Little(command);
  writer.U16Little(length);
  writer.U32Little(sessionHandle);
  writer.U32Little(0);  // status
  writer.Fill(kEncapSenderContextSize, 0);
  writer.U32Little(0);  // options
}

RegisterSessionRequest BuildRegisterSession() {
  RegisterSessionRequest request{};
  ByteWriter writer(request);
  WriteEncapHeader(writer, kEncapRegisterSession,
                   static_cast<std::uint16_t>(kRegisterSessionSize - kEncapHeaderSize), 0);
  writer.U16Little(kEncapProtocolVersion);
  writer.U16Little(0);  // options flags
  return request;
}

std::size_t ExpectedReplySize(std::span<const std::uint8_t> received) {
  const auto length = little_endian::Get16(received, kEncapLengthOffset);
  if (received.size() < kEncapHeaderSize || !length) return kEncapHeaderSize;
  return std::min(kEncapHeaderSize + *length, ResponseBlockSize);
}

}  // namespace corvessa
