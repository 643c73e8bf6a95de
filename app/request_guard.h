// The gateway's request guard: who may ask what of the gateway. Every GET,
// POST and HEAD request passes it once its line and header lines have been
// read, before anything else of the gateway runs for it and before its body
// is read, so a request the guard refuses costs no more than its header.
// In this order:
//
//   1. Host. A request naming a host (its Host header, or the host of an
//      absolute request URI) must name this gateway: an IPv4 or IPv6
//      address, "localhost", the machine's host name (with and without its
//      domain, and with ".local"), or a name of the setting "Allowed hosts"
//      (comma-separated, letters in any case; "*" turns the check off).
//      Otherwise 403: a web site whose name an attacker points at the
//      gateway's address must not become the gateway's own origin in the
//      browser. A request without a host (HTTP/1.0) passes.
//   2. Other sites. A request that runs a program (a script page, a PHP
//      page) and that the browser marks as made by another site's page is
//      refused with 403: Sec-Fetch-Site other than "same-origin" or "none",
//      or, from browsers that do not send Sec-Fetch-Site, an Origin header
//      naming another origin than the request's host. An image or a link
//      on another site could otherwise drive the device with the user's
//      browser. Origins of the setting "Trusted origins" (comma-separated,
//      "https://portal.example") pass: the request's Origin, or the origin
//      of its Referer when it has no Origin (a followed link has none).
//   3. Credentials, with "Auth require=yes": the user and password of
//      "Auth user" and "Auth password" (the password compared in constant
//      time); otherwise 401 with the realm "Vantrel server".
//   4. The body may bring at most "Max body" MiB (default 16); more is
//      answered 413 by the HTTP layer, without being kept.
//
// Each refusal is logged with the setting that would allow the request.
// Settings are read at each request. Threads: Admit runs on connection
// threads, several at once; the guard's only state is the machine's host
// names, found once at the first request that needs them.
#ifndef VANTREL_APP_REQUEST_GUARD_H_
#define VANTREL_APP_REQUEST_GUARD_H_

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_server.h"

namespace vantrel {

class Configuration;
class ServerLog;

class RequestGuard {
 public:
  static constexpr const char* kAuthRealm = "Vantrel server";
  static constexpr const char* kAuthFailedHeading = "Authentication failed";
  static constexpr std::int32_t kDefaultMaxBodyMebibytes = 16;

  // `settings` and `log` must outlive the guard.
  RequestGuard(const Configuration& settings, ServerLog& log) : settings_(settings), log_(log) {}
  RequestGuard(const RequestGuard&) = delete;
  RequestGuard& operator=(const RequestGuard&) = delete;

  // Judges `request` (see the top of this file); `runs_program` tells that
  // its document is a script or PHP page. A refusal is answered in
  // `response`.
  HttpAdmission Admit(const HttpRequestInfo& request, HttpResponseInfo& response,
                      bool runs_program);

 private:
  bool HostAllowed(std::string_view host);
  bool FromThisSite(const HttpRequestInfo& request, std::string& other_origin) const;
  bool Authenticated(const HttpRequestInfo& request) const;
  // The machine's own names, lower-cased: found at the first call.
  const std::vector<std::string>& MachineNames();

  const Configuration& settings_;
  ServerLog& log_;
  std::once_flag machine_names_found_;
  std::vector<std::string> machine_names_;  // Written once, under machine_names_found_.
};

}  // namespace vantrel

#endif  // VANTREL_APP_REQUEST_GUARD_H_
