// Socket error codes, texts and messages.
#include "http/socket_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "base/windows_error_code.h"
#include "http/net_errors.h"

namespace vantrel {
namespace {

TEST(SocketErrorTextTest, MessageCarriesCodeAndExactText) {
  EXPECT_EQ(SocketErrorMessage(10054), "Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(SocketErrorMessage(10035), "Socket Error # 10035\r\nOperation would block. ");
  EXPECT_EQ(SocketErrorMessage(10066), "Socket Error # 10066\r\nDirectory not empty");
  EXPECT_EQ(SocketErrorMessage(12345), "Socket Error # 12345\r\n");

  const SocketError error(10058);
  EXPECT_EQ(error.LastError(), 10058);
  EXPECT_EQ(error.Message(),
            "Socket Error # 10058\r\nCannot send or receive after socket is closed.");
  EXPECT_STREQ(error.ClassName(), "SocketError");
}

TEST(SocketErrorTextTest, NativeErrorsMapOntoTheCodesThePeerThreadTests) {
  EXPECT_EQ(WinsockCodeFromErrno(ECONNABORTED), kWsaConnectionAborted);
  EXPECT_EQ(WinsockCodeFromErrno(ECONNRESET), kWsaConnectionReset);
  EXPECT_EQ(WinsockCodeFromErrno(EPIPE), kWsaShutdown);
  EXPECT_EQ(WinsockCodeFromErrno(ESHUTDOWN), kWsaShutdown);
  EXPECT_EQ(WinsockCodeFromErrno(EADDRINUSE), kWsaAddressInUse);
  EXPECT_EQ(WinsockCodeFromErrno(EAGAIN), 10035);
  EXPECT_EQ(WinsockCodeFromErrno(EMFILE), 10024);
  EXPECT_EQ(WinsockCodeFromErrno(EHOSTUNREACH), 10065);
  // Without a counterpart the native number stays, with an empty text.
  EXPECT_EQ(WinsockCodeFromErrno(EIO), EIO);
}

}  // namespace
}  // namespace vantrel
