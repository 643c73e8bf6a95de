// The script page gate: only one script page runs at a time in the whole
// program, and a running page can be halted from any browser.
//
// Every request for a script page comes here (from the request dispatcher)
// and is answered in one of five ways:
//   - another page is running and the document does not contain
//     "abort.vpg": the another-script-is-running page, naming that page;
//   - the document contains "abort.vpg" and a page's program is running: it
//     is halted (it stops after its current instruction and its browser gets
//     what it echoed so far) and this request gets the script-aborted page;
//     the abort does not wait for the halted page to finish;
//   - the document contains "abort.vpg" and no program is running (also
//     while a page is still being read or compiled): the no-script-running
//     page;
//   - no file at the page's path: the script-not-found page (404);
//   - otherwise the request claims the gate, the page runs
//     (app/script_page_runner.h) and the gate is released on every way out.
// The busy check and the claim are one step under one lock, so two page
// requests never both run. The page file is read before that step (after a
// first busy check), so that the gate is held only while the page compiles
// and runs; a page over 256 KiB is read after it, so that the requests
// waiting for the step do not each hold a copy. While the server stops (from StopClaims to
// AllowClaims), no page claims the gate: such a request is answered 503
// (Service Unavailable), so that no page runs, and opens the serial port,
// after a stop.
//
// Halting a page (abort.vpg, HaltRunningScript) also calls the halt hook,
// which aborts what the page waits for (its serial transfer), so the page
// stops within moments whatever its device does; what the halted run then
// raises is not reported, as for any halted page. The busy and aborted pages name the page's path
// HTML-escaped: a file of the web directory may be named with markup.
//
// Threads: HandleRequest runs on connection threads, several at once; the
// page runs on the thread of its request. HaltRunningScript may be called
// from any thread other than the page's (the main thread, when the server
// stops or the program closes). The scripter's Halt and IsRunning are used
// from other threads only while the page's thread is inside Execute, never
// while it compiles.
#ifndef VANTREL_APP_SCRIPT_PAGE_GATE_H_
#define VANTREL_APP_SCRIPT_PAGE_GATE_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace vantrel {

class CustomScripter;
class HttpResponseInfo;
class ScriptPageRunner;
struct HttpRequestInfo;

class ScriptPageGate {
 public:
  // The documents that halt the running page contain this, in any case.
  static constexpr const char* kAbortDocument = "abort.vpg";
  // Fixed pages; "\r" is one carriage return.
  static constexpr const char* kBusyPageStart =
      "<html><head><title>Error</title></head><body><h1>Access denied</h1>\r"
      "Another script is running (";
  static constexpr const char* kBusyPageEnd =
      ").<br>You can <a href=\"./abort.vpg\">ABORT</a> it.</body></html>";
  static constexpr const char* kAbortedPageStart =
      "<html><head><title>Script aborted</title></head><body><h1>Script aborted</h1>\r"
      "The script was aborted (";
  static constexpr const char* kAbortedPageEnd =
      ").<br>You can resume normal operation.</body></html>";
  static constexpr const char* kNoScriptRunningPage =
      "<html><head><title>No script running</title></head><body><h1>No script running</h1>\r"
      "There are not running scripts.<br>You can resume normal operation.</body></html>";
  static constexpr const char* kScriptNotFoundPage = "<H1><center>Script not found</center></H1>";

  // `scripter` is the page scripter that `runner` runs pages on; both must
  // outlive the gate.
  ScriptPageGate(CustomScripter& scripter, ScriptPageRunner& runner)
      : scripter_(scripter), runner_(runner) {}
  ScriptPageGate(const ScriptPageGate&) = delete;
  ScriptPageGate& operator=(const ScriptPageGate&) = delete;

  // Answers the request for the script page at `full_path` (see the top of
  // this file); the page's peerIP and peerPort are the request's client.
  // An error reading the page file propagates, with the gate released.
  void HandleRequest(const HttpRequestInfo& request, HttpResponseInfo& response,
                     const std::string& full_path);

  // The full path of the page that holds the gate; empty when none does.
  std::string RunningScriptPath() const;

  // Called, without the gate's lock, whenever a running page is halted.
  // Set before requests come.
  void SetOnHalt(std::function<void()> hook) { on_halt_ = std::move(hook); }

  // From StopClaims until AllowClaims, no page claims the gate. Any thread.
  void StopClaims();
  void AllowClaims();
  bool ClaimsAllowed() const;

  // Halts the page that holds the gate, also one still being read or
  // compiled (it then does not run), and waits at most `wait` until it has
  // released the gate. True when no page holds it any more.
  bool HaltRunningScript(std::chrono::milliseconds wait);

 private:
  // Answers with the busy page when a page holds the gate; the second
  // with mutex_ held.
  bool AnsweredBusy(HttpResponseInfo& response);
  bool BusyAnswer(HttpResponseInfo& response);
  // The step after claiming: runs the page (read as `page_bytes`, or read
  // now when none) and releases the gate.
  void RunClaimedPage(const HttpRequestInfo& request, HttpResponseInfo& response,
                      const std::string& full_path, std::optional<std::string> page_bytes);
  // Runs the scripter's Execute unless a halt came first, marking the time
  // a halt can reach the run.
  void ExecuteUnlessHalted();
  // Answers an abort request; true when it halted the page. Called with
  // mutex_ held.
  bool Abort(HttpResponseInfo& response);

  CustomScripter& scripter_;
  ScriptPageRunner& runner_;
  std::function<void()> on_halt_;  // Set before requests come; read without a lock.
  mutable std::mutex mutex_;
  std::condition_variable released_;  // Notified when a page releases the gate.
  // Guarded by mutex_. The busy mark: the full path of the page holding the
  // gate, empty when none does.
  std::string running_script_path_;
  // Guarded by mutex_. The page's thread is inside the scripter's Execute.
  bool executing_ = false;
  // Guarded by mutex_. The page holding the gate is to stop before it runs.
  bool halt_requested_ = false;
  // Guarded by mutex_. Pages that have claimed the gate so far.
  std::uint64_t claims_ = 0;
  // Guarded by mutex_. The page holding the gate has been halted.
  bool halted_ = false;
  // Guarded by mutex_. Pages may claim the gate.
  bool claims_allowed_ = true;
};

}  // namespace vantrel

#endif  // VANTREL_APP_SCRIPT_PAGE_GATE_H_
