// The response record: what the server sends back for one request.
//
// Created by the HTTP server's request handler for the request's
// connection, after the request is parsed; the application's OnCommandGet
// handler fills it (and may write the header and content itself); the
// server then writes what is left and frees it. Used only by the peer
// thread serving the request; nothing here is synchronised. The connection
// must outlive the record.
//
// The header is written once: after WriteHeader (or ComposeHeader), changes
// to the status, headers or cookies no longer reach the client.
#ifndef VANTREL_HTTP_HTTP_RESPONSE_INFO_H_
#define VANTREL_HTTP_HTTP_RESPONSE_INFO_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/stream.h"
#include "http/cookie.h"
#include "http/header_list.h"
#include "http/tcp_connection.h"

namespace vantrel {

class HttpSession;
class ResponseStream;

class HttpResponseInfo {
 public:
  static constexpr char kDefaultServerSoftware[] = "Vantrel/3.0";
  static constexpr char kDefaultContentType[] = "text/html";

  // A response for `connection` with the defaults: status 200 "OK",
  // content type text/html, no content.
  explicit HttpResponseInfo(TcpConnection& connection);
  HttpResponseInfo(const HttpResponseInfo&) = delete;
  HttpResponseInfo& operator=(const HttpResponseInfo&) = delete;

  // The server session of the client; none while sessions are off.
  std::shared_ptr<HttpSession> Session;
  std::string ServerSoftware = kDefaultServerSoftware;  // The Server header.
  // Non-empty: the response becomes 401 with a Basic challenge for it.
  std::string AuthRealm;
  std::string ResponseText = "OK";                // Reason phrase; set by SetStatusCode.
  std::string ContentType = kDefaultContentType;  // "" sends no Content-Type.
  TcpConnection& Connection;                      // Where the response is written.

  bool HeaderWritten() const { return header_written_; }

  int StatusCode() const { return status_code_; }
  // Sets the status and ResponseText to the server's reason phrase for it
  // ("Unknown Response Code" for codes the table does not hold).
  void SetStatusCode(int status_code);

  // Content-Length; -1 = not yet determined (WriteHeader then takes the
  // length of ContentText or the size of ContentStream; with neither, no
  // Content-Length is sent and the closed connection ends the body).
  std::int64_t ContentLength = -1;
  CookieCollection Cookies;               // One Set-Cookie line each.
  HeaderList Headers;                     // Further header lines, written in order.
  std::unique_ptr<Stream> ContentStream;  // Body from a stream; freed with the record.
  std::string ContentText;                // Body text.
  // Set for a body written as it goes (http/response_stream.h): the server
  // writes the header, then calls it on the peer thread and closes the
  // connection when it returns. ContentText and ContentStream are not sent.
  std::function<void(ResponseStream& body)> BodyWriter;
  // The body writer is background work (a stream that only watches): it
  // runs at the lowest priority, so that the rest of the machine goes first,
  // and a thread that cannot be given its priority back afterwards ends
  // instead of serving again.
  bool BodyWriterInBackground = false;

  // Sends the status line and header lines in one send: the status line,
  // one "Set-Cookie: " line per cookie, the lines of Headers after Server,
  // Content-Type, Content-Length and WWW-Authenticate were set in it (in
  // place when present, appended otherwise), then "Connection: close"
  // unless Headers already holds a Connection line, then an empty line.
  // Raises HttpHeaderAlreadyWrittenError "Header has already been
  // written." on a second call; socket failures propagate (the header then
  // counts as written).
  void WriteHeader();

  // Does what WriteHeader does but returns the header block instead of
  // sending it, for a caller that sends it together with the body.
  std::string ComposeHeader();

  // Sends the body: ContentText when not empty (and clears it); otherwise
  // ContentStream from its start when set; otherwise the line
  // "<HTML><BODY><B>" + status + " " + ResponseText + "</B></BODY></HTML>".
  void WriteContent();

 private:
  int status_code_ = 200;
  bool header_written_ = false;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_RESPONSE_INFO_H_
