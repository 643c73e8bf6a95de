// Lines for a stdio stream, written from any thread in the order they come
// and flushed by a thread of its own.
//
// The headless gateway prints every log line on standard output. Under load
// each request logs two lines from its own connection thread; one write
// call a line, made under the log's lock, kept the connection threads
// waiting on each other. Here a line is only added to a buffer; the
// flusher wakes for the first line after a quiet spell, gathers for
// kGatherTime what else arrives, and writes it all in one go. A line is
// out within about that time, and destroying the writer writes what is
// left.
#ifndef VANTREL_APP_BATCHED_LINE_WRITER_H_
#define VANTREL_APP_BATCHED_LINE_WRITER_H_

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace vantrel {

class BatchedLineWriter {
 public:
  static constexpr std::chrono::milliseconds kGatherTime{2};

  explicit BatchedLineWriter(std::FILE* stream);
  BatchedLineWriter(const BatchedLineWriter&) = delete;
  BatchedLineWriter& operator=(const BatchedLineWriter&) = delete;
  // Writes what is still buffered and stops the flusher.
  ~BatchedLineWriter();

  // Adds `line` and a line feed. Any thread.
  void WriteLine(std::string_view line);

 private:
  void RunFlusher();

  std::FILE* const stream_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string pending_;    // Guarded by mutex_.
  bool stopping_ = false;  // Guarded by mutex_.
  std::thread flusher_;    // Last: starts when everything else is ready.
};

}  // namespace vantrel

#endif  // VANTREL_APP_BATCHED_LINE_WRITER_H_
