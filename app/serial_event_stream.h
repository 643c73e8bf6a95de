// The document "/serial-events" (letters in any case): the serial port's
// traffic as server-sent events, for a browser's EventSource.
//
// The request dispatcher hands it the request once the request guard (the
// same host, other-site and credential checks as for a script page) and
// the session gate have let it through, before any file is looked for; it
// never takes the script page gate. A GET is answered "text/event-stream"
// with "Cache-Control: no-cache" and a body that goes on until the client
// leaves or the server stops (http/response_stream.h), made of these
// events (see SerialEventHub for which bytes reach whom):
//
//   event: open    data: the port's settings as is_open() gives them, when
//                  it opens or its settings change, and at once on
//                  connecting while it is open
//   event: close   the port closed
//   event: lost    the open port's device went away
//   event: rx      data: the received bytes, two capital hexadecimal
//                  digits a byte
//   event: tx      data: the bytes a page sent, the same way
//   event: gap     data: how many bytes this listener missed because it
//                  fell SerialEventHub::kDefaultBacklogBytes behind
//
// and a comment line when nothing was sent for kKeepAliveInterval, so that
// proxies keep the connection open. Each listener holds a connection
// thread for its whole life. At most "Max listeners" (default
// kDefaultMaxListeners; 0 turns the stream off) listen at once: one more is
// answered 503, as is any while the server stops. A HEAD gets the header
// alone, other methods 405.
//
// Threads: Answer runs on connection threads, several at once.
#ifndef VANTREL_APP_SERIAL_EVENT_STREAM_H_
#define VANTREL_APP_SERIAL_EVENT_STREAM_H_

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/serial_event_hub.h"

namespace vantrel {

class HttpResponseInfo;
struct HttpRequestInfo;

class SerialEventStream {
 public:
  static constexpr std::string_view kDocument = "/serial-events";
  static constexpr int kDefaultMaxListeners = 32;
  static constexpr std::chrono::milliseconds kKeepAliveInterval{15000};
  // How long a browser waits before it connects again after losing the
  // stream.
  static constexpr int kReconnectMilliseconds = 2000;
  static constexpr const char* kFullHeading = "Service Unavailable";
  static constexpr const char* kFullDetail =
      "\rThe serial port has as many listeners as the gateway allows (setting \"Max "
      "listeners\"); pages that poll still work.";

  // `max_listeners` is asked at each request; both must outlive the stream.
  SerialEventStream(SerialEventHub& hub, std::function<int()> max_listeners)
      : hub_(hub), max_listeners_(std::move(max_listeners)) {}

  // Whether `document` is the stream's.
  static bool IsStreamDocument(std::string_view document);

  // Answers a request for the stream's document.
  void Answer(const HttpRequestInfo& request, HttpResponseInfo& response);

  // The text of `events` as server-sent events.
  static std::string EventText(const std::vector<SerialEventHub::Event>& events);

 private:
  SerialEventHub& hub_;
  const std::function<int()> max_listeners_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_SERIAL_EVENT_STREAM_H_
