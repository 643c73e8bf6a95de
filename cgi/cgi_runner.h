// The CGI runner: runs an external program (the gateway's PHP executable)
// for one HTTP request in the manner of CGI/1.1 and turns what it writes
// into the response.
//
// A run builds the program's environment from the request, starts the
// command through the system command interpreter with its standard input
// and output on pipes, writes the request's ParamText to its input, waits
// for it at most TimeOut milliseconds and then either sends the program's
// header block (WriteHeader) and leaves its body in ContentText for the
// HTTP layer to send, or leaves a 500 answer with a fixed page in the
// response:
//   - the program runs too long or cannot be started: TimeOutMsg;
//   - its output exceeds kMaxProgramOutput: ErrorMsg;
//   - its output has no header block (no CR LF CR LF): an empty text/html
//     page with the response's status untouched.
// With a header block: the status is the program's Status value (200 when
// it has none or it is not a number), 302 whenever it sent a Location; the
// response's header lines are the program's lines in their order, with the
// Content-type line carrying the type the runner read (and removed when
// that is empty, for example for "Content-type:text/plain" without a
// blank), and no Content-Length, the closed connection ending the body.
// The program's exit code is not looked at.
//
// Threads: configure the runner before runs start; RunProgram may then be
// called from several peer threads at once, as the runner keeps nothing of
// a run. BeforeExecute and AfterExecute run on the calling peer thread, so
// they must be safe to run concurrently with themselves.
//
// Server: when set, the runner reads its EffectiveServerSoftware for
// SERVER_SOFTWARE. The runner does not own it; whoever destroys the server
// first clears it here (or destroys the runner first).
#ifndef VANTREL_CGI_CGI_RUNNER_H_
#define VANTREL_CGI_CGI_RUNNER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "cgi/process_spawner.h"

namespace vantrel {

class HttpServer;
class HttpResponseInfo;
class PeerThread;
struct HttpRequestInfo;

class CgiRunner {
 public:
  using NotifyEvent = std::function<void(CgiRunner& sender)>;

  static constexpr int kDefaultTimeOut = 5000;
  static constexpr char kDefaultTimeOutMsg[] =
      "<html><body><h1><center>Process was terminated.</body></html>";
  static constexpr char kDefaultErrorMsg[] =
      "<html><body><h1><center>Internal Server Error</body></html>";
  static constexpr char kDefaultServerAdmin[] = "webmaster@localhost";

  // A runner that starts programs on this system.
  CgiRunner();
  // A runner that starts programs through `spawner` (never null).
  explicit CgiRunner(std::unique_ptr<ProcessSpawner> spawner);
  CgiRunner(const CgiRunner&) = delete;
  CgiRunner& operator=(const CgiRunner&) = delete;
  ~CgiRunner();

  // Source of SERVER_SOFTWARE; none by default (the variable is then left
  // out). Not owned.
  HttpServer* Server() const { return server_; }
  void SetServer(HttpServer* server) { server_ = server; }

  // Milliseconds a program may run, its input and output included; a
  // negative value counts as 0.
  int TimeOut() const { return time_out_; }
  void SetTimeOut(int milliseconds) { time_out_ = milliseconds; }

  // Body of the 500 answer when the program runs too long or cannot be
  // started.
  const std::string& TimeOutMsg() const { return time_out_msg_; }
  void SetTimeOutMsg(std::string text) { time_out_msg_ = std::move(text); }

  // Body of the 500 answer when the program's output cannot be taken.
  const std::string& ErrorMsg() const { return error_msg_; }
  void SetErrorMsg(std::string text) { error_msg_ = std::move(text); }

  // SERVER_ADMIN.
  const std::string& ServerAdmin() const { return server_admin_; }
  void SetServerAdmin(std::string address) { server_admin_ = std::move(address); }

  // Pass the variables PHP's CGI mode expects (PHPRC, REDIRECT_STATUS,
  // HTTP_REDIRECT_STATUS, REDIRECT_URL); on by default.
  bool PHPSupport() const { return php_support_; }
  void SetPHPSupport(bool value) { php_support_ = value; }

  // PHPRC: where PHP looks for its php.ini; empty by default.
  const std::string& PHPIniPath() const { return php_ini_path_; }
  void SetPHPIniPath(std::string path) { php_ini_path_ = std::move(path); }

  // Asked at the start of every run: true when the request's credentials
  // are the server's own (it checked them), so the program must not see
  // them: HTTP_AUTHORIZATION is then empty. None: always passed on.
  void SetWithholdCredentials(std::function<bool()> predicate) {
    withhold_credentials_ = std::move(predicate);
  }

  // Raised at the start of every run.
  void SetBeforeExecute(NotifyEvent handler) { before_execute_ = std::move(handler); }
  // Raised at the end of every run that got its pipes (also when sending
  // the header failed).
  void SetAfterExecute(NotifyEvent handler) { after_execute_ = std::move(handler); }

  // Runs `command` (a program path, possibly with spaces; quoted on the
  // command line when it has one) for `request`, served on `thread`, and
  // answers in `response` as described above. `document_root` is the
  // directory documents are found in; `path_info` is PATH_INFO, empty for
  // the request's Document; `script_name`, when the document goes on past
  // the script with path info, is the script's document (SCRIPT_NAME, and
  // SCRIPT_FILENAME below the root), empty for the request's Document. Returns the response's
  // ContentLength when the run ends (-1 when not determined). Raises
  // OSError when the pipes cannot be created (the response is then left as
  // it was); errors of sending the header propagate.
  std::int64_t RunProgram(const std::string& command, PeerThread& thread, HttpRequestInfo& request,
                          HttpResponseInfo& response, const std::string& document_root,
                          const std::string& path_info, const std::string& script_name = {});

 private:
  std::unique_ptr<ProcessSpawner> spawner_;  // Never null; shared by concurrent runs.
  HttpServer* server_ = nullptr;
  int time_out_ = kDefaultTimeOut;
  std::string time_out_msg_ = kDefaultTimeOutMsg;
  std::string error_msg_ = kDefaultErrorMsg;
  std::string server_admin_ = kDefaultServerAdmin;
  bool php_support_ = true;
  std::string php_ini_path_;
  std::function<bool()> withhold_credentials_;
  NotifyEvent before_execute_;
  NotifyEvent after_execute_;
};

}  // namespace vantrel

#endif  // VANTREL_CGI_CGI_RUNNER_H_
