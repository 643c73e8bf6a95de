// The error family of the HTTP layer.
//
// Every class derives from HttpServerError, itself a NetError, so code that
// wants "any failure of the server" catches NetError. The Base64 decoder's
// TableNotFoundError is not part of this family (base64_decoder.h).
#ifndef VANTREL_HTTP_HTTP_ERRORS_H_
#define VANTREL_HTTP_HTTP_ERRORS_H_

#include "http/net_errors.h"

namespace vantrel {

VANTREL_ERROR_CLASS(HttpServerError, NetError);

// WriteHeader was called after the header had been sent.
VANTREL_ERROR_CLASS(HttpHeaderAlreadyWrittenError, HttpServerError);
// The request line holds no space.
VANTREL_ERROR_CLASS(HttpParseCommandError, HttpServerError);
// An Authorization header with a scheme other than Basic.
VANTREL_ERROR_CLASS(HttpUnsupportedAuthSchemeError, HttpServerError);
// SessionState was changed while the server is active.
VANTREL_ERROR_CLASS(HttpSessionStateActiveError, HttpServerError);
// The request line, the header block or the body exceeds the server's
// limits (http_request_parser.h); the connection is closed without a
// response.
VANTREL_ERROR_CLASS(HttpRequestTooLargeError, HttpServerError);

// The messages the family is raised with.
inline constexpr char kHeaderAlreadyWrittenMessage[] = "Header has already been written.";
inline constexpr char kParseCommandMessage[] = "Error in parsing command.";
inline constexpr char kUnsupportedAuthSchemeMessage[] = "Unsupported authorization scheme.";
inline constexpr char kSessionStateActiveMessage[] =
    "Cannot change session state when the server is active.";
inline constexpr char kRequestLineTooLargeMessage[] = "Request line or header block too large.";
inline constexpr char kRequestBodyTooLargeMessage[] = "Request body too large.";

}  // namespace vantrel

#endif  // VANTREL_HTTP_HTTP_ERRORS_H_
