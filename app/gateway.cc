#include "app/gateway.h"

#include <filesystem>

#include "app/compile_error_report.h"
#include "app/document_path.h"
#include "app/front_end.h"
#include "app/page_scripter.h"
#include "app/web_scripter.h"
#include "base/format.h"
#include "base/integer_text.h"
#include "http/bind_failure_cause.h"

namespace vantrel {
namespace {

constexpr int kFallbackPort = 80;

std::string AbsoluteDirectory(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return MapDocumentPath("", absolute.empty() ? path : absolute.string());
}

}  // namespace

Gateway::Gateway(std::string home, EventLoop& main_loop, FrontEnd& front_end)
    : home_(AbsoluteDirectory(home)),
      web_directory_(MapDocumentPath(home_, "web")),
      main_loop_(main_loop),
      front_end_(front_end),
      settings_(home_ + "/config.ini", front_end),
      log_(web_directory_ + "/log.txt", [this] { return settings_.SwitchOn("Log to file"); }),
      timer1_(main_loop),
      cp1_(main_loop),
      session_gate_(timer1_, settings_, [this](std::string_view message) { WriteLog(message); }),
      http_server_(std::make_unique<HttpServer>()) {
  for (const char* line : kStartupLines) log_.AddPlainLine(line);

  cgi_runner_.SetServer(http_server_.get());
  cgi_runner_.SetTimeOut(kCgiTimeOut);
  cgi_runner_.SetServerAdmin(kServerAdmin);
  // The gateway's password is not the PHP programs' to read.
  cgi_runner_.SetWithholdCredentials([this] { return settings_.SwitchOn("Auth require"); });
  SetUpPageScripter(wbscripter_).SetGateway(this);
  wbscripter_.SetOnCompileError(
      [this](CustomScripter& sender, std::string& msg, int row, int col, bool& /*show*/) {
        wbscripterCompileError(sender, msg, row, col);
      });
  dispatcher_ =
      std::make_unique<RequestDispatcher>(web_directory_, settings_, log_, session_gate_,
                                          *http_server_, cgi_runner_, page_gate_, event_stream_);
  http_server_->SetOnAdmitRequest(
      [this](PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response) {
        return dispatcher_->AdmitRequest(thread, request, response);
      });
  http_server_->SetOnCommandGet(
      [this](PeerThread& thread, HttpRequestInfo& request, HttpResponseInfo& response) {
        dispatcher_->HTTPServerCommandGet(thread, request, response);
      });
  http_server_->SetOnCommandOther([this](PeerThread&, const std::string& command,
                                         const std::string&,
                                         const std::string&) { HTTPServerCommandOther(command); });
  timer1_.SetOnTimer([this] { session_gate_.Timer1Timer(); });
  SetUpSerialPort();
  bridge_.SetExtraDevices([this] { return settings_.ListSetting("Serial devices"); });
  bridge_.SetOnOpened([this](const std::string& text) { serial_events_.PortOpened(text); });
  bridge_.SetOnSending([this] { serial_events_.Sending(); });
  bridge_.SetOnSent([this](std::string_view bytes) { serial_events_.Sent(bytes); });
  // A halted page must not wait for its device.
  page_gate_.SetOnHalt([this] { bridge_.AbortSend(); });
}

void Gateway::SetUpSerialPort() {
  cp1_.SetPort("COM1");
  cp1_.SetBaudRate(br9600);
  cp1_.SetDataBits(dbEight);
  SerialParity parity;
  parity.Bits = prNone;
  cp1_.SetParity(parity);
  cp1_.SetStopBits(sbOneStopBit);
  SerialBuffer buffer;
  buffer.SetInputSize(4096);
  buffer.SetOutputSize(4096);
  cp1_.SetBuffer(buffer);
  cp1_.SetFlowControl(SerialFlowControl{});  // DTR and RTS control off, no flow control.
  cp1_.SetSyncMethod(smThreadSync);          // Events are handled on the main thread.
  cp1_.SetOnRxChar([this](SerialPort&, int count) { CP1RxChar(count); });
  cp1_.SetOnAfterOpen([this](SerialPort&) { CP1AfterOpen(); });
  cp1_.SetOnAfterClose([this](SerialPort&) { CP1AfterClose(); });
  cp1_.SetOnError([this](SerialPort&, SerialErrors) { CP1Error(); });
}

void Gateway::CP1RxChar(int count) {
  const std::int64_t capacity =
      settings_.MebibyteSetting("Receive buffer", kDefaultReceiveBufferMebibytes);
  const std::string bytes = cp1_.ReadText(count);
  serial_events_.Received(bytes);
  receive_buffer_.Append(bytes, static_cast<std::size_t>(capacity));
}

void Gateway::ReportReceiveOverflow() {
  if (const std::uint64_t dropped = receive_buffer_.TakeDropped(); dropped > 0) {
    WriteLog(Format(kReceiveOverflowMessage, {static_cast<std::int64_t>(dropped)}));
  }
}

Gateway::~Gateway() {
  HaltRunningScript();
  if (active_) {
    try {
      StopServer();
    } catch (const std::exception&) {
      // The program is ending; the server's own destructor finishes the job.
    }
  }
}

bool Gateway::Start() {
  if (!HomeExists()) {
    const std::string message = Format(kNoHomeMessage, {home_});
    WriteLog(message);
    front_end_.ShowError(message);
    return false;
  }
  if (!settings_.LoadConfiguration(/*with_defaults=*/true)) return false;
  const bool auto_activate = settings_.SwitchOn("AutoActivate");
  if (auto_activate) acActivateExecute();
  if (settings_.SwitchOn("AutoMinimize")) front_end_.Minimize();
  return auto_activate;
}

bool Gateway::HomeExists() const {
  std::error_code error;
  return std::filesystem::is_directory(home_, error);
}

void Gateway::MainWindowShown() { settings_.LoadConfiguration(/*with_defaults=*/false); }

void Gateway::acActivateExecute() {
  active_ = !active_;
  if (!http_server_->Active()) {
    SocketHandles& bindings = http_server_->Bindings();
    bindings.Clear();
    http_server_->SetDefaultPort(ConfiguredPort());
    bindings.Add();
  }
  if (active_) {
    StartServer();
  } else {
    StopServer();
  }
}

void Gateway::StartServer() {
  page_gate_.AllowClaims();
  serial_events_.Start();
  try {
    http_server_->SetMaxConnections(
        settings_.IntegerSetting("Max connections", kDefaultMaxConnections, 1));
    http_server_->SetActive(true);
    session_gate_.NewSessionId();
    const SocketHandle& binding = http_server_->Bindings()[0];
    WriteLog(
        Format("Listening for HTTP connections on %s:%d.", {binding.LocalIP, binding.LocalPort}));
    if (!settings_.SwitchOn("Auth require"))
      WriteLog(Format(kOpenAccessMessage, {binding.LocalPort}));
    front_end_.SetActivateCaption("Stop");
  } catch (const Exception& error) {
    ReportActivateError(error.ClassName(), error.Message(), error);
  } catch (const std::exception& error) {
    ReportActivateError("Exception", error.what(), error);
  }
}

void Gateway::ReportActivateError(std::string_view class_name, std::string_view message,
                                  const std::exception& error) {
  active_ = false;
  std::string line = Format("Exception %s in Activate. Error is:\"%s\".", {class_name, message});
  const std::string cause = BindFailureCause(error, http_server_->DefaultPort());
  if (!cause.empty()) line += " " + cause;
  WriteLog(line);
}

void Gateway::StopServer() {
  // From here on no page starts: one that claimed the gate after the halt
  // below would run on, and open the port again, after the stop.
  page_gate_.StopClaims();
  // The page's connection would keep the server waiting, and the page would
  // go on driving a serial port that is about to close.
  HaltRunningScript();
  // Every stream ends now, not when the server drops its connection.
  serial_events_.Stop();
  http_server_->SetActive(false);
  session_gate_.EndSession();
  bridge_.ClosePort();
  WriteLog("Stop listening, com port closed.");
  front_end_.SetActivateCaption("Start");
}

void Gateway::FormCloseQuery() {
  HaltRunningScript();
  if (active_) acActivateExecute();
}

void Gateway::HTTPServerCommandOther(std::string_view command) {
  WriteLog(std::string("Command other: ") + std::string(command));
}

int Gateway::ConfiguredPort() {
  const std::optional<std::int32_t> port = ParseInt32(settings_.SettingValue("Server port"));
  // Integers that are no TCP port are as wrong as text that is no integer.
  if (!port || *port < 1 || *port > 65535) {
    WriteLog("Port value is incorrect. Using port 80.");
    return kFallbackPort;
  }
  return *port;
}

void Gateway::wbscripterCompileError(CustomScripter& sender, const std::string& msg, int row,
                                     int col) {
  for (const std::string& line : CompileErrorReport(sender.SourceCode(), msg, row, col)) {
    WriteLog(line);
  }
}

StringList Gateway::SplitParts() const {
  std::lock_guard lock(state_mutex_);
  return split_parts_;
}

void Gateway::SetSplitParts(StringList parts) {
  std::lock_guard lock(state_mutex_);
  split_parts_ = std::move(parts);
}

std::string Gateway::SplitPart(std::int64_t number) const {
  std::lock_guard lock(state_mutex_);
  if (number < 1 || static_cast<std::uint64_t>(number) > split_parts_.Count()) return "";
  return split_parts_[static_cast<std::size_t>(number - 1)];
}

}  // namespace vantrel
