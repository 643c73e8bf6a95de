#include "http/http_server.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "base/ascii.h"
#include "base/file_stream.h"
#include "base/thread_priority.h"
#include "http/connection_byte_source.h"
#include "http/error_page.h"
#include "http/http_request_parser.h"
#include "http/net_errors.h"
#include "http/response_stream.h"
#include "http/session_cleaner_thread.h"

namespace vantrel {
namespace {

// Files up to this size leave in the same send as the header.
constexpr std::int64_t kSingleSendFileBytes = 64 * 1024;

constexpr int kInternalServerError = 500;
constexpr int kRequestEntityTooLarge = 413;
constexpr int kServiceUnavailable = 503;
// What a refused connection may have sent already, read before the answer
// so that closing does not reset the connection under it.
constexpr int kRefusedRequestBytes = 16 * 1024;
constexpr char kUnknownExceptionMessage[] = "Unknown exception.";

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace

HttpServer::HttpServer() {
  SetDefaultPort(kDefaultHttpPort);
  SetDeferAcceptTime(kDefaultDeferAcceptTime);
  SetSendStallTime(kSendStallTimeout);
}

HttpServer::~HttpServer() { Shutdown(); }

void HttpServer::SetActive(bool value) {
  if (value == Active()) return;
  if (value) {
    StartSessions();
    try {
      TcpServer::SetActive(true);
    } catch (...) {
      StopSessions();
      throw;
    }
  } else {
    StopSessions();
    TcpServer::SetActive(false);
  }
}

void HttpServer::SetSessionState(bool value) {
  if (Active()) throw HttpSessionStateActiveError(kSessionStateActiveMessage);
  session_state_ = value;
}

void HttpServer::SetRequestHeaderTimeout(int milliseconds) {
  request_header_timeout_ = std::max(1, milliseconds);
}

void HttpServer::SetBodyStallTimeout(int milliseconds) {
  body_stall_timeout_ = std::max(1, milliseconds);
}

void HttpServer::StartSessions() {
  if (session_time_out_ <= 0) {
    session_state_ = false;
  } else {
    sessions_.SetSessionTimeout(session_time_out_);
  }
  sessions_.SetOnSessionStart(on_session_start_);
  sessions_.SetOnSessionEnd(on_session_end_);
  if (session_state_) {
    cleaner_ = std::make_unique<SessionCleanerThread>(sessions_);
    cleaner_->StartLoop();
  }
}

void HttpServer::StopSessions() {
  if (cleaner_) {
    cleaner_->TerminateAndWait();  // It purges every session as it ends.
    cleaner_.reset();
  }
  sessions_.EndAllSessions();
}

std::string HttpServer::EffectiveServerSoftware() const {
  return IsBlank(server_software_) ? HttpResponseInfo::kDefaultServerSoftware : server_software_;
}

std::shared_ptr<HttpSession> HttpServer::CreateSession(HttpResponseInfo& response,
                                                       HttpRequestInfo& request) {
  if (!session_state_) return nullptr;
  std::shared_ptr<HttpSession> session = sessions_.CreateSession(request.RemoteIP);
  Cookie& cookie = response.Cookies.Add(kSessionCookieName, session->SessionID);
  cookie.Path = "/";
  cookie.MaxAge = session_time_out_ / 1000;
  response.Session = session;
  request.Session = session;
  return session;
}

void HttpServer::LookUpSession(HttpRequestInfo& request, HttpResponseInfo& response) {
  std::shared_ptr<HttpSession> session;
  for (const Cookie& cookie : request.Cookies) {
    if (!EqualsIgnoreCase(cookie.Name, kSessionCookieName)) continue;
    session = sessions_.FindSession(cookie.Value, request.RemoteIP);
    if (session) break;
  }
  if (!session && auto_start_session_) {
    session = CreateSession(response, request);
  }
  request.Session = session;
  response.Session = session;
}

bool HttpServer::DoExecute(PeerThread& thread) {
  TcpServerConnection& connection = *thread.Connection();
  ConnectionByteSource source(connection, request_header_timeout_, body_stall_timeout_,
                              min_body_rate_);
  try {
    const HttpRequestLine line = ReadRequestLine(source);
    if (!IsGetCommand(line.Command) || !on_command_get_) {
      if (on_command_other_) on_command_other_(thread, line.Command, line.Uri, line.Version);
    } else if (!ServeRequest(thread, source, line)) {
      connection.DiscardInputAndClose(kDiscardTime, kDiscardBytes);
      return true;
    }
  } catch (...) {
    // Whatever failed, the connection closes; a request that failed before
    // its header was written gets no response at all.
    connection.CloseConnection();
    throw;
  }
  connection.CloseConnection();
  return true;
}

bool HttpServer::ServeRequest(PeerThread& thread, HttpByteSource& source,
                              const HttpRequestLine& line) {
  TcpServerConnection& connection = *thread.Connection();
  HttpRequestInfo request;
  request.RemoteIP = connection.Socket().PeerIP;
  request.RemotePort = connection.Socket().PeerPort;
  ReadRequestHead(source, line, request);
  HttpResponseInfo response(connection);
  // The response starts with the default; only a setting replaces it.
  if (!IsBlank(server_software_)) response.ServerSoftware = server_software_;

  const HttpAdmission admission = Admit(thread, request, response);
  if (!admission.Admitted) {
    WriteResponse(response);
    return false;
  }
  try {
    ReadRequestBody(source, line, parse_params_, admission.MaxBodyBytes, request);
  } catch (const HttpRequestTooLargeError&) {
    request.ParamText = std::string();  // What arrived is not kept while the answer goes out.
    AnswerWithPage(response, kRequestEntityTooLarge, StatusPage(kRequestEntityTooLarge));
    WriteResponse(response);
    return false;
  }
  Respond(thread, request, response);
  return true;
}

HttpAdmission HttpServer::Admit(PeerThread& thread, HttpRequestInfo& request,
                                HttpResponseInfo& response) {
  if (!on_admit_request_) return {};
  try {
    return on_admit_request_(thread, request, response);
  } catch (const std::exception& error) {
    AnswerWithPage(response, kInternalServerError, error.what());
  } catch (...) {
    AnswerWithPage(response, kInternalServerError, kUnknownExceptionMessage);
  }
  return {.Admitted = false};
}

void HttpServer::RefuseConnection(TcpServerConnection& connection) {
  HttpResponseInfo response(connection);
  if (!IsBlank(server_software_)) response.ServerSoftware = server_software_;
  AnswerWithPage(response, kServiceUnavailable, StatusPage(kServiceUnavailable));
  try {
    // A few hundred bytes into a new connection's empty send buffer: the
    // send does not wait.
    WriteResponse(response);
  } catch (const std::exception&) {
    // The client is gone already.
  }
  // The request waiting already is read without waiting for more, so that
  // closing does not reset the connection before the client reads the answer.
  connection.DiscardInputAndClose(0, kRefusedRequestBytes);
}

void HttpServer::Respond(PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response) {
  if (session_state_) LookUpSession(request, response);

  // The one place where a failing handler becomes a response.
  try {
    on_command_get_(thread, request, response);
  } catch (const std::exception& error) {
    AnswerWithPage(response, kInternalServerError, error.what());
  } catch (...) {
    AnswerWithPage(response, kInternalServerError, kUnknownExceptionMessage);
  }

  if (response.BodyWriter) {
    WriteStreamedResponse(thread, response);
  } else {
    WriteResponse(response);
  }
}

void HttpServer::WriteStreamedResponse(PeerThread& thread, HttpResponseInfo& response) {
  response.ContentText.clear();
  response.ContentStream.reset();
  response.WriteHeader();
  ResponseStream body(response.Connection);
  std::optional<LowThreadPriority> background;
  if (response.BodyWriterInBackground) background.emplace();
  struct AtEnd {
    PeerThread& thread;
    std::optional<LowThreadPriority>& background;
    ~AtEnd() {
      if (background && !background->Restore()) thread.Terminate();
    }
  } at_end{thread, background};
  try {
    response.BodyWriter(body);
  } catch (const NetError&) {
    // The client went away or the server dropped the connection: the
    // stream has ended.
  } catch (const ConnClosedGracefullyError&) {
  }
}

void HttpServer::WriteResponse(HttpResponseInfo& response) {
  if (!response.HeaderWritten()) {
    // Header and body text leave together in one send.
    std::string block = response.ComposeHeader();
    block.append(response.ContentText);
    response.ContentText.clear();
    response.Connection.WriteText(block);
  }
  if (!response.ContentText.empty() || response.ContentStream) response.WriteContent();
}

std::int64_t HttpServer::ServeDocument(HttpResponseInfo& response, const std::string& file_name,
                                       PathCheck check) {
  if (response.ContentType.empty()) {
    response.ContentType = mime_table_.GetFileMIMEType(file_name);
  }
  FileStream file(file_name, check);
  const std::int64_t size = file.OpenedSize();
  response.ContentLength = size;
  std::string block = response.ComposeHeader();
  if (size > kSingleSendFileBytes) {
    response.Connection.WriteText(block);
    response.Connection.SendStream(file, size);  // Exactly what the header announced.
    return size;
  }
  // A small file goes out in the same send as the header.
  const std::size_t header_size = block.size();
  block.resize(header_size + static_cast<std::size_t>(size));
  std::int64_t got = 0;
  while (got < size) {
    const std::int64_t read = file.Read(block.data() + header_size + got, size - got);
    if (read <= 0) break;
    got += read;
  }
  block.resize(header_size + static_cast<std::size_t>(got));
  response.Connection.WriteText(block);
  if (got < size) throw NoDataToReadError(kNoDataToReadMessage);  // The file shrank meanwhile.
  return size;
}

}  // namespace vantrel
