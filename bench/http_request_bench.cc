// How fast requests are parsed from memory and answered: the per-request
// work of the HTTP layer without the sockets.
#include <benchmark/benchmark.h>

#include <string>

#include "http/http_request_parser.h"
#include "http/http_response_info.h"
#include "http/memory_byte_source.h"
#include "http/mime_table.h"
#include "http/tcp_connection.h"

namespace vantrel {
namespace {

// What a browser sends for a static file.
constexpr char kBrowserGet[] =
    "GET /images/logo.png HTTP/1.1\r\n"
    "Host: 192.168.1.20:8080\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0\r\n"
    "Accept: image/avif,image/webp,*/*\r\n"
    "Accept-Language: en-US,en;q=0.5\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "Connection: keep-alive\r\n"
    "Referer: http://192.168.1.20:8080/index.html\r\n"
    "\r\n";

// What wrk sends.
constexpr char kMinimalGet[] = "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n";

// A script page request with parameters, a cookie and credentials.
constexpr char kScriptPost[] =
    "POST /serial.vpg?port=COM1&baud=9600 HTTP/1.1\r\n"
    "Host: 192.168.1.20:8080\r\n"
    "Authorization: Basic dXNlcjprZWxw\r\n"
    "Cookie: Vantrel=4711; theme=\"dark\"\r\n"
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "Content-Length: 27\r\n"
    "\r\n"
    "send=hello+world%21&crlf=on";

void ParseOnce(benchmark::State& state, const char* bytes) {
  const std::string text = bytes;
  for (auto _ : state) {
    MemoryByteSource source(text);
    HttpRequestLine line;
    HttpRequestInfo request;
    ParseRequest(source, /*parse_params=*/true, line, request);
    benchmark::DoNotOptimize(request.Document.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_ParseBrowserGet(benchmark::State& state) { ParseOnce(state, kBrowserGet); }
BENCHMARK(BM_ParseBrowserGet);

void BM_ParseMinimalGet(benchmark::State& state) { ParseOnce(state, kMinimalGet); }
BENCHMARK(BM_ParseMinimalGet);

void BM_ParseScriptPost(benchmark::State& state) { ParseOnce(state, kScriptPost); }
BENCHMARK(BM_ParseScriptPost);

// The header block of a static file response.
void BM_ComposeFileHeader(benchmark::State& state) {
  TcpConnection connection;
  for (auto _ : state) {
    HttpResponseInfo response(connection);
    response.ContentType = "image/png";
    response.ContentLength = 1024;
    benchmark::DoNotOptimize(response.ComposeHeader().data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComposeFileHeader);

void BM_MimeLookup(benchmark::State& state) {
  MimeTable table;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.GetFileMIMEType("/srv/web/images/logo.png").data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MimeLookup);

}  // namespace
}  // namespace vantrel
