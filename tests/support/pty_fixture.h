// Test helpers for the serial port: a pseudo terminal whose master end the
// test drives as the device, and an event loop running on its own thread
// as the main thread.
#ifndef VANTREL_TESTS_SUPPORT_PTY_FIXTURE_H_
#define VANTREL_TESTS_SUPPORT_PTY_FIXTURE_H_

#include <string>
#include <thread>

#include "base/local_event_loop.h"

namespace vantrel::test {

class Pty {
 public:
  Pty();  // Fails the test (fatal) when no pseudo terminal can be had.
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& SlavePath() const { return slave_path_; }
  int Master() const { return master_; }
  // The slave end as the test opened it, for reading back its settings.
  int Slave() const { return slave_; }

  // Writes all of `bytes` on the master end.
  void Send(const std::string& bytes);
  // Reads from the master until `count` bytes have come or a second passes.
  std::string Receive(std::size_t count);
  // Bytes the port has written that the master has not read yet.
  int QueuedAtMaster() const;
  // Closes both ends the test holds: the device goes away.
  void Vanish();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

// A child process in a session of its own whose controlling terminal is
// the terminal at `path`, as a login shell's is; ended on destruction.
class SessionOnTerminal {
 public:
  explicit SessionOnTerminal(const std::string& path);
  ~SessionOnTerminal();
  SessionOnTerminal(const SessionOnTerminal&) = delete;
  SessionOnTerminal& operator=(const SessionOnTerminal&) = delete;

  // The child holds the terminal as its controlling terminal.
  bool Ready() const { return ready_; }

 private:
  int pid_ = -1;
  bool ready_ = false;
};

// A process that holds the file at `path` open (not as its terminal), as
// another program holds a serial port; ended on destruction.
class HolderProcess {
 public:
  explicit HolderProcess(const std::string& path);
  ~HolderProcess();
  HolderProcess(const HolderProcess&) = delete;
  HolderProcess& operator=(const HolderProcess&) = delete;

  bool Ready() const { return ready_; }

 private:
  int pid_ = -1;
  bool ready_ = false;
};

// A LocalEventLoop run by a thread of its own; quits and joins on
// destruction.
class LoopThread {
 public:
  LoopThread();
  ~LoopThread();
  LoopThread(const LoopThread&) = delete;
  LoopThread& operator=(const LoopThread&) = delete;

  LocalEventLoop& Loop() { return loop_; }

 private:
  LocalEventLoop loop_;
  std::thread thread_;
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SUPPORT_PTY_FIXTURE_H_
