// The request record: one parsed HTTP request.
//
// Created and filled by the HTTP server's request handler on the peer
// thread of the connection, handed to the application's OnCommandGet
// handler and freed when the request is done; nothing here is
// synchronised. Public fields, in the order the record declares them.
#ifndef VANTREL_HTTP_HTTP_REQUEST_INFO_H_
#define VANTREL_HTTP_HTTP_REQUEST_INFO_H_

#include <memory>
#include <string>

#include "base/string_list.h"
#include "http/cookie.h"
#include "http/header_list.h"

namespace vantrel {

class HttpSession;

struct HttpRequestInfo {
  // The server session of the client; none while sessions are off. Shared:
  // the session stays valid for the request even when the session list
  // ends it meanwhile.
  std::shared_ptr<HttpSession> Session;
  // Peer IPv4 address and port of the connection, taken before the request
  // is read: they stay valid when reading a body until the client closes
  // has dropped the connection (which clears its socket record).
  std::string RemoteIP;
  int RemotePort = 0;
  // The Host header's value; when that is empty, the host of an absolute
  // request URI.
  std::string Host;
  // Path and document name of the request URI without query and fragment,
  // not percent-decoded; always begins with "/" (or is "*").
  std::string Document;
  std::string Command;  // The method, upper-cased (GET, POST, HEAD).
  std::string Version;  // The protocol text of the request line as sent.
  std::string AuthUsername;
  std::string AuthPassword;
  // Undecoded parameters: the body, the query, or the body + CR LF + query.
  std::string ParamText;
  // The request URI's query (after its first "?"), undecoded; empty when
  // there is none. A CGI program gets it as QUERY_STRING whatever the
  // method.
  std::string Query;
  bool AuthPresent = false;  // An Authorization header with a value was sent.
  // The header lines as received, followed by the empty line that ended
  // them.
  HeaderList Headers;
  // Decoded parameters, one "name=value" entry per "&"-separated piece.
  StringList Params;
  CookieCollection Cookies;  // Cookies the client sent.
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_REQUEST_INFO_H_
