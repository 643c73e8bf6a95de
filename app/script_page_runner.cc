#include "app/script_page_runner.h"

#include <utility>

#include "app/page_translation.h"
#include "base/exception.h"
#include "base/format.h"
#include "base/html_escape.h"
#include "base/string_list.h"
#include "base/text_file.h"
#include "http/http_response_info.h"
#include "script/scripter/custom_scripter.h"
#include "script/scripter/script.h"
#include "script/values/variant.h"

namespace vantrel {
namespace {

// The class of the errors of string lists, which a page does not report.
constexpr std::string_view kStringListErrorClass = "StringListError";

// The text of a page file holding `bytes`: its lines (ended by CR, LF or
// CR LF) each followed by CR LF, the last one included.
std::string PageText(std::string_view bytes) {
  StringList lines;
  lines.SetText(bytes);
  return lines.Text();
}

}  // namespace

void RegisterPageValues(CustomScripter& scripter, std::string_view peer_ip, int peer_port) {
  scripter.RegisterConstant("peerIP", Variant(peer_ip));
  scripter.RegisterConstant("peerPort", Variant(static_cast<std::int32_t>(peer_port)));
  scripter.RegisterConstant("q", Variant("\""));
  scripter.RegisterConstant("pc", Variant(")"));
  scripter.RegisterConstant("po", Variant("("));
}

void ScriptPageRunner::RunScriptPage(const HttpRequestInfo& request, HttpResponseInfo& response,
                                     const std::string& full_path, std::string_view peer_ip,
                                     int peer_port, const std::function<void()>& execute) {
  std::string page_bytes = ReadWholeFile(full_path);
  RunPageText(request, response, full_path, std::move(page_bytes), peer_ip, peer_port, execute);
}

void ScriptPageRunner::RunPageText(const HttpRequestInfo& request, HttpResponseInfo& response,
                                   const std::string& full_path, std::string page_bytes,
                                   std::string_view peer_ip, int peer_port,
                                   const std::function<void()>& execute) {
  RegisterPageValues(scripter_, peer_ip, peer_port);
  script_output_.Clear();
  output_bytes_ = 0;
  output_limit_bytes_ = output_limit_ ? output_limit_() : std::numeric_limits<std::int64_t>::max();
  // The request outlives the run, not the runner.
  struct ForgetRequest {
    const HttpRequestInfo*& request;
    ~ForgetRequest() { request = nullptr; }
  } forget{current_request_};
  try {
    CompileAndRun(full_path, std::move(page_bytes), request, execute);
  } catch (const SilentError&) {
    // The engine's silent abort ends the page as a halt does.
  } catch (const Exception& error) {
    if (error.ClassName() != kStringListErrorClass) {
      AddErrorLine(error.Message());
    }
  } catch (const std::exception& error) {
    AddErrorLine(error.what());
  }
  response.ContentText = script_output_.TakeText();
}

void ScriptPageRunner::Echo(std::string_view line) {
  const std::int64_t bytes = static_cast<std::int64_t>(line.size()) + 2;  // With its CR LF.
  if (bytes > output_limit_bytes_ - output_bytes_) {
    throw PageOutputLimitError(Format(kOutputLimitMessage, {output_limit_bytes_ >> 20}));
  }
  output_bytes_ += bytes;
  script_output_.Add(line);
}

void ScriptPageRunner::AddErrorLine(std::string_view message) {
  // The message may quote what the client sent (a query value reaching a
  // failing call is on the machine's stack), and the page is HTML.
  script_output_.Add(kScriptEngineErrorPrefix + HtmlEscape(message));
}

void ScriptPageRunner::CompileAndRun(const std::string& full_path, std::string page_bytes,
                                     const HttpRequestInfo& request,
                                     const std::function<void()>& execute) {
  current_request_ = &request;
  Script& script = scripter_.DefaultScript();
  const LastRun last_run = std::exchange(last_run_, {});
  if (const CompiledPageCache::Entry* kept =
          compiled_pages_.Find(full_path, page_bytes, scripter_.CurrentCompileConditions())) {
    if (kept->linked && last_run.entry_serial == kept->serial &&
        last_run.code_version == script.CodeVersion()) {
      // The script still holds this page's code as its last run left it.
      script.RestartLinkedCode();
    } else {
      // The source too, so that the script is what compiling would have
      // left.
      script.SetSourceCode(kept->program);
      if (kept->linked) {
        script.LoadLinkedCode(kept->code);
      } else {
        script.LoadCompiledCode(kept->code);
      }
    }
  } else {
    StringList program;
    program.SetText(PageToProgram(PageText(page_bytes)));
    script.SetSourceCode(program);
    script.Compile();
    // Kept before it runs: running links the script's own copy.
    compiled_pages_.Store(full_path, std::move(page_bytes), std::move(program), script.Code(),
                          scripter_.CurrentCompileConditions());
  }
  try {
    execute();
  } catch (...) {
    // A failure at run time leaves the code linked all the same. Keeping it
    // only saves later runs time: the page's own error is what counts.
    try {
      KeepRunCode(full_path);
    } catch (...) {
    }
    throw;
  }
  KeepRunCode(full_path);
}

void ScriptPageRunner::KeepRunCode(const std::string& full_path) {
  Script& script = scripter_.DefaultScript();
  if (!script.Prepared()) return;
  // The code as this run linked it: later runs of the page need not link
  // it again.
  const CompiledPageCache::Entry* entry = compiled_pages_.KeepLinked(full_path, script.Code());
  if (entry != nullptr && entry->linked) last_run_ = {entry->serial, script.CodeVersion()};
}

}  // namespace vantrel
