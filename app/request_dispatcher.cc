#include "app/request_dispatcher.h"

#include <sys/stat.h>


#include "app/configuration.h"
#include "app/document_path.h"
#include "app/script_page_gate.h"
#include "app/serial_event_stream.h"
#include "app/server_log.h"
#include "app/session_gate.h"
#include "base/ascii.h"
#include "base/file_stream.h"
#include "base/format.h"
#include "cgi/cgi_runner.h"
#include "http/error_page.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/http_server.h"
#include "http/peer_thread.h"

namespace vantrel {
namespace {

enum class PathKind { kNothing, kFile, kDirectory };

constexpr std::string_view kScriptPageExtension = ".vpg";
constexpr std::string_view kPhpPageExtension = ".php";

// Only regular files are documents: opening a FIFO or a device would hang
// the request's thread, so such a path names nothing.
PathKind KindOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return PathKind::kNothing;
  if (S_ISDIR(info.st_mode)) return PathKind::kDirectory;
  return S_ISREG(info.st_mode) ? PathKind::kFile : PathKind::kNothing;
}

}  // namespace

// True when the last segment of `document` is empty or "." (it ends in
// "/", "\\" or "/."): the document names a folder, never a file.
bool NamesAFolder(std::string_view document) {
  const std::size_t last = document.find_last_of("/\\");
  const std::string_view segment =
      last == std::string_view::npos ? document : document.substr(last + 1);
  return segment.empty() || segment == ".";
}

std::string DocumentForLog(const std::string& document) {
  if (document.size() <= RequestDispatcher::kLoggedDocumentLimit) return document;
  return document.substr(0, RequestDispatcher::kLoggedDocumentLimit) + "...";
}

RequestDispatcher::RequestDispatcher(std::string web_directory, const Configuration& settings,
                                     ServerLog& log, SessionGate& session_gate, HttpServer& server,
                                     CgiRunner& cgi_runner, ScriptPageGate& page_gate,
                                     SerialEventStream& serial_events)
    : web_directory_(std::move(web_directory)),
      settings_(settings),
      log_(log),
      session_gate_(session_gate),
      server_(server),
      cgi_runner_(cgi_runner),
      page_gate_(page_gate),
      serial_events_(serial_events),
      guard_(settings, log) {}

HttpAdmission RequestDispatcher::AdmitRequest(PeerThread&, HttpRequestInfo& request,
                                              HttpResponseInfo& response) {
  log_.WriteLog(Format(
      "Command %s %s received from %s:%d",
      {request.Command, DocumentForLog(request.Document), request.RemoteIP, request.RemotePort}));
  // The event stream shows what pages do with the device: guarded as one.
  return guard_.Admit(request, response,
                      SerialEventStream::IsStreamDocument(request.Document) ||
                          RunsProgram(MapDocumentPath(web_directory_, request.Document)));
}

bool RequestDispatcher::MentionsPhp(const std::string& full_path) const {
  if (EndsWithIgnoreCase(full_path, kPhpPageExtension)) return true;
  if (!IsInsideWebDirectory(web_directory_, full_path)) return false;
  // Any segment may be a PHP script with path info after it (the last one
  // ends the path, checked above).
  std::string_view rest(full_path);
  rest.remove_prefix(web_directory_.size() + 1);
  for (std::size_t slash = rest.find('/'); slash != std::string_view::npos;
       rest.remove_prefix(slash + 1), slash = rest.find('/')) {
    if (EndsWithIgnoreCase(rest.substr(0, slash), kPhpPageExtension)) return true;
  }
  return false;
}

bool RequestDispatcher::RunsProgram(const std::string& full_path) const {
  if (EndsWithIgnoreCase(full_path, kScriptPageExtension)) return true;
  if (!MentionsPhp(full_path)) return false;
  try {
    return !settings_.PhpPath().empty();
  } catch (const ListIndexError&) {
    return true;  // The request fails later on; guarded as a page meanwhile.
  }
}

void RequestDispatcher::HTTPServerCommandGet(PeerThread& thread, HttpRequestInfo& request,
                                             HttpResponseInfo& response) {
  if (!session_gate_.Admit(request, response)) return;
  if (SerialEventStream::IsStreamDocument(request.Document)) {
    serial_events_.Answer(request, response);
    return;
  }

  if (HoldsControlByte(request.Document)) {
    AnswerWithPage(response, 400, StatusPage(400));
    return;
  }
  std::string full_path = MapDocumentPath(web_directory_, request.Document);
  PathKind kind = KindOf(full_path);
  if (kind == PathKind::kFile && NamesAFolder(request.Document)) {
    AnswerWithPage(response, 404, StatusPage(404));
    return;
  }

  if (EndsWithIgnoreCase(full_path, kScriptPageExtension)) {
    // Never the page's source: a script page is either run or refused.
    if (kind == PathKind::kFile && !IsInsideWebDirectory(web_directory_, full_path)) {
      AnswerOutside(response);
      return;
    }
    page_gate_.HandleRequest(request, response, full_path);
    return;
  }

  if (AnsweredAsPhpPage(thread, request, response, full_path, kind == PathKind::kFile)) return;

  if (kind == PathKind::kDirectory) {
    const std::string index = full_path + "/index.html";
    if (KindOf(index) == PathKind::kFile) {
      full_path = index;
      kind = PathKind::kFile;
    }
  }
  if (kind != PathKind::kFile) {
    AnswerWithPage(response, 404, StatusPage(404));
    return;
  }
  ServeFile(request, response, full_path);
}

bool RequestDispatcher::AnsweredAsPhpPage(PeerThread& thread, HttpRequestInfo& request,
                                          HttpResponseInfo& response, const std::string& full_path,
                                          bool names_file) {
  // Without a PHP path, ".php" documents are files like any other.
  const std::string php_path = MentionsPhp(full_path) ? settings_.PhpPath() : "";
  if (php_path.empty()) return false;
  const std::optional<PhpScript> script =
      FindPhpScript(web_directory_, request.Document,
                    [](const std::string& path) { return KindOf(path) == PathKind::kFile; });
  if (script) {
    ServePhpPage(thread, request, response, *script, php_path);
    return true;
  }
  if (!EndsWithIgnoreCase(full_path, kPhpPageExtension)) return false;
  if (names_file && !IsInsideWebDirectory(web_directory_, full_path)) {
    AnswerOutside(response);
  } else {
    AnswerWithPage(response, 404, kPhpPageMissingPage);
  }
  return true;
}

void RequestDispatcher::ServePhpPage(PeerThread& thread, HttpRequestInfo& request,
                                     HttpResponseInfo& response, const PhpScript& script,
                                     const std::string& php_path) {
  try {
    // Without path info, the program's variables come from the request's
    // document as they always have.
    if (script.path_info.empty()) {
      cgi_runner_.RunProgram(php_path, thread, request, response, web_directory_, "");
    } else {
      cgi_runner_.RunProgram(php_path, thread, request, response, web_directory_, script.path_info,
                             script.document);
    }
  } catch (const OSError& error) {
    // The program could not be run at all (no pipes, no process): the
    // server answers 500 with the message.
    log_.WriteLog(Format("PHP page %s could not be run: %s", {script.full_path, error.Message()}));
    throw;
  }
}

void RequestDispatcher::ServeFile(const HttpRequestInfo& request, HttpResponseInfo& response,
                                  const std::string& full_path) {
  if (!IsInsideWebDirectory(web_directory_, full_path)) {
    AnswerOutside(response);
    return;
  }
  response.ContentType = server_.MIMETable().GetFileMIMEType(full_path);
  // The dispatcher has just found a regular file there (KindOf).
  if (EqualsIgnoreCase(request.Command, "HEAD")) {
    // Raises when it cannot be read: the request then fails.
    const FileStream file(full_path, PathCheck::kByCaller);
    response.SetStatusCode(200);
    response.ContentLength = file.Size();
    return;
  }
  const std::int64_t sent = server_.ServeDocument(response, full_path, PathCheck::kByCaller);
  log_.WriteLog(
      Format("Serving file %s (%d bytes / %d bytes sent) to %s:%d",
             {full_path, sent, response.ContentLength, request.RemoteIP, request.RemotePort}));
}

void RequestDispatcher::AnswerOutside(HttpResponseInfo& response) {
  AnswerWithPage(response, 403, ErrorPage(kOutsideHeading, kOutsideDetail));
}

}  // namespace vantrel
