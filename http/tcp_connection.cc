#include "http/tcp_connection.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "base/file_stream.h"
#include "base/format.h"
#include "http/net_errors.h"
#include "http/socket_error_text.h"
#include "http/socket_stack.h"

namespace vantrel {
namespace {

// The most bytes handed to one send call.
constexpr std::int64_t kMaxSendChunk = 1 << 30;

}  // namespace

TcpConnection::~TcpConnection() {
  std::lock_guard<std::mutex> lock(socket_mutex_);
  socket_.CloseSocket(Stack(), /*reset_local=*/true);
}

void TcpConnection::SetRecvBufferSize(int size) {
  recv_buffer_size_ = std::max(1, size);
  scratch_.reset();
  scratch_size_ = 0;
}

void TcpConnection::SetSendBufferSize(int size) { send_buffer_size_ = std::max(1, size); }

void TcpConnection::AcceptFrom(int listening_handle) {
  std::lock_guard<std::mutex> lock(socket_mutex_);
  socket_.Accept(Stack(), listening_handle);
}

bool TcpConnection::TryAcceptFrom(int listening_handle) {
  std::lock_guard<std::mutex> lock(socket_mutex_);
  return socket_.TryAccept(Stack(), listening_handle);
}

void TcpConnection::CheckForDisconnect(bool raise, bool ignore_buffer) {
  if (!closed_gracefully_ && !drop_requested_ && socket_.HandleAllocated) return;
  if (socket_.HandleAllocated) DropSocket();
  if (raise && (ignore_buffer || input_buffer_.Size() == 0)) {
    throw ConnClosedGracefullyError(kConnClosedGracefullyMessage);
  }
}

char* TcpConnection::Scratch() {
  if (scratch_size_ != recv_buffer_size_) {
    scratch_ = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(recv_buffer_size_));
    scratch_size_ = recv_buffer_size_;
  }
  return scratch_.get();
}

int TcpConnection::ReceiveStep(bool raise, int timeout_ms, char* target, int target_size) {
  CheckForDisconnect(raise, /*ignore_buffer=*/false);
  if (!socket_.HandleAllocated) return 0;

  char* into = target;
  int length = target_size;
  if (into == nullptr) {
    into = Scratch();
    length = recv_buffer_size_;
  }
  int error = 0;
  const int count = WaitAndReceive(timeout_ms, into, length, error);
  if (count < 0 && error == kWsaWouldBlock) return 0;  // Nothing came within the time-out.
  closed_gracefully_ = count == 0;
  if (count < 0) {
    if (error != kWsaShutdown) throw SocketError(error);
    // The socket was shut down under us: as good as closed.
    DropSocket();
    if (input_buffer_.Size() == 0) throw SocketError(kWsaShutdown);
    return 0;
  }
  if (count > 0) {
    if (target == nullptr) input_buffer_.Append(into, count);
    DoWork(WorkMode::kRead, count);
  }
  CheckForDisconnect(raise, /*ignore_buffer=*/false);
  return count;
}

int TcpConnection::WaitAndReceive(int timeout_ms, char* into, int length, int& error) {
  const int limit = ReadLimitWait();
  const bool limited = limit != kNoTimeout && (timeout_ms == kNoTimeout || limit < timeout_ms);
  const int wait = limited ? limit : timeout_ms;
  // Without a time-out the blocking receive is the wait; a drop from
  // another thread shuts the socket down, which ends it as well.
  if (wait == kNoTimeout) return Stack().Receive(socket_.Handle, into, length, error);
  // Bytes already there are taken at once, so a request that came with its
  // connection costs no wait; only when none are does the connection wait.
  const int count = Stack().ReceiveReady(socket_.Handle, into, length, error);
  if (count >= 0 || error != kWsaWouldBlock) return count;
  std::vector<int> handles{socket_.Handle};
  if (Stack().WaitForReadable(handles, wait) == 0) {
    if (limited) throw SocketError(kWsaTimedOut);
    return -1;  // `error` still says kWsaWouldBlock.
  }
  return Stack().Receive(socket_.Handle, into, length, error);
}

int TcpConnection::ReadLimitWait() const {
  if (!read_deadline_.Limited()) return read_stall_timeout_;
  const int left = read_deadline_.MillisecondsLeft();
  if (left <= 0) throw SocketError(kWsaTimedOut);
  if (read_stall_timeout_ != kNoTimeout && read_stall_timeout_ < left) return read_stall_timeout_;
  return left;
}

std::string TcpConnection::ReadTextLine(std::string_view terminator, int timeout_ms) {
  const bool default_terminator = terminator.empty();
  if (default_terminator) terminator = "\n";
  read_timed_out_ = false;

  // The buffer's first `searched` bytes hold no terminator: only the bytes
  // after them (and a terminator that straddles the boundary) need looking at.
  size_t searched = 0;
  size_t found;
  for (;;) {
    const std::string_view buffered = input_buffer_.View();
    const size_t from = searched >= terminator.size() ? searched - terminator.size() + 1 : 0;
    found = buffered.find(terminator, from);
    if (found != std::string_view::npos) break;
    searched = buffered.size();

    CheckForDisconnect(/*raise=*/true, /*ignore_buffer=*/true);
    if (ReceiveStep(/*raise=*/true, timeout_ms) == 0) {
      // Nothing arrived: either the peer closed (the check above raises on
      // the next turn, even with a partial line) or the time-out passed.
      if (closed_gracefully_ || !socket_.HandleAllocated) continue;
      read_timed_out_ = true;
      return {};
    }
  }
  std::string line(input_buffer_.Data(), found);
  input_buffer_.Remove(static_cast<std::int64_t>(found + terminator.size()));
  if (default_terminator && !line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void TcpConnection::ReadExactToStream(Stream& stream, std::int64_t count) {
  count = std::max<std::int64_t>(0, count);
  BeginWork(WorkMode::kRead, count);
  std::int64_t remaining = count;
  const std::int64_t buffered = std::min(remaining, input_buffer_.Size());
  if (buffered > 0) {
    stream.Write(input_buffer_.Data(), buffered);
    input_buffer_.Remove(buffered);
    remaining -= buffered;
  }
  while (remaining > 0) {
    const int want = static_cast<int>(std::min<std::int64_t>(remaining, recv_buffer_size_));
    char* scratch = Scratch();
    const int got = ReceiveStep(/*raise=*/true, kNoTimeout, scratch, want);
    if (got == 0) {
      CheckForDisconnect(/*raise=*/true, /*ignore_buffer=*/true);
      continue;
    }
    stream.Write(scratch, got);
    remaining -= got;
  }
  if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
  EndWork(WorkMode::kRead);
}

void TcpConnection::ReadToCloseStream(Stream& stream) {
  BeginWork(WorkMode::kRead, 0);
  if (input_buffer_.Size() > 0) {
    stream.Write(input_buffer_.Data(), input_buffer_.Size());
    input_buffer_.Clear();
  }
  for (;;) {
    char* scratch = Scratch();
    const int got = ReceiveStep(/*raise=*/false, kNoTimeout, scratch, recv_buffer_size_);
    if (got == 0) break;  // Without a time-out, 0 means the peer closed.
    stream.Write(scratch, got);
  }
  if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
  EndWork(WorkMode::kRead);
}

void TcpConnection::WriteText(std::string_view text) {
  SendBytes(text.data(), static_cast<std::int64_t>(text.size()));
}

void TcpConnection::WriteLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  WriteText(line);
}

void TcpConnection::SendBytes(const void* data, std::int64_t count) {
  if (count <= 0) return;
  CheckForDisconnect(/*raise=*/true, /*ignore_buffer=*/true);
  if (write_buffer_) {
    write_buffer_->Append(data, count);
    while (write_threshold_ > 0 && write_buffer_->Size() >= write_threshold_) {
      SendAll(write_buffer_->Data(), write_threshold_);
      write_buffer_->Remove(write_threshold_);
    }
    return;
  }
  SendAll(static_cast<const char*>(data), count);
}

void TcpConnection::SendAll(const char* data, std::int64_t count) {
  while (count > 0) {
    const int chunk = static_cast<int>(std::min(count, kMaxSendChunk));
    int error = 0;
    const int sent = Stack().Send(socket_.Handle, data, chunk, error);
    closed_gracefully_ = sent == 0;
    CheckForDisconnect(/*raise=*/true, /*ignore_buffer=*/true);
    if (sent < 0) {
      if (error == kWsaShutdown) DropSocket();
      throw SocketError(error);
    }
    DoWork(WorkMode::kWrite, sent);
    data += sent;
    count -= sent;
  }
}

void TcpConnection::SendStream(Stream& stream) { SendStreamContents(stream, stream.Size()); }

void TcpConnection::SendStream(Stream& stream, std::int64_t count) {
  SendStreamContents(stream, count);
}

std::int64_t TcpConnection::SendStreamContents(Stream& stream, std::int64_t size) {
  if (auto* file = dynamic_cast<FileStream*>(&stream); file != nullptr && !write_buffer_) {
    return SendFileDirect(*file, size);
  }
  stream.Seek(0);
  BeginWork(WorkMode::kWrite, size);
  std::vector<char> chunk(static_cast<size_t>(std::min<std::int64_t>(size, send_buffer_size_)));
  std::int64_t remaining = size;
  while (remaining > 0) {
    const std::int64_t want = std::min<std::int64_t>(remaining, send_buffer_size_);
    const std::int64_t got = stream.Read(chunk.data(), want);
    if (got <= 0) throw NoDataToReadError(kNoDataToReadMessage);
    SendBytes(chunk.data(), got);
    remaining -= got;
  }
  EndWork(WorkMode::kWrite);
  return size;
}

std::int64_t TcpConnection::SendFileDirect(FileStream& file, std::int64_t size) {
  BeginWork(WorkMode::kWrite, size);
  std::int64_t offset = 0;
  while (offset < size) {
    CheckForDisconnect(/*raise=*/true, /*ignore_buffer=*/true);
    int error = 0;
    const std::int64_t sent =
        Stack().SendFile(socket_.Handle, file.Descriptor(), offset, size - offset, error);
    if (sent < 0) {
      if (error == kWsaShutdown) DropSocket();
      throw SocketError(error);
    }
    if (sent == 0) throw NoDataToReadError(kNoDataToReadMessage);  // The file shrank meanwhile.
    DoWork(WorkMode::kWrite, sent);
    offset += sent;
  }
  EndWork(WorkMode::kWrite);
  return size;
}

std::int64_t TcpConnection::SendFileContents(const std::string& file_name) {
  FileStream file(file_name);
  return SendStreamContents(file, file.Size());
}

void TcpConnection::BeginBufferedWrite(int threshold) {
  if (!write_buffer_) write_buffer_ = std::make_unique<ByteBuffer>();
  write_threshold_ = threshold;
}

void TcpConnection::EndBufferedWrite() {
  const std::unique_ptr<ByteBuffer> buffer = std::move(write_buffer_);
  if (!buffer || buffer->Size() == 0) return;
  CheckForDisconnect(/*raise=*/true, /*ignore_buffer=*/true);
  SendAll(buffer->Data(), buffer->Size());
}

bool TcpConnection::IsConnected() {
  CheckForDisconnect(/*raise=*/false, /*ignore_buffer=*/false);
  return socket_.HandleAllocated;
}

void TcpConnection::DropSocket() {
  if (!socket_.HandleAllocated) return;
  if (HasStatusHandler()) {
    DoStatus(NetStatus::kDisconnecting, Format("Disconnecting from %s.", {socket_.PeerIP}));
  }
  {
    std::lock_guard<std::mutex> lock(socket_mutex_);
    socket_.CloseSocket(Stack(), /*reset_local=*/true);
  }
  closed_gracefully_ = true;
  DoStatus(NetStatus::kDisconnected, "Not connected.");
  if (on_disconnected_) on_disconnected_(*this);
}

void TcpConnection::DiscardInputAndClose(int max_ms, std::int64_t max_bytes) {
  try {
    if (socket_.HandleAllocated && !drop_requested_) {
      Stack().Shutdown(socket_.Handle, ShutdownDirection::kSend);
      const Deadline deadline = Deadline::After(max_ms);
      std::vector<int> handles;
      for (std::int64_t discarded = 0; discarded < max_bytes;) {
        // Once the time is up, only what is there already is read.
        handles.assign(1, socket_.Handle);
        if (Stack().WaitForReadable(handles, deadline.MillisecondsLeft()) == 0) break;
        char* const into = Scratch();
        int error = 0;
        const int count = Stack().Receive(socket_.Handle, into, scratch_size_, error);
        if (count <= 0) break;  // Closed by the peer, reset, or dropped meanwhile.
        discarded += count;
      }
    }
  } catch (const std::exception&) {
    // Whatever failed, the socket is dropped below.
  }
  DropSocket();
}

void TcpConnection::RequestDrop() {
  std::lock_guard<std::mutex> lock(socket_mutex_);
  drop_requested_ = true;
  if (socket_.HandleAllocated) Stack().Shutdown(socket_.Handle, ShutdownDirection::kBoth);
}

}  // namespace vantrel
