// Texts of socket errors.
//
// The network layer speaks in Windows Sockets error codes (10004 to 10066),
// whatever the platform: the peer thread tests codes such as 10053 and 10054,
// and messages name the code. Native errno values are translated once, where
// a socket call fails (platform_socket_stack.cc), with WinsockCodeFromErrno
// (base/windows_error_code.h). All functions are pure and may be called from
// any thread.
#ifndef VANTREL_HTTP_SOCKET_ERROR_TEXT_H_
#define VANTREL_HTTP_SOCKET_ERROR_TEXT_H_

#include <string>
#include <string_view>

namespace vantrel {

// Codes the network layer treats specially.
inline constexpr int kWsaAccessDenied = 10013;       // Access denied.
inline constexpr int kWsaAddressInUse = 10048;       // Address already in use.
inline constexpr int kWsaWouldBlock = 10035;         // Resource temporarily unavailable.
inline constexpr int kWsaConnectionAborted = 10053;  // Software caused connection abort.
inline constexpr int kWsaConnectionReset = 10054;    // Connection reset by peer.
inline constexpr int kWsaShutdown = 10058;           // Cannot send or receive after close.
inline constexpr int kWsaTimedOut = 10060;           // Connection timed out.

// The text for a Windows Sockets code; "" for a code outside the table.
std::string_view SocketErrorText(int code);

// "Socket Error # <code>\r\n<text>", the message of a SocketError.
std::string SocketErrorMessage(int code);

}  // namespace vantrel

#endif  // VANTREL_HTTP_SOCKET_ERROR_TEXT_H_
