// The words that tell why a server port could not be bound.
#include "http/bind_failure_cause.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "http/net_errors.h"
#include "http/socket_error_text.h"

namespace vantrel {
namespace {

TEST(BindFailureCauseTest, AccessDeniedBelow1024NamesTheRightAndHowToGrantIt) {
  const std::string cause = BindFailureCause(SocketError(kWsaAccessDenied), 80);
  EXPECT_EQ(cause.rfind("Port 80 is below 1024, and binding it needs a right", 0), 0u) << cause;
  EXPECT_NE(cause.find("setcap cap_net_bind_service=+ep"), std::string::npos);
  EXPECT_NE(cause.find("AmbientCapabilities=CAP_NET_BIND_SERVICE"), std::string::npos);
  EXPECT_EQ(BindFailureCause(SocketError(kWsaAccessDenied), 8080),
            "The system does not let this program bind port 8080.");
  // Other failures have no cause to add.
  EXPECT_EQ(BindFailureCause(SocketError(10049), 80), "");
  EXPECT_EQ(BindFailureCause(std::runtime_error("x"), 80), "");
}

}  // namespace
}  // namespace vantrel
