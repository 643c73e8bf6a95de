#include "cgi/cgi_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "http/header_list.h"

namespace vantrel {
namespace {

// A GET for /sub/page.php?x=1 with the given request header lines.
CgiRequestFacts GetRequest(const HeaderList& headers) {
  CgiRequestFacts facts;
  facts.server_software = "Vantrel/3.0";
  facts.php_ini_path = "/etc/php";
  facts.server_admin = "admin@example.org";
  facts.command = "GET";
  facts.version = "HTTP/1.1";
  facts.host = "example.org";
  facts.document = "/sub/page.php";
  facts.query = "x=1";
  facts.remote_ip = "10.0.0.7";
  facts.header_value = [&headers](std::string_view name) { return headers.ValueByName(name); };
  facts.local_ip = "10.0.0.1";
  facts.local_port = 8080;
  facts.remote_host = "client.example.org";
  facts.path = "/usr/bin:/bin";
  facts.document_root = "/srv/web";
  return facts;
}

std::vector<std::string> Names(const std::vector<EnvironmentEntry>& entries) {
  std::vector<std::string> names;
  for (const EnvironmentEntry& entry : entries) names.push_back(entry.name);
  return names;
}

std::map<std::string, std::string> Values(const std::vector<EnvironmentEntry>& entries) {
  std::map<std::string, std::string> values;
  for (const EnvironmentEntry& entry : entries) values[entry.name] = entry.value;
  return values;
}

// Every variable in its place, present even when empty; but a header the
// client did not send has no HTTP_ variable (an empty HTTP_AUTHORIZATION
// and HTTP_REFERER made a real application warn into its own answer).
TEST(CgiEnvironmentTest, EveryVariableIsInItsPlaceAndHeadersOnlyWhenSent) {
  const HeaderList no_headers;
  const std::vector<EnvironmentEntry> entries = BuildCgiEnvironment(GetRequest(no_headers));
  const std::vector<std::string> every = {
      "SERVER_SOFTWARE",
      "HTTP_CONTENT_TYPE",
      "CONTENT_TYPE",
      "URL",
      "PHPRC",
      "REDIRECT_STATUS",
      "HTTP_REDIRECT_STATUS",
      "REDIRECT_URL",
      "CONTENT_LENGTH",
      "HTTP_CONTENT_LENGTH",
      "SERVER_NAME",
      "SERVER_PROTOCOL",
      "SERVER_PORT",
      "GATEWAY_INTERFACE",
      "REQUEST_METHOD",
      "SCRIPT_NAME",
      "QUERY_STRING",
      "REMOTE_ADDR",
      "REMOTE_HOST",
      "SystemRoot",
      "COMSPEC",
      "WINDIR",
      "PATH",
      "PATH_INFO",
      "REQUEST_URI",
      "PATH_TRANSLATED",
      "SCRIPT_FILENAME",
      "HTTP_DATE",
      "HTTP_CACHE_CONTROL",
      "HTTP_ACCEPT",
      "HTTP_FROM",
      "HTTP_HOST",
      "HTTP_IF_MODIFIED_SINCE",
      "HTTP_REFERER",
      "HTTP_CONTENT_ENCODING",
      "HTTP_CONTENT_VERSION",
      "HTTP_DERIVED_FROM",
      "HTTP_EXPIRES",
      "HTTP_TITLE",
      "HTTP_CONNECTION",
      "HTTP_AUTHORIZATION",
      "HTTP_ACCEPT_LANGUAGE",
      "HTTP_ACCEPT_ENCODING",
      "HTTP_USER_AGENT",
      "HTTP_COOKIE",
      "SERVER_ADDR",
      "DOCUMENT_ROOT",
      "SERVER_ADMIN",
  };
  std::vector<std::string> without_headers;
  for (const std::string& name : every) {
    if (!name.starts_with("HTTP_") || name == "HTTP_REDIRECT_STATUS") {
      without_headers.push_back(name);
    }
  }
  EXPECT_EQ(Names(entries), without_headers);
  HeaderList all_headers;
  all_headers.SetText(
      "Content-Type: t\r\nContent-Length: 1\r\nDate: d\r\nCache-Control: c\r\nAccept: a\r\n"
      "From: f\r\nHost: h\r\nIf-Modified-Since: i\r\nReferer: r\r\nContent-Encoding: e\r\n"
      "Content-Version: v\r\nDerived-From: d\r\nExpires: x\r\nTitle: t\r\nConnection: c\r\n"
      "Authorization: Basic eDp5\r\nAccept-Language: l\r\nAccept-Encoding: e\r\n"
      "User-Agent: u\r\nCookie: k=1\r\n\r\n");
  EXPECT_EQ(Names(BuildCgiEnvironment(GetRequest(all_headers))), every);
  const std::map<std::string, std::string> values = Values(entries);
  EXPECT_EQ(values.count("HTTP_REFERER"), 0u);
  EXPECT_EQ(values.at("CONTENT_TYPE"), "");
  EXPECT_EQ(values.at("SystemRoot"), "");
  EXPECT_EQ(values.at("SERVER_SOFTWARE"), "Vantrel/3.0");
  EXPECT_EQ(values.at("SERVER_PORT"), "8080");
  EXPECT_EQ(values.at("SERVER_ADDR"), "10.0.0.1");
  EXPECT_EQ(values.at("SERVER_NAME"), "example.org");
  EXPECT_EQ(values.at("GATEWAY_INTERFACE"), "CGI/1.1");
  EXPECT_EQ(values.at("QUERY_STRING"), "x=1");
  EXPECT_EQ(values.at("REDIRECT_STATUS"), "200");
  EXPECT_EQ(values.at("PHPRC"), "/etc/php");
  EXPECT_EQ(values.at("REMOTE_HOST"), "client.example.org");
  EXPECT_EQ(values.at("PATH"), "/usr/bin:/bin");
  EXPECT_EQ(values.at("SERVER_ADMIN"), "admin@example.org");
  EXPECT_EQ(EnvironmentStrings(entries)[10], "SERVER_PORT=8080");
}

// A POST to /q.php?x=2 gave the program no query: applications that post
// forms to URLs carrying their state lost it on their second form.
TEST(CgiEnvironmentTest, ServerSoftwareAndPhpVariablesAreLeftOutButAPostKeepsItsQuery) {
  const HeaderList no_headers;
  CgiRequestFacts facts = GetRequest(no_headers);
  facts.server_software.reset();
  facts.php_support = false;
  facts.command = "POST";
  const std::vector<EnvironmentEntry> entries = BuildCgiEnvironment(facts);
  const std::vector<std::string> names = Names(entries);
  EXPECT_EQ(names.size(), 48u - 5u - 20u);  // 20 headers not sent.
  for (const char* left_out :
       {"SERVER_SOFTWARE", "PHPRC", "REDIRECT_STATUS", "HTTP_REDIRECT_STATUS", "REDIRECT_URL"}) {
    EXPECT_EQ(std::count(names.begin(), names.end(), left_out), 0) << left_out;
  }
  EXPECT_EQ(Values(entries).at("QUERY_STRING"), "x=1");
}

TEST(CgiEnvironmentTest, RequestHeadersReachTheirVariablesUnderscoresFindingDashes) {
  HeaderList headers;
  headers.SetText(
      "Cache-Control: no-cache\r\nIf-Modified-Since: yesterday\r\nContent-Type: a/b\r\n"
      "Content-Length: 3\r\nUser-Agent: test agent\r\nCookie: a=1\r\ncookie: b=2\r\n"
      "Authorization: Basic eDp5\r\nHost: example.org:8080\r\n\r\n");
  const std::map<std::string, std::string> values =
      Values(BuildCgiEnvironment(GetRequest(headers)));
  EXPECT_EQ(values.at("HTTP_CACHE_CONTROL"), "no-cache");
  EXPECT_EQ(values.at("HTTP_IF_MODIFIED_SINCE"), "yesterday");
  EXPECT_EQ(values.at("CONTENT_TYPE"), "a/b");
  EXPECT_EQ(values.at("HTTP_CONTENT_TYPE"), "a/b");
  EXPECT_EQ(values.at("CONTENT_LENGTH"), "3");
  EXPECT_EQ(values.at("HTTP_USER_AGENT"), "test agent");
  EXPECT_EQ(values.at("HTTP_COOKIE"), "a=1");  // The first cookie line only.
  EXPECT_EQ(values.at("HTTP_AUTHORIZATION"), "Basic eDp5");
  EXPECT_EQ(values.at("HTTP_HOST"), "example.org:8080");
}

TEST(CgiEnvironmentTest, ScriptNameEndsAfterTheFirstExe) {
  EXPECT_EQ(CgiScriptName("/cgi/Run.Exe/more/x.exe"), "/cgi/Run.Exe");
  EXPECT_EQ(CgiScriptName("/a.exec/b"), "/a.exe");
  EXPECT_EQ(CgiScriptName("/sub/page.php"), "/sub/page.php");
  const HeaderList no_headers;
  CgiRequestFacts facts = GetRequest(no_headers);
  facts.document = "/bin/tool.EXE/extra";
  const std::map<std::string, std::string> values = Values(BuildCgiEnvironment(facts));
  EXPECT_EQ(values.at("SCRIPT_NAME"), "/bin/tool.EXE");
  EXPECT_EQ(values.at("URL"), "/bin/tool.EXE");
  EXPECT_EQ(values.at("REQUEST_URI"), "/bin/tool.EXE/extra");
  EXPECT_EQ(values.at("PATH_INFO"), "/bin/tool.EXE/extra");
}

TEST(CgiEnvironmentTest, ScriptFilenameNamesThePageNotTheInterpreter) {
  // PHP's CGI mode runs the file SCRIPT_FILENAME names; the interpreter's
  // own path there would make it run its binary as the page.
  const HeaderList no_headers;
  CgiRequestFacts facts = GetRequest(no_headers);
  facts.document = "/sub/../sub/./page.php";
  facts.path_info = "/given";
  const std::map<std::string, std::string> values = Values(BuildCgiEnvironment(facts));
  EXPECT_EQ(values.at("PATH_TRANSLATED"), "/srv/web/sub/page.php");
  EXPECT_EQ(values.at("SCRIPT_FILENAME"), "/srv/web/sub/page.php");
  EXPECT_EQ(values.at("PATH_INFO"), "/given");
  EXPECT_EQ(values.at("DOCUMENT_ROOT"), "/srv/web");
}

TEST(CgiEnvironmentTest, PathInfoAfterTheScriptNamesTheScriptAsTheProgramToRun) {
  const HeaderList no_headers;
  CgiRequestFacts facts = GetRequest(no_headers);
  facts.document = "/app.php/some/page";
  facts.path_info = "/some/page";
  facts.script_name = "/app.php";
  const std::vector<EnvironmentEntry> entries = BuildCgiEnvironment(facts);
  const std::map<std::string, std::string> values = Values(entries);
  // With it, php-cgi would take PATH_TRANSLATED for the script.
  EXPECT_EQ(values.count("REDIRECT_URL"), 0u);
  EXPECT_EQ(entries.size(), 48u - 1u - 20u);
  EXPECT_EQ(values.at("SCRIPT_NAME"), "/app.php");
  EXPECT_EQ(values.at("URL"), "/app.php");
  EXPECT_EQ(values.at("SCRIPT_FILENAME"), "/srv/web/app.php");
  EXPECT_EQ(values.at("PATH_INFO"), "/some/page");
  EXPECT_EQ(values.at("PATH_TRANSLATED"), "/srv/web/app.php/some/page");
  EXPECT_EQ(values.at("REQUEST_URI"), "/app.php/some/page");
}

TEST(CgiEnvironmentTest, TranslatedPathIsAbsoluteAndNormalised) {
  EXPECT_EQ(TranslatedPath("/srv/web/", "/a\\b.php"), "/srv/web/a/b.php");
  EXPECT_EQ(TranslatedPath("/srv/web", "/../../x.php"), "/x.php");
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(TranslatedPath("web", "/x.php"), cwd + "/web/x.php");
}

}  // namespace
}  // namespace vantrel
