// Which devices are serial ports: the kernel's word where it has one, the
// drivers' names where it has none, and pseudo terminals only while no
// session uses them. A page once read what was typed on a logged-in
// terminal by opening it as a "port".
#include "serial/serial_device_rule.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "serial/port_names.h"
#include "tests/serial/fake_tty.h"
#include "tests/support/pty_fixture.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

TtyDeviceFacts CharacterDevice(unsigned major, bool in_sysfs, bool hardware, int port_type) {
  TtyDeviceFacts facts;
  facts.character_device = true;
  facts.major = major;
  facts.in_sysfs = in_sysfs;
  facts.serial_hardware = hardware;
  facts.port_type = port_type;
  return facts;
}

TEST(SerialDeviceRuleTest, TheKernelDecidesWhereItCanAndNamesOnlyWhereItCannot) {
  // A UART that is there, a USB adapter (no port type), a UART slot with
  // nothing behind it, a virtual console (no hardware), a pseudo terminal.
  EXPECT_EQ(ClassOfDevice(CharacterDevice(4, true, true, 4), "ttyS0"), DeviceClass::kSerial);
  EXPECT_EQ(ClassOfDevice(CharacterDevice(188, true, true, -1), "x"), DeviceClass::kSerial);
  EXPECT_EQ(ClassOfDevice(CharacterDevice(4, true, true, 0), "ttyS3"), DeviceClass::kOther);
  EXPECT_EQ(ClassOfDevice(CharacterDevice(4, true, false, -1), "ttyS0"), DeviceClass::kOther);
  EXPECT_EQ(ClassOfDevice(CharacterDevice(136, false, false, -1), "ttyUSB0"),
            DeviceClass::kPseudoTerminal);
  // Without the kernel's word, the serial drivers' names.
  EXPECT_EQ(ClassOfDevice(CharacterDevice(166, false, false, -1), "/dev/ttyACM0"),
            DeviceClass::kSerial);
  EXPECT_EQ(ClassOfDevice(CharacterDevice(4, false, false, -1), "/dev/tty1"), DeviceClass::kOther);
  TtyDeviceFacts file;
  EXPECT_EQ(ClassOfDevice(file, "ttyUSB0"), DeviceClass::kOther);
}

TEST(SerialDeviceRuleTest, PseudoTerminalsOpenOnlyWhileNoSessionUsesThem) {
  test::Pty free_pty;
  test::Pty login;
  test::SessionOnTerminal shell(login.SlavePath());
  ASSERT_TRUE(shell.Ready());
  EXPECT_TRUE(MayOpenSerialDevice(SystemTty(), free_pty.SlavePath(), {}));
  EXPECT_FALSE(MayOpenSerialDevice(SystemTty(), login.SlavePath(), {}));
  // A link of one's own to it changes nothing.
  test::TempDir dir;
  std::filesystem::create_symlink(login.SlavePath(), dir.File("ttyUSB0"));
  EXPECT_FALSE(MayOpenSerialDevice(SystemTty(), dir.File("ttyUSB0"), {}));
  // Only the administrator's patterns open it anyway.
  EXPECT_TRUE(MayOpenSerialDevice(SystemTty(), login.SlavePath(), {"/dev/pts/*"}));
  EXPECT_TRUE(MayOpenSerialDevice(SystemTty(), dir.File("ttyUSB0"), {dir.File("tty*")}));
}

TEST(SerialDeviceRuleTest, AnythingElseIsRefusedAlikeWhetherItExistsOrNot) {
  test::TempDir dir;
  dir.Write("file", "x");
  for (const std::string& path :
       {std::string("/dev/null"), std::string("/dev/tty"), std::string("/dev/console"),
        dir.File("file"), dir.File("missing"), std::string("/dev/pts/999999")}) {
    EXPECT_FALSE(MayOpenSerialDevice(SystemTty(), path, {})) << path;
  }
  EXPECT_TRUE(MayOpenSerialDevice(SystemTty(), "/dev/null", {"/dev/nu*"}));
}

// Opening a serial device raises DTR and RTS and closing drops them: a
// page that listed ports restarted the boards of everyone on the machine.
TEST(SerialDeviceRuleTest, ListingOpensNothingAndLeavesOutWhatOthersHold) {
  test::TempDir dir;
  test::Pty usb;
  test::Pty busy;
  test::Pty login;
  std::filesystem::create_symlink(usb.SlavePath(), dir.Path() + "/ttyUSB0");
  std::filesystem::create_symlink(busy.SlavePath(), dir.Path() + "/ttyACM0");
  std::filesystem::create_symlink(usb.SlavePath(), dir.Path() + "/ttyS1");
  std::filesystem::create_symlink(login.SlavePath(), dir.Path() + "/ttyAMA0");
  std::filesystem::create_symlink(usb.SlavePath(), dir.Path() + "/other0");
  dir.Write("rfcomm0", "not a device");
  test::HolderProcess holder(busy.SlavePath());
  test::SessionOnTerminal shell(login.SlavePath());
  ASSERT_TRUE(holder.Ready() && shell.Ready());
  test::FakeTty tty;
  const std::vector<std::string> expected = {"COM2", "TTYUSB0"};
  EXPECT_EQ(EnumeratePorts(tty, dir.Path()), expected);
  EXPECT_TRUE(tty.Opened().empty());
  // A port this process holds is named by its number.
  struct stat held {};
  ASSERT_EQ(stat(usb.SlavePath().c_str(), &held), 0);
  EXPECT_TRUE(EnumeratePorts(tty, dir.Path(), {held.st_rdev}).empty());
}

}  // namespace
}  // namespace vantrel
