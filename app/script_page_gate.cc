#include "app/script_page_gate.h"

#include <sys/stat.h>

#include <algorithm>

#include "app/script_page_runner.h"
#include "base/ascii.h"
#include "base/html_escape.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/socket_handle.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel {
namespace {

// How often a halt is repeated while the halted page has not released the
// gate.
constexpr std::chrono::milliseconds kHaltRetry{20};

// Only a regular file is a page: reading a FIFO or a device could block the
// page's thread, and with it the script slot, for ever.
bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void ScriptPageGate::HandleRequest(const HttpRequestInfo& request, HttpResponseInfo& response,
                                   const std::string& full_path) {
  const bool abort = ToLowerAscii(request.Document).find(kAbortDocument) != std::string::npos;
  {
    std::lock_guard lock(mutex_);
    if (!running_script_path_.empty() && !abort) {
      response.ContentText = kBusyPageStart + HtmlEscape(running_script_path_) + kBusyPageEnd;
      return;
    }
    if (abort) {
      Abort(response);
      return;
    }
    if (!IsFile(full_path)) {
      response.SetStatusCode(404);
      response.ContentText = kScriptNotFoundPage;
      return;
    }
    running_script_path_ = full_path;
    executing_ = false;
    halt_requested_ = false;
    ++claims_;
  }
  RunClaimedPage(request, response, full_path);
}

void ScriptPageGate::Abort(HttpResponseInfo& response) {
  // A page still being read or compiled is not running yet: the abort
  // misses it. The halted page releases the gate itself when its run has
  // returned, so that no other page can start while it still answers.
  if (!executing_ || !scripter_.IsRunning()) {
    response.ContentText = kNoScriptRunningPage;
    return;
  }
  const std::string halted_path = running_script_path_;
  scripter_.Halt();
  response.ContentText = kAbortedPageStart + HtmlEscape(halted_path) + kAbortedPageEnd;
}

void ScriptPageGate::RunClaimedPage(const HttpRequestInfo& request, HttpResponseInfo& response,
                                    const std::string& full_path) {
  struct Release {
    ScriptPageGate& gate;
    ~Release() {
      {
        std::lock_guard lock(gate.mutex_);
        gate.running_script_path_.clear();
        gate.executing_ = false;
      }
      gate.released_.notify_all();
    }
  } release{*this};
  runner_.RunScriptPage(request, response, full_path, request.RemoteIP, request.RemotePort,
                        [this] { ExecuteUnlessHalted(); });
}

void ScriptPageGate::ExecuteUnlessHalted() {
  {
    std::lock_guard lock(mutex_);
    if (halt_requested_) return;
    executing_ = true;
  }
  struct Leave {
    ScriptPageGate& gate;
    ~Leave() {
      std::lock_guard lock(gate.mutex_);
      gate.executing_ = false;
    }
  } leave{*this};
  scripter_.Execute();
}

std::string ScriptPageGate::RunningScriptPath() const {
  std::lock_guard lock(mutex_);
  return running_script_path_;
}

bool ScriptPageGate::HaltRunningScript(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::unique_lock lock(mutex_);
  halt_requested_ = true;
  // A page that claims the gate after this one released it is not waited for.
  const std::uint64_t halted_claim = claims_;
  const auto released = [this, halted_claim] {
    return running_script_path_.empty() || claims_ != halted_claim;
  };
  while (!released()) {
    // Halting again until the run returns catches a run that had not quite
    // started when the halt before came.
    if (executing_) scripter_.Halt();
    if (std::chrono::steady_clock::now() >= deadline) return false;
    released_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + kHaltRetry));
  }
  return true;
}

}  // namespace vantrel
