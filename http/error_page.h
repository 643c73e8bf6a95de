// The fixed pages that answer a failed request, and the one way a page
// goes into a response. The server, the CGI runner and the gateway all
// answer their failures through here.
//
// Most failures share one frame: a page titled "Error" whose heading names
// the failure, followed by an explanation where there is one:
//   <html><head><title>Error</title></head><body><h1>Not Found</h1></body></html>
#ifndef VANTREL_HTTP_ERROR_PAGE_H_
#define VANTREL_HTTP_ERROR_PAGE_H_

#include <string>
#include <string_view>

namespace vantrel {

class HttpResponseInfo;

// The framed page with `heading` and, right after it, `detail` (which
// brings its own line break when it wants one).
std::string ErrorPage(std::string_view heading, std::string_view detail = {});

// The framed page headed by the response's reason phrase for `status`
// ("Not Found").
std::string StatusPage(int status);

// The plain page the HTTP layer sends when a response that gets a body has
// none: "<HTML><BODY><B>404 Not Found</B></BODY></HTML>".
std::string BareStatusPage(int status, std::string_view reason);

// Answers with `status` and `page` as the whole body.
void AnswerWithPage(HttpResponseInfo& response, int status, std::string page);

}  // namespace vantrel

#endif  // VANTREL_HTTP_ERROR_PAGE_H_
