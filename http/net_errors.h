// The error family of the network layer.
//
// Every class here but one derives from NetError. ConnClosedGracefullyError
// derives from SilentError instead: a peer that closes its end is an
// ordinary way for a unit of work to end, not a failure to report, and the
// error classes are single-inheritance, so it cannot be a NetError as well.
// Code that wants "any network failure" catches NetError and, separately,
// ConnClosedGracefullyError.
#ifndef VANTREL_HTTP_NET_ERRORS_H_
#define VANTREL_HTTP_NET_ERRORS_H_

#include <string>

#include "base/exception.h"

namespace vantrel {

VANTREL_ERROR_CLASS(NetError, Exception);

// A socket call failed. Carries the Windows Sockets error code (native errno
// values are mapped onto those codes, see socket_error_text.h); the message
// is "Socket Error # <code>\r\n<text for the code>".
class SocketError : public NetError {
 public:
  explicit SocketError(int last_error);

  // The Windows Sockets code of the failed call, e.g. 10054.
  int LastError() const noexcept { return last_error_; }

 private:
  int last_error_;  // Never changes after construction.
};

// The peer closed the connection while it was read or written.
VANTREL_ERROR_CLASS(ConnClosedGracefullyError, SilentError);

VANTREL_ERROR_CLASS(ClosedSocketError, NetError);
VANTREL_ERROR_CLASS(InvalidSocketError, NetError);
VANTREL_ERROR_CLASS(SocketHandleError, NetError);
VANTREL_ERROR_CLASS(CouldNotBindSocketError, SocketHandleError);
VANTREL_ERROR_CLASS(StackError, NetError);
VANTREL_ERROR_CLASS(StackInitializationError, StackError);
VANTREL_ERROR_CLASS(StackSetSizeExceededError, StackError);
VANTREL_ERROR_CLASS(StackCannotLoadError, NetError);
VANTREL_ERROR_CLASS(TcpConnectionError, NetError);
VANTREL_ERROR_CLASS(NotEnoughDataInBufferError, TcpConnectionError);
VANTREL_ERROR_CLASS(NoDataToReadError, TcpConnectionError);
VANTREL_ERROR_CLASS(TcpServerError, NetError);
VANTREL_ERROR_CLASS(NoExecuteSpecifiedError, TcpServerError);
VANTREL_ERROR_CLASS(ThreadManagerError, NetError);
VANTREL_ERROR_CLASS(ThreadClassNotSpecifiedError, ThreadManagerError);

// The messages the family is raised with.
inline constexpr char kConnClosedGracefullyMessage[] = "Connection Closed Gracefully.";
inline constexpr char kCannotAllocateSocketMessage[] = "Cannot allocate socket.";
inline constexpr char kCouldNotBindSocketMessage[] =
    "Could not bind socket. Address and port are already in use.";
inline constexpr char kStackInitializationMessage[] = "Winsock Initialization Error.";
inline constexpr char kStackCannotLoadMessage[] = "%s could not be loaded.";
inline constexpr char kSetSizeExceededMessage[] = "Set Size Exceeded.";
inline constexpr char kNotEnoughDataInBufferMessage[] = "Not enough data in buffer.";
inline constexpr char kNoDataToReadMessage[] = "No data to read.";
inline constexpr char kNoExecuteSpecifiedMessage[] = "No execute handler found.";
inline constexpr char kThreadClassNotSpecifiedMessage[] = "Thread Class Not Specified.";

}  // namespace vantrel

#endif  // VANTREL_HTTP_NET_ERRORS_H_
