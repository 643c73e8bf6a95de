// How quickly received bytes reach the main thread through the serial port:
// the latency of one byte from the device to OnRxChar on the main loop, and
// the throughput of a long stream through a pseudo terminal.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/local_event_loop.h"
#include "serial/serial_port.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

// A pseudo terminal (the device's side is the master) and a main loop on a
// thread of its own, with a port that collects what arrives.
class Rig {
 public:
  Rig() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    termios raw{};
    ::tcgetattr(master_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master_, TCSANOW, &raw);
    loop_thread_ = std::thread([this] { loop_.Run(); });
    port_.SetPort(name);
    port_.SetOnRxChar([this](SerialPort& sender, int count) {
      const std::string bytes = sender.ReadText(count);
      std::lock_guard lock(mutex_);
      received_ += bytes;
      arrived_.notify_all();
    });
    port_.OpenPort();
  }
  ~Rig() {
    port_.ClosePort();
    loop_.Quit();
    if (loop_thread_.joinable()) loop_thread_.join();
    ::close(slave_);
    ::close(master_);
  }

  bool Send(const char* data, std::size_t size) {
    std::size_t sent = 0;
    while (sent < size) {
      const ssize_t n = ::write(master_, data + sent, size - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
        return false;
      }
    }
    return true;
  }
  // Waits until `size` bytes in all have arrived; false after 10 s.
  bool WaitFor(std::size_t size) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return received_.size() >= size; });
  }
  std::string Take() {
    std::lock_guard lock(mutex_);
    std::string bytes;
    bytes.swap(received_);
    return bytes;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  LocalEventLoop loop_;
  std::thread loop_thread_;
  SerialPort port_{loop_};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::string received_;  // Guarded by mutex_.
};

void BM_ByteLatencyToMainThread(benchmark::State& state) {
  Rig rig;
  std::vector<double> micros;
  micros.reserve(100000);
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!rig.Send("x", 1) || !rig.WaitFor(1)) {
      state.SkipWithError("byte lost");
      break;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    rig.Take();
  }
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}
BENCHMARK(BM_ByteLatencyToMainThread)->Iterations(2000)->UseRealTime();

void BM_TenMebibytesThroughPseudoTerminal(benchmark::State& state) {
  constexpr std::size_t kTotal = 10U << 20;
  std::string data(kTotal, '\0');
  std::uint32_t seed = 12345;
  for (char& c : data) {
    seed = seed * 1664525U + 1013904223U;
    c = static_cast<char>(seed >> 24);
  }
  for (auto _ : state) {
    Rig rig;
    std::thread writer([&] { rig.Send(data.data(), data.size()); });
    const bool complete = rig.WaitFor(kTotal);
    writer.join();
    if (!complete || rig.Take() != data) {
      state.SkipWithError("bytes lost or changed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_TenMebibytesThroughPseudoTerminal)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel
