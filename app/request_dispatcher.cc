#include "app/request_dispatcher.h"

#include <sys/stat.h>

#include "app/configuration.h"
#include "app/document_path.h"
#include "app/script_page_gate.h"
#include "app/server_log.h"
#include "app/session_gate.h"
#include "base/ascii.h"
#include "base/file_stream.h"
#include "base/format.h"
#include "cgi/cgi_runner.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/http_server.h"
#include "http/peer_thread.h"

namespace vantrel {
namespace {

enum class PathKind { kNothing, kFile, kDirectory };

constexpr std::string_view kScriptPageExtension = ".vpg";
constexpr std::string_view kPhpPageExtension = ".php";

PathKind KindOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return PathKind::kNothing;
  return S_ISDIR(info.st_mode) ? PathKind::kDirectory : PathKind::kFile;
}

}  // namespace

RequestDispatcher::RequestDispatcher(std::string web_directory, const Configuration& settings,
                                     ServerLog& log, SessionGate& session_gate, HttpServer& server,
                                     CgiRunner& cgi_runner, ScriptPageGate& page_gate)
    : web_directory_(std::move(web_directory)),
      settings_(settings),
      log_(log),
      session_gate_(session_gate),
      server_(server),
      cgi_runner_(cgi_runner),
      page_gate_(page_gate) {}

void RequestDispatcher::HTTPServerCommandGet(PeerThread& AThread, HttpRequestInfo& RequestInfo,
                                             HttpResponseInfo& ResponseInfo) {
  const SocketHandle& peer = AThread.Connection()->Socket();
  log_.WriteLog(Format("Command %s %s received from %s:%d",
                       {RequestInfo.Command, RequestInfo.Document, peer.PeerIP, peer.PeerPort}));
  if (!Authenticate(RequestInfo, ResponseInfo)) return;
  if (!session_gate_.Admit(RequestInfo, ResponseInfo)) return;

  if (HoldsControlByte(RequestInfo.Document)) {
    AnswerWithStatusPage(ResponseInfo, 400);
    return;
  }
  std::string full_path = MapDocumentPath(web_directory_, RequestInfo.Document);
  PathKind kind = KindOf(full_path);

  if (EndsWithIgnoreCase(full_path, kScriptPageExtension)) {
    // Never the page's source: a script page is either run or refused.
    if (kind == PathKind::kFile && !IsInsideWebDirectory(web_directory_, full_path)) {
      AnswerOutside(ResponseInfo);
      return;
    }
    page_gate_.HandleRequest(RequestInfo, ResponseInfo, full_path, peer);
    return;
  }

  if (EndsWithIgnoreCase(full_path, kPhpPageExtension)) {
    const std::string php_path = settings_.PhpPath();
    if (!php_path.empty()) {
      ServePhpPage(AThread, RequestInfo, ResponseInfo, full_path, php_path);
      return;
    }
  }

  if (kind == PathKind::kDirectory) {
    const std::string index = full_path + "/index.html";
    if (KindOf(index) == PathKind::kFile) {
      full_path = index;
      kind = PathKind::kFile;
    }
  }
  if (kind != PathKind::kFile) {
    AnswerWithStatusPage(ResponseInfo, 404);
    return;
  }
  ServeFile(AThread, RequestInfo, ResponseInfo, full_path);
}

bool RequestDispatcher::Authenticate(const HttpRequestInfo& request,
                                     HttpResponseInfo& response) const {
  if (!settings_.SwitchOn("Auth require")) return true;
  if (request.AuthUsername == settings_.SettingValue("Auth user") &&
      request.AuthPassword == settings_.SettingValue("Auth password")) {
    return true;
  }
  response.ContentText = kAuthenticationFailedPage;
  response.AuthRealm = kAuthRealm;
  return false;
}

void RequestDispatcher::ServePhpPage(PeerThread& thread, HttpRequestInfo& request,
                                     HttpResponseInfo& response, const std::string& full_path,
                                     const std::string& php_path) {
  if (KindOf(full_path) != PathKind::kFile) {
    response.SetStatusCode(404);
    response.ContentText = kPhpPageMissingPage;
    return;
  }
  if (!IsInsideWebDirectory(web_directory_, full_path)) {
    AnswerOutside(response);
    return;
  }
  try {
    cgi_runner_.RunProgram(php_path, thread, request, response, web_directory_, "");
  } catch (const std::exception&) {
    // The runner reports its own failures in the response.
  }
}

void RequestDispatcher::ServeFile(PeerThread& thread, const HttpRequestInfo& request,
                                  HttpResponseInfo& response, const std::string& full_path) {
  if (!IsInsideWebDirectory(web_directory_, full_path)) {
    AnswerOutside(response);
    return;
  }
  if (EqualsIgnoreCase(request.Command, "HEAD")) {
    const FileStream file(full_path);  // Raises when it cannot be read: the request then fails.
    response.SetStatusCode(200);
    response.ContentType = server_.MIMETable().GetFileMIMEType(full_path);
    response.ContentLength = file.Size();
    return;
  }
  response.ContentType = server_.MIMETable().GetFileMIMEType(full_path);
  const std::int64_t sent = server_.ServeDocument(thread, response, full_path);
  const SocketHandle& peer = thread.Connection()->Socket();
  log_.WriteLog(Format("Serving file %s (%d bytes / %d bytes sent) to %s:%d",
                       {full_path, sent, response.ContentLength, peer.PeerIP, peer.PeerPort}));
}

void RequestDispatcher::AnswerOutside(HttpResponseInfo& response) {
  response.SetStatusCode(403);
  response.ContentText = kOutsideWebDirectoryPage;
}

void RequestDispatcher::AnswerWithStatusPage(HttpResponseInfo& response, int status) {
  response.SetStatusCode(status);
  response.ContentText = "<html><head><title>Error</title></head><body><h1>" +
                         response.ResponseText + "</h1></body></html>";
}

}  // namespace vantrel
