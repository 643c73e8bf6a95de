// The gateway: the one object that owns the long-lived parts of the
// program (the settings, the server log, the HTTP server, the session
// timer and gate, the CGI runner, the page scripter with the script page
// gate and runner, the request dispatcher and the shared state of requests
// and scripts) and carries out
// start-up, activation and shutdown. The window program and the headless
// program both drive one Gateway; neither holds logic of its own.
//
// Threads: construction, Start, acActivateExecute and FormCloseQuery run on
// the main thread (the thread of `main_loop`). WriteLog, the settings
// lookups and the shared state may be used from any thread.
#ifndef VANTREL_APP_GATEWAY_H_
#define VANTREL_APP_GATEWAY_H_

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "app/configuration.h"
#include "app/receive_buffer.h"
#include "app/request_dispatcher.h"
#include "app/script_page_gate.h"
#include "app/script_page_runner.h"
#include "app/serial_bridge.h"
#include "app/serial_event_hub.h"
#include "app/serial_event_stream.h"
#include "app/server_log.h"
#include "app/session_gate.h"
#include "base/event_loop.h"
#include "base/string_list.h"
#include "base/timer.h"
#include "cgi/cgi_runner.h"
#include "http/http_server.h"
#include "script/scripter/basic_scripter.h"
#include "serial/serial_port.h"

namespace vantrel {

class FrontEnd;

class Gateway {
 public:
  // The lines the log window starts with; they carry no time stamp and are
  // not written to the log file.
  static constexpr const char* kStartupLines[] = {
      "To get help please start the server then click \"Start browser\" button.",
      "The help files contain examples written with scripts.",
      "You can try an web RS232 terminal written with scripts.",
  };

  // Said at start when the program directory is missing: without it there
  // are no settings to load and no pages to serve.
  static constexpr const char* kNoHomeMessage =
      "The program directory %s does not exist: no settings and no web directory.";

  // Said at activation while "Auth require" is off.
  static constexpr const char* kOpenAccessMessage =
      "Authentication is off: anyone who can reach port %d can drive the serial port. To "
      "require a login, set \"Auth require=yes\", \"Auth user\" and \"Auth password\" in "
      "config.ini.";
  // The connection threads that may run at once unless "Max connections"
  // says otherwise.
  static constexpr int kDefaultMaxConnections = 512;
  // The most MiB a script page's answer may hold unless "Max page output"
  // says otherwise.
  static constexpr std::int32_t kDefaultMaxPageOutputMebibytes = 64;
  // The most MiB the receive buffer holds unless "Receive buffer" says
  // otherwise, and the line that says how much an overflow dropped.
  static constexpr std::int32_t kDefaultReceiveBufferMebibytes = 16;
  static constexpr const char* kReceiveOverflowMessage =
      "Receive buffer full: %d received bytes were dropped, the oldest first (setting "
      "\"Receive buffer\").";

  // Settings of the CGI runner that runs PHP pages.
  static constexpr int kCgiTimeOut = 10000;
  static constexpr const char* kServerAdmin = "webmaster@localhost";
  // How long stopping the server or closing the program waits for a halted
  // script page to finish before going on without it.
  static constexpr std::chrono::milliseconds kHaltWaitTime{5000};

  // `home` is the program directory (made absolute here): config.ini and
  // the web directory live there. `main_loop` and `front_end` must outlive
  // the gateway. RegisterBuiltInLibraries must have run before (the page
  // scripter attaches the system library from the global registry).
  Gateway(std::string home, EventLoop& main_loop, FrontEnd& front_end);
  // Halts a running script and stops the server if the front end has not
  // done so, then waits for the connection threads to let go.
  ~Gateway();
  Gateway(const Gateway&) = delete;
  Gateway& operator=(const Gateway&) = delete;

  // Program start once the main window exists: loads the settings with
  // defaults, then acts on "AutoActivate" and "AutoMinimize" in that order.
  // True when "AutoActivate" tried to start the server, whether or not it
  // started. A missing program directory is logged and shown as an error,
  // and nothing else happens.
  bool Start();
  bool HomeExists() const;
  // The main window has been shown: reloads the settings without defaults.
  void MainWindowShown();

  // Starts the server when it is stopped and stops it when it runs; a
  // running script page is halted before the server stops. Failures to
  // start are logged; failures while stopping propagate.
  void acActivateExecute();
  bool Active() const { return active_; }

  // Closing the main window: halts a running script, then stops the server
  // if it runs.
  void FormCloseQuery();

  // Adds a time-stamped line to the server log. Any thread.
  void WriteLog(std::string_view message) { log_.WriteLog(message); }

  // A request with a command other than GET, POST or HEAD. Any thread.
  void HTTPServerCommandOther(std::string_view command);

  const std::string& Home() const { return home_; }
  const std::string& WebDirectory() const { return web_directory_; }

  Configuration& Settings() { return settings_; }
  ServerLog& Log() { return log_; }
  HttpServer& HTTPServer() { return *http_server_; }
  CgiRunner& cgiRunner() { return cgi_runner_; }
  Timer& Timer1() { return timer1_; }
  SerialPort& CP1() { return cp1_; }
  // CP1 as page scripts and the stop drive it, one port operation at a time.
  SerialBridge& Bridge() { return bridge_; }
  ScriptPageGate& PageGate() { return page_gate_; }
  SessionGate& Sessions() { return session_gate_; }
  // The port's traffic for the listeners of "/serial-events".
  SerialEventHub& SerialEvents() { return serial_events_; }
  // The page scripter. Register on it only while no page runs.
  BasicScripter& wbscripter() { return wbscripter_; }
  EventLoop& MainLoop() { return main_loop_; }

  // Shared state of requests, scripts and the serial port; each accessor is
  // safe from any thread.
  std::string SessionId() const { return session_gate_.SessionId(); }
  std::string RunningScriptPath() const { return page_gate_.RunningScriptPath(); }
  vantrel::ReceiveBuffer& GetReceiveBuffer() { return receive_buffer_; }
  // Logs how many received bytes the buffer dropped for want of room since
  // it was last emptied or shortened, when it dropped any: once an
  // overflow, when a page takes bytes from the buffer or the port opens or
  // closes. Any thread.
  void ReportReceiveOverflow();
  StringList SplitParts() const;
  void SetSplitParts(StringList parts);
  // Piece `number` (from 1) of SplitParts; "" outside 1 to their count.
  std::string SplitPart(std::int64_t number) const;

  // State of the running script page, used by that page's thread only (one
  // page runs at a time): the lines it echoed and the request it answers
  // (null while no page runs).
  OutputLines& ScriptOutput() { return page_runner_.ScriptOutput(); }
  // What runs script pages, with the compiled pages it keeps.
  ScriptPageRunner& PageRunner() { return page_runner_; }
  // Echoes a line of the running page, within its output limit.
  void Echo(std::string_view line) { page_runner_.Echo(line); }
  const HttpRequestInfo* CurrentRequest() const { return page_runner_.CurrentRequest(); }
  void SetCurrentRequest(const HttpRequestInfo* request) {
    page_runner_.SetCurrentRequest(request);
  }

 private:
  // The port from "Server port": a decimal integer from 1 to 65535, or 80
  // after logging that the value is incorrect.
  int ConfiguredPort();
  void StartServer();
  void StopServer();
  // A failed start: back to stopped, with the activation error line and,
  // when one is known, the cause of a port that could not be bound.
  void ReportActivateError(std::string_view class_name, std::string_view message,
                           const std::exception& error);
  // The serial port's events, on the main thread.
  void CP1RxChar(int count);
  void CP1AfterOpen() {
    receive_buffer_.Clear();
    ReportReceiveOverflow();
  }
  void CP1AfterClose() {
    receive_buffer_.Clear();
    ReportReceiveOverflow();
    serial_events_.PortClosed();
  }
  void CP1Error() {
    WriteLog("Serial port error");
    if (cp1_.DeviceLost()) serial_events_.DeviceLost();
  }
  // Gives CP1 the gateway's initial settings and handlers.
  void SetUpSerialPort();
  // Halts the running script page and waits at most kHaltWaitTime for it
  // to finish. Main thread.
  void HaltRunningScript() { page_gate_.HaltRunningScript(kHaltWaitTime); }
  // The page scripter's compile error report: the error and the program
  // lines around it go to the log.
  void wbscripterCompileError(CustomScripter& sender, const std::string& msg, int row, int col);

  const std::string home_;           // Absolute and normalised.
  const std::string web_directory_;  // home_ + "/web".
  EventLoop& main_loop_;
  FrontEnd& front_end_;
  Configuration settings_;
  ServerLog log_;
  Timer timer1_;
  vantrel::ReceiveBuffer receive_buffer_;  // Synchronised by itself.
  SerialEventHub serial_events_;           // Synchronised by itself.
  SerialEventStream event_stream_{serial_events_, [this] {
                                    return settings_.IntegerSetting(
                                        "Max listeners", SerialEventStream::kDefaultMaxListeners,
                                        0);
                                  }};
  SerialPort cp1_;  // Its handlers use everything above.
  SerialBridge bridge_{cp1_};
  SessionGate session_gate_;
  CgiRunner cgi_runner_;
  // Used by connection threads: destroyed after the server.
  BasicScripter wbscripter_;
  ScriptPageRunner page_runner_{wbscripter_, [this] {
                                  return settings_.MebibyteSetting("Max page output",
                                                                   kDefaultMaxPageOutputMebibytes);
                                }};
  ScriptPageGate page_gate_{wbscripter_, page_runner_};
  std::unique_ptr<RequestDispatcher> dispatcher_;
  // Destroyed first (members go in reverse order), waiting for every
  // connection thread, before anything its handlers use.
  std::unique_ptr<HttpServer> http_server_;
  bool active_ = false;  // Main thread only.

  mutable std::mutex state_mutex_;
  StringList split_parts_;  // Guarded by state_mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_APP_GATEWAY_H_
