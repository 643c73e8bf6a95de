#include "http/http_response_info.h"

#include <string_view>

#include "http/error_page.h"
#include "http/http_errors.h"
#include "http/http_status.h"

namespace vantrel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kSetCookie = "Set-Cookie: ";

}  // namespace

HttpResponseInfo::HttpResponseInfo(TcpConnection& connection) : Connection(connection) {
  Headers.SetFoldOnWrite(false);
}

void HttpResponseInfo::SetStatusCode(int status_code) {
  status_code_ = status_code;
  ResponseText = StatusText(status_code);
}

std::string HttpResponseInfo::ComposeHeader() {
  if (header_written_) throw HttpHeaderAlreadyWrittenError(kHeaderAlreadyWrittenMessage);
  header_written_ = true;

  Headers.SetValueByName("Server", ServerSoftware);
  Headers.SetValueByName("Content-Type", ContentType);
  if (ContentLength == -1) {
    if (!ContentText.empty()) {
      ContentLength = static_cast<std::int64_t>(ContentText.size());
    } else if (ContentStream) {
      ContentLength = ContentStream->Size();
    }
  }
  if (ContentLength >= 0) Headers.SetValueByName("Content-Length", std::to_string(ContentLength));
  if (!AuthRealm.empty()) {
    SetStatusCode(401);
    Headers.SetValueByName("WWW-Authenticate", "Basic realm=\"" + AuthRealm + "\"");
  }
  // One request per connection: say so, unless the handler spoke for it.
  if (Headers.IndexOfName("Connection") < 0)
    Headers.Add("Connection" + Headers.Separator() + "close");

  const std::string status = std::to_string(status_code_);
  std::size_t size = 9 + status.size() + 1 + ResponseText.size() + 2 * kLineEnd.size();
  for (const std::string& line : Headers) size += line.size() + kLineEnd.size();
  std::string block;
  block.reserve(size + Cookies.Count() * 64);
  block.append("HTTP/1.1 ").append(status).append(" ").append(ResponseText).append(kLineEnd);
  for (const Cookie& cookie : Cookies) {
    block.append(kSetCookie).append(cookie.CookieText()).append(kLineEnd);
  }
  for (const std::string& line : Headers) block.append(line).append(kLineEnd);
  block.append(kLineEnd);
  return block;
}

void HttpResponseInfo::WriteHeader() {
  const std::string block = ComposeHeader();
  Connection.WriteText(block);  // One send for the whole header.
}

void HttpResponseInfo::WriteContent() {
  if (!ContentText.empty()) {
    Connection.WriteText(ContentText);
    ContentText.clear();
  } else if (ContentStream) {
    Connection.SendStream(*ContentStream);
  } else {
    Connection.WriteLine(BareStatusPage(status_code_, ResponseText));
  }
}

}  // namespace vantrel
