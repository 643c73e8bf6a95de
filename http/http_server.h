// The HTTP server: a TcpServer that serves exactly one HTTP/1.1 request
// per connection and then closes it.
//
// For every accepted connection the server reads one request on the
// connection's peer thread. Of GET, POST and HEAD it first reads the line
// and header lines and asks OnAdmitRequest (when set) whether to go on: a
// request it refuses is answered with what it left in the response, and
// its body is never read (nor kept: what the client still sends is thrown
// away while the connection closes). An admitted request's body is read up
// to the limit the admission gave (more is answered 413 without being
// kept); then OnCommandGet gets the parsed request record and the response
// record; whatever the handler leaves in the response is written after it
// returns, and an exception escaping the handler or the admission becomes
// a 500 response whose body is the exception's message. A handler that
// sets the response's BodyWriter gets a streamed body instead
// (http/response_stream.h). Every other method (or every method, when
// OnCommandGet is not set) goes to OnCommandOther and gets no response.
// A malformed request line, an unsupported authorization scheme, bad
// Base64 credentials, a request line or header block over the size
// limits, a client that vanishes mid-request or one too slow to send it
// (kRequestHeaderTimeout, kBodyStallTimeout, kMinBodyRate) get no
// response: the connection is closed; so is one whose client takes no byte
// of the answer for kSendStallTimeout. A connection refused because
// MaxConnections stayed reached gets 503 (RefuseConnection).
//
// Threads: as for TcpServer, configure properties and events only while
// the server is inactive, from the controlling thread; the events run on
// peer threads, several at once, without any lock held. MIMETable(),
// ServeDocument and CreateSession may be used from any thread. The
// destructor deactivates and waits for every peer thread.
//
// Sessions are off unless SessionState is set and SessionTimeOut is
// positive when the server is activated; see http_session_list.h.
#ifndef VANTREL_HTTP_HTTP_SERVER_H_
#define VANTREL_HTTP_HTTP_SERVER_H_

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "base/file_stream.h"
#include "http/http_errors.h"
#include "http/http_request_info.h"
#include "http/http_request_parser.h"
#include "http/http_response_info.h"
#include "http/http_session.h"
#include "http/http_session_list.h"
#include "http/mime_table.h"
#include "http/peer_thread.h"
#include "http/tcp_server.h"

namespace vantrel {

class SessionCleanerThread;

using HttpGetEvent =
    std::function<void(PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response)>;
using HttpOtherEvent = std::function<void(PeerThread& thread, const std::string& command,
                                          const std::string& data, const std::string& version)>;

// What the server does with a request whose line and header lines it has
// read.
struct HttpAdmission {
  // False: the handler has answered in the response record; the answer is
  // written and the body is not read.
  bool Admitted = true;
  // The most body bytes the request may bring; a request announcing or
  // sending more is answered 413.
  std::int64_t MaxBodyBytes = kMaxRequestBodyBytes;
};
using HttpAdmitEvent = std::function<HttpAdmission(PeerThread& thread, HttpRequestInfo& request,
                                                   HttpResponseInfo& response)>;

class HttpServer : public TcpServer {
 public:
  static constexpr int kDefaultHttpPort = 80;
  static constexpr char kSessionCookieName[] = "HTTPSESSIONID";
  // How long a client may take to send the request line and header lines,
  // counted from the start of the request, and how long its body may
  // stall without a byte arriving (ms). When either passes, the connection
  // is closed without a response and its thread is free again.
  static constexpr int kRequestHeaderTimeout = 60000;
  static constexpr int kBodyStallTimeout = 60000;
  // How long a response may stall without the client taking a byte (ms),
  // the server's TcpServer::SendStallTime.
  static constexpr int kSendStallTimeout = 60000;
  // The slowest a body may arrive, in bytes a second, counted over the
  // whole request after kRequestHeaderTimeout: a request with a body of n
  // bytes must have arrived kRequestHeaderTimeout + n / kMinBodyRate
  // seconds after it began. A client trickling its body keeps a thread no
  // longer than its size is worth.
  static constexpr int kMinBodyRate = 1024;
  // After a refused request, how long and how much of what the client
  // still sends is read and thrown away before the connection closes.
  static constexpr int kDiscardTime = 2000;
  static constexpr std::int64_t kDiscardBytes = std::int64_t{1} << 20;
  // An HTTP client speaks first, so a connection is handed to a thread
  // when its request starts to arrive (DeferAcceptTime): a connection that
  // stays silent costs no thread for about this long, and a thread never
  // waits for the first bytes of a request that is already on its way.
  static constexpr int kDefaultDeferAcceptTime = 30;

  // An inactive server on DefaultPort 80, its MIME table filled from the
  // system's files.
  HttpServer();
  // Shutdown(): deactivates and waits for every peer thread.
  ~HttpServer() override;

  // Activation starts the session machinery, then the TCP server (a
  // failure of the latter stops the former again); deactivation stops the
  // cleaner thread and ends every session, then stops the TCP server.
  void SetActive(bool value) override;

  void SetOnCommandGet(HttpGetEvent handler) { on_command_get_ = std::move(handler); }
  // Called for GET, POST and HEAD once the line and header lines are read,
  // before the body; see the top of this file.
  void SetOnAdmitRequest(HttpAdmitEvent handler) { on_admit_request_ = std::move(handler); }
  void SetOnCommandOther(HttpOtherEvent handler) { on_command_other_ = std::move(handler); }

  // Split and decode parameters into the request's Params (default true).
  bool ParseParams() const { return parse_params_; }
  void SetParseParams(bool value) { parse_params_ = value; }

  // When not blank, replaces the response's default ServerSoftware.
  const std::string& ServerSoftware() const { return server_software_; }
  void SetServerSoftware(std::string value) { server_software_ = std::move(value); }
  // What responses name in their Server header: ServerSoftware, or the
  // response's default when that is blank. CGI programs get the same.
  std::string EffectiveServerSoftware() const;

  bool SessionState() const { return session_state_.load(); }
  // Raises HttpSessionStateActiveError "Cannot change session state when
  // the server is active." while active, leaving the setting unchanged.
  void SetSessionState(bool value);
  bool AutoStartSession() const { return auto_start_session_; }
  void SetAutoStartSession(bool value) { auto_start_session_ = value; }
  // Milliseconds without use after which a session expires; <= 0 turns
  // sessions off at activation.
  int SessionTimeOut() const { return session_time_out_; }
  void SetSessionTimeOut(int milliseconds) { session_time_out_ = milliseconds; }
  void SetOnSessionStart(SessionStartEvent handler) { on_session_start_ = std::move(handler); }
  void SetOnSessionEnd(SessionEndEvent handler) { on_session_end_ = std::move(handler); }

  // The read time-outs in ms (see kRequestHeaderTimeout); at least 1.
  int RequestHeaderTimeout() const { return request_header_timeout_; }
  void SetRequestHeaderTimeout(int milliseconds);
  int BodyStallTimeout() const { return body_stall_timeout_; }
  void SetBodyStallTimeout(int milliseconds);
  // Bytes a second (see kMinBodyRate); 0 turns the rate off.
  int MinBodyRate() const { return min_body_rate_; }
  void SetMinBodyRate(int bytes_per_second) { min_body_rate_ = std::max(0, bytes_per_second); }

  // The live sessions.
  HttpSessionList& Sessions() { return sessions_; }

  // The server's MIME table.
  MimeTable& MIMETable() { return mime_table_; }

  // With sessions on: creates a session for the request's client, adds
  // its cookie ("HTTPSESSIONID", Path "/", Max-Age SessionTimeOut / 1000)
  // to the response and sets Session in both records. None when sessions
  // are off.
  std::shared_ptr<HttpSession> CreateSession(HttpResponseInfo& response, HttpRequestInfo& request);

  // Sends `file_name` as the response: sets ContentType from the MIME
  // table when it is empty, ContentLength to the file's size, writes the
  // header and the file's bytes (a small file in the same send as the
  // header) and returns the number of file bytes sent. The size is read
  // once: a file that grows meanwhile is sent as long as the header says;
  // one that shrinks raises NoDataToReadError, and the connection then
  // closes short of the Content-Length, which clients report as an
  // incomplete response. Raises FileOpenError, before anything is sent,
  // when the file cannot be opened (also when it is no regular file);
  // HttpHeaderAlreadyWrittenError when the header was written. `check`
  // says whether the caller has just found the file regular (FileStream).
  std::int64_t ServeDocument(HttpResponseInfo& response, const std::string& file_name,
                             PathCheck check = PathCheck::kByStream);

 protected:
  // Reads and answers one request, then closes the connection.
  bool DoExecute(PeerThread& thread) override;
  // Answers 503 from the listener thread, without waiting for the client.
  void RefuseConnection(TcpServerConnection& connection) override;

 private:
  void StartSessions();
  void StopSessions();
  // Looks the request's session up from its cookies, creating one when
  // AutoStartSession is set; sets Session in both records.
  void LookUpSession(HttpRequestInfo& request, HttpResponseInfo& response);
  // Reads a GET, POST or HEAD request after its line and answers it.
  // Returns false when the answer went out with the body left unread.
  bool ServeRequest(PeerThread& thread, HttpByteSource& source, const HttpRequestLine& line);
  // The admission of a request by OnAdmitRequest; a failing handler is
  // answered 500 and refuses.
  HttpAdmission Admit(PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response);
  // Steps after parsing: the handler call and writing what it left.
  void Respond(PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response);
  // Writes the header, unless written, and the content the response holds.
  static void WriteResponse(HttpResponseInfo& response);
  // Writes the header of a response with a BodyWriter and runs the writer.
  static void WriteStreamedResponse(PeerThread& thread, HttpResponseInfo& response);

  HttpGetEvent on_command_get_;
  HttpAdmitEvent on_admit_request_;
  HttpOtherEvent on_command_other_;
  bool parse_params_ = true;
  std::string server_software_;
  // Settings change only while inactive, so peer threads read them
  // without a lock. session_state_ is atomic because activation itself may
  // clear it while a peer thread left over from a previous activation
  // still reads it.
  std::atomic<bool> session_state_{false};
  bool auto_start_session_ = false;
  int session_time_out_ = 0;
  int request_header_timeout_ = kRequestHeaderTimeout;  // >= 1
  int body_stall_timeout_ = kBodyStallTimeout;          // >= 1
  int min_body_rate_ = kMinBodyRate;                    // >= 0
  SessionStartEvent on_session_start_;
  SessionEndEvent on_session_end_;
  MimeTable mime_table_;      // Synchronised by itself.
  HttpSessionList sessions_;  // Synchronised by itself.
  // Present while active with sessions on; owned and joined here.
  std::unique_ptr<SessionCleanerThread> cleaner_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_SERVER_H_
