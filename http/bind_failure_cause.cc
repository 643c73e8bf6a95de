#include "http/bind_failure_cause.h"

#include "base/format.h"
#include "http/net_errors.h"
#include "http/socket_error_text.h"

namespace vantrel {
namespace {

// Ports below this one need a right to be bound.
constexpr int kFirstUnprivilegedPort = 1024;

constexpr char kPortInUseCause[] =
    "Port %d is in use by another program: stop that program or choose another server port.";
constexpr char kPrivilegedPortCause[] =
    "Port %d is below 1024, and binding it needs a right this program lacks: grant it with "
    "\"setcap cap_net_bind_service=+ep\" on the program, or with "
    "\"AmbientCapabilities=CAP_NET_BIND_SERVICE\" in its systemd unit, or choose a port of 1024 "
    "or above.";
constexpr char kPortAccessDeniedCause[] = "The system does not let this program bind port %d.";

}  // namespace

std::string BindFailureCause(const std::exception& error, int port) {
  if (dynamic_cast<const CouldNotBindSocketError*>(&error) != nullptr) {
    return Format(kPortInUseCause, {port});
  }
  const auto* socket_error = dynamic_cast<const SocketError*>(&error);
  if (socket_error == nullptr || socket_error->LastError() != kWsaAccessDenied) return {};
  return Format(port < kFirstUnprivilegedPort ? kPrivilegedPortCause : kPortAccessDeniedCause,
                {port});
}

}  // namespace vantrel
