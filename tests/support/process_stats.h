// What a test can see of the process's own resources, to catch leaked
// descriptors and threads.
#ifndef VANTREL_TESTS_SUPPORT_PROCESS_STATS_H_
#define VANTREL_TESTS_SUPPORT_PROCESS_STATS_H_

#include <chrono>
#include <functional>

namespace vantrel::test {

// Open file descriptors of this process (entries of /proc/self/fd, not
// counting the one used to list them).
int OpenDescriptorCount();

// Threads of this process (entries of /proc/self/task).
int ThreadCount();

// Resident memory of this process in KiB (VmRSS of /proc/self/status); -1
// if unreadable.
long ResidentKilobytes();

// CPU time this process has used, in seconds; a difference over a pause
// shows a thread spinning.
double ProcessCpuSeconds();

// Checks `condition` every few milliseconds until it holds or `timeout`
// passes; returns whether it held. For effects that settle asynchronously,
// such as threads finishing after a server is gone.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SUPPORT_PROCESS_STATS_H_
