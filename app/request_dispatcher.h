// The gateway's request handler. Once a request's line and header lines
// are read (AdmitRequest), it logs the request and lets the request guard
// (app/request_guard.h) judge it: host, other sites, credentials, body
// size. Once its body is read (HTTPServerCommandGet), it applies the
// single-session gate, maps the document into the web directory and
// answers it with a script page, a PHP page, a static file or an error
// page. The document "/serial-events" is the serial port's event stream
// (app/serial_event_stream.h), guarded as a script page and answered before
// any file is looked for.
//
// Which of these a document is depends on the file it names: a script page
// when its full path (normalised, so "/x.vpg/../log.txt" names log.txt)
// ends in ".vpg"; a PHP page when, while a PHP path is set, a segment of
// the normalised path ends in ".php" and names a regular file, whatever
// follows it being the path info ("/app.php/some/page"); letter case
// ignored. A PHP document that names no file is answered "PHP script not
// found".
// A document holding a control byte (a NUL among them) names no file and is
// refused with status 400. A document that ends as a folder's name does
// ("/", "/." or "\" at its end) never names a file: "/log.txt/" is 404.
//
// AdmitRequest and HTTPServerCommandGet run on the peer thread of each
// request, several at once; the dispatcher keeps no per-request state.
#ifndef VANTREL_APP_REQUEST_DISPATCHER_H_
#define VANTREL_APP_REQUEST_DISPATCHER_H_

#include <string>
#include <string_view>

#include "app/document_path.h"
#include "app/request_guard.h"
#include "http/http_server.h"

namespace vantrel {

class CgiRunner;
class Configuration;
class ScriptPageGate;
class SerialEventStream;
class ServerLog;
class SessionGate;

class RequestDispatcher {
 public:
  // The most characters of the document that the request's log line
  // shows; a longer one is cut there and followed by "...".
  static constexpr std::size_t kLoggedDocumentLimit = 1000;
  static constexpr const char* kOutsideHeading = "Access denied";
  static constexpr const char* kOutsideDetail =
      "\rYou do not have sufficient priviligies to access this document.";
  static constexpr const char* kPhpPageMissingPage =
      "<H1><center>PHP script not found</center></H1>";

  // Everything given must outlive the dispatcher. `web_directory` is an
  // absolute, normalised path.
  RequestDispatcher(std::string web_directory, const Configuration& settings, ServerLog& log,
                    SessionGate& session_gate, HttpServer& server, CgiRunner& cgi_runner,
                    ScriptPageGate& page_gate, SerialEventStream& serial_events);

  // Logs the request and has the request guard judge it, before its body
  // is read.
  HttpAdmission AdmitRequest(PeerThread& thread, HttpRequestInfo& request,
                             HttpResponseInfo& response);

  // Answers an admitted request whose body has been read.
  void HTTPServerCommandGet(PeerThread& thread, HttpRequestInfo& request,
                            HttpResponseInfo& response);

 private:
  // Whether the document at `full_path` is answered by running a program:
  // a script page, or a PHP page while a PHP path is set.
  bool RunsProgram(const std::string& full_path) const;
  // Whether a segment of `full_path` ends in ".php": it may run a PHP page.
  bool MentionsPhp(const std::string& full_path) const;
  // Answers a document that names a PHP page, while a PHP path is set: runs
  // its script, or answers "PHP script not found" (403 outside the web
  // directory). False, answering nothing, for any other document.
  bool AnsweredAsPhpPage(PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response,
                         const std::string& full_path, bool names_file);
  void ServePhpPage(PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response,
                    const PhpScript& script, const std::string& php_path);
  // Sends `full_path`, which the caller has just found to be a regular file.
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
  SerialEventStream& serial_events_;
  RequestGuard guard_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_REQUEST_DISPATCHER_H_
