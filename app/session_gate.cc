#include "app/session_gate.h"

#include <random>

#include "app/configuration.h"
#include "base/ascii.h"
#include "base/integer_text.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"

namespace vantrel {
namespace {

constexpr int kMinuteMilliseconds = 60000;
// The longest session whose length in milliseconds fits the timer.
constexpr std::int32_t kMaxSessionMinutes = 35791;
constexpr std::int32_t kSessionIdRange = 9999;  // Session numbers are 0 to 9998.

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
  const std::string current = std::to_string(session_id_);
  if (timer_.Enabled()) {
    if (cookie != nullptr && cookie->Value == current) {
      renewed_at_ = std::chrono::steady_clock::now();
      timer_.Restart();
      return true;
    }
    response.ContentText = kSessionTakenPage;
    return false;
  }

  response.Cookies.Add(kCookieName, current);
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
    ++session_id_;
  }
  log_("User session expired");
}

void SessionGate::NewSessionId() {
  std::minstd_rand random(
      static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  const std::int32_t id =
      std::uniform_int_distribution<std::int32_t>(0, kSessionIdRange - 1)(random);
  std::lock_guard lock(mutex_);
  session_id_ = id;
}

void SessionGate::EndSession() {
  std::lock_guard lock(mutex_);
  timer_.SetEnabled(false);
}

std::int32_t SessionGate::SessionId() const {
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
