// Request parsing from memory: request line, headers, body, parameters,
// cookies, document and credentials, and the size limits.
#include "http/http_request_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "http/base64_decoder.h"
#include "http/http_errors.h"
#include "http/memory_byte_source.h"
#include "http/net_errors.h"

namespace vantrel {
namespace {

// Parses `bytes` as one request; fails the test for other methods.
HttpRequestInfo Parse(const std::string& bytes, bool parse_params = true) {
  MemoryByteSource source(bytes);
  HttpRequestLine line;
  HttpRequestInfo request;
  EXPECT_TRUE(ParseRequest(source, parse_params, line, request));
  return request;
}

std::string Get(const std::string& uri, const std::string& headers = "") {
  return "GET " + uri + " HTTP/1.1\r\n" + headers + "\r\n";
}

std::string Basic(const std::string& encoded) { return "Authorization: Basic " + encoded + "\r\n"; }

TEST(RequestLineTest, SplitsAtLastSpaceAndUpperCasesOnlyTheMethod) {
  const HttpRequestLine line = SplitRequestLine("get /a%20b.html?x=1 HTTP/1.1");
  EXPECT_EQ(line.Command, "GET");
  EXPECT_EQ(line.Uri, "/a%20b.html?x=1");
  EXPECT_EQ(line.Version, "HTTP/1.1");
}

TEST(RequestLineTest, MissingProtocolTakesTheUriAsVersion) {
  const HttpRequestInfo request = Parse("GET /\r\n\r\n");
  EXPECT_EQ(request.Version, "/");
  EXPECT_EQ(request.Document, "/");
}

TEST(RequestLineTest, LineWithoutSpaceIsAParseError) {
  MemoryByteSource source("GARBAGE\r\n\r\n");
  try {
    ReadRequestLine(source);
    FAIL() << "no error";
  } catch (const HttpParseCommandError& error) {
    EXPECT_EQ(error.Message(), "Error in parsing command.");
  }
}

TEST(RequestLineTest, OtherMethodsLeaveTheHeadersUnread) {
  MemoryByteSource source("PUT /x?y HTTP/1.0\r\nHost: h\r\n\r\n");
  HttpRequestLine line;
  HttpRequestInfo request;
  EXPECT_FALSE(ParseRequest(source, true, line, request));
  EXPECT_EQ(line.Command, "PUT");
  EXPECT_EQ(line.Uri, "/x?y");
  EXPECT_EQ(source.Remaining(), "Host: h\r\n\r\n");
}

TEST(RequestParserTest, DocumentIsNotPercentDecoded) {
  const HttpRequestInfo request = Parse(Get("/a%20b.html"));
  EXPECT_EQ(request.Document, "/a%20b.html");
  EXPECT_EQ(request.Version, "HTTP/1.1");
  EXPECT_EQ(request.Command, "GET");
}

TEST(RequestParserTest, HeadersKeepTheTerminatingLineAndJoinContinuations) {
  const HttpRequestInfo request = Parse(Get("/", "X-Long: one\r\n\ttwo\r\nHost: example\r\n"));
  ASSERT_EQ(request.Headers.Count(), 4u);
  EXPECT_EQ(request.Headers[3], "");
  EXPECT_EQ(request.Headers.ValueByName("x-long"), "one two");
  EXPECT_EQ(request.Host, "example");
}

TEST(RequestParserTest, BareLfLineEndsAndBlankTerminatorAreAccepted) {
  const HttpRequestInfo request = Parse("GET /x HTTP/1.0\nHost: h\n\x01\nrest");
  EXPECT_EQ(request.Host, "h");
  EXPECT_EQ(request.Headers.Count(), 2u);
}

TEST(RequestParserTest, QueryIsJoinedBehindTheBodyWithCrLf) {
  const HttpRequestInfo request =
      Parse("POST /p.vpg?q=2 HTTP/1.1\r\nContent-Length: 3\r\n\r\nb=1extra");
  EXPECT_EQ(request.ParamText, "b=1\r\nq=2");
  ASSERT_EQ(request.Params.Count(), 1u);  // CR LF does not separate.
  EXPECT_EQ(request.Params[0], "b=1\r\nq=2");
}

TEST(RequestParserTest, PostWithoutContentLengthIsReadToTheEnd) {
  const HttpRequestInfo request = Parse("POST / HTTP/1.1\r\n\r\nx=1&y=2");
  EXPECT_EQ(request.ParamText, "x=1&y=2");
}

TEST(RequestParserTest, GetWithoutContentLengthHasNoBody) {
  const HttpRequestInfo request = Parse("GET / HTTP/1.1\r\n\r\nx=1");
  EXPECT_EQ(request.ParamText, "");
}

TEST(RequestParserTest, NonNumericContentLengthCountsAsAbsent) {
  const HttpRequestInfo request = Parse(Get("/", "Content-Length: 3x\r\n") + "abc");
  EXPECT_EQ(request.ParamText, "");
}

TEST(RequestParserTest, ShortBodyEndsWithClosedConnection) {
  MemoryByteSource source("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
  HttpRequestLine line;
  HttpRequestInfo request;
  EXPECT_THROW(ParseRequest(source, true, line, request), ConnClosedGracefullyError);
}

TEST(RequestParserTest, InputEndingInsideTheHeadersIsAClosedConnection) {
  MemoryByteSource source("GET / HTTP/1.1\r\nHost: x");
  HttpRequestLine line;
  HttpRequestInfo request;
  EXPECT_THROW(ParseRequest(source, true, line, request), ConnClosedGracefullyError);
}

TEST(RequestParserTest, AbsoluteUriWithoutHostHeaderGivesHostAndDocument) {
  const HttpRequestInfo request = Parse(Get("http://example:8080/x/y.vpg#top"));
  EXPECT_EQ(request.Host, "example");
  EXPECT_EQ(request.Document, "/x/y.vpg");
}

TEST(RequestParserTest, HostHeaderWinsOverTheAbsoluteUri) {
  const HttpRequestInfo request = Parse(Get("http://example/x.html", "Host: other\r\n"));
  EXPECT_EQ(request.Host, "other");
  EXPECT_EQ(request.Document, "/x.html");
}

TEST(RequestParserTest, RelativeAndBackslashDocumentsGetALeadingSlash) {
  EXPECT_EQ(Parse(Get("index.html")).Document, "/index.html");
  EXPECT_EQ(Parse(Get("a\\b.html")).Document, "/a/b.html");
  EXPECT_EQ(Parse(Get("*")).Document, "*");
}

TEST(RequestParserTest, ParseParamsOffKeepsOnlyParamText) {
  const HttpRequestInfo request = Parse(Get("/?a=1&b=2"), /*parse_params=*/false);
  EXPECT_EQ(request.ParamText, "a=1&b=2");
  EXPECT_TRUE(request.Params.Empty());
}

TEST(ParamDecodingTest, PlusAndPercentEscapesAreDecoded) {
  const HttpRequestInfo request = Parse(Get("/p.vpg?x=1&y=a+b%21"));
  EXPECT_EQ(request.ParamText, "x=1&y=a+b%21");
  EXPECT_EQ(request.Params, (StringList{"x=1", "y=a b!"}));
}

TEST(ParamDecodingTest, NulAndNonHexEscapesVanish) {
  EXPECT_EQ(DecodeParamPiece("x=%00"), "x=");
  EXPECT_EQ(DecodeParamPiece("x=%zz"), "x=");
  EXPECT_EQ(DecodeParamPiece("x=%4"), "x=\x04");
  EXPECT_EQ(DecodeParamPiece("x=%"), "x=");
  EXPECT_EQ(DecodeParamPiece("x=%+1"), "x=");  // The "+" is a space by then.
  EXPECT_EQ(DecodeParamPiece("a%3Db"), "a=b");
  EXPECT_EQ(DecodeParamPiece("%ff"), "\xff");
}

TEST(ParamDecodingTest, EveryPieceBetweenAmpersandsIsAnEntry) {
  StringList params;
  DecodeParams("a=1&&b=2&", params);
  EXPECT_EQ(params, (StringList{"a=1", "", "b=2", ""}));
  DecodeParams("", params);
  EXPECT_TRUE(params.Empty());
}

TEST(RequestCookiesTest, QuotedValuesAndPathAttributesAttachToTheirCookie) {
  const HttpRequestInfo request =
      Parse(Get("/", "Cookie: a=1; b=\"q;x\"; $Path=/p\r\nCOOKIE: c=\"say \"\"hi\"\"\"\r\n"));
  ASSERT_EQ(request.Cookies.Count(), 3u);
  EXPECT_EQ(request.Cookies[0].Name, "a");
  EXPECT_EQ(request.Cookies[0].Value, "1");
  EXPECT_EQ(request.Cookies[0].Path, "");
  EXPECT_EQ(request.Cookies[1].Name, "b");
  EXPECT_EQ(request.Cookies[1].Value, "q;x");
  EXPECT_EQ(request.Cookies[1].Path, "/p");
  EXPECT_EQ(request.Cookies[2].Value, "say \"hi\"");
}

TEST(CredentialsTest, EveryPaddingDecodesToTheEncodedText) {
  // "u:p" (no pad), "u:pw" (two pads), "u:pwd" (one pad), and the same
  // without pads.
  EXPECT_EQ(Base64Decoder::DecodeString("dTpw"), "u:p");
  EXPECT_EQ(Base64Decoder::DecodeString("dTpwdw=="), "u:pw");
  EXPECT_EQ(Base64Decoder::DecodeString("dTpwdw"), "u:pw");
  EXPECT_EQ(Base64Decoder::DecodeString("dTpwd2Q="), "u:pwd");
  EXPECT_EQ(Base64Decoder::DecodeString("dTpwd2Q"), "u:pwd");
  EXPECT_EQ(Base64Decoder::DecodeString("dTpw\r\nd2Q="), "u:pwd");
  EXPECT_EQ(Base64Decoder::DecodeString(""), "");
}

TEST(CredentialsTest, LowerCaseSchemeIsAcceptedAndColonSplitsNameFromPassword) {
  const HttpRequestInfo request =
      Parse(Get("/", "authorization: basic dXNlcjprZWxwOng=\r\n"));  // user:kelp:x
  EXPECT_TRUE(request.AuthPresent);
  EXPECT_EQ(request.AuthUsername, "user");
  EXPECT_EQ(request.AuthPassword, "kelp:x");
}

TEST(CredentialsTest, TextWithoutColonIsAllUserName) {
  const HttpRequestInfo request = Parse(Get("/", Basic("dXNlcg==")));  // user
  EXPECT_EQ(request.AuthUsername, "user");
  EXPECT_EQ(request.AuthPassword, "");
}

TEST(CredentialsTest, NoAuthorizationHeaderLeavesAuthAbsent) {
  const HttpRequestInfo request = Parse(Get("/"));
  EXPECT_FALSE(request.AuthPresent);
  EXPECT_EQ(request.AuthUsername, "");
}

TEST(CredentialsTest, CharacterOutsideTheAlphabetFails) {
  try {
    Parse(Get("/", Basic("dXN!cg==")));
    FAIL() << "no error";
  } catch (const TableNotFoundError& error) {
    EXPECT_EQ(error.Message(), "Coding table entry not found.");
  }
}

TEST(CredentialsTest, OtherSchemeFails) {
  EXPECT_THROW(Parse(Get("/", "Authorization: Bearer abc\r\n")), HttpUnsupportedAuthSchemeError);
}

TEST(RequestLimitsTest, EndlessRequestLineStopsAtTheLimit) {
  const std::string bytes(kMaxRequestHeadBytes + 10, 'a');
  MemoryByteSource source(bytes);
  EXPECT_THROW(ReadRequestLine(source), HttpRequestTooLargeError);
}

TEST(RequestLimitsTest, HeaderBlockCountsAllItsLines) {
  std::string headers;
  const std::string line = "X: " + std::string(1000, 'v') + "\r\n";
  while (headers.size() < kMaxRequestHeadBytes + line.size()) headers += line;
  const std::string bytes = Get("/", headers);
  MemoryByteSource source(bytes);
  HttpRequestLine request_line;
  HttpRequestInfo request;
  EXPECT_THROW(ParseRequest(source, true, request_line, request), HttpRequestTooLargeError);
}

TEST(RequestLimitsTest, HugeContentLengthIsRefusedBeforeReading) {
  const std::string bytes = Get("/", "Content-Length: 99999999999\r\n");
  MemoryByteSource source(bytes);
  HttpRequestLine line;
  HttpRequestInfo request;
  EXPECT_THROW(ParseRequest(source, true, line, request), HttpRequestTooLargeError);
}

}  // namespace
}  // namespace vantrel
