// The single-session gate: while "Use session" is on, only the browser
// holding the current session's cookie is served until the session has
// been idle for "Session expire" minutes.
//
// The session is active while the session timer runs; its identifier is
// SessionId, sent to the browser as the cookie "Vantrel". Identifiers are
// 64 random bits (16 hexadecimal digits) from the system's random source,
// drawn anew when the server starts and when a session expires, so no
// browser can guess the cookie of another. Admitting a
// request and the timer's tick each happen as one step under one lock, so
// of two browsers arriving together only one starts the session, and a
// tick never ends a session that a request has just renewed.
#ifndef VANTREL_APP_SESSION_GATE_H_
#define VANTREL_APP_SESSION_GATE_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "base/timer.h"

namespace vantrel {

class Configuration;
struct HttpRequestInfo;
class HttpResponseInfo;

class SessionGate {
 public:
  static constexpr const char* kCookieName = "Vantrel";
  static constexpr const char* kSessionTakenHeading = "Access denied";
  static constexpr const char* kSessionTakenDetail =
      "\rOnly one session allowed. Please come back later.";

  using Logger = std::function<void(std::string_view message)>;

  // `timer` is the session timer (its tick must call Timer1Timer); all
  // three must outlive the gate.
  SessionGate(Timer& timer, const Configuration& settings, Logger log);

  // Applies the gate to a request that passed authentication. Returns true
  // when the request goes on; false when the response now holds the
  // session-taken page. Any thread.
  bool Admit(const HttpRequestInfo& request, HttpResponseInfo& response);

  // The session timer's tick, on the main thread: ends the session unless
  // "Use session" is off.
  void Timer1Timer();

  // A new random SessionId (the server was started).
  void NewSessionId();
  // Ends the session without a log line (the server was stopped).
  void EndSession();

  std::string SessionId() const;

  // Session length from "Session expire": minutes times 60000, or 60000
  // after logging that the value is incorrect.
  int SessionInterval() const;

 private:
  Timer& timer_;
  const Configuration& settings_;
  const Logger log_;
  mutable std::mutex mutex_;
  std::string session_id_;  // Guarded by mutex_.
  // When the timer last started a full interval; a tick that comes sooner
  // was overtaken by a renewal. Guarded by mutex_.
  std::chrono::steady_clock::time_point renewed_at_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_SESSION_GATE_H_
