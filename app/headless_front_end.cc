#include "app/headless_front_end.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <thread>

#include "app/batched_line_writer.h"
#include "app/gateway.h"
#include "base/local_event_loop.h"
#include "base/string_list.h"

namespace vantrel {
namespace {

void PrintLine(std::FILE* stream, const std::string& line) {
  std::fputs(line.c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void HeadlessFrontEnd::ShowMessage(const std::string& text) { PrintLine(stderr, text); }

void HeadlessFrontEnd::ShowError(const std::string& text) { PrintLine(stderr, text); }

int RunHeadless(const std::string& home) {
  // The signals are taken by one waiting thread; every thread started from
  // here on inherits the blocked mask, so none of them is interrupted.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  LocalEventLoop loop;
  HeadlessFrontEnd front_end;
  // Outlives the gateway, so that the lines it logs while stopping are out.
  BatchedLineWriter output(stdout);
  Gateway gateway(home, loop, front_end);
  loop.SetOnError([&front_end](const std::string& message) { front_end.ShowError(message); });

  StringList startup;
  startup.SetText(gateway.Log().Text());
  for (const std::string& line : startup) PrintLine(stdout, line);
  gateway.Log().SetOnLine([&output](const std::string& line) { output.WriteLine(line); });

  std::thread signal_waiter([&stop_signals, &loop, &gateway] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    loop.Post([&loop, &gateway] {
      gateway.FormCloseQuery();
      loop.Quit();
    });
  });

  int exit_code = 0;
  loop.Post([&gateway, &loop, &exit_code] {
    // A start that "AutoActivate" already tried, and logged, is not tried
    // again; without a program directory there is nothing to serve.
    if (!gateway.Start() && gateway.HomeExists()) gateway.acActivateExecute();
    // Without a window nobody can try again: a server that did not start
    // ends the program, after the activation error line.
    if (!gateway.Active()) {
      exit_code = 1;
      loop.Quit();
    }
  });
  loop.Run();
  if (exit_code != 0) {
    // Nobody will send the waiter its signal; wake it and let it end.
    pthread_kill(signal_waiter.native_handle(), SIGTERM);
  }
  signal_waiter.join();
  return exit_code;
}

}  // namespace vantrel
