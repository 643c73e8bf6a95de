#include "cgi/cgi_runner.h"

#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "cgi/cgi_environment.h"
#include "cgi/cgi_output.h"
#include "cgi/posix_process_spawner.h"
#include "cgi/program_run.h"
#include "http/error_page.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/http_server.h"
#include "http/peer_thread.h"

namespace vantrel {
namespace {

constexpr int kInternalServerError = 500;
constexpr int kMovedTemporarily = 302;

// The command as the interpreter gets it: a path with a space is quoted.
std::string ShellCommandLine(const std::string& command) {
  if (command.find(' ') == std::string::npos) return command;
  return "\"" + command + "\"";
}

// Puts the program's output into the response: the header block is sent
// at once, the body is left for the HTTP layer.
void AnswerWithOutput(HttpResponseInfo& response, std::string_view output) {
  CgiOutput parsed = ParseCgiOutput(output);
  if (!parsed.has_header_block) {
    response.ContentType = HttpResponseInfo::kDefaultContentType;
    return;
  }
  response.ContentType = parsed.content_type;
  response.SetStatusCode(parsed.status_code);
  response.Headers.Lines() = std::move(parsed.header_lines);
  if (!response.Headers.ValueByName("Location").empty()) {
    response.SetStatusCode(kMovedTemporarily);
  }
  response.WriteHeader();
  response.ContentText = std::move(parsed.body);
}

}  // namespace

CgiRunner::CgiRunner() : CgiRunner(std::make_unique<PosixProcessSpawner>()) {}

CgiRunner::CgiRunner(std::unique_ptr<ProcessSpawner> spawner) : spawner_(std::move(spawner)) {}

CgiRunner::~CgiRunner() = default;

std::int64_t CgiRunner::RunProgram(const std::string& command, PeerThread& thread,
                                   HttpRequestInfo& request, HttpResponseInfo& response,
                                   const std::string& document_root, const std::string& path_info,
                                   const std::string& script_name) {
  if (before_execute_) before_execute_(*this);

  CgiRequestFacts facts;
  if (server_ != nullptr) facts.server_software = server_->EffectiveServerSoftware();
  facts.php_support = php_support_;
  facts.php_ini_path = php_ini_path_;
  facts.server_admin = server_admin_;
  facts.command = request.Command;
  facts.version = request.Version;
  facts.host = request.Host;
  facts.document = request.Document;
  facts.query = request.Query;
  facts.remote_ip = request.RemoteIP;
  const HeaderList& headers = request.Headers;
  const bool withhold = withhold_credentials_ && withhold_credentials_();
  facts.header_value = [&headers, withhold](std::string_view name) {
    if (withhold && EqualsIgnoreCase(name, "Authorization")) return std::string();
    return headers.ValueByName(name);
  };
  if (const TcpServerConnection* connection = thread.Connection()) {
    facts.local_ip = connection->Socket().LocalIP;
    facts.local_port = connection->Socket().LocalPort;
    facts.remote_host = connection->Stack().HostByAddress(request.RemoteIP);
  }
  // A client without a host name is known by its address.
  if (facts.remote_host.empty()) facts.remote_host = request.RemoteIP;
  if (const char* path = std::getenv("PATH")) facts.path = path;
  facts.document_root = document_root;
  facts.path_info = path_info;
  facts.script_name = script_name;
  const std::vector<std::string> environment = EnvironmentStrings(BuildCgiEnvironment(facts));

  // Raises OSError, before anything of the run exists, when the pipes
  // cannot be created.
  const ProgramRunResult run = RunProgramProcess(*spawner_, ShellCommandLine(command), environment,
                                                 request.ParamText, time_out_);
  try {
    switch (run.outcome) {
      case ProgramRunOutcome::kEnded:
        AnswerWithOutput(response, run.output);
        break;
      case ProgramRunOutcome::kTimedOut:
      case ProgramRunOutcome::kNotStarted:
        AnswerWithPage(response, kInternalServerError, time_out_msg_);
        break;
      case ProgramRunOutcome::kOutputTooLarge:
        AnswerWithPage(response, kInternalServerError, error_msg_);
        break;
    }
  } catch (...) {
    if (after_execute_) after_execute_(*this);
    throw;
  }
  if (after_execute_) after_execute_(*this);
  return response.ContentLength;
}

}  // namespace vantrel
