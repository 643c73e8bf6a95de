// A terminal layer for tests: passes everything to the real one, except
// what pseudo terminals cannot show (modem lines, line error counters, DTR),
// which it plays itself, and the failures a test injects. It records the
// line settings handed to the device and the paths it opened. Safe on any
// thread.
#ifndef VANTREL_TESTS_SERIAL_FAKE_TTY_H_
#define VANTREL_TESTS_SERIAL_FAKE_TTY_H_

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "serial/tty_platform.h"

namespace vantrel::test {

class FakeTty : public TtyPlatform {
 public:
  int Open(const std::string& path, int* fd) override {
    {
      std::lock_guard lock(mutex_);
      opened_.push_back(path);
      if (open_error_ != 0) return open_error_;
    }
    return SystemTty().Open(path, fd);
  }
  void Close(int fd) override { SystemTty().Close(fd); }
  int SaveLine(int fd, TtySavedLine* line) override { return SystemTty().SaveLine(fd, line); }
  int RestoreLine(int fd, const TtySavedLine& line) override {
    return SystemTty().RestoreLine(fd, line);
  }
  int ApplyLineSettings(int fd, const TtyLineSettings& settings) override {
    {
      std::lock_guard lock(mutex_);
      applied_.push_back(settings);
      if (apply_error_ != 0) return apply_error_;
    }
    return SystemTty().ApplyLineSettings(fd, settings);
  }
  int InputQueueCount(int fd, int* count) override {
    {
      std::lock_guard lock(mutex_);
      if (count_error_ != 0) return count_error_;
    }
    return SystemTty().InputQueueCount(fd, count);
  }
  int OutputQueueCount(int fd, int* count) override {
    return SystemTty().OutputQueueCount(fd, count);
  }
  int Discard(int fd, bool input, bool output) override {
    return SystemTty().Discard(fd, input, output);
  }
  int ModemSignals(int, ModemSignalStates* signals) override {
    std::lock_guard lock(mutex_);
    *signals = signals_;
    return 0;
  }
  int SetDtr(int, bool on) override {
    std::lock_guard lock(mutex_);
    dtr_ = on;
    return 0;
  }
  int ErrorCounts(int, TtyErrorCounts* counts) override {
    std::lock_guard lock(mutex_);
    *counts = counts_;
    return 0;
  }
  int OpenPipe(int* read_end, int* write_end) override {
    return SystemTty().OpenPipe(read_end, write_end);
  }
  void CloseDescriptor(int fd) override { SystemTty().CloseDescriptor(fd); }
  int Read(int fd, void* buffer, std::size_t size, std::size_t* got) override {
    return SystemTty().Read(fd, buffer, size, got);
  }
  int Write(int fd, const void* data, std::size_t size, std::size_t* written) override {
    return SystemTty().Write(fd, data, size, written);
  }
  int Poll(pollfd* fds, std::size_t count, int timeout_ms, int* ready) override {
    {
      std::lock_guard lock(mutex_);
      if (poll_error_ != 0) return poll_error_;
    }
    return SystemTty().Poll(fds, count, timeout_ms, ready);
  }
  int ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
    return SystemTty().ListDirectory(dir, names);
  }
  int FileGroup(const std::string& path, std::string* group) override {
    return SystemTty().FileGroup(path, group);
  }
  int DescribeDevice(const std::string& path, TtyDeviceFacts* facts) override {
    return SystemTty().DescribeDevice(path, facts);
  }
  int SessionTerminals(std::vector<std::uint64_t>* devices) override {
    return SystemTty().SessionTerminals(devices);
  }
  int DevicesInUse(std::vector<std::uint64_t>* devices) override {
    return SystemTty().DevicesInUse(devices);
  }
  int LockFileHeld(const std::string& name, bool* held) override {
    return SystemTty().LockFileHeld(name, held);
  }

  void SetOpenError(int error) {
    std::lock_guard lock(mutex_);
    open_error_ = error;
  }
  // Every later Poll, or InputQueueCount, fails with `error` (0: none).
  void SetPollError(int error) {
    std::lock_guard lock(mutex_);
    poll_error_ = error;
  }
  void SetCountError(int error) {
    std::lock_guard lock(mutex_);
    count_error_ = error;
  }
  void SetApplyError(int error) {
    std::lock_guard lock(mutex_);
    apply_error_ = error;
  }
  void SetSignals(ModemSignalStates signals) {
    std::lock_guard lock(mutex_);
    signals_ = signals;
  }
  void AddErrors(const TtyErrorCounts& more) {
    std::lock_guard lock(mutex_);
    counts_.framing += more.framing;
    counts_.parity += more.parity;
    counts_.overrun += more.overrun;
    counts_.breaks += more.breaks;
    counts_.buffer_overrun += more.buffer_overrun;
  }
  std::vector<TtyLineSettings> Applied() {
    std::lock_guard lock(mutex_);
    return applied_;
  }
  TtyLineSettings LastApplied() {
    std::lock_guard lock(mutex_);
    return applied_.empty() ? TtyLineSettings() : applied_[applied_.size() - 1];
  }
  bool Dtr() {
    std::lock_guard lock(mutex_);
    return dtr_;
  }
  // The paths Open was asked for, in order.
  std::vector<std::string> Opened() {
    std::lock_guard lock(mutex_);
    return opened_;
  }

 private:
  std::mutex mutex_;
  int open_error_ = 0;                    // Guarded by mutex_.
  int apply_error_ = 0;                   // Guarded by mutex_.
  int poll_error_ = 0;                    // Guarded by mutex_.
  int count_error_ = 0;                   // Guarded by mutex_.
  ModemSignalStates signals_;             // Guarded by mutex_.
  TtyErrorCounts counts_;                 // Guarded by mutex_.
  std::vector<TtyLineSettings> applied_;  // Guarded by mutex_.
  bool dtr_ = false;                      // Guarded by mutex_.
  std::vector<std::string> opened_;       // Guarded by mutex_.
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SERIAL_FAKE_TTY_H_
