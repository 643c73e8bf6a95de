#include "app/session_gate.h"

#include "app/configuration.h"
#include "base/ascii.h"
#include "base/integer_text.h"
#include "base/random_token.h"
#include "http/error_page.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"

namespace vantrel {
namespace {

constexpr int kMinuteMilliseconds = 60000;
// The longest session whose length in milliseconds fits the timer.
constexpr std::int32_t kMaxSessionMinutes = 35791;
constexpr std::size_t kSessionIdBytes = 8;

}  // namespace

SessionGate::SessionGate(Timer& timer, const Configuration& settings, Logger log)
    : timer_(timer), settings_(settings), log_(std::move(log)) {}

bool SessionGate::Admit(const HttpRequestInfo& request, HttpResponseInfo& response) {
  if (!settings_.SwitchOn("Use session")) return true;

  // The last cookie of that name counts.
  const Cookie* cookie = nullptr;
  for (const Cookie& candidate : request.Cookies) {
    if (EqualsIgnoreCase(candidate.Name, kCookieName)) cookie = &candidate;
  }

  std::lock_guard lock(mutex_);
  if (timer_.Enabled()) {
    if (cookie != nullptr && cookie->Value == session_id_) {
      renewed_at_ = std::chrono::steady_clock::now();
      timer_.Restart();
      return true;
    }
    AnswerWithPage(response, response.StatusCode(),
                   ErrorPage(kSessionTakenHeading, kSessionTakenDetail));
    return false;
  }

  // Not for scripts (a page that reflected markup could not steal it), and
  // never sent with a request another site starts.
  Cookie& session_cookie = response.Cookies.Add(kCookieName, session_id_);
  session_cookie.HttpOnly = true;
  session_cookie.SameSite = "Strict";
  timer_.SetInterval(SessionInterval());
  renewed_at_ = std::chrono::steady_clock::now();
  timer_.SetEnabled(true);
  log_("User session started.");
  return true;
}

void SessionGate::Timer1Timer() {
  if (!settings_.SwitchOn("Use session")) return;
  {
    std::lock_guard lock(mutex_);
    const auto interval = std::chrono::milliseconds(timer_.Interval());
    if (!timer_.Enabled() || std::chrono::steady_clock::now() - renewed_at_ < interval) return;
    timer_.SetEnabled(false);
    session_id_ = RandomToken(kSessionIdBytes);  // The expired cookie no longer passes.
  }
  log_("User session expired");
}

void SessionGate::NewSessionId() {
  std::string id = RandomToken(kSessionIdBytes);
  std::lock_guard lock(mutex_);
  session_id_ = std::move(id);
}

void SessionGate::EndSession() {
  std::lock_guard lock(mutex_);
  timer_.SetEnabled(false);
}

std::string SessionGate::SessionId() const {
  std::lock_guard lock(mutex_);
  return session_id_;
}

int SessionGate::SessionInterval() const {
  const std::optional<std::int32_t> minutes = ParseInt32(settings_.SettingValue("Session expire"));
  // Fewer than one minute, or more than the timer can count, is as wrong
  // as text that is no number.
  if (!minutes || *minutes < 1 || *minutes > kMaxSessionMinutes) {
    log_("Session expire value is incorrect. Using 1 minute.");
    return kMinuteMilliseconds;
  }
  return *minutes * kMinuteMilliseconds;
}

}  // namespace vantrel
