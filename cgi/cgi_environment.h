// The environment a CGI program runs with: a fixed, ordered list of
// CGI/1.1 variables (and the four PHP's CGI mode expects), built from the
// request, its connection and the runner's settings. Nothing else of the
// server's own environment is passed on except PATH.
//
// Values are passed as they are, not escaped; an entry whose source is
// empty is still present with an empty value. Left out are only
// SERVER_SOFTWARE when the runner has no server, the PHP variables when PHP
// support is off, and QUERY_STRING for a POST.
#ifndef VANTREL_CGI_CGI_ENVIRONMENT_H_
#define VANTREL_CGI_CGI_ENVIRONMENT_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// What the runner gathered for one run.
struct CgiRequestFacts {
  // The runner's settings.
  std::optional<std::string> server_software;  // Absent when the runner has no server.
  bool php_support = true;
  std::string php_ini_path;
  std::string server_admin;

  // The request record.
  std::string command;  // The method, upper-cased.
  std::string version;
  std::string host;
  std::string document;
  // The request URI's query (QUERY_STRING, for every method).
  std::string query;
  std::string remote_ip;
  // The request header lookup: the value of the first header named `name`
  // (ignoring case), "" when there is none. Must be set.
  std::function<std::string(std::string_view name)> header_value;

  // The request's connection.
  std::string local_ip;
  int local_port = 0;
  std::string remote_host;  // The client's host name (or address, when it has no name).

  // The server's own PATH.
  std::string path;

  // The arguments of the run.
  std::string document_root;
  std::string path_info;  // Empty: the document is the path info.
  // The document of the script the path info follows ("/app.php" of
  // "/app.php/some/page"): SCRIPT_NAME, URL and, below the document root,
  // SCRIPT_FILENAME; REDIRECT_URL is then left out. Empty: taken from the
  // document.
  std::string script_name;
};

struct EnvironmentEntry {
  std::string name;
  std::string value;

  bool operator==(const EnvironmentEntry&) const = default;
};

// The entries in the order the program gets them.
std::vector<EnvironmentEntry> BuildCgiEnvironment(const CgiRequestFacts& facts);

// The entries as "NAME=value" texts, in their order.
std::vector<std::string> EnvironmentStrings(const std::vector<EnvironmentEntry>& entries);

// SCRIPT_NAME and URL: `document` up to and including the first ".EXE"
// (found ignoring case), or the whole document when it has none.
std::string CgiScriptName(std::string_view document);

// PATH_TRANSLATED and SCRIPT_FILENAME: `document_root` followed by
// `document`, made absolute (against the current directory) and normalised
// ("." and ".." segments resolved, doubled separators merged; "\" counts as
// a separator like "/"). Whether the file exists is not checked.
std::string TranslatedPath(std::string_view document_root, std::string_view document);

}  // namespace vantrel

#endif  // VANTREL_CGI_CGI_ENVIRONMENT_H_
