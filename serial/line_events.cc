#include "serial/line_events.h"

namespace vantrel {

SerialErrors ErrorsBetween(const TtyErrorCounts& before, const TtyErrorCounts& now,
                           bool parity_check) {
  SerialErrors errors = 0;
  if (now.framing != before.framing) errors |= kFramingError;
  if (parity_check && now.parity != before.parity) errors |= kParityError;
  if (now.overrun != before.overrun) errors |= kOverrunError;
  if (now.breaks != before.breaks) errors |= kBreakError;
  if (now.buffer_overrun != before.buffer_overrun) errors |= kReceiveOverflowError;
  return errors;
}

bool ModemEventsWanted(SerialEvents events) {
  return events.Contains(evCTS) || events.Contains(evDSR) || events.Contains(evRLSD) ||
         events.Contains(evRing);
}

}  // namespace vantrel
