#include "app/script_page_gate.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <utility>

#include "app/script_page_runner.h"
#include "base/ascii.h"
#include "base/html_escape.h"
#include "base/text_file.h"
#include "http/error_page.h"
#include "http/http_request_info.h"
#include "http/http_response_info.h"
#include "http/socket_handle.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel {
namespace {

constexpr int kServiceUnavailable = 503;

// How often a halt is repeated while the halted page has not released the
// gate.
constexpr std::chrono::milliseconds kHaltRetry{20};

// Pages up to this size are read before the gate is claimed; a larger one
// after, so that many requests for it do not hold a copy each.
constexpr std::int64_t kEarlyReadBytes = 256 * 1024;

// The size of the page file; none when it is not a regular file. Only a
// regular file is a page: reading a FIFO or a device could block the
// page's thread, and with it the script slot, for ever.
std::optional<std::int64_t> PageFileSize(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return info.st_size;
}

}  // namespace

void ScriptPageGate::HandleRequest(const HttpRequestInfo& request, HttpResponseInfo& response,
                                   const std::string& full_path) {
  const bool abort = ToLowerAscii(request.Document).find(kAbortDocument) != std::string::npos;
  if (!abort && AnsweredBusy(response)) return;
  // The page is read before the gate is claimed, so that the gate is held
  // only while the page compiles and runs: under load, every moment it is
  // held turns other pages' requests into the busy page. A request that
  // finds the gate taken meanwhile is answered as if it had come a moment
  // later.
  const std::optional<std::int64_t> size = abort ? std::nullopt : PageFileSize(full_path);
  std::optional<std::string> page_bytes;
  std::exception_ptr unreadable;
  if (size && *size <= kEarlyReadBytes) {
    try {
      page_bytes = ReadWholeFile(full_path);
    } catch (...) {
      unreadable = std::current_exception();
    }
  }
  {
    std::unique_lock lock(mutex_);
    if (!abort && BusyAnswer(response)) return;
    if (abort) {
      const bool halted = Abort(response);
      lock.unlock();
      if (halted && on_halt_) on_halt_();
      return;
    }
    if (!claims_allowed_) {
      AnswerWithPage(response, kServiceUnavailable, StatusPage(kServiceUnavailable));
      return;
    }
    if (!size) {
      response.SetStatusCode(404);
      response.ContentText = kScriptNotFoundPage;
      return;
    }
    if (unreadable) std::rethrow_exception(unreadable);
    running_script_path_ = full_path;
    executing_ = false;
    halt_requested_ = false;
    halted_ = false;
    ++claims_;
  }
  RunClaimedPage(request, response, full_path, std::move(page_bytes));
}

bool ScriptPageGate::AnsweredBusy(HttpResponseInfo& response) {
  std::lock_guard lock(mutex_);
  return BusyAnswer(response);
}

bool ScriptPageGate::BusyAnswer(HttpResponseInfo& response) {
  if (running_script_path_.empty()) return false;
  response.ContentText = kBusyPageStart + HtmlEscape(running_script_path_) + kBusyPageEnd;
  return true;
}

bool ScriptPageGate::Abort(HttpResponseInfo& response) {
  // A page still being read or compiled is not running yet: the abort
  // misses it. The halted page releases the gate itself when its run has
  // returned, so that no other page can start while it still answers.
  if (!executing_ || !scripter_.IsRunning()) {
    response.ContentText = kNoScriptRunningPage;
    return false;
  }
  const std::string halted_path = running_script_path_;
  halted_ = true;
  scripter_.Halt();
  response.ContentText = kAbortedPageStart + HtmlEscape(halted_path) + kAbortedPageEnd;
  return true;
}

void ScriptPageGate::RunClaimedPage(const HttpRequestInfo& request, HttpResponseInfo& response,
                                    const std::string& full_path,
                                    std::optional<std::string> page_bytes) {
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
  const auto execute = [this] { ExecuteUnlessHalted(); };
  if (page_bytes) {
    runner_.RunPageText(request, response, full_path, std::move(*page_bytes), request.RemoteIP,
                        request.RemotePort, execute);
  } else {
    runner_.RunScriptPage(request, response, full_path, request.RemoteIP, request.RemotePort,
                          execute);
  }
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
  try {
    scripter_.Execute();
  } catch (...) {
    // What a halted run raises (the serial transfer its halt aborted) is
    // part of the halt, which ends a page without a report.
    std::lock_guard lock(mutex_);
    if (!halted_) throw;
  }
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
    if (executing_) {
      halted_ = true;
      scripter_.Halt();
      if (on_halt_) {
        lock.unlock();
        on_halt_();
        lock.lock();
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    released_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + kHaltRetry));
  }
  return true;
}

void ScriptPageGate::StopClaims() {
  std::lock_guard lock(mutex_);
  claims_allowed_ = false;
}

void ScriptPageGate::AllowClaims() {
  std::lock_guard lock(mutex_);
  claims_allowed_ = true;
}

bool ScriptPageGate::ClaimsAllowed() const {
  std::lock_guard lock(mutex_);
  return claims_allowed_;
}

}  // namespace vantrel
