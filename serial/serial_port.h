// A serial port: the line settings, opening and closing the device, writing
// and reading bytes, and an event thread that waits for line events and has
// them handled on the main thread.
//
// Threads. The port is owned by one object (the gateway's main window) and
// may be used from any thread: OpenPort, ClosePort, the transfers and the
// setters are safe to call concurrently, but closing while another thread is
// still writing aborts that write (it fails with code 2). While open, an
// event thread (when Events is not empty) waits in poll() on the device and
// on a wake-up pipe, and hands its events over according to SyncMethod:
//   smThreadSync  each dispatch runs on the main loop (`main_loop`) while the
//                 event thread waits for it. A ClosePort on the main thread
//                 cancels a hand-over that has not started, so it never
//                 deadlocks; a ClosePort on another thread waits until a
//                 running hand-over has finished.
//   smWindowSync  each event is posted to the main loop without waiting; an
//                 event whose port has closed in the meantime is dropped, and
//                 an exception from its handler goes to the loop's error
//                 handler.
//   smNone        events run on the event thread itself.
// An exception escaping a handler under smThreadSync or smNone ends event
// delivery until the port is reopened; the exception is passed on to the
// main loop (its error handler reports it).
//
// Handlers are called without any lock of the port held, so they may call
// every method, ClosePort included. A handler runs on the thread the rules
// above give; OnBeforeOpen, OnAfterOpen, OnBeforeClose, OnAfterClose and the
// signal reports of opening and closing run on the caller of OpenPort or
// ClosePort.
//
// A device that goes away while open (its pseudo terminal's other end
// closed, a USB adapter pulled), or that the event thread can no longer wait
// on or ask for its input count, is reported once as OnError with the
// device-I/O bit; the event thread then waits only for ClosePort, and every
// transfer fails (codes 2 and 3 with the operating-system code 1117) until
// the port is closed and opened again.
//
// Errors: every failure raises SerialPortError (serial/serial_port_error.h).
// Lifetime: `main_loop` and `tty` must outlive the port. Destroy the port on
// the main thread or after the main loop has stopped running its tasks; the
// destructor closes the port.
#ifndef VANTREL_SERIAL_SERIAL_PORT_H_
#define VANTREL_SERIAL_SERIAL_PORT_H_

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/deadline.h"
#include "base/event_loop.h"
#include "serial/serial_port_error.h"
#include "serial/serial_settings.h"
#include "serial/tty_platform.h"

namespace vantrel {

class SerialPort {
 public:
  using NotifyEvent = std::function<void(SerialPort& sender)>;
  using RxCharEvent = std::function<void(SerialPort& sender, int count)>;
  using RxBufEvent = std::function<void(SerialPort& sender, const char* buffer, int count)>;
  using SerialSignalEvent = std::function<void(SerialPort& sender, bool on_off)>;
  using SerialErrorEvent = std::function<void(SerialPort& sender, SerialErrors errors)>;

  explicit SerialPort(EventLoop& main_loop, TtyPlatform& tty = SystemTty());
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device named by Port and starts the event thread; nothing when
  // already open. Order: OnBeforeOpen, open and configure, OnAfterOpen, then
  // OnCTSChange, OnDSRChange, OnRLSDChange with the lines' states. A failure
  // (code 1 for the device, 7 for its settings) leaves the port closed
  // without OnAfterOpen.
  void OpenPort();
  // Order: OnCTSChange, OnDSRChange, OnRLSDChange with false, OnBeforeClose,
  // abort transfers, stop the event thread, discard both queues, close,
  // OnAfterClose. Nothing when closed.
  void ClosePort();

  // Writes all bytes, waiting until they are taken by the device or the
  // write time-out (WriteTotalMultiplier × bytes + WriteTotalConstant ms)
  // passes; returns the bytes written (fewer after a time-out). An empty
  // text writes nothing and returns 0. Code 2 on failure or when closed;
  // code 4 for a null buffer with a positive count.
  int WriteText(std::string_view text);
  int WriteBuffer(const void* data, int count);
  // The same, giving up at `limit` too, when that comes before the write
  // time-out.
  int WriteText(std::string_view text, const Deadline& limit);
  // Reads up to `count` bytes. With the default time-outs it returns at once
  // with what has arrived; otherwise it waits as Timeouts say. Nothing is
  // read for count <= 0. Code 3 on failure or when closed.
  std::string ReadText(int count);
  int ReadBuffer(void* buffer, int count);

  int InputQueueCount();             // Code 10.
  ModemSignalStates ModemSignals();  // Code 11; all off where no modem lines.
  SerialErrors PendingErrors();      // Reads and clears; code 10.
  void SetDTRLine(bool on);          // Code 12; ignored where no modem lines.
  void AbortTransfers();             // Pending transfers fail; code 5 when closed.

  // Settings. Every setter stores the value and, while the port is open and
  // no update is in progress, applies it at once (code 7 when the device
  // refuses line settings).
  bool Connected() const;
  void SetConnected(bool connected);
  // True while the port is open on a device that went away (OnError has
  // reported it); closing clears it.
  bool DeviceLost() const;
  BaudRate GetBaudRate() const;
  void SetBaudRate(BaudRate rate);
  int CustomBaudRate() const;
  void SetCustomBaudRate(int rate);
  std::string Port() const;
  // A different name while open closes and reopens under the new name; a
  // failure to reopen leaves the port closed.
  void SetPort(std::string port);
  SerialParity Parity() const;
  void SetParity(const SerialParity& parity);
  StopBits GetStopBits() const;
  void SetStopBits(StopBits bits);
  DataBits GetDataBits() const;
  void SetDataBits(DataBits bits);
  bool DiscardNull() const;
  void SetDiscardNull(bool discard);
  char EventChar() const;
  void SetEventChar(char event_char);
  SerialEvents Events() const;
  void SetEvents(SerialEvents events);  // Takes effect at the next OpenPort.
  SerialBuffer Buffer() const;
  void SetBuffer(const SerialBuffer& buffer);
  SerialFlowControl GetFlowControl() const;
  void SetFlowControl(const SerialFlowControl& flow);
  SerialTimeouts Timeouts() const;
  void SetTimeouts(const SerialTimeouts& timeouts);
  SyncMethod GetSyncMethod() const;
  void SetSyncMethod(SyncMethod method);  // Code 14 while open.

  // While updates are open, setters only store; the last EndUpdate applies.
  void BeginUpdate();
  void EndUpdate();

  // Set the handlers before opening; changing one while open is safe and
  // takes effect with the next event.
  void SetOnAfterOpen(NotifyEvent handler);
  void SetOnAfterClose(NotifyEvent handler);
  void SetOnBeforeOpen(NotifyEvent handler);
  void SetOnBeforeClose(NotifyEvent handler);
  void SetOnRxChar(RxCharEvent handler);
  // Receives the waiting bytes themselves, read after OnRxChar has run.
  void SetOnRxBuf(RxBufEvent handler);
  void SetOnTxEmpty(NotifyEvent handler);
  void SetOnBreak(NotifyEvent handler);
  void SetOnRing(NotifyEvent handler);
  void SetOnCTSChange(SerialSignalEvent handler);
  void SetOnDSRChange(SerialSignalEvent handler);
  void SetOnRLSDChange(SerialSignalEvent handler);
  // Not raised on this platform: a terminal does not tell which byte arrived
  // without reading it.
  void SetOnRxFlag(NotifyEvent handler);
  void SetOnError(SerialErrorEvent handler);
  void SetOnRx80Full(NotifyEvent handler);

 private:
  friend class SerialEventThread;  // The event thread (serial_event_thread.h).

  enum class State { kClosed, kOpening, kOpen, kClosing };
  struct Handlers {
    NotifyEvent on_after_open, on_after_close, on_before_open, on_before_close;
    RxCharEvent on_rx_char;
    RxBufEvent on_rx_buf;
    NotifyEvent on_tx_empty, on_break, on_ring, on_rx_flag, on_rx80_full;
    SerialSignalEvent on_cts_change, on_dsr_change, on_rlsd_change;
    SerialErrorEvent on_error;
  };
  // What the event thread and the main loop's hand-over tasks share; tasks
  // hold it so that a task outliving its port never touches the port.
  struct SyncState {
    std::mutex mutex;
    std::condition_variable changed;
    // Counts the event threads started: each opening starts generation + 1,
    // so a task of an earlier opening sees that its time is over. Guarded
    // by mutex.
    std::uint64_t generation = 0;
    bool stop = true;  // Guarded by mutex.
    int running = 0;   // Guarded by mutex; tasks running on the loop.
    // True once the thread of `of_generation` is to end. Caller holds mutex.
    bool Ended(std::uint64_t of_generation) const { return stop || generation != of_generation; }
    // Runs `work` when the thread of `of_generation` is still current,
    // counted as running meanwhile so that closing and destruction wait for
    // it; false when it did not run.
    bool RunIfCurrent(std::uint64_t of_generation, const std::function<void()>& work);
  };
  struct Transfer {
    int fd;
    int abort_fd;
    SerialTimeouts timeouts;
    bool discard_null;
  };
  class TransferScope;
  // What the event thread starts from, taken while opening.
  struct ThreadStart {
    int fd = -1;
    int wake_fd = -1;
    std::uint64_t generation = 0;
    bool has_modem_lines = false;
    ModemSignalStates signals;
    bool has_counters = false;
    TtyErrorCounts counts;
  };

  // Handlers (serial_port.cc).
  template <typename Handler, typename... Args>
  void Fire(Handler Handlers::*member, Args... args);
  template <typename Handler>
  void SetHandler(Handler Handlers::*member, Handler handler);
  void FireSignals(const ModemSignalStates& signals);

  // Opening and closing (serial_port_lifecycle.cc). BeginLifecycle claims
  // the open/close step for this thread; false when there is nothing to do
  // (already in the wanted state, or the call is nested inside a handler
  // while another thread opens or closes).
  bool BeginLifecycle(State from, State to);
  void EndLifecycle(State to);
  bool InDispatch() const;          // Caller holds mutex_.
  void AttachDevice(int fd);        // Caller holds mutex_.
  void ConfigureLocked();           // Caller holds mutex_.
  void ApplyLineWhileOpening();     // Caller holds mutex_.
  ThreadStart ThreadStartLocked();  // Caller holds mutex_.
  void ReleaseDevice();             // Closes descriptors; caller holds mutex_.
  void StopEventThread();
  void WaitForHandOvers();
  void JoinFinishedThreads();

  // Settings (serial_port_settings.cc).
  TtyLineSettings LineSettingsLocked() const;
  void ApplyLineLocked();
  template <typename Value>
  Value Get(const Value SerialPort::*field) const;
  template <typename Value>
  void Set(Value SerialPort::*field, const Value& value, bool apply);

  // Transfers (serial_port_transfer.cc).
  Transfer BeginTransfer(int error_code);
  void EndTransfer();
  void Abort(std::unique_lock<std::mutex>& lock);
  int WriteSome(const Transfer& transfer, const char* bytes, int count, const Deadline& limit);
  int ReadSome(const Transfer& transfer, char* bytes, int count);
  // Waits until `fd` is ready for `events` or `deadline` passes; fails with
  // `error_code` when the wait fails or the transfer is aborted.
  void WaitForDevice(const Transfer& transfer, short events, const Deadline& deadline,
                     int error_code);
  void NoteWritten(int written);
  std::uint64_t BytesRead() const;

  // Hand-over of events (serial_event_handover.cc): as SyncMethod says;
  // false when delivery must end.
  bool Deliver(SerialEvents events, std::uint64_t generation);
  bool DeliverHere(SerialEvents events);
  void PostEach(SerialEvents events, std::uint64_t generation);
  bool HandOverAndWait(SerialEvents events, std::uint64_t generation);
  void Dispatch(SerialEvents events);
  void DispatchOne(SerialEvent event);
  void DispatchRxChar();
  bool StillOpen() const;

  EventLoop& loop_;
  TtyPlatform& tty_;
  const std::shared_ptr<SyncState> sync_;

  mutable std::mutex mutex_;
  std::condition_variable state_changed_;
  // Settings. Guarded by mutex_.
  BaudRate baud_rate_ = br9600;
  int custom_baud_rate_ = 9600;
  std::string port_ = "COM1";
  SerialParity parity_;
  StopBits stop_bits_ = sbOneStopBit;
  DataBits data_bits_ = dbEight;
  bool discard_null_ = false;
  char event_char_ = '\0';
  SerialEvents events_ = SerialEvents::All();
  SerialBuffer buffer_;
  SerialFlowControl flow_;
  SerialTimeouts timeouts_;
  SyncMethod sync_method_ = smThreadSync;
  int update_count_ = 0;
  Handlers handlers_;
  // Device state. Guarded by mutex_.
  State state_ = State::kClosed;
  std::thread::id lifecycle_thread_;
  int fd_ = -1;
  int wake_read_ = -1, wake_write_ = -1;    // Wakes the event thread.
  int abort_read_ = -1, abort_write_ = -1;  // Wakes waiting transfers.
  bool device_lost_ = false;
  TtySavedLine saved_line_;  // The line as opening found it; closing puts it back.
  bool tx_check_ = false;    // A write finished; report the empty output queue.
  SerialErrors sticky_errors_ = 0;
  TtyErrorCounts last_counts_;
  std::uint64_t bytes_read_ = 0;  // By ReadBuffer, since construction.
  int active_transfers_ = 0;
  bool aborting_ = false;
  std::thread::id event_thread_id_;
  // Owned by the thread in the open/close step (lifecycle_thread_).
  std::thread event_thread_;
  std::vector<std::thread> finished_threads_;  // Guarded by mutex_.
};

// Calls a handler (if set) without holding the port's lock.
template <typename Handler, typename... Args>
void SerialPort::Fire(Handler Handlers::*member, Args... args) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    handler = handlers_.*member;
  }
  if (handler) handler(*this, args...);
}

}  // namespace vantrel

#endif  // VANTREL_SERIAL_SERIAL_PORT_H_
