// The process's pseudo-random generator, shared by every script (Random,
// Rnd): one sequence for the whole program, seeded from the clock at its
// first use.
//
// Threads: any; the generator is guarded.
#ifndef VANTREL_BASE_RANDOM_H_
#define VANTREL_BASE_RANDOM_H_

namespace vantrel {

// A pseudo-random number in [0, 1).
double RandomUnit();

}  // namespace vantrel

#endif  // VANTREL_BASE_RANDOM_H_
