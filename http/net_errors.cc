#include "http/net_errors.h"

#include "http/socket_error_text.h"

namespace vantrel {

SocketError::SocketError(int last_error)
    : NetError("SocketError", SocketErrorMessage(last_error)), last_error_(last_error) {}

}  // namespace vantrel
