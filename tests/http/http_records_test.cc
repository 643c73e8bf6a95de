// The records and helpers of the HTTP layer: header lists, cookies, the
// status table and the header block a response composes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/string_list.h"
#include "http/byte_buffer.h"
#include "http/cookie.h"
#include "http/header_list.h"
#include "http/http_errors.h"
#include "http/http_response_info.h"
#include "http/http_status.h"
#include "http/tcp_connection.h"

namespace vantrel {
namespace {

TEST(HeaderListTest, NamesMatchIgnoringCaseAndValuesLoseLeadingBlanks) {
  HeaderList headers;
  headers.SetText("Content-Type:\t text/plain\r\nNoColon\r\nX-Empty:\r\n");
  EXPECT_EQ(headers.ValueByName("CONTENT-TYPE"), "text/plain");
  EXPECT_EQ(headers.Names(0), "CONTENT-TYPE");
  EXPECT_EQ(headers.Names(1), "");
  EXPECT_EQ(headers.ValueByName("X-Empty"), "");
  EXPECT_EQ(headers.ValueByName("missing"), "");
}

// A client chooses the names: one that only begins or ends like another,
// or puts a blank before the colon, is not that other header.
TEST(HeaderListTest, OnlyTheWholeNameBeforeTheFirstColonMatches) {
  HeaderList headers;
  headers.SetText("Hostile: evil\r\nHost : spaced\r\nX-Host: other\r\nHost: ok:8080\r\n");
  EXPECT_EQ(headers.ValueByName("host"), "ok:8080");
  EXPECT_EQ(headers.ValueByName("Hostile"), "evil");
  EXPECT_EQ(headers.ValueByName("Hos"), "");
  EXPECT_EQ(headers.ValueByName("Host: ok"), "");  // A name never holds the colon.
  EXPECT_EQ(headers.IndexOfName("HOST"), 3);
}

TEST(HeaderListTest, ContinuationAfterTrailingBlankIsJoinedWithoutExtraSpace) {
  HeaderList headers;
  headers.SetText("A: one \r\n   two\r\n\tthree\r\nB: x\r\n");
  EXPECT_EQ(headers.ValueByName("a"), "one two three");
  headers.SetJoinContinuations(false);
  EXPECT_EQ(headers.ValueByName("a"), "one ");
}

TEST(HeaderListTest, CaseSensitiveNamesMissOtherSpellings) {
  HeaderList headers;
  headers.SetNamesCaseSensitive(true);
  headers.Add("Host: h");
  EXPECT_EQ(headers.ValueByName("host"), "");
  EXPECT_EQ(headers.ValueByName("Host"), "h");
  EXPECT_EQ(headers.Names(0), "Host");
}

TEST(HeaderListTest, SetValueByNameReplacesInPlaceAppendsOrDeletes) {
  HeaderList headers;
  headers.Add("content-type: a");
  headers.Add("X: 1");
  headers.SetValueByName("Content-Type", "b");
  headers.SetValueByName("Server", "s");
  EXPECT_EQ(headers.Lines(), (StringList{"Content-Type: b", "X: 1", "Server: s"}));
  headers.SetValueByName("x", "");
  EXPECT_EQ(headers.Lines(), (StringList{"Content-Type: b", "Server: s"}));
}

TEST(HeaderListTest, ValuesByNameCollectsEveryLine) {
  HeaderList headers;
  headers.SetText("Cookie: a=1\r\nHost: h\r\ncookie: b=2\r\n");
  StringList values;
  headers.ValuesByName("COOKIE", values);
  EXPECT_EQ(values, (StringList{"a=1", "b=2"}));
}

TEST(HeaderListTest, OtherSeparatorDelimitsNamesWithoutItsBlanks) {
  HeaderList headers;
  headers.SetSeparator("= ");
  headers.Add("a=1");
  headers.SetValueByName("b", "2");
  EXPECT_EQ(headers.ValueByName("A"), "1");
  EXPECT_EQ(headers[1], "b= 2");
}

TEST(CookieTextTest, DefaultsGiveNameValueAndVersion) {
  Cookie cookie;
  cookie.Name = "k";
  cookie.Value = "v";
  EXPECT_EQ(cookie.CookieText(), "k=v; Version=\"1\"");
}

TEST(CookieTextTest, AttributesComeInFixedOrderUnquoted) {
  Cookie cookie;
  cookie.Name = "k";
  cookie.Value = "a b";
  cookie.Domain = "d";
  cookie.Path = "/";
  cookie.MaxAge = 0;
  cookie.Comment = "c";
  cookie.Secure = true;
  EXPECT_EQ(cookie.CookieText(),
            "k=a b; Domain=d; Version=\"1\"; Path=/; Max-Age=0; Comment=c; Secure");
}

TEST(CookieCollectionTest, IndexOfIgnoresCaseAndStartsAtPosition) {
  CookieCollection cookies;
  cookies.Add("Vantrel", "1");
  cookies.Add("other", "2");
  cookies.Add("VANTREL", "3");
  EXPECT_EQ(cookies.IndexOf("vantrel"), 0);
  EXPECT_EQ(cookies.IndexOf("vantrel", 1), 2);
  EXPECT_EQ(cookies.IndexOf("vantrel", 3), -1);
  EXPECT_EQ(cookies.IndexOf("none"), -1);
}

TEST(CookieCollectionTest, MalformedHeadersNeverFail) {
  CookieCollection cookies;
  cookies.AddCookieHeader("$Version=1; =x; a=\"open; b");
  ASSERT_EQ(cookies.Count(), 3u);
  EXPECT_EQ(cookies[0].Name, "$Version");  // No cookie yet: an ordinary name.
  EXPECT_EQ(cookies[1].Name, "");
  EXPECT_EQ(cookies[2].Value, "open; b");  // Unterminated quote runs to the end.
  cookies.AddCookieHeader("no pairs here");
  EXPECT_EQ(cookies.Count(), 3u);
}

TEST(StatusTextTest, TableTextsAreExactAndUnknownCodesHaveOne) {
  EXPECT_EQ(StatusText(200), "OK");
  EXPECT_EQ(StatusText(405), "Method not allowed");
  EXPECT_EQ(StatusText(413), "Request Entity To Long");
  EXPECT_EQ(StatusText(504), "Gateway timeout");
  EXPECT_EQ(StatusText(299), "Unknown Response Code");
}

class ResponseHeaderTest : public ::testing::Test {
 protected:
  TcpConnection connection_;  // Never connected: the header is only composed.
  HttpResponseInfo response_{connection_};
};

TEST_F(ResponseHeaderTest, UntouchedResponseIsOkHtmlWithoutLength) {
  EXPECT_EQ(response_.ComposeHeader(),
            "HTTP/1.1 200 OK\r\nServer: Vantrel/3.0\r\nContent-Type: text/html\r\n"
            "Connection: close\r\n\r\n");
}

TEST_F(ResponseHeaderTest, StatusCodeSetsTheReasonPhrase) {
  response_.SetStatusCode(404);
  EXPECT_EQ(response_.ResponseText, "Not Found");
  response_.SetStatusCode(299);
  EXPECT_EQ(response_.ResponseText, "Unknown Response Code");
}

TEST_F(ResponseHeaderTest, HandlerLinesComeFirstWithKnownLinesReplacedInPlace) {
  response_.Headers.Add("Status: 404 Not Found");
  response_.Headers.Add("Content-type: text/x");
  response_.ContentType = "text/plain";
  response_.ContentText = "hello";
  response_.AuthRealm = "Vantrel server";
  response_.SetStatusCode(404);
  response_.Cookies.Add("Vantrel", "7");
  EXPECT_EQ(response_.ComposeHeader(),
            "HTTP/1.1 401 Unauthorized\r\n"
            "Set-Cookie: Vantrel=7; Version=\"1\"\r\n"
            "Status: 404 Not Found\r\n"
            "Content-Type: text/plain\r\n"
            "Server: Vantrel/3.0\r\n"
            "Content-Length: 5\r\n"
            "WWW-Authenticate: Basic realm=\"Vantrel server\"\r\n"
            "Connection: close\r\n\r\n");
}

TEST_F(ResponseHeaderTest, HandlersConnectionLineIsKeptAndEmptyValuesDropLines) {
  response_.Headers.Add("connection: keep-alive");
  response_.ServerSoftware = "";
  response_.ContentType = "";
  EXPECT_EQ(response_.ComposeHeader(), "HTTP/1.1 200 OK\r\nconnection: keep-alive\r\n\r\n");
}

TEST_F(ResponseHeaderTest, StreamSizeBecomesContentLength) {
  auto stream = std::make_unique<ByteBuffer>();
  stream->Write("abc", 3);
  response_.ContentStream = std::move(stream);
  EXPECT_NE(response_.ComposeHeader().find("Content-Length: 3\r\n"), std::string::npos);
}

TEST_F(ResponseHeaderTest, SecondHeaderIsRefused) {
  response_.ComposeHeader();
  EXPECT_TRUE(response_.HeaderWritten());
  try {
    response_.WriteHeader();
    FAIL() << "no error";
  } catch (const HttpHeaderAlreadyWrittenError& error) {
    EXPECT_EQ(error.Message(), "Header has already been written.");
  }
}

}  // namespace
}  // namespace vantrel
