// Deadline arithmetic for a CGI run: every wait of a run (writing the
// program's input, reading its output, waiting for it to end) is bounded by
// one point in time fixed when the run starts.
#ifndef VANTREL_CGI_DEADLINE_H_
#define VANTREL_CGI_DEADLINE_H_

#include <chrono>

namespace vantrel {

using Deadline = std::chrono::steady_clock::time_point;

// The point `milliseconds` from now; a negative count counts as 0.
Deadline DeadlineAfter(int milliseconds);

// Whole milliseconds left until `deadline`, rounded up so that a wait of
// that length does not end before it; 0 once it has passed; at most the
// largest int. Suited as the time-out of poll().
int MillisecondsLeft(Deadline deadline);

// True once `deadline` has been reached.
bool HasPassed(Deadline deadline);

}  // namespace vantrel

#endif  // VANTREL_CGI_DEADLINE_H_
