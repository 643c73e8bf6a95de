// Turns the bytes of one request into a request record, or an error,
// without touching a socket: everything is read through an HttpByteSource.
//
// A request is read in two steps, so that a server can judge a request by
// its line and header lines before its body is read (and refuse it without
// reading the body at all): ReadRequestHead, then ReadRequestBody.
//
// Limits: a request line or header block of more than kMaxRequestHeadBytes
// raises HttpRequestTooLargeError (the server then closes the connection
// without a response), and so does a body over the limit its reader is
// given (kMaxRequestBodyBytes for ReadRequest). Memory grows only with bytes that actually arrived,
// whatever Content-Length claims.
#ifndef VANTREL_HTTP_HTTP_REQUEST_PARSER_H_
#define VANTREL_HTTP_HTTP_REQUEST_PARSER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/string_list.h"
#include "http/http_byte_source.h"
#include "http/http_request_info.h"

namespace vantrel {

// The most bytes of the request line, and separately of the header block
// (every header line and the empty line, each counted with one byte for
// its line end).
inline constexpr std::size_t kMaxRequestHeadBytes = std::size_t{1} << 20;
// The most body bytes ReadRequest takes, whether announced by
// Content-Length or read until the client closes.
inline constexpr std::int64_t kMaxRequestBodyBytes = std::int64_t{256} << 20;

// The three parts of a request line.
struct HttpRequestLine {
  std::string Command;  // The method, ASCII letters upper-cased.
  std::string Uri;      // The request URI as sent; "" when there is none.
  std::string Version;  // The text after the last space.
};

// Splits a request line at its last space (Version after it) and, before
// it, at its first space (method before, URI after). Raises
// HttpParseCommandError "Error in parsing command." when it has no space.
HttpRequestLine SplitRequestLine(std::string_view line);

// Reads the request line from `source` and splits it.
HttpRequestLine ReadRequestLine(HttpByteSource& source);

// True for the methods OnCommandGet handles: GET, POST and HEAD.
bool IsGetCommand(std::string_view command);

// Reads the header lines of a request whose line is `line`, up to the
// first line that is blank after trimming, and fills Command, Version,
// Headers, Cookies, Host, Document and the Basic credentials of `request`.
// Raises ConnClosedGracefullyError when input ends early,
// HttpRequestTooLargeError over the head limit,
// HttpUnsupportedAuthSchemeError for a scheme other than Basic, and
// TableNotFoundError for credentials that are not Base64.
void ReadRequestHead(HttpByteSource& source, const HttpRequestLine& line, HttpRequestInfo& request);

// Reads the body of the request whose head ReadRequestHead has read
// (Content-Length bytes; for POST without a usable Content-Length
// everything until the client closes) and fills ParamText (the body, the
// query, or body + CR LF + query) and, when `parse_params`, Params. Raises
// ConnClosedGracefullyError when input ends early and
// HttpRequestTooLargeError, before reading, when Content-Length announces
// more than `max_body_bytes`, or as soon as more arrive.
void ReadRequestBody(HttpByteSource& source, const HttpRequestLine& line, bool parse_params,
                     std::int64_t max_body_bytes, HttpRequestInfo& request);

// ReadRequestHead, then ReadRequestBody with kMaxRequestBodyBytes: the
// whole request (all but RemoteIP, RemotePort and Session).
void ReadRequest(HttpByteSource& source, const HttpRequestLine& line, bool parse_params,
                 HttpRequestInfo& request);

// ReadRequestLine, then ReadRequest when the method is GET, POST or HEAD.
// Returns whether the request was read (false for other methods, whose
// headers stay unread); `line` receives the request line either way.
bool ParseRequest(HttpByteSource& source, bool parse_params, HttpRequestLine& line,
                  HttpRequestInfo& request);

// Fills `params` from `param_text`: one entry per "&"-separated piece
// (none for ""), each with "+" turned into a space and then "%hh"
// decoded; "%00" and "%" with non-hexadecimal characters vanish.
void DecodeParams(std::string_view param_text, StringList& params);

// Decodes one parameter piece as DecodeParams does.
std::string DecodeParamPiece(std::string_view piece);

// Sets AuthPresent, AuthUsername and AuthPassword from the value of an
// Authorization header (see ReadRequest for the errors).
void DecodeCredentials(std::string_view authorization, HttpRequestInfo& request);

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_REQUEST_PARSER_H_
