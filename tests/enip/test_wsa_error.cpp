// Socket error texts, and Linux errors read as their Winsock codes.

#include <gtest/gtest.h>

#include <cerrno>

#include "enip/wsa_error.h"

namespace corvessa {
namespace {

TEST(WsaErrorText, TheNineTexts) {
  const std::pair<int, const char*> table[] = {
      {10053, "Connection aborted"}, {10054, "Connection reset"}, {10056, "Is connected"},
      {10057, "Not connected"},      {10060, "Timed out"},        {10061, "Connection refused"},
      {10063, "Name too long"},      {10064, "Host down"},        {10091, "System not ready"},
  };
  for (const auto& [code, text] : table) EXPECT_EQ(WsaErrorText(code), text) << code;
}

TEST(WsaErrorText, OtherCodesAsTheirNumber) {
  EXPECT_EQ(WsaErrorText(10065), "10065");
  EXPECT_EQ(WsaErrorText(10035), "10035");
  EXPECT_EQ(WsaErrorText(0), "0");
  EXPECT_EQ(WsaErrorText(-1), "-1");
}

TEST(WsaErrorText, LinuxErrorsReadAsWinsockCodes) {
  const std::pair<int, int> table[] = {
      {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051}, {ETIMEDOUT, 10060},
      {ECONNRESET, 10054},   {ECONNABORTED, 10053}, {EISCONN, 10056},     {ENOTCONN, 10057},
      {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064},    {EWOULDBLOCK, 10035}, {EAGAIN, 10035},
      {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {EACCES, 10013},     {EINVAL, 10022},
      {EMFILE, 10024},       {ENOBUFS, 10055},      {EINTR, 10004},       {EPIPE, 10054},
  };
  for (const auto& [error, code] : table) EXPECT_EQ(WsaCodeFromErrno(error), code) << error;
  // No Winsock counterpart: the number stays as it is.
  EXPECT_EQ(WsaCodeFromErrno(ENOENT), ENOENT);
}

}  // namespace
}  // namespace corvessa
