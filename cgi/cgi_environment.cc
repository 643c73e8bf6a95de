#include "cgi/cgi_environment.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/ascii.h"

namespace vantrel {
namespace {

// Request headers passed on as variables, each looked up by the name as
// listed and, when that finds nothing, again with "_" replaced by "-" (so
// CACHE_CONTROL finds a Cache-Control header).
struct ForwardedHeader {
  std::string_view variable;
  std::string_view header;
};
constexpr ForwardedHeader kForwardedHeaders[] = {
    {"HTTP_DATE", "DATE"},
    {"HTTP_CACHE_CONTROL", "CACHE_CONTROL"},
    {"HTTP_ACCEPT", "ACCEPT"},
    {"HTTP_FROM", "FROM"},
    {"HTTP_HOST", "HOST"},
    {"HTTP_IF_MODIFIED_SINCE", "IF-MODIFIED-SINCE"},
    {"HTTP_REFERER", "REFERER"},
    {"HTTP_CONTENT_ENCODING", "CONTENT-ENCODING"},
    {"HTTP_CONTENT_VERSION", "CONTENT-VERSION"},
    {"HTTP_DERIVED_FROM", "DERIVED-FROM"},
    {"HTTP_EXPIRES", "EXPIRES"},
    {"HTTP_TITLE", "TITLE"},
    {"HTTP_CONNECTION", "CONNECTION"},
    {"HTTP_AUTHORIZATION", "AUTHORIZATION"},
    {"HTTP_ACCEPT_LANGUAGE", "ACCEPT-LANGUAGE"},
    {"HTTP_ACCEPT_ENCODING", "ACCEPT-ENCODING"},
};

std::string ForwardedHeaderValue(const CgiRequestFacts& facts, std::string_view header) {
  std::string value = facts.header_value(header);
  if (!value.empty() || header.find('_') == std::string_view::npos) return value;
  std::string dashed(header);
  std::replace(dashed.begin(), dashed.end(), '_', '-');
  return facts.header_value(dashed);
}

}  // namespace

std::string CgiScriptName(std::string_view document) {
  constexpr std::string_view kExecutableExtension = ".EXE";
  const std::size_t found = FindIgnoreCase(document, kExecutableExtension);
  if (found == std::string_view::npos) return std::string(document);
  return std::string(document.substr(0, found + kExecutableExtension.size()));
}

std::string TranslatedPath(std::string_view document_root, std::string_view document) {
  std::string joined = std::string(document_root) + std::string(document);
  std::replace(joined.begin(), joined.end(), '\\', '/');
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(joined, error);
  if (error) full = joined;
  return full.lexically_normal().string();
}

std::vector<EnvironmentEntry> BuildCgiEnvironment(const CgiRequestFacts& facts) {
  const std::string script_name =
      facts.script_name.empty() ? CgiScriptName(facts.document) : facts.script_name;
  const std::string content_type = facts.header_value("Content-Type");
  const std::string content_length = facts.header_value("Content-Length");
  const std::string translated_path = TranslatedPath(facts.document_root, facts.document);

  std::vector<EnvironmentEntry> entries;
  entries.reserve(48);
  const auto add = [&entries](std::string_view name, std::string value) {
    entries.push_back({std::string(name), std::move(value)});
  };
  // A request header the client did not send has no HTTP_ variable, as
  // CGI/1.1 has it: applications take a present one for a sent header (an
  // empty HTTP_AUTHORIZATION for credentials, an empty HTTP_REFERER for a
  // link) and stumble on its empty value.
  const auto add_header = [&add](std::string_view name, std::string value) {
    if (!value.empty()) add(name, std::move(value));
  };
  if (facts.server_software) add("SERVER_SOFTWARE", *facts.server_software);
  add_header("HTTP_CONTENT_TYPE", content_type);
  add("CONTENT_TYPE", content_type);
  add("URL", script_name);
  if (facts.php_support) {
    add("PHPRC", facts.php_ini_path);
    add("REDIRECT_STATUS", "200");
    add("HTTP_REDIRECT_STATUS", "200");
    // REDIRECT_URL tells PHP that a server's redirect brought it to the
    // interpreter, which makes it take PATH_TRANSLATED for the script: with
    // path info that names no file ("No input file specified."), so a
    // script with path info goes without it.
    if (facts.script_name.empty()) add("REDIRECT_URL", facts.document);
  }
  add("CONTENT_LENGTH", content_length);
  add_header("HTTP_CONTENT_LENGTH", content_length);
  add("SERVER_NAME", facts.host);
  add("SERVER_PROTOCOL", facts.version);
  add("SERVER_PORT", std::to_string(facts.local_port));
  add("GATEWAY_INTERFACE", "CGI/1.1");
  add("REQUEST_METHOD", facts.command);
  add("SCRIPT_NAME", script_name);
  // The URL's query for every method, as CGI/1.1 has it: a form posted to
  // a URL that carries a query must not lose it.
  add("QUERY_STRING", facts.query);
  add("REMOTE_ADDR", facts.remote_ip);
  add("REMOTE_HOST", facts.remote_host);
  // Windows system variables: they have no counterpart here and stay empty.
  add("SystemRoot", "");
  add("COMSPEC", "");
  add("WINDIR", "");
  add("PATH", facts.path);
  add("PATH_INFO", facts.path_info.empty() ? facts.document : facts.path_info);
  add("REQUEST_URI", facts.document);
  add("PATH_TRANSLATED", translated_path);
  // The page itself: PHP's CGI mode runs the file SCRIPT_FILENAME names.
  add("SCRIPT_FILENAME", facts.script_name.empty()
                             ? translated_path
                             : TranslatedPath(facts.document_root, facts.script_name));
  for (const ForwardedHeader& forwarded : kForwardedHeaders) {
    add_header(forwarded.variable, ForwardedHeaderValue(facts, forwarded.header));
  }
  add_header("HTTP_USER_AGENT", facts.header_value("User-Agent"));
  add_header("HTTP_COOKIE", facts.header_value("cookie"));
  add("SERVER_ADDR", facts.local_ip);
  add("DOCUMENT_ROOT", facts.document_root);
  add("SERVER_ADMIN", facts.server_admin);
  return entries;
}

std::vector<std::string> EnvironmentStrings(const std::vector<EnvironmentEntry>& entries) {
  std::vector<std::string> texts;
  texts.reserve(entries.size());
  for (const EnvironmentEntry& entry : entries) texts.push_back(entry.name + "=" + entry.value);
  return texts;
}

}  // namespace vantrel
