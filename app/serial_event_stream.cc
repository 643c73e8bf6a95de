#include "app/serial_event_stream.h"

#include <array>
#include <chrono>
#include <memory>
#include <thread>

#include "base/ascii.h"
#include "http/error_page.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/response_stream.h"

namespace vantrel {
namespace {

constexpr int kMethodNotAllowed = 405;
constexpr int kServiceUnavailable = 503;
constexpr const char* kKeepAliveLine = ": keep-alive\n\n";
// A listener that was handed at least kBulkBytes at once pauses for
// kBulkPause before it takes again, without being woken meanwhile, so that
// a device sending at full speed costs a listener a few hundred writes a
// second instead of one write and one wake-up per read from the port (a
// read takes at most the port's 4 KiB buffer). Single answers, which come
// in small pieces, are sent at once.
constexpr std::size_t kBulkBytes = 1024;
constexpr std::chrono::milliseconds kBulkPause{2};

// The event names, in the order of SerialEventHub::EventKind.
constexpr const char* kEventNames[] = {"open", "close", "lost", "rx", "tx", "gap"};

// Two capital hexadecimal digits for every byte, from a table of all 256
// pairs: at full speed from the device, every listener encodes megabytes a
// second.
void AppendHex(std::string& out, std::string_view bytes) {
  static constexpr auto kPairs = [] {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<char, 512> pairs{};
    for (int value = 0; value < 256; ++value) {
      pairs[2 * value] = kDigits[value >> 4];
      pairs[2 * value + 1] = kDigits[value & 0x0F];
    }
    return pairs;
  }();
  const std::size_t start = out.size();
  out.resize(start + 2 * bytes.size());
  char* digits = out.data() + start;
  for (const char byte : bytes) {
    const std::size_t pair = 2 * static_cast<std::size_t>(static_cast<unsigned char>(byte));
    digits[0] = kPairs[pair];
    digits[1] = kPairs[pair + 1];
    digits += 2;
  }
}

// "data:" lines for `text`: a line break inside it starts a new line, which
// the browser joins again with LF.
void AppendDataLines(std::string& out, std::string_view text) {
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n");
    out.append("data: ").append(text.substr(0, end)).append("\n");
    if (end == std::string_view::npos) return;
    text.remove_prefix(text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1);
  }
}

// Sends what the listener is given until the hub ends it, the client goes
// or the server drops the connection.
void StreamEvents(SerialEventHub::Listener& listener, ResponseStream& body) {
  body.Write("retry: " + std::to_string(SerialEventStream::kReconnectMilliseconds) + "\n\n");
  listener.SetWake([&body] { body.Wake(); });
  // The wake-up must not outlive the stream it wakes.
  struct Unwake {
    SerialEventHub::Listener& listener;
    ~Unwake() { listener.SetWake(nullptr); }
  } unwake{listener};
  std::vector<SerialEventHub::Event> events;
  for (;;) {
    const bool going_on = listener.Take(events);
    std::size_t bytes = 0;
    for (const SerialEventHub::Event& event : events) bytes += event.data.size();
    const bool bulk = going_on && bytes >= kBulkBytes;
    if (bulk) listener.Hold();  // Before writing, which takes a while.
    if (!events.empty()) body.Write(SerialEventStream::EventText(events));
    events.clear();
    if (!going_on) return;
    if (bulk) {
      std::this_thread::sleep_for(kBulkPause);
      continue;  // The client's leaving is seen when the stream writes next.
    }
    switch (body.Wait(SerialEventStream::kKeepAliveInterval)) {
      case ResponseStream::WaitResult::kClosed:
        return;
      case ResponseStream::WaitResult::kTimedOut:
        body.Write(kKeepAliveLine);
        break;
      case ResponseStream::WaitResult::kWoken:
        break;
    }
  }
}

}  // namespace

bool SerialEventStream::IsStreamDocument(std::string_view document) {
  return EqualsIgnoreCase(document, kDocument);
}

std::string SerialEventStream::EventText(const std::vector<SerialEventHub::Event>& events) {
  std::string text;
  for (const SerialEventHub::Event& event : events) {
    text.append("event: ").append(kEventNames[static_cast<int>(event.kind)]).append("\n");
    if (event.kind == SerialEventHub::EventKind::kRx ||
        event.kind == SerialEventHub::EventKind::kTx) {
      text.reserve(text.size() + 2 * event.data.size() + 8);
      text.append("data: ");
      AppendHex(text, event.data);
      text.append("\n");
    } else {
      AppendDataLines(text, event.data);
    }
    text.append("\n");
  }
  return text;
}

void SerialEventStream::Answer(const HttpRequestInfo& request, HttpResponseInfo& response) {
  const bool head = request.Command == "HEAD";
  if (request.Command != "GET" && !head) {
    AnswerWithPage(response, kMethodNotAllowed, StatusPage(kMethodNotAllowed));
    return;
  }
  std::shared_ptr<SerialEventHub::Listener> listener;
  if (!head) {
    listener = hub_.Join(max_listeners_());
    if (!listener) {
      AnswerWithPage(response, kServiceUnavailable, ErrorPage(kFullHeading, kFullDetail));
      return;
    }
  }
  response.SetStatusCode(200);
  response.ContentType = "text/event-stream";
  response.Headers.SetValueByName("Cache-Control", "no-cache");
  // Proxies that buffer answers (nginx) pass this one on as it comes.
  response.Headers.SetValueByName("X-Accel-Buffering", "no");
  if (head) return;
  response.BodyWriter = [listener](ResponseStream& body) { StreamEvents(*listener, body); };
  // Watching must not slow the port and the pages down: with many listeners
  // and a fast device, the listeners fall behind (and are told of the gap)
  // before the device's bytes wait.
  response.BodyWriterInBackground = true;
}

}  // namespace vantrel
