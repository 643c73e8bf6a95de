// Text forms of the serial line settings, as page scripts pass and read
// them. To-text gives the table entry of the value; from-text gives the
// first entry equal to the text regardless of ASCII letter case, else the
// setting's fallback. Pure functions, safe on any thread.
#ifndef VANTREL_SERIAL_SERIAL_TEXTS_H_
#define VANTREL_SERIAL_SERIAL_TEXTS_H_

#include <string>
#include <string_view>

#include "serial/serial_settings.h"

namespace vantrel {

std::string BaudRateToText(BaudRate value);
BaudRate TextToBaudRate(std::string_view text);  // Fallback br9600.
std::string StopBitsToText(StopBits value);
StopBits TextToStopBits(std::string_view text);  // Fallback sbOneStopBit.
std::string DataBitsToText(DataBits value);
DataBits TextToDataBits(std::string_view text);  // Fallback dbEight.
std::string ParityToText(ParityBits value);
ParityBits TextToParity(std::string_view text);  // Fallback prNone.
std::string FlowControlToText(FlowControl value);
FlowControl TextToFlowControl(std::string_view text);  // Fallback fcCustom.
std::string DTRToText(DtrFlowControl value);
DtrFlowControl TextToDTR(std::string_view text);  // Fallback dtrDisable.
std::string RTSToText(RtsFlowControl value);
RtsFlowControl TextToRTS(std::string_view text);  // Fallback rtsDisable.

// "Yes" / "No"; from text only "YES" in any case is true.
std::string BoolToText(bool value);
bool TextToBool(std::string_view text);

// The character itself, or "#" and its decimal code below 33. From text: ""
// gives #0, "#" and digits that code (0 when they are not a number in
// 0..255), anything else its first character.
std::string CharToText(char value);
char TextToChar(std::string_view text);

}  // namespace vantrel

#endif  // VANTREL_SERIAL_SERIAL_TEXTS_H_
