#include "app/script_page_runner.h"

#include "app/page_translation.h"
#include "base/exception.h"
#include "base/format.h"
#include "base/html_escape.h"
#include "base/text_file.h"
#include "http/http_response_info.h"
#include "script/scripter/custom_scripter.h"
#include "script/values/variant.h"

namespace vantrel {
namespace {

// The class of the errors of string lists, which a page does not report.
constexpr std::string_view kStringListErrorClass = "StringListError";

// The page file's text: its lines (ended by CR, LF or CR LF) each followed
// by CR LF, the last one included.
std::string ReadPageText(const std::string& full_path) {
  StringList lines;
  lines.SetText(ReadWholeFile(full_path));
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
  RegisterPageValues(scripter_, peer_ip, peer_port);
  script_output_.Clear();
  output_bytes_ = 0;
  output_limit_bytes_ = output_limit_ ? output_limit_() : std::numeric_limits<std::int64_t>::max();
  const std::string page_text = ReadPageText(full_path);
  // The request outlives the run, not the runner.
  struct ForgetRequest {
    const HttpRequestInfo*& request;
    ~ForgetRequest() { request = nullptr; }
  } forget{current_request_};
  try {
    CompileAndRun(page_text, request, execute);
  } catch (const SilentError&) {
    // The engine's silent abort ends the page as a halt does.
  } catch (const Exception& error) {
    if (error.ClassName() != kStringListErrorClass) {
      AddErrorLine(error.Message());
    }
  } catch (const std::exception& error) {
    AddErrorLine(error.what());
  }
  response.ContentText = script_output_.Text();
}

void ScriptPageRunner::Echo(std::string line) {
  const std::int64_t bytes = static_cast<std::int64_t>(line.size()) + 2;  // With its CR LF.
  if (bytes > output_limit_bytes_ - output_bytes_) {
    throw PageOutputLimitError(Format(kOutputLimitMessage, {output_limit_bytes_ >> 20}));
  }
  output_bytes_ += bytes;
  script_output_.Add(std::move(line));
}

void ScriptPageRunner::AddErrorLine(std::string_view message) {
  // The message may quote what the client sent (a query value reaching a
  // failing call is on the machine's stack), and the page is HTML.
  script_output_.Add(kScriptEngineErrorPrefix + HtmlEscape(message));
}

void ScriptPageRunner::CompileAndRun(const std::string& page_text, const HttpRequestInfo& request,
                                     const std::function<void()>& execute) {
  StringList program;
  program.SetText(PageToProgram(page_text));
  scripter_.SetSourceCode(program);
  current_request_ = &request;
  scripter_.Compile();
  execute();
}

}  // namespace vantrel
