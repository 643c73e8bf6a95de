#include "http/error_page.h"

#include "http/http_response_info.h"
#include "http/http_status.h"

namespace vantrel {

std::string ErrorPage(std::string_view heading, std::string_view detail) {
  std::string page = "<html><head><title>Error</title></head><body><h1>";
  page.append(heading).append("</h1>").append(detail).append("</body></html>");
  return page;
}

std::string StatusPage(int status) { return ErrorPage(StatusText(status)); }

std::string BareStatusPage(int status, std::string_view reason) {
  std::string page = "<HTML><BODY><B>" + std::to_string(status) + " ";
  page.append(reason).append("</B></BODY></HTML>");
  return page;
}

void AnswerWithPage(HttpResponseInfo& response, int status, std::string page) {
  response.SetStatusCode(status);
  response.ContentLength = static_cast<std::int64_t>(page.size());
  response.ContentText = std::move(page);
}

}  // namespace vantrel
