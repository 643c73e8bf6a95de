// What the serial port makes of what the device shows: the order in which
// one dispatch raises its events, and the line errors between two readings
// of the device's error counters. Values only; safe on any thread.
#ifndef VANTREL_SERIAL_LINE_EVENTS_H_
#define VANTREL_SERIAL_LINE_EVENTS_H_

#include <array>

#include "serial/serial_settings.h"
#include "serial/tty_platform.h"

namespace vantrel {

// The order in which one dispatch raises its events.
inline constexpr std::array<SerialEvent, 10> kDispatchOrder = {
    evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evRx80Full};

// The errors counted between `before` and `now`; parity errors only when
// `parity_check`.
SerialErrors ErrorsBetween(const TtyErrorCounts& before, const TtyErrorCounts& now,
                           bool parity_check);

// True when `events` has any of the modem line events.
bool ModemEventsWanted(SerialEvents events);

}  // namespace vantrel

#endif  // VANTREL_SERIAL_LINE_EVENTS_H_
