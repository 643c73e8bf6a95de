// Why a server port could not be bound, in words for the server log.
//
// Activation reports a bind failure with the error's own class and message;
// these words follow them and say what to do about it. Pure; may be called
// from any thread.
#ifndef VANTREL_HTTP_BIND_FAILURE_CAUSE_H_
#define VANTREL_HTTP_BIND_FAILURE_CAUSE_H_

#include <exception>
#include <string>

namespace vantrel {

// The cause of `error`, raised when activating a server on `port`:
// CouldNotBindSocketError means another program holds the port; a
// SocketError 10013 (access denied) on a port below 1024 means the program
// lacks the right to bind it, and the text names the two usual ways to
// grant it. "" for any other error.
std::string BindFailureCause(const std::exception& error, int port);

}  // namespace vantrel

#endif  // VANTREL_HTTP_BIND_FAILURE_CAUSE_H_
