#pragma once
// EtherNet/IP encapsulation layout: the 24-byte header that starts every
// request and reply, and the Register Session request. All fields are
// little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/bytes.h"

namespace corvessa {

inline constexpr std::uint16_t kEnipTcpPort = 44818;

inline constexpr std::size_t kEncapHeaderSize = 24;
inline constexpr std::size_t kEncapCommandOffset = 0;
inline constexpr std::size_t kEncapLengthOffset = 2;
inline constexpr std::size_t kEncapSessionHandleOffset = 4;
inline constexpr std::size_t kEncapStatusOffset = 8;
inline constexpr std::size_t kEncapSenderContextOffset = 12;
inline constexpr std::size_t kEncapSenderContextSize = 8;
inline constexpr std::size_t kEncapOptionsOffset = 20;

inline constexpr std::uint16_t kEncapRegisterSession = 0x0065;
inline constexpr std::uint16_t kEncapSendRRData = 0x006F;

// Register Session body: protocol version, options flags.
inline constexpr std::size_t kRegisterSessionSize = 28;
inline constexpr std::size_t kRegisterVersionOffset = 24;
inline constexpr std::size_t kRegisterOptionsOffset = 26;
inline constexpr std::uint16_t kEncapProtocolVersion = 1;

// Every reply of a session is received into one block of this size; it is
// also the socket's send and receive buffer size.
inline constexpr std::size_t ResponseBlockSize = 3196;

using RegisterSessionRequest = std::array<std::uint8_t, kRegisterSessionSize>;

// Writes a request header: status, sender context and options are 0.
void WriteEncapHeader(ByteWriter& writer, std::uint16_t command, std::uint16_t length,
                      std::uint32_t sessionHandle);

RegisterSessionRequest BuildRegisterSession();

// Size of the whole message that `received` begins: the header until the
// header is complete, then the header plus its length field, never more than
// the response block holds.
[[nodiscard]] std::size_t ExpectedReplySize(std::span<const std::uint8_t> received);

}  // namespace corvessa
