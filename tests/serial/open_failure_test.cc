// The words that say why a port did not open, from real failures: a device
// held by another opener, and one the user may not use (refused for real
// when not root, injected through the fake terminal layer when root, whom
// permissions never refuse).
#include "serial/open_failure.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "serial/serial_port.h"
#include "tests/serial/fake_tty.h"
#include "tests/support/pty_fixture.h"

namespace vantrel {
namespace {

SerialPortError OpenError(SerialPort& port) {
  try {
    port.OpenPort();
  } catch (const SerialPortError& error) {
    return error;
  }
  ADD_FAILURE() << "the port opened";
  return SerialPortError(0, -1);
}

std::string GroupOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return "?";
  const group* found = ::getgrgid(info.st_gid);
  return found != nullptr ? found->gr_name : std::to_string(info.st_gid);
}

TEST(OpenFailureTest, DeviceHeldByAnotherOpenerIsInUseNotRefused) {
  test::LoopThread main;
  test::Pty pty;
  SerialPort first(main.Loop());
  SerialPort second(main.Loop());
  first.SetPort(pty.SlavePath());
  second.SetPort(pty.SlavePath());
  first.OpenPort();
  const SerialPortError error = OpenError(second);
  EXPECT_EQ(error.OsCode(), 5);  // The same code as a refusal: only the cause tells.
  EXPECT_EQ(OpenFailureCause(SystemTty(), error.SystemError(), pty.SlavePath()),
            "in use by another program");
}

TEST(OpenFailureTest, RefusedDeviceNamesTheGroupOfTheDeviceFileToJoin) {
  test::LoopThread main;
  test::Pty pty;
  test::FakeTty tty;
  SerialPort port(main.Loop(), tty);
  const std::string path = pty.SlavePath();
  port.SetPort(path);
  if (::geteuid() == 0) {
    tty.SetOpenError(EACCES);
    // Another group than root's own shows that the file's group is named.
    if (const group* dialout = ::getgrnam("dialout")) {
      ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
    }
  } else {
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  }
  const SerialPortError error = OpenError(port);
  EXPECT_EQ(error.SystemError(), EACCES);
  EXPECT_EQ(OpenFailureCause(tty, error.SystemError(), path),
            "permission denied; to use " + path + ", join its group " + GroupOf(path));
}

}  // namespace
}  // namespace vantrel
