#include "http/http_session_list.h"

#include <utility>

#include "base/ascii.h"

namespace vantrel {

HttpSessionList::HttpSessionList() {
  std::random_device device;
  std::seed_seq seed{device(), device(), device(), device(),
                     device(), device(), device(), device()};
  random_.seed(seed);
  sessions_.reserve(kInitialCapacity);
}

HttpSessionList::~HttpSessionList() { EndAllSessions(); }

int HttpSessionList::SessionTimeout() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_timeout_;
}

void HttpSessionList::SetSessionTimeout(int milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  session_timeout_ = milliseconds;
}

void HttpSessionList::SetOnSessionStart(SessionStartEvent handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  on_session_start_ = std::move(handler);
}

void HttpSessionList::SetOnSessionEnd(SessionEndEvent handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  on_session_end_ = std::move(handler);
}

std::string HttpSessionList::MakeSessionId() {
  // The last character of the set ("0") is never drawn.
  constexpr std::size_t kDrawnCharacters = sizeof(kSessionIdCharacters) - 2;
  std::uniform_int_distribution<std::size_t> pick(0, kDrawnCharacters - 1);
  std::string id(kSessionIdLength, ' ');
  for (char& c : id) c = kSessionIdCharacters[pick(random_)];
  return id;
}

std::shared_ptr<HttpSession> HttpSessionList::CreateSession(std::string remote_host) {
  std::string id;
  SessionStartEvent on_start;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = MakeSessionId();
    on_start = on_session_start_;
  }
  auto session = std::make_shared<HttpSession>(this, std::move(id), std::move(remote_host));
  if (on_start) on_start(*session);  // Before the session is listed, without the lock.
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.push_back(session);
  return session;
}

std::shared_ptr<HttpSession> HttpSessionList::FindSession(std::string_view id,
                                                          std::string_view remote_host) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < sessions_.size();) {
    HttpSession& session = *sessions_[i];
    if (session.IsStale()) {
      RemoveAt(i);  // The walk goes on with the session that moved into place i.
      continue;
    }
    if (EqualsIgnoreCase(session.SessionID, id) &&
        (remote_host.empty() || EqualsIgnoreCase(session.RemoteHost, remote_host))) {
      session.Touch();
      return sessions_[i];
    }
    ++i;
  }
  return nullptr;
}

void HttpSessionList::PurgeStale(bool all) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = sessions_.size(); i-- > 0;) {
    if (all || sessions_[i]->IsStale()) RemoveAt(i);
  }
}

void HttpSessionList::EndAllSessions() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = sessions_.size(); i-- > 0;) {
    sessions_[i]->EndSession();
    sessions_[i]->owner_ = nullptr;
  }
  sessions_.clear();
  sessions_.shrink_to_fit();
  sessions_.reserve(kInitialCapacity);
}

void HttpSessionList::RemoveSession(HttpSession& session) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < sessions_.size(); ++i) {
    if (sessions_[i].get() == &session) {
      RemoveAt(i);
      return;
    }
  }
}

std::size_t HttpSessionList::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

void HttpSessionList::RemoveAt(std::size_t index) {
  const std::shared_ptr<HttpSession> session = sessions_[index];
  session->EndSession();
  session->owner_ = nullptr;
  sessions_.erase(sessions_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace vantrel
