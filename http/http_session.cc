#include "http/http_session.h"

#include <utility>

#include "base/date_time.h"
#include "http/http_session_list.h"

namespace vantrel {

HttpSession::HttpSession(HttpSessionList* owner) : HttpSession(owner, {}, {}) {}

HttpSession::HttpSession(HttpSessionList* owner, std::string session_id, std::string remote_host)
    : SessionID(std::move(session_id)),
      LastTimeStamp(Now()),
      RemoteHost(std::move(remote_host)),
      owner_(owner),
      last_used_(std::chrono::steady_clock::now()) {}

bool HttpSession::IsStale() const {
  if (owner_ == nullptr) return false;
  const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - last_used_);
  return idle.count() > owner_->session_timeout_;
}

void HttpSession::EndSession() {
  if (owner_ != nullptr && owner_->on_session_end_) owner_->on_session_end_(*this);
}

void HttpSession::Touch() {
  LastTimeStamp = Now();
  last_used_ = std::chrono::steady_clock::now();
}

}  // namespace vantrel
