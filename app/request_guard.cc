#include "app/request_guard.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>

#include "app/configuration.h"
#include "app/server_log.h"
#include "base/ascii.h"
#include "base/constant_time.h"
#include "base/format.h"
#include "base/html_escape.h"
#include "http/error_page.h"

namespace vantrel {
namespace {

constexpr int kForbidden = 403;
constexpr const char* kAccessDenied = "Access denied";
// The most characters of a client's text that a log line or a page quotes.
constexpr std::size_t kQuotedTextLimit = 200;

std::string Quoted(std::string_view text) {
  if (text.size() <= kQuotedTextLimit) return std::string(text);
  return std::string(text.substr(0, kQuotedTextLimit)) + "...";
}

// The host of a Host value without its port, lower-cased and without a
// final dot: "Example.org.:8080" gives "example.org", "[::1]:80" "[::1]".
std::string HostWithoutPort(std::string_view host) {
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    host = host.substr(0, close == std::string_view::npos ? host.size() : close + 1);
  } else if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
    host = host.substr(0, colon);
  }
  if (host.ends_with('.')) host.remove_suffix(1);
  return ToLowerAscii(host);
}

bool IsAddressLiteral(const std::string& host) {
  unsigned char address[16];
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    const std::string inside = host.substr(1, host.size() - 2);
    return ::inet_pton(AF_INET6, inside.c_str(), address) == 1;
  }
  return ::inet_pton(AF_INET, host.c_str(), address) == 1;
}

// "scheme://authority" of an absolute URL, lower-cased; "" when it has none.
std::string OriginOf(std::string_view url) {
  const std::size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos || scheme_end == 0) return "";
  const std::size_t authority_end = url.find_first_of("/?#", scheme_end + 3);
  return ToLowerAscii(url.substr(0, authority_end));
}

// True when `name` (as HostWithoutPort gives it) is among `hosts`, which
// may carry ports and capitals.
bool HostListed(const std::vector<std::string>& hosts, const std::string& name) {
  return std::any_of(hosts.begin(), hosts.end(),
                     [&name](const std::string& host) { return HostWithoutPort(host) == name; });
}

}  // namespace

HttpAdmission RequestGuard::Admit(const HttpRequestInfo& request, HttpResponseInfo& response,
                                  bool runs_program) {
  if (!request.Host.empty() && !HostAllowed(request.Host)) {
    log_.WriteLog(
        Format("Request refused: the host name %s is not allowed (setting \"Allowed "
               "hosts\").",
               {Quoted(request.Host)}));
    AnswerWithPage(response, kForbidden,
                   ErrorPage(kAccessDenied, "\rThis gateway does not answer to the name " +
                                                HtmlEscape(Quoted(request.Host)) +
                                                ". To let it, add the name to the setting "
                                                "\"Allowed hosts\" in config.ini."));
    return {.Admitted = false};
  }
  std::string other_origin;
  if (runs_program && !FromThisSite(request, other_origin)) {
    log_.WriteLog(
        Format("Request refused: it comes from another site (%s; setting \"Trusted "
               "origins\").",
               {Quoted(other_origin)}));
    AnswerWithPage(response, kForbidden,
                   ErrorPage(kAccessDenied,
                             "\rThis page does not run when another site's page asks for it (" +
                                 HtmlEscape(Quoted(other_origin)) +
                                 "). To let a site use the gateway's pages, add its origin to the "
                                 "setting \"Trusted origins\" in config.ini."));
    return {.Admitted = false};
  }
  if (!Authenticated(request)) {
    // The realm turns the answer into a 401 asking for credentials.
    AnswerWithPage(response, response.StatusCode(), ErrorPage(kAuthFailedHeading, "\r"));
    response.AuthRealm = kAuthRealm;
    return {.Admitted = false};
  }
  return {.MaxBodyBytes = settings_.MebibyteSetting("Max body", kDefaultMaxBodyMebibytes)};
}

bool RequestGuard::HostAllowed(std::string_view host) {
  const std::string name = HostWithoutPort(host);
  if (name == "localhost" || IsAddressLiteral(name)) return true;
  const std::vector<std::string> allowed = settings_.ListSetting("Allowed hosts");
  if (HostListed(allowed, "*") || HostListed(allowed, name)) return true;
  const std::vector<std::string>& own = MachineNames();
  return std::find(own.begin(), own.end(), name) != own.end();
}

bool RequestGuard::FromThisSite(const HttpRequestInfo& request, std::string& other_origin) const {
  const std::string fetch_site = ToLowerAscii(request.Headers.ValueByName("Sec-Fetch-Site"));
  if (fetch_site == "same-origin" || fetch_site == "none") return true;
  const std::string origin = request.Headers.ValueByName("Origin");
  if (fetch_site.empty()) {
    // A browser without Fetch Metadata: its Origin header tells, when sent.
    if (origin.empty()) return true;
    const std::string named = OriginOf(origin);
    const std::size_t authority = named.find("://");
    if (authority != std::string::npos &&
        EqualsIgnoreCase(std::string_view(named).substr(authority + 3), request.Host)) {
      return true;
    }
  }
  // Another site; trusted when its origin is listed. A followed link
  // carries no Origin, only a Referer.
  other_origin = origin.empty() ? OriginOf(request.Headers.ValueByName("Referer")) : origin;
  if (other_origin.empty()) other_origin = "origin unknown";
  for (std::string_view trusted : settings_.ListSetting("Trusted origins")) {
    while (trusted.ends_with('/')) trusted.remove_suffix(1);
    if (EqualsIgnoreCase(trusted, other_origin)) return true;
  }
  return false;
}

bool RequestGuard::Authenticated(const HttpRequestInfo& request) const {
  if (!settings_.SwitchOn("Auth require")) return true;
  // A request without credentials never passes, even where the configured
  // user and password are both empty. Both comparisons always run.
  const bool user_matches =
      ConstantTimeEquals(request.AuthUsername, settings_.SettingValue("Auth user"));
  const bool password_matches =
      ConstantTimeEquals(request.AuthPassword, settings_.SettingValue("Auth password"));
  return request.AuthPresent && user_matches && password_matches;
}

const std::vector<std::string>& RequestGuard::MachineNames() {
  std::call_once(machine_names_found_, [this] {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return;
    std::string full = ToLowerAscii(buffer);
    if (full.find('.') == std::string::npos) {
      // The name with its domain, as the resolver knows it (/etc/hosts first).
      addrinfo hints{};
      hints.ai_flags = AI_CANONNAME;
      addrinfo* found = nullptr;
      if (::getaddrinfo(buffer, nullptr, &hints, &found) == 0) {
        if (found->ai_canonname != nullptr) full = ToLowerAscii(found->ai_canonname);
        ::freeaddrinfo(found);
      }
    }
    const std::string short_name = full.substr(0, full.find('.'));
    machine_names_ = {short_name, full, short_name + ".local"};
  });
  return machine_names_;
}

}  // namespace vantrel
