// The gateway's request handler: logs each request, checks basic
// authentication, applies the single-session gate, maps the document into
// the web directory and answers it with a script page, a PHP page, a
// static file or an error page.
//
// Which of these a document is depends on the file it names: a script page
// when its full path (normalised, so "/x.vpg/../log.txt" names log.txt)
// ends in ".vpg", a PHP page when it ends in ".php", letter case ignored.
// A document holding a control byte (a NUL among them) names no file and is
// refused with status 400.
//
// HTTPServerCommandGet runs on the peer thread of each request, several at
// once; the dispatcher keeps no per-request state.
#ifndef VANTREL_APP_REQUEST_DISPATCHER_H_
#define VANTREL_APP_REQUEST_DISPATCHER_H_

#include <string>
#include <string_view>

namespace vantrel {

class CgiRunner;
class Configuration;
class HttpServer;
class PeerThread;
class ScriptPageGate;
class ServerLog;
class SessionGate;
struct HttpRequestInfo;
class HttpResponseInfo;

class RequestDispatcher {
 public:
  static constexpr const char* kAuthRealm = "Vantrel server";
  static constexpr const char* kAuthFailedHeading = "Authentication failed";
  static constexpr const char* kOutsideHeading = "Access denied";
  static constexpr const char* kOutsideDetail =
      "\rYou do not have sufficient priviligies to access this document.";
  static constexpr const char* kPhpPageMissingPage =
      "<H1><center>PHP script not found</center></H1>";

  // Everything given must outlive the dispatcher. `web_directory` is an
  // absolute, normalised path.
  RequestDispatcher(std::string web_directory, const Configuration& settings, ServerLog& log,
                    SessionGate& session_gate, HttpServer& server, CgiRunner& cgi_runner,
                    ScriptPageGate& page_gate);

  void HTTPServerCommandGet(PeerThread& thread, HttpRequestInfo& request,
                            HttpResponseInfo& response);

 private:
  // False, with the authentication-failed answer in `response`, when
  // authentication is required and the credentials do not match.
  bool Authenticate(const HttpRequestInfo& request, HttpResponseInfo& response) const;
  void ServePhpPage(PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response,
                    const std::string& full_path, const std::string& php_path);
  void ServeFile(const HttpRequestInfo& request, HttpResponseInfo& response,
                 const std::string& full_path);
  static void AnswerOutside(HttpResponseInfo& response);

  const std::string web_directory_;
  const Configuration& settings_;
  ServerLog& log_;
  SessionGate& session_gate_;
  HttpServer& server_;
  CgiRunner& cgi_runner_;
  ScriptPageGate& page_gate_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_REQUEST_DISPATCHER_H_
