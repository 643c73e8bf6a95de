#include "http/session_cleaner_thread.h"

namespace vantrel {

void SessionCleanerThread::RunOnce() {
  WaitForStop(kSweepInterval);
  sessions_.PurgeStale(/*all=*/Terminated());
}

void SessionCleanerThread::AfterRun() { sessions_.PurgeStale(/*all=*/true); }

}  // namespace vantrel
