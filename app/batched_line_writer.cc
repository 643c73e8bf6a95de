#include "app/batched_line_writer.h"

#include <utility>

namespace vantrel {

BatchedLineWriter::BatchedLineWriter(std::FILE* stream)
    : stream_(stream), flusher_([this] { RunFlusher(); }) {}

BatchedLineWriter::~BatchedLineWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  flusher_.join();
}

void BatchedLineWriter::WriteLine(std::string_view line) {
  bool was_empty;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    was_empty = pending_.empty();
    pending_.append(line).push_back('\n');
  }
  // The flusher only sleeps on an empty buffer, so only the first line of
  // a batch needs to wake it.
  if (was_empty) wake_.notify_one();
}

void BatchedLineWriter::RunFlusher() {
  std::string batch;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (!stopping_) {
      // Lets the lines of a burst join this one in a single write.
      wake_.wait_for(lock, kGatherTime, [this] { return stopping_; });
    }
    batch.clear();
    std::swap(batch, pending_);
    const bool stop = stopping_;
    lock.unlock();
    if (!batch.empty()) {
      std::fwrite(batch.data(), 1, batch.size(), stream_);
      std::fflush(stream_);
    }
    if (stop) return;
    lock.lock();
  }
}

}  // namespace vantrel
