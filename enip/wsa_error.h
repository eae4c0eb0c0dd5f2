#pragma once
// Socket error codes as the status line shows them. The texts name errors by
// their Winsock codes, so Linux errno values are translated first.

#include <string>

namespace corvessa {

inline constexpr int kWsaEIntr = 10004;
inline constexpr int kWsaEWouldBlock = 10035;
inline constexpr int kWsaETimedOut = 10060;
inline constexpr int kWsaEConnRefused = 10061;

// "%d" of the code, or the code's own text when it has one.
std::string WsaErrorText(int code);

// The Winsock code for an errno value; an errno without one is passed on
// unchanged, so it still shows as a number.
int WsaCodeFromErrno(int error);

}  // namespace corvessa
