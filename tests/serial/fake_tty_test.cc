// What a pseudo terminal cannot show, through a fake terminal layer that
// passes everything else to the real one: modem lines, line error counters,
// the exact line settings handed to the device, and a device held by
// another opener.
#include "tests/serial/fake_tty.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial_port.h"
#include "tests/support/process_stats.h"
#include "tests/support/pty_fixture.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using test::FakeTty;

struct Fixture {
  test::LoopThread main;
  test::Pty pty;
  FakeTty tty;
  std::mutex mutex;
  std::vector<std::string> log;       // Guarded by mutex.
  SerialPort port{main.Loop(), tty};  // Last: its handlers use the members above.

  Fixture() { port.SetPort(pty.SlavePath()); }
  void Note(std::string entry) {
    std::lock_guard lock(mutex);
    log.push_back(std::move(entry));
  }
  std::vector<std::string> Log() {
    std::lock_guard lock(mutex);
    return log;
  }
  void RecordSignals() {
    port.SetOnCTSChange([this](SerialPort&, bool on) { Note(on ? "CTS on" : "CTS off"); });
    port.SetOnDSRChange([this](SerialPort&, bool on) { Note(on ? "DSR on" : "DSR off"); });
    port.SetOnRLSDChange([this](SerialPort&, bool on) { Note(on ? "RLSD on" : "RLSD off"); });
    port.SetOnRing([this](SerialPort&) { Note("Ring"); });
  }
};

TEST(FakeTtyTest, DeviceHeldElsewhereMapsToOsCodeFive) {
  Fixture f;
  f.tty.SetOpenError(EBUSY);
  try {
    f.port.OpenPort();
    FAIL() << "opened a busy device";
  } catch (const SerialPortError& error) {
    EXPECT_EQ(error.Code(), kOpenFailed);
    EXPECT_EQ(error.OsCode(), 5);
    EXPECT_EQ(error.Message(), "Unable to open com port (win error code: 5)");
  }
  EXPECT_FALSE(f.port.Connected());
}

TEST(FakeTtyTest, RefusedLineSettingsCloseThePortWithoutAfterOpen) {
  Fixture f;
  bool after_open = false;
  f.port.SetOnAfterOpen([&](SerialPort&) { after_open = true; });
  f.tty.SetApplyError(EINVAL);
  const int descriptors = test::OpenDescriptorCount();
  try {
    f.port.OpenPort();
    FAIL() << "opened with refused settings";
  } catch (const SerialPortError& error) {
    EXPECT_EQ(error.Code(), kSetStateFailed);
    EXPECT_EQ(error.OsCode(), 87);
  }
  EXPECT_FALSE(f.port.Connected());
  EXPECT_FALSE(after_open);
  EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
}

TEST(FakeTtyTest, EverySettingReachesTheDeviceAndChangesApplyAtOnce) {
  Fixture f;
  f.port.SetDataBits(dbSeven);
  SerialParity parity;
  parity.Bits = prMark;
  parity.Check = true;
  parity.Replace = true;
  f.port.SetParity(parity);
  f.port.SetStopBits(sbTwoStopBits);
  f.port.SetBaudRate(brCustom);
  f.port.SetCustomBaudRate(31250);
  EXPECT_TRUE(f.tty.Applied().empty());  // Nothing is applied while closed.
  f.port.OpenPort();
  ASSERT_EQ(f.tty.Applied().size(), 1U);
  TtyLineSettings line = f.tty.LastApplied();
  EXPECT_EQ(line.baud, 31250);
  EXPECT_EQ(line.data_bits, 7);
  EXPECT_EQ(line.parity, prMark);
  EXPECT_TRUE(line.parity_check);
  EXPECT_TRUE(line.parity_replace);
  EXPECT_EQ(line.stop_bits, sbTwoStopBits);

  SerialFlowControl flow = f.port.GetFlowControl();
  flow.ControlDTR = dtrEnable;
  flow.XonChar = 'Q';
  f.port.SetFlowControl(flow);
  line = f.tty.LastApplied();
  EXPECT_EQ(line.dtr, dtrEnable);
  EXPECT_EQ(line.xon_char, 'Q');

  // Inside an update nothing is applied until its end.
  const std::size_t before = f.tty.Applied().size();
  f.port.BeginUpdate();
  f.port.SetDataBits(dbFive);
  f.port.SetBaudRate(br110);
  EXPECT_EQ(f.tty.Applied().size(), before);
  f.port.EndUpdate();
  ASSERT_EQ(f.tty.Applied().size(), before + 1);
  EXPECT_EQ(f.tty.LastApplied().data_bits, 5);
  EXPECT_EQ(f.tty.LastApplied().baud, 110);
}

TEST(FakeTtyTest, OpeningReportsTheRealLinesAndClosingReportsThemOff) {
  Fixture f;
  f.RecordSignals();
  f.tty.SetSignals({true, false, false, true});
  f.port.OpenPort();
  f.port.ClosePort();
  const std::vector<std::string> expected = {"CTS on",  "DSR off", "RLSD on",
                                             "CTS off", "DSR off", "RLSD off"};
  EXPECT_EQ(f.Log(), expected);
}

TEST(FakeTtyTest, ModemLineChangesRaiseTheirEventsOnTheMainThread) {
  Fixture f;
  f.port.OpenPort();
  std::atomic<bool> off_loop{false};
  f.port.SetOnCTSChange([&](SerialPort&, bool on) {
    if (!f.main.Loop().IsLoopThread()) off_loop = true;
    f.Note(on ? "CTS on" : "CTS off");
  });
  f.port.SetOnRing([&](SerialPort&) { f.Note("Ring"); });
  f.tty.SetSignals({true, false, true, false});
  ASSERT_TRUE(test::WaitUntil([&] { return f.Log().size() == 2; }, 5s));
  const std::vector<std::string> expected = {"Ring", "CTS on"};  // Dispatch order.
  EXPECT_EQ(f.Log(), expected);
  EXPECT_FALSE(off_loop.load());
}

TEST(FakeTtyTest, LineErrorsAreReportedOnceAndParityOnlyWhenChecked) {
  Fixture f;
  std::mutex mutex;
  std::vector<SerialErrors> reported;
  f.port.SetOnError([&](SerialPort&, SerialErrors errors) {
    std::lock_guard lock(mutex);
    reported.push_back(errors);
  });
  f.port.OpenPort();
  f.tty.AddErrors({1, 1, 1, 0, 1});
  f.pty.Send("x");  // The error comes with a byte, which wakes the event thread.
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        std::lock_guard lock(mutex);
        return !reported.empty();
      },
      5s));
  {
    std::lock_guard lock(mutex);
    ASSERT_EQ(reported.size(), 1U);
    EXPECT_EQ(reported[0], kFramingError | kOverrunError | kReceiveOverflowError);
  }
  EXPECT_EQ(f.port.PendingErrors(), 0);  // Read and cleared.

  SerialParity parity;
  parity.Check = true;
  f.port.SetParity(parity);
  f.tty.AddErrors({0, 2, 0, 0, 0});
  EXPECT_EQ(f.port.PendingErrors(), kParityError);
}

TEST(FakeTtyTest, DtrLineFollowsSetDTRLine) {
  Fixture f;
  f.port.OpenPort();
  f.port.SetDTRLine(true);
  EXPECT_TRUE(f.tty.Dtr());
  f.port.SetDTRLine(false);
  EXPECT_FALSE(f.tty.Dtr());
}

// A wait or an input count that keeps failing would have the event thread
// wake at once for ever: it is reported once as the device's loss, the
// thread then only waits for ClosePort, and closing returns.
TEST(FakeTtyTest, EventThreadReportsAFailingWaitOrCountOnceInsteadOfSpinning) {
  for (const bool fail_poll : {true, false}) {
    Fixture f;
    std::atomic<int> errors{0};
    std::atomic<SerialErrors> last{0};
    f.port.SetOnError([&](SerialPort&, SerialErrors e) {
      last = e;
      ++errors;
    });
    f.port.OpenPort();
    if (fail_poll) {
      f.tty.SetPollError(ENOMEM);
    } else {
      f.tty.SetCountError(EIO);
    }
    f.pty.Send("x");  // Wakes the thread, which then meets the failure.
    ASSERT_TRUE(test::WaitUntil([&] { return errors.load() == 1; }, 5s)) << fail_poll;
    EXPECT_NE(last.load() & kDeviceIoError, 0);
    const double cpu_before = test::ProcessCpuSeconds();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(test::ProcessCpuSeconds() - cpu_before, 0.15) << fail_poll;
    EXPECT_EQ(errors.load(), 1);
    f.tty.SetPollError(0);
    f.tty.SetCountError(0);
    f.port.ClosePort();
    EXPECT_FALSE(f.port.Connected());
  }
}

}  // namespace
}  // namespace vantrel
