// Running one script page: the page file is read, translated into one Basic
// program (app/page_translation.h), compiled on the page scripter and run,
// and every line the program echoed becomes the response's body. The
// compiled program is kept (app/compiled_page_cache.h) and run again while
// the page's text stays the same.
//
// The runner holds the state of the page being run: the lines it echoes
// (ScriptOutput, which the web function `echo` appends to) and the request
// it answers (CurrentRequest, which `get_value` reads).
//
// Threads: RunScriptPage runs on the connection thread of the page's
// request, and only while that request holds the script page gate
// (app/script_page_gate.h), so one page at a time uses the runner, its
// state and the scripter. ScriptOutput and CurrentRequest belong to that
// page's thread.
#ifndef VANTREL_APP_SCRIPT_PAGE_RUNNER_H_
#define VANTREL_APP_SCRIPT_PAGE_RUNNER_H_

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "app/compiled_page_cache.h"
#include "app/output_lines.h"
#include "base/exception.h"

namespace vantrel {

// A page echoed more than its output may hold.
VANTREL_ERROR_CLASS(PageOutputLimitError, Exception);

class CustomScripter;
class HttpResponseInfo;
struct HttpRequestInfo;

// Registers the named values a page program sees, replacing those of the
// previous run: peerIP (the peer's address), peerPort (its port, an
// integer), and q, po and pc, one-character strings holding a double quote,
// "(" and ")", which translated literal text spells those characters with.
void RegisterPageValues(CustomScripter& scripter, std::string_view peer_ip, int peer_port);

class ScriptPageRunner {
 public:
  static constexpr const char* kScriptEngineErrorPrefix = "Script engine error: ";

  // Said when a page's output passes its limit; %d is the limit in MiB.
  static constexpr const char* kOutputLimitMessage =
      "The page's output passed its limit of %d MiB, so the page was ended (setting \"Max page "
      "output\" in config.ini).";

  // `scripter` is the page scripter (app/page_scripter.h); it must outlive
  // the runner. `output_limit`, asked at the start of every page, gives the
  // most bytes a page's answer may hold; none: no limit.
  explicit ScriptPageRunner(CustomScripter& scripter,
                            std::function<std::int64_t()> output_limit = nullptr)
      : scripter_(scripter), output_limit_(std::move(output_limit)) {}
  ScriptPageRunner(const ScriptPageRunner&) = delete;
  ScriptPageRunner& operator=(const ScriptPageRunner&) = delete;

  // Runs the page file at `full_path` for `request` from `peer_ip`: reads
  // the page (a file that cannot be read raises FileOpenError, leaving the
  // response alone), then runs it as RunPageText does.
  void RunScriptPage(const HttpRequestInfo& request, HttpResponseInfo& response,
                     const std::string& full_path, std::string_view peer_ip, int peer_port,
                     const std::function<void()>& execute);
  // Runs the page read from `full_path` as `page_bytes`: registers the page
  // values, empties ScriptOutput, translates, compiles (or takes the kept
  // program) and calls `execute` to run the compiled program.
  // An error of translating, compiling or running adds the line
  // "Script engine error: " + its message, HTML-escaped, to ScriptOutput (not the engine's
  // silent abort, which ends the page without a report), and goes no
  // further. Then the response's ContentText becomes ScriptOutput's text,
  // every line followed by CR LF; a halted run leaves what it echoed.
  // `execute` runs the scripter's Execute (the gate wraps it so that it
  // knows when a halt can reach the run).
  void RunPageText(const HttpRequestInfo& request, HttpResponseInfo& response,
                   const std::string& full_path, std::string page_bytes, std::string_view peer_ip,
                   int peer_port, const std::function<void()>& execute);

  // Adds `line` to ScriptOutput (the web function `echo`). Raises
  // PageOutputLimitError, adding nothing, when the answer (every line with
  // its CR LF) would pass the limit of the running page: a page that
  // echoes without end must not take the machine's memory.
  void Echo(std::string_view line);

  // The running page's state; see the top of this file.
  OutputLines& ScriptOutput() { return script_output_; }
  // The request of the running page; null while none runs.
  const HttpRequestInfo* CurrentRequest() const { return current_request_; }
  // Sets the request the web functions read (RunScriptPage sets it for each
  // page; tests running scripts without a page set it themselves).
  void SetCurrentRequest(const HttpRequestInfo* request) { current_request_ = request; }

  // The compiled pages kept for running again.
  const CompiledPageCache& CompiledPages() const { return compiled_pages_; }

 private:
  // Adds "Script engine error: " + `message`, HTML-escaped, to ScriptOutput.
  void AddErrorLine(std::string_view message);
  // Translates and compiles the page at `full_path`, whose file holds
  // `page_bytes`, or takes the code kept from an earlier run of the same
  // bytes, then runs it through `execute`; errors reach the caller.
  void CompileAndRun(const std::string& full_path, std::string page_bytes,
                     const HttpRequestInfo& request, const std::function<void()>& execute);
  // After a run of the page at `full_path`: keeps the code as the run
  // linked it, and notes that the default script holds it (last_run_).
  void KeepRunCode(const std::string& full_path);

  CustomScripter& scripter_;
  const std::function<std::int64_t()> output_limit_;
  CompiledPageCache compiled_pages_;  // The running page's thread only.
  OutputLines script_output_;         // The running page's thread only.
  // The running page's thread only: the bytes of its answer so far, and
  // the most it may hold.
  std::int64_t output_bytes_ = 0;
  std::int64_t output_limit_bytes_ = std::numeric_limits<std::int64_t>::max();
  const HttpRequestInfo* current_request_ = nullptr;  // The running page's thread only.
  // The running page's thread only: the kept entry whose code the default
  // script was left holding by the last run, and the script's code version
  // then. While both still hold, the next run of that page restarts the
  // code in place instead of copying it from the entry.
  struct LastRun {
    std::uint64_t entry_serial = 0;
    std::uint64_t code_version = 0;
  } last_run_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_SCRIPT_PAGE_RUNNER_H_
