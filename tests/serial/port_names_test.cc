// Port names as scripts give them, resolved against a device directory of
// the test's own (the list of ports: serial_device_rule_test.cc).
#include "serial/port_names.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/pty_fixture.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

void Touch(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
}

TEST(PortNamesTest, ComNamesCountFromOneOnTtyS) {
  EXPECT_EQ(ResolvePortPath(SystemTty(), "COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortPath(SystemTty(), "com12"), "/dev/ttyS11");
  EXPECT_EQ(ResolvePortPath(SystemTty(), "COM1", "/x"), "/x/ttyS0");
  // Not COMn: looked up like any other name.
  EXPECT_EQ(ResolvePortPath(SystemTty(), "COM0", "/x"), "/x/COM0");
  EXPECT_EQ(ResolvePortPath(SystemTty(), "COMx", "/x"), "/x/COMx");
}

TEST(PortNamesTest, PathsAreUsedAsTheyAre) {
  EXPECT_EQ(ResolvePortPath(SystemTty(), "/dev/pts/3"), "/dev/pts/3");
}

TEST(PortNamesTest, OtherNamesAreFoundExactlyThenRegardlessOfCase) {
  test::TempDir dir;
  Touch(dir.Path() + "/ttyUSB0");
  Touch(dir.Path() + "/ttyACM1");
  Touch(dir.Path() + "/TTYACM1");
  EXPECT_EQ(ResolvePortPath(SystemTty(), "TTYUSB0", dir.Path()), dir.Path() + "/ttyUSB0");
  EXPECT_EQ(ResolvePortPath(SystemTty(), "TTYACM1", dir.Path()),
            dir.Path() + "/TTYACM1");  // Exact first.
  EXPECT_EQ(ResolvePortPath(SystemTty(), "ttyacm1", dir.Path()).size(),
            (dir.Path() + "/ttyACM1").size());
  EXPECT_EQ(ResolvePortPath(SystemTty(), "none", dir.Path()), dir.Path() + "/none");
}

TEST(PortNamesTest, NamesCannotLeaveTheDeviceDirectory) {
  test::TempDir dir;
  for (const char* name : {"../etc/passwd", "..", ".", "pts/../../etc/passwd", ""}) {
    const std::string path = ResolvePortPath(SystemTty(), name, dir.Path());
    EXPECT_EQ(path.rfind(dir.Path() + "/", 0), 0U) << name;
    EXPECT_EQ(path.find("..", dir.Path().size()), std::string::npos) << name;
    EXPECT_FALSE(std::filesystem::exists(path)) << name;
  }
}

}  // namespace
}  // namespace vantrel
