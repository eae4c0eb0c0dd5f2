#include "enip/wsa_error.h"

#include <array>
#include <cerrno>
#include <utility>

#include "core/strings.h"

namespace corvessa {
namespace {

// Winsock numbers its codes as 10000 plus the BSD errno; Linux numbers differ,
// so every pair is listed.
constexpr std::array<std::pair<int, int>, 48> kErrnoToWsa = {{
    {EINTR, 10004},           {EBADF, 10009},           {EACCES, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},          {EMFILE, 10024},
    {EAGAIN, 10035},          {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},
    {EALREADY, 10037},        {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {ENOTSUP, 10045},         {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},     {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},      {EPIPE, 10054},           {ENOBUFS, 10055},
    {ENOMEM, 10055},          {EISCONN, 10056},         {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
    {EUSERS, 10068},          {EDQUOT, 10069},          {ESTALE, 10070},
    {EREMOTE, 10071},         {ENFILE, 10024},          {EPERM, 10013},
}};

}  // namespace

std::string WsaErrorText(int code) {
  for (const auto& [known, text] : text::kWsaErrorTexts) {
    if (known == code) return std::string(text);
  }
  return FormatText("%d", code);
}

int WsaCodeFromErrno(int error) {
  for (const auto& [from, to] : kErrnoToWsa) {
    if (from == error) return to;
  }
  return error;
}

}  // namespace corvessa
