// The thread that removes expired sessions: about once a second it purges
// the stale sessions of its list, and when it ends it purges all of them.
//
// Owned by the HTTP server while it is active with sessions on; the owner
// starts it with StartLoop and ends it with TerminateAndWait (also done by
// the destructor). The list must outlive the thread.
#ifndef VANTREL_HTTP_SESSION_CLEANER_THREAD_H_
#define VANTREL_HTTP_SESSION_CLEANER_THREAD_H_

#include <chrono>

#include "http/http_session_list.h"
#include "http/worker_thread.h"

namespace vantrel {

class SessionCleanerThread final : public WorkerThread {
 public:
  static constexpr std::chrono::milliseconds kSweepInterval{1000};

  explicit SessionCleanerThread(HttpSessionList& sessions) : sessions_(sessions) {}
  ~SessionCleanerThread() override { TerminateAndWait(); }

 protected:
  // Waits a sweep interval (less when terminated meanwhile), then purges:
  // the stale sessions, or all of them once the thread is terminated.
  void RunOnce() override;
  // Purges every session.
  void AfterRun() override;

 private:
  HttpSessionList& sessions_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_SESSION_CLEANER_THREAD_H_
