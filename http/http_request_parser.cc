#include "http/http_request_parser.h"

#include <algorithm>
#include <charconv>

#include "base/ascii.h"
#include "http/base64_decoder.h"
#include "http/http_errors.h"
#include "http/uri.h"

namespace vantrel {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsBlankLine(std::string_view line) {
  for (const char c : line) {
    if (!IsBlankOrControl(c)) return false;
  }
  return true;
}

// The Content-Length value as a number; -1 when it is absent or not a
// decimal integer (surrounding blanks allowed) that fits.
std::int64_t ContentLengthOf(const HeaderList& headers) {
  const std::string text = headers.ValueByName("Content-Length");
  std::string_view digits = text;
  while (!digits.empty() && IsBlankOrControl(digits.back())) digits.remove_suffix(1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int64_t value = -1;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return -1;
  return value;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void ReadHeaderLines(HttpByteSource& source, HeaderList& headers) {
  headers.Clear();
  std::size_t budget = kMaxRequestHeadBytes;
  for (;;) {
    std::string line = source.ReadLine(budget);
    budget -= line.size() + 1;  // ReadLine never returns more than the budget allows.
    const bool last = IsBlankLine(line);
    headers.Add(std::move(line));
    if (last) return;
  }
}

void ReadBody(HttpByteSource& source, const HttpRequestLine& line, const HeaderList& headers,
              std::int64_t max_bytes, std::string& body) {
  const std::int64_t length = ContentLengthOf(headers);
  if (length >= 0) {
    if (length > max_bytes) throw HttpRequestTooLargeError(kRequestBodyTooLargeMessage);
    source.ReadExact(length, body);
  } else if (line.Command == "POST") {
    source.ReadToClose(body, max_bytes);
  }
}

// The request URI's path: the part before its first "?".
std::string_view UriPath(std::string_view uri) { return uri.substr(0, uri.find('?')); }

}  // namespace

HttpRequestLine SplitRequestLine(std::string_view line) {
  const std::size_t last_space = line.rfind(' ');
  if (last_space == std::string_view::npos) throw HttpParseCommandError(kParseCommandMessage);
  HttpRequestLine parts;
  parts.Version = line.substr(last_space + 1);
  const std::string_view before = line.substr(0, last_space);
  const std::size_t first_space = before.find(' ');
  parts.Command = ToUpperAscii(before.substr(0, first_space));
  if (first_space != std::string_view::npos) parts.Uri = before.substr(first_space + 1);
  return parts;
}

HttpRequestLine ReadRequestLine(HttpByteSource& source) {
  return SplitRequestLine(source.ReadLine(kMaxRequestHeadBytes));
}

bool IsGetCommand(std::string_view command) {
  return command == "GET" || command == "POST" || command == "HEAD";
}

void ReadRequestHead(HttpByteSource& source, const HttpRequestLine& line,
                     HttpRequestInfo& request) {
  request.Command = line.Command;
  request.Version = line.Version;
  ReadHeaderLines(source, request.Headers);

  StringList cookie_values;
  request.Headers.ValuesByName("Cookie", cookie_values);
  for (const std::string& value : cookie_values) request.Cookies.AddCookieHeader(value);

  request.Host = request.Headers.ValueByName("Host");
  const std::string_view path = UriPath(line.Uri);
  if (path.size() < line.Uri.size()) request.Query = line.Uri.substr(path.size() + 1);
  if (path == "*") {
    request.Document = "*";
  } else {
    Uri parts(path);
    request.Document = parts.Path + parts.Document;
    if (request.Host.empty() && !parts.Host.empty()) request.Host = parts.Host;
  }

  DecodeCredentials(request.Headers.ValueByName("Authorization"), request);
}

void ReadRequestBody(HttpByteSource& source, const HttpRequestLine& line, bool parse_params,
                     std::int64_t max_body_bytes, HttpRequestInfo& request) {
  ReadBody(source, line, request.Headers, max_body_bytes, request.ParamText);
  const std::string_view uri = line.Uri;
  const std::size_t question = uri.find('?');
  if (question != std::string_view::npos && question + 1 < uri.size()) {
    const std::string_view query = uri.substr(question + 1);
    if (!request.ParamText.empty()) request.ParamText.append("\r\n");
    request.ParamText.append(query);
  }
  if (parse_params) DecodeParams(request.ParamText, request.Params);
}

void ReadRequest(HttpByteSource& source, const HttpRequestLine& line, bool parse_params,
                 HttpRequestInfo& request) {
  ReadRequestHead(source, line, request);
  ReadRequestBody(source, line, parse_params, kMaxRequestBodyBytes, request);
}

bool ParseRequest(HttpByteSource& source, bool parse_params, HttpRequestLine& line,
                  HttpRequestInfo& request) {
  line = ReadRequestLine(source);
  if (!IsGetCommand(line.Command)) return false;
  ReadRequest(source, line, parse_params, request);
  return true;
}

void DecodeParams(std::string_view param_text, StringList& params) {
  params.Clear();
  if (param_text.empty()) return;
  std::size_t start = 0;
  for (;;) {
    const std::size_t ampersand = param_text.find('&', start);
    params.Add(DecodeParamPiece(param_text.substr(start, ampersand - start)));
    if (ampersand == std::string_view::npos) return;
    start = ampersand + 1;
  }
}

std::string DecodeParamPiece(std::string_view piece) {
  std::string decoded;
  decoded.reserve(piece.size());
  for (std::size_t i = 0; i < piece.size();) {
    const char c = piece[i];
    if (c == '+') {
      decoded += ' ';
      ++i;
    } else if (c != '%') {
      decoded += c;
      ++i;
    } else {
      // "%" takes up to two following characters (fewer at the end), read
      // with "+" already turned into a space. A value of 0 or a character
      // that is not hexadecimal makes all of them vanish.
      const std::size_t digits = std::min<std::size_t>(2, piece.size() - i - 1);
      int value = digits == 0 ? -1 : 0;
      for (std::size_t d = 1; d <= digits && value >= 0; ++d) {
        const int digit = HexDigitValue(piece[i + d]);
        value = digit < 0 ? -1 : value * 16 + digit;
      }
      if (value > 0) decoded += static_cast<char>(value);
      i += 1 + digits;
    }
  }
  return decoded;
}

void DecodeCredentials(std::string_view authorization, HttpRequestInfo& request) {
  request.AuthPresent = !authorization.empty();
  if (!request.AuthPresent) return;
  const std::size_t space = authorization.find(' ');
  if (!EqualsIgnoreCase(authorization.substr(0, space), "Basic")) {
    throw HttpUnsupportedAuthSchemeError(kUnsupportedAuthSchemeMessage);
  }
  const std::string_view encoded =
      space == std::string_view::npos ? std::string_view() : authorization.substr(space + 1);
  const std::string decoded = Base64Decoder::DecodeString(encoded);
  const std::size_t colon = decoded.find(':');
  request.AuthUsername = decoded.substr(0, colon);
  request.AuthPassword = colon == std::string::npos ? std::string() : decoded.substr(colon + 1);
}

}  // namespace vantrel
