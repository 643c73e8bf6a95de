#include "serial/serial_texts.h"

#include <array>
#include <cstddef>

#include "base/ascii.h"

namespace vantrel {
namespace {

constexpr std::array<std::string_view, 16> kBaudRateTexts = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr std::array<std::string_view, 3> kStopBitsTexts = {"1", "1.5", "2"};
constexpr std::array<std::string_view, 4> kDataBitsTexts = {"5", "6", "7", "8"};
constexpr std::array<std::string_view, 5> kParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<std::string_view, 4> kFlowControlTexts = {"Hardware", "Software", "None",
                                                               "Custom"};
constexpr std::array<std::string_view, 3> kDtrTexts = {"Disable", "Enable", "Handshake"};
constexpr std::array<std::string_view, 4> kRtsTexts = {"Disable", "Enable", "Handshake", "Toggle"};

template <typename Enum, std::size_t N>
std::string ToText(const std::array<std::string_view, N>& table, Enum value) {
  const auto index = static_cast<std::size_t>(value);
  return index < N ? std::string(table[index]) : std::string();
}

template <typename Enum, std::size_t N>
Enum FromText(const std::array<std::string_view, N>& table, std::string_view text, Enum fallback) {
  for (std::size_t i = 0; i < N; ++i) {
    if (EqualsIgnoreCase(table[i], text)) return static_cast<Enum>(i);
  }
  return fallback;
}

}  // namespace

std::string BaudRateToText(BaudRate value) { return ToText(kBaudRateTexts, value); }
BaudRate TextToBaudRate(std::string_view text) { return FromText(kBaudRateTexts, text, br9600); }
std::string StopBitsToText(StopBits value) { return ToText(kStopBitsTexts, value); }
StopBits TextToStopBits(std::string_view text) {
  return FromText(kStopBitsTexts, text, sbOneStopBit);
}
std::string DataBitsToText(DataBits value) { return ToText(kDataBitsTexts, value); }
DataBits TextToDataBits(std::string_view text) { return FromText(kDataBitsTexts, text, dbEight); }
std::string ParityToText(ParityBits value) { return ToText(kParityTexts, value); }
ParityBits TextToParity(std::string_view text) { return FromText(kParityTexts, text, prNone); }
std::string FlowControlToText(FlowControl value) { return ToText(kFlowControlTexts, value); }
FlowControl TextToFlowControl(std::string_view text) {
  return FromText(kFlowControlTexts, text, fcCustom);
}
std::string DTRToText(DtrFlowControl value) { return ToText(kDtrTexts, value); }
DtrFlowControl TextToDTR(std::string_view text) { return FromText(kDtrTexts, text, dtrDisable); }
std::string RTSToText(RtsFlowControl value) { return ToText(kRtsTexts, value); }
RtsFlowControl TextToRTS(std::string_view text) { return FromText(kRtsTexts, text, rtsDisable); }

std::string BoolToText(bool value) { return value ? "Yes" : "No"; }
bool TextToBool(std::string_view text) { return EqualsIgnoreCase(text, "YES"); }

std::string CharToText(char value) {
  const auto code = static_cast<unsigned char>(value);
  if (code < 33) return "#" + std::to_string(code);
  return std::string(1, value);
}

char TextToChar(std::string_view text) {
  if (text.empty()) return '\0';
  if (text[0] != '#' || text.size() == 1) return text[0];
  int code = 0;
  for (char c : text.substr(1)) {
    if (c < '0' || c > '9') return '\0';
    code = code * 10 + (c - '0');
    if (code > 255) return '\0';
  }
  return static_cast<char>(static_cast<unsigned char>(code));
}

}  // namespace vantrel
