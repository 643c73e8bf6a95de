#include "base/windows_error_code.h"

#include <cerrno>
#include <span>

namespace vantrel {
namespace {

struct ErrnoCode {
  int errno_value;
  int code;
};

// Where two names share one number (EAGAIN and EWOULDBLOCK, EOPNOTSUPP and
// ENOTSUP on Linux) both entries map to the same code, so order is harmless.
constexpr ErrnoCode kWinsockCodes[] = {
    {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
    {EPERM, 10013},           {EFAULT, 10014},       {EINVAL, 10022},
    {EMFILE, 10024},          {ENFILE, 10024},       {EAGAIN, 10035},
    {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {ENOBUFS, 10055},
    {ENOMEM, 10055},          {EISCONN, 10056},      {ENOTCONN, 10057},
    {EPIPE, 10058},           {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
};

constexpr ErrnoCode kWindowsCodes[] = {
    {ENOENT, 2}, {ENODEV, 2}, {ENXIO, 2},   {EACCES, 5},
    {EPERM, 5},  {EBUSY, 5},  {EINVAL, 87}, {EIO, 1117},
};

int Lookup(std::span<const ErrnoCode> table, int errno_value) {
  for (const ErrnoCode& entry : table) {
    if (entry.errno_value == errno_value) return entry.code;
  }
  return errno_value;
}

}  // namespace

int WinsockCodeFromErrno(int errno_value) { return Lookup(kWinsockCodes, errno_value); }

int WindowsCodeFromErrno(int errno_value) { return Lookup(kWindowsCodes, errno_value); }

}  // namespace vantrel
