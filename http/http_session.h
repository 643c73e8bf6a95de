// A server-side session: application data kept for one client between
// requests, found again through the "HTTPSESSIONID" cookie and bound to the
// client's address.
//
// Sessions are created and ended by their HttpSessionList and handed to
// requests as shared pointers, so a session the list ends while a request
// still uses it stays valid until the request lets go of it. The
// application guards its use of Content with Lock; the server never
// touches either. SessionID and RemoteHost never change after creation;
// LastTimeStamp and the owner are the list's (guarded by its lock).
#ifndef VANTREL_HTTP_HTTP_SESSION_H_
#define VANTREL_HTTP_HTTP_SESSION_H_

#include <chrono>
#include <mutex>
#include <string>

#include "base/string_list.h"

namespace vantrel {

class HttpSessionList;

class HttpSession {
 public:
  // A session of `owner` (or none) with an empty ID; LastTimeStamp is now.
  explicit HttpSession(HttpSessionList* owner);
  // A session of `owner` for `session_id`, bound to `remote_host`.
  HttpSession(HttpSessionList* owner, std::string session_id, std::string remote_host);
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;
  virtual ~HttpSession() = default;

  const std::string SessionID;
  // Local date-time (fractional days) of creation, then of the last lookup
  // that found the session. Guarded by the owner's lock.
  double LastTimeStamp;
  const std::string RemoteHost;  // Client address the session is bound to.
  StringList Content;            // Application data; guarded by Lock.
  std::mutex Lock;

  // The list the session belongs to; none once it has been removed.
  // Guarded by the owner's lock.
  HttpSessionList* Owner() const { return owner_; }

  // Whether more than the owner's SessionTimeout milliseconds passed since
  // the last use (measured on the monotonic clock). False without owner.
  // Called under the owner's lock.
  virtual bool IsStale() const;

  // Raises the owner's end event with this session, if the session has an
  // owner and the event is set. Called under the owner's lock.
  virtual void EndSession();

 private:
  friend class HttpSessionList;

  // Marks the session used now.
  void Touch();

  HttpSessionList* owner_;  // Guarded by the owner's lock.
  // Monotonic time of the last use. Guarded by the owner's lock.
  std::chrono::steady_clock::time_point last_used_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_SESSION_H_
