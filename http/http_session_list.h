// The live server sessions, their time-out and their start and end events.
//
// Thread safety: every member may be called from any thread. The list's
// lock guards every walk, insertion and removal. The end event runs with
// that lock held (so it must not call into the list); the start event runs
// without it. Configure the time-out and events before sessions are
// created (the server does so at activation).
#ifndef VANTREL_HTTP_HTTP_SESSION_LIST_H_
#define VANTREL_HTTP_HTTP_SESSION_LIST_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_session.h"

namespace vantrel {

using SessionStartEvent = std::function<void(HttpSession& Sender)>;
using SessionEndEvent = std::function<void(HttpSession& Sender)>;

class HttpSessionList {
 public:
  static constexpr std::size_t kInitialCapacity = 128;
  static constexpr std::size_t kSessionIdLength = 15;
  // IDs are drawn from the first 61 of these characters.
  static constexpr char kSessionIdCharacters[] =
      "qwertzuiopasdfghjklyxcvbnmQWERTZUIOPASDFGHJKLYXCVBNM1234567890";

  HttpSessionList();
  // Ends every session (EndAllSessions).
  virtual ~HttpSessionList();
  HttpSessionList(const HttpSessionList&) = delete;
  HttpSessionList& operator=(const HttpSessionList&) = delete;

  // Milliseconds without use after which a session is stale.
  int SessionTimeout() const;
  void SetSessionTimeout(int milliseconds);
  void SetOnSessionStart(SessionStartEvent handler);
  void SetOnSessionEnd(SessionEndEvent handler);

  // Makes a new session for `remote_host` with a fresh random ID, raises
  // the start event (without the lock) and then adds it.
  std::shared_ptr<HttpSession> CreateSession(std::string remote_host);

  // Walks the sessions in order, removing every stale one met, and returns
  // the first whose ID equals `id` ignoring case and whose RemoteHost
  // equals `remote_host` ignoring case (any host when `remote_host` is
  // empty), marking it used now. None when there is no such session.
  std::shared_ptr<HttpSession> FindSession(std::string_view id, std::string_view remote_host);

  // Removes every session when `all`, otherwise every stale one, from the
  // last to the first, each with its end event.
  void PurgeStale(bool all);

  // Ends and removes every session, from the last to the first.
  void EndAllSessions();

  // Ends `session` and removes it from the list, if it is listed.
  void RemoveSession(HttpSession& session);

  std::size_t Count() const;

 private:
  // Ends, detaches and drops the session at `index`. Called under mutex_.
  void RemoveAt(std::size_t index);
  std::string MakeSessionId();  // Called under mutex_.

  friend class HttpSession;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<HttpSession>> sessions_;  // Guarded by mutex_.
  int session_timeout_ = 0;                             // Guarded by mutex_.
  SessionStartEvent on_session_start_;                  // Guarded by mutex_.
  SessionEndEvent on_session_end_;                      // Guarded by mutex_.
  std::mt19937 random_;  // Seeded once from std::random_device. Guarded by mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_SESSION_LIST_H_
