// The serial port on real pseudo terminals: the port opens the slave by its
// path and the test plays the device on the master.
#include "serial/serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_stats.h"
#include "tests/support/pty_fixture.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using test::LoopThread;
using test::Pty;
using test::WaitUntil;

// Collects what the handlers saw; every member is guarded by `mutex`.
struct Recorder {
  std::mutex mutex;
  std::string received;
  std::vector<std::string> log;
  std::vector<int> counts;
  int errors = 0;
  SerialErrors last_errors = 0;
  bool off_loop = false;  // A handler ran off the main loop.

  void Note(std::string entry) {
    std::lock_guard lock(mutex);
    log.push_back(std::move(entry));
  }
  std::string Received() {
    std::lock_guard lock(mutex);
    return received;
  }
  std::vector<std::string> Log() {
    std::lock_guard lock(mutex);
    return log;
  }
  int Errors() {
    std::lock_guard lock(mutex);
    return errors;
  }
};

// What the gateway's receive handler does: read the count, keep the bytes.
void CollectReceived(SerialPort& port, Recorder& recorder, EventLoop& loop) {
  port.SetOnRxChar([&recorder, &loop](SerialPort& sender, int count) {
    const std::string bytes = sender.ReadText(count);
    std::lock_guard lock(recorder.mutex);
    if (!loop.IsLoopThread()) recorder.off_loop = true;
    recorder.counts.push_back(count);
    recorder.received += bytes;
  });
  port.SetOnError([&recorder](SerialPort&, SerialErrors errors) {
    std::lock_guard lock(recorder.mutex);
    ++recorder.errors;
    recorder.last_errors = errors;
  });
}

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return bytes;
}

int ErrorCodeOf(const std::function<void()>& action, int* os_code = nullptr) {
  try {
    action();
  } catch (const SerialPortError& error) {
    if (os_code != nullptr) *os_code = error.OsCode();
    return error.Code();
  }
  return 0;
}

TEST(SerialPortTest, OpenAppliesTheSettingsAndReappliesChangesAtOnce) {
  LoopThread main;
  Pty pty;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetBaudRate(br19200);
  SerialFlowControl flow = port.GetFlowControl();
  flow.SetFlowControl(fcHardware);
  flow.XonChar = 0x11;
  flow.XoffChar = 0x13;
  port.SetFlowControl(flow);
  port.OpenPort();
  ASSERT_TRUE(port.Connected());

  termios t{};
  ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_NE(t.c_cflag & CRTSCTS, 0U);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0U);  // Raw: bytes pass untouched.
  EXPECT_EQ(t.c_oflag & OPOST, 0U);

  port.SetBaudRate(br115200);
  flow.SetFlowControl(fcSoftware);
  port.SetFlowControl(flow);
  ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0U);
  EXPECT_NE(t.c_iflag & IXON, 0U);
  EXPECT_NE(t.c_iflag & IXOFF, 0U);

  // Rates outside the classic set go through the arbitrary-rate interface.
  port.SetBaudRate(br14400);
  ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
  constexpr speed_t kOtherRate = 0010000;  // BOTHER.
  EXPECT_EQ(::cfgetospeed(&t), kOtherRate);
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
}

TEST(SerialPortTest, MissingDeviceIsCodeOneWithOsCodeTwoAndStaysClosed) {
  LoopThread main;
  SerialPort port(main.Loop());
  bool after_open = false;
  port.SetOnAfterOpen([&](SerialPort&) { after_open = true; });
  port.SetPort("/dev/vantrel-no-such-tty");
  int os_code = 0;
  EXPECT_EQ(ErrorCodeOf([&] { port.OpenPort(); }, &os_code), kOpenFailed);
  EXPECT_EQ(os_code, 2);
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(after_open);
}

TEST(SerialPortTest, PortOpenElsewhereIsCodeOneWithOsCodeFive) {
  LoopThread main;
  Pty pty;
  SerialPort first(main.Loop());
  SerialPort second(main.Loop());
  first.SetPort(pty.SlavePath());
  second.SetPort(pty.SlavePath());
  first.OpenPort();
  int os_code = 0;
  EXPECT_EQ(ErrorCodeOf([&] { second.OpenPort(); }, &os_code), kOpenFailed);
  EXPECT_EQ(os_code, 5);
  EXPECT_FALSE(second.Connected());
  first.ClosePort();
  second.OpenPort();  // Free again once closed.
  EXPECT_TRUE(second.Connected());
}

TEST(SerialPortTest, FileThatIsNotATerminalDoesNotOpen) {
  LoopThread main;
  test::TempDir dir;
  const std::string path = dir.Path() + "/plain";
  {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  SerialPort port(main.Loop());
  port.SetPort(path);
  EXPECT_EQ(ErrorCodeOf([&] { port.OpenPort(); }), kOpenFailed);
  EXPECT_FALSE(port.Connected());
}

TEST(SerialPortTest, WrittenAndReceivedBytesCrossUnchanged) {
  LoopThread main;
  Pty pty;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetEvents(SerialEvents());  // Nobody else reads the input.
  port.OpenPort();

  EXPECT_EQ(port.WriteText(""), 0);
  std::string binary("\0\x11\x13\r\n\xff", 6);
  EXPECT_EQ(port.WriteText("hello" + binary), 11);
  EXPECT_EQ(pty.Receive(11), "hello" + binary);

  EXPECT_EQ(port.ReadText(10), "");  // Nothing has come: returns at once.
  EXPECT_EQ(port.ReadText(0), "");
  pty.Send("world" + binary);
  ASSERT_TRUE(WaitUntil([&] { return port.InputQueueCount() == 11; }, 5s));
  EXPECT_EQ(port.ReadText(3), "wor");
  EXPECT_EQ(port.ReadText(100), "ld" + binary);
}

TEST(SerialPortTest, ClosedPortFailsTransfersWithTheirCodes) {
  LoopThread main;
  SerialPort port(main.Loop());
  EXPECT_EQ(ErrorCodeOf([&] { port.WriteText("x"); }), kWriteFailed);
  EXPECT_EQ(ErrorCodeOf([&] { port.ReadText(1); }), kReadFailed);
  EXPECT_EQ(ErrorCodeOf([&] { port.InputQueueCount(); }), kClearErrorFailed);
  EXPECT_EQ(ErrorCodeOf([&] { port.SetDTRLine(true); }), kEscapeFailed);
  EXPECT_EQ(ErrorCodeOf([&] { port.AbortTransfers(); }), kPurgeFailed);
  EXPECT_EQ(port.WriteText(""), 0);  // Nothing to write: no error.
  EXPECT_EQ(ErrorCodeOf([&] { port.WriteBuffer(nullptr, 3); }), kInvalidAsyncParameter);
}

TEST(SerialPortTest, PseudoTerminalHasNoModemLinesButDtrDoesNotFail) {
  LoopThread main;
  Pty pty;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.OpenPort();
  const ModemSignalStates signals = port.ModemSignals();
  EXPECT_FALSE(signals.CTS || signals.DSR || signals.Ring || signals.RLSD);
  EXPECT_NO_THROW(port.SetDTRLine(true));
  EXPECT_EQ(port.PendingErrors(), 0);
}

TEST(SerialPortTest, SyncMethodCannotChangeWhileOpen) {
  LoopThread main;
  Pty pty;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.OpenPort();
  int os_code = 0;
  EXPECT_EQ(ErrorCodeOf([&] { port.SetSyncMethod(smNone); }, &os_code), kSetWhileConnected);
  EXPECT_EQ(os_code, -1);
  port.ClosePort();
  port.SetSyncMethod(smNone);
  EXPECT_EQ(port.GetSyncMethod(), smNone);
}

TEST(SerialPortTest, WriteStopsAtItsTimeOutWhenTheDeviceTakesNoMore) {
  LoopThread main;
  Pty pty;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetTimeouts({-1, 0, 0, 0, 200});
  port.OpenPort();
  const std::string big = Pattern(4 << 20);  // Far more than the terminal holds.
  const int written = port.WriteText(big);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(big.size()));
  // A limit of the caller's own ends it sooner than the time-out (here
  // hours) would.
  port.SetTimeouts({-1, 0, 0, 100, 1000});
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(port.WriteText(big, Deadline::After(200)), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(SerialPortTest, AbortTransfersEndsAWriteThatWouldWaitForever) {
  LoopThread main;
  Pty pty;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetTimeouts({-1, 0, 0, 0, 60000});  // Far longer than the test.
  port.OpenPort();
  const std::string big = Pattern(4 << 20);
  auto write =
      std::async(std::launch::async, [&] { return ErrorCodeOf([&] { port.WriteText(big); }); });
  ASSERT_TRUE(WaitUntil([&] { return pty.QueuedAtMaster() > 0; }, 10s));  // Writing now.
  port.AbortTransfers();
  EXPECT_EQ(write.get(), kWriteFailed);
  port.SetTimeouts(SerialTimeouts());
  pty.Receive(big.size());                // Room again for the next write.
  EXPECT_EQ(port.WriteText("after"), 5);  // The port still works.
}

TEST(SerialPortTest, ClosingAbortsAWriteInProgress) {
  LoopThread main;
  Pty pty;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetTimeouts({-1, 0, 0, 0, 60000});
  port.OpenPort();
  const std::string big = Pattern(4 << 20);
  auto write =
      std::async(std::launch::async, [&] { return ErrorCodeOf([&] { port.WriteText(big); }); });
  ASSERT_TRUE(WaitUntil([&] { return pty.QueuedAtMaster() > 0; }, 10s));
  port.ClosePort();
  EXPECT_EQ(write.get(), kWriteFailed);
}

class SerialPortSyncTest : public ::testing::TestWithParam<SyncMethod> {};

TEST_P(SerialPortSyncTest, ReceivedBytesArriveOnceEachAndInOrder) {
  LoopThread main;
  Pty pty;
  Recorder recorder;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetSyncMethod(GetParam());
  CollectReceived(port, recorder, main.Loop());
  port.OpenPort();

  const std::string first = Pattern(1000);
  pty.Send(first);
  ASSERT_TRUE(WaitUntil([&] { return recorder.Received().size() == first.size(); }, 10s));
  EXPECT_EQ(recorder.Received(), first);

  // Bursts while the main thread is busy: nothing lost, nothing doubled.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  main.Loop().Post([released] { released.wait(); });
  std::string bursts;
  for (int i = 0; i < 20; ++i) {
    const std::string burst = Pattern(300 + i);
    bursts += burst;
    pty.Send(burst);
    std::this_thread::sleep_for(2ms);
  }
  release.set_value();
  ASSERT_TRUE(
      WaitUntil([&] { return recorder.Received().size() >= first.size() + bursts.size(); }, 10s));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(recorder.Received(), first + bursts);
  std::lock_guard lock(recorder.mutex);
  for (int count : recorder.counts) EXPECT_GT(count, 0);
  EXPECT_EQ(recorder.off_loop, GetParam() == smNone);
}

INSTANTIATE_TEST_SUITE_P(AllMethods, SerialPortSyncTest,
                         ::testing::Values(smThreadSync, smWindowSync, smNone));

TEST(SerialPortTest, ClosingOnTheMainThreadWhileAHandOverWaitsDoesNotDeadlock) {
  LoopThread main;
  Pty pty;
  Recorder recorder;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  CollectReceived(port, recorder, main.Loop());
  port.OpenPort();

  std::promise<void> closed;
  main.Loop().Post([&] {
    // Bytes arrive while the main thread is busy here, so the event thread
    // is waiting for its hand-over when the main thread closes the port.
    pty.Send("waiting");
    WaitUntil([&] { return port.InputQueueCount() > 0; }, 5s);
    std::this_thread::sleep_for(50ms);
    port.ClosePort();
    closed.set_value();
  });
  ASSERT_EQ(closed.get_future().wait_for(20s), std::future_status::ready);
  EXPECT_FALSE(port.Connected());
  // The abandoned hand-over, run later, raises nothing for a closed port.
  main.Loop().Invoke([] {});
  EXPECT_EQ(recorder.Received(), "");
}

TEST(SerialPortTest, ClosingFromAnotherThreadWhileTheMainThreadIsBusyReturns) {
  LoopThread main;
  Pty pty;
  Recorder recorder;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  CollectReceived(port, recorder, main.Loop());
  port.OpenPort();
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  main.Loop().Post([released] { released.wait(); });
  pty.Send("x");
  ASSERT_TRUE(WaitUntil([&] { return port.InputQueueCount() > 0; }, 5s));
  std::this_thread::sleep_for(50ms);
  port.ClosePort();  // The hand-over has not started: it is cancelled.
  release.set_value();
  main.Loop().Invoke([] {});
  EXPECT_EQ(recorder.Received(), "");
}

TEST(SerialPortTest, HandlerMayCloseThePortFromInsideAnEvent) {
  for (SyncMethod method : {smThreadSync, smWindowSync, smNone}) {
    LoopThread main;
    Pty pty;
    SerialPort port(main.Loop());
    port.SetPort(pty.SlavePath());
    port.SetSyncMethod(method);
    std::atomic<int> calls{0};
    port.SetOnRxChar([&](SerialPort& sender, int) {
      ++calls;
      sender.ClosePort();
    });
    port.OpenPort();
    pty.Send("close me");
    ASSERT_TRUE(WaitUntil([&] { return !port.Connected(); }, 5s)) << method;
    EXPECT_EQ(calls.load(), 1);
    port.OpenPort();  // And it opens again.
    EXPECT_TRUE(port.Connected());
  }
}

TEST(SerialPortTest, OpenAndCloseRaiseTheirEventsInOrder) {
  LoopThread main;
  Pty pty;
  Recorder recorder;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetOnBeforeOpen([&](SerialPort&) { recorder.Note("BeforeOpen"); });
  port.SetOnAfterOpen([&](SerialPort&) { recorder.Note("AfterOpen"); });
  port.SetOnBeforeClose([&](SerialPort&) { recorder.Note("BeforeClose"); });
  port.SetOnAfterClose([&](SerialPort& sender) {
    recorder.Note(sender.Connected() ? "AfterClose while connected" : "AfterClose");
  });
  port.SetOnCTSChange([&](SerialPort&, bool on) { recorder.Note(on ? "CTS on" : "CTS off"); });
  port.SetOnDSRChange([&](SerialPort&, bool on) { recorder.Note(on ? "DSR on" : "DSR off"); });
  port.SetOnRLSDChange([&](SerialPort&, bool on) { recorder.Note(on ? "RLSD on" : "RLSD off"); });
  port.OpenPort();
  port.OpenPort();  // Already open: nothing.
  port.ClosePort();
  port.ClosePort();  // Already closed: nothing.
  const std::vector<std::string> expected = {"BeforeOpen",  "AfterOpen", "CTS off", "DSR off",
                                             "RLSD off",    "CTS off",   "DSR off", "RLSD off",
                                             "BeforeClose", "AfterClose"};
  EXPECT_EQ(recorder.Log(), expected);
}

TEST(SerialPortTest, ChangingPortWhileOpenReopensUnderTheNewName) {
  LoopThread main;
  Pty first;
  Pty second;
  Recorder recorder;
  SerialPort port(main.Loop());
  port.SetPort(first.SlavePath());
  port.SetOnAfterOpen([&](SerialPort&) { recorder.Note("open"); });
  port.OpenPort();
  port.SetPort(second.SlavePath());
  EXPECT_TRUE(port.Connected());
  port.WriteText("to second");
  EXPECT_EQ(second.Receive(9), "to second");
  EXPECT_EQ(recorder.Log().size(), 2U);

  int os_code = 0;
  EXPECT_EQ(ErrorCodeOf([&] { port.SetPort("/dev/vantrel-no-such-tty"); }, &os_code), kOpenFailed);
  EXPECT_EQ(os_code, 2);
  EXPECT_FALSE(port.Connected());
}

TEST(SerialPortTest, EmptyEventsStartNoThreadAndRaiseNothing) {
  LoopThread main;
  Pty pty;
  Recorder recorder;
  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetEvents(SerialEvents());
  CollectReceived(port, recorder, main.Loop());
  const int threads_before = test::ThreadCount();
  port.OpenPort();
  EXPECT_EQ(test::ThreadCount(), threads_before);
  pty.Send("quiet");
  ASSERT_TRUE(WaitUntil([&] { return port.InputQueueCount() == 5; }, 5s));
  std::this_thread::sleep_for(50ms);
  main.Loop().Invoke([] {});
  EXPECT_EQ(recorder.Received(), "");
  EXPECT_EQ(port.ReadText(5), "quiet");
}

TEST(SerialPortTest, ClosingReleasesEveryDescriptorAndThread) {
  LoopThread main;
  Pty pty;
  const int descriptors = test::OpenDescriptorCount();
  const int threads = test::ThreadCount();
  {
    SerialPort port(main.Loop());
    port.SetPort(pty.SlavePath());
    for (int i = 0; i < 3; ++i) {
      port.OpenPort();
      port.ClosePort();
    }
    port.OpenPort();  // The destructor closes this one.
  }
  EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
  EXPECT_TRUE(WaitUntil([&] { return test::ThreadCount() == threads; }, 5s));
}

// A terminal opened as a port was left in raw mode at 9600 baud: closing
// puts back the line as opening found it.
TEST(SerialPortTest, ClosingPutsBackTheLineSettingsOpeningFound) {
  LoopThread main;
  Pty pty;
  termios before{};
  ASSERT_EQ(tcgetattr(pty.Slave(), &before), 0);
  before.c_lflag |= ICANON | ECHO;
  before.c_iflag |= ICRNL;
  cfsetispeed(&before, B38400);
  cfsetospeed(&before, B38400);
  ASSERT_EQ(tcsetattr(pty.Slave(), TCSANOW, &before), 0);
  ASSERT_EQ(tcgetattr(pty.Slave(), &before), 0);

  SerialPort port(main.Loop());
  port.SetPort(pty.SlavePath());
  port.SetBaudRate(br9600);
  port.OpenPort();
  termios opened{};
  ASSERT_EQ(tcgetattr(pty.Slave(), &opened), 0);
  EXPECT_EQ(opened.c_lflag & ICANON, 0u);
  EXPECT_EQ(cfgetospeed(&opened), static_cast<speed_t>(B9600));
  port.ClosePort();

  termios after{};
  ASSERT_EQ(tcgetattr(pty.Slave(), &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B38400));
}

TEST(SerialPortTest, VanishedDeviceIsReportedOnceAndThePortReopensWhenItIsBack) {
  LoopThread main;
  test::TempDir dir;
  const std::string link = dir.Path() + "/device";
  auto pty = std::make_unique<Pty>();
  std::filesystem::create_symlink(pty->SlavePath(), link);
  Recorder recorder;
  SerialPort port(main.Loop());
  port.SetPort(link);
  CollectReceived(port, recorder, main.Loop());
  port.OpenPort();

  pty->Vanish();
  ASSERT_TRUE(WaitUntil([&] { return recorder.Errors() == 1; }, 5s));
  {
    std::lock_guard lock(recorder.mutex);
    EXPECT_NE(recorder.last_errors & kDeviceIoError, 0);
  }
  // The event thread no longer waits on the dead device: no spinning.
  const double cpu_before = test::ProcessCpuSeconds();
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(test::ProcessCpuSeconds() - cpu_before, 0.15);
  EXPECT_EQ(recorder.Errors(), 1);
  int os_code = 0;
  EXPECT_EQ(ErrorCodeOf([&] { port.WriteText("lost"); }, &os_code), kWriteFailed);
  EXPECT_EQ(os_code, 1117);
  EXPECT_EQ(ErrorCodeOf([&] { port.ReadText(1); }), kReadFailed);

  port.ClosePort();
  pty = std::make_unique<Pty>();
  std::filesystem::remove(link);
  std::filesystem::create_symlink(pty->SlavePath(), link);
  port.OpenPort();
  EXPECT_EQ(port.WriteText("back"), 4);
  EXPECT_EQ(pty->Receive(4), "back");
  pty->Send("again");
  ASSERT_TRUE(WaitUntil([&] { return recorder.Received() == "again"; }, 5s));
}

}  // namespace
}  // namespace vantrel
